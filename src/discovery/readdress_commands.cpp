#include "discovery/readdress_commands.h"

#include <functional>
#include <string>

#include "discovery/network_change.h"
#include "discovery/not_supported.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

NetworkChangeTarget Target(ReaddressContext& ctx) {
  return {ctx.registry, ctx.assigned, ctx.engine};
}

FreeAddressSearch Search(ReaddressContext& ctx) {
  return {ctx.params, ctx.network, ctx.registry, ctx.assigned, ctx.prober, ctx.on_probe};
}

std::string Serial(const DeviceRow& row) {
  return std::string(FieldText(row.record.SerialNumber));
}

void Report(ReaddressContext& ctx, int position, const DeviceRow& row, int result) {
  if (ctx.on_row_result)
    ctx.on_row_result(position, row, result);
}

void WriteLan(LanConfigRecord& lan, const IpSettingValues& values) {
  lan.DHCP = static_cast<int16_t>(values.dhcp);
  CopyBounded(lan.IPAddress, values.ip);
  CopyBounded(lan.Netmask, values.netmask);
  CopyBounded(lan.Gateway, values.gateway);
  CopyBounded(lan.DNS1, values.dns1);
  CopyBounded(lan.DNS2, values.dns2);
}

// The IP cell shows the new address at once; the login follows the device there. A login
// still on its way counts as logged in: left alone it would end at the old address.
void AfterAddressChange(ReaddressContext& ctx, DeviceListPort& list, int position, DeviceRow& row) {
  list.SetAddressText(position, std::string(FieldText(row.record.Lan.IPAddress)));
  if ((row.login_handle != 0 || row.login_pending != 0) && ctx.relogin)
    ctx.relogin(position, row);
}

bool Foreign(const DeviceRow& row) {
  return row.protocol != kProtocolOurs;
}

int NotSupported(ReaddressContext& ctx, DeviceListPort& list, int position) {
  SkipAsNotSupported(list, position);
  if (const DeviceRow* row = list.RowAt(position))
    Report(ctx, position, *row, kNotSupportedByDevice);
  return kNotSupportedByDevice;
}

// Hands another maker's rows to the front end (0: they end later), or skips them when it has
// no way to them.
int RunForeign(ReaddressContext& ctx, DeviceListPort& list, ForeignRowCommand command,
               std::vector<int> positions, const IpSettingValues& values = {}) {
  if (ctx.foreign_rows) {
    if (!positions.empty())
      ctx.foreign_rows(command, std::move(positions), values);
    return 0;
  }
  for (const int p : positions)
    NotSupported(ctx, list, p);
  return kNotSupportedByDevice;
}

int Logged(int result, const char* what, const DeviceRow& row) {
  if (result != 0)
    DiagLog("%s %s failed. error = %ld\n", what, Serial(row).c_str(), static_cast<long>(result));
  return result;
}

int SetRow(ReaddressContext& ctx, DeviceRow& row) {
  return Logged(SetDeviceNetwork(Target(ctx), row.registry_index, &row.record, sizeof row.record),
                "set IPC", row);
}

int RestoreOne(ReaddressContext& ctx, DeviceRow& row) {
  return Logged(
      RestoreDeviceDefaults(Target(ctx), row.registry_index, &row.record, sizeof row.record),
      "restore IPC", row);
}

int RebootOne(ReaddressContext& ctx, int position, DeviceRow& row) {
  if (ctx.sdk_reboot)
    ctx.sdk_reboot(position, row);
  return Logged(
      RebootDeviceByDiscovery(Target(ctx), row.registry_index, &row.record, sizeof row.record),
      "RebootIPC", row);
}

// The free-address search and the request for one row; the searches of a batch run one after
// another, so each sees the addresses handed to the rows before it.
RowWork AssignWork(ReaddressContext& ctx, DeviceListPort& list, int position, const DeviceRow& row,
                   bool batch) {
  const int report = batch ? list.OpenBatch() : 0;
  RowWork w;
  w.copy = row;
  w.position = position;
  w.work = [&ctx](DeviceRow& copy) {
    FreeAddressSearch search = Search(ctx);
    return AssignFreeAddress(search, Target(ctx), copy);
  };
  w.done = [&ctx, &list, batch, report](int p, DeviceRow* live, const DeviceRow& copy, int result) {
    if (live == nullptr)
      return;
    if (result == 0) {
      live->record.Lan = copy.record.Lan;
      AfterAddressChange(ctx, list, p, *live);
    } else if (result == kNoFreeAddress) {
      // The device keeps its address; the operator must still learn why nothing happened.
      list.SetStatusText(p, LookupText(keys::NO_FREE_ADDRESS));
    }
    Report(ctx, p, *live, result);
    if (batch)
      list.NoteBatchDevice(
          p, result == 0 ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed, report);
  };
  w.skipped = [&list, batch, report](int p, DeviceRow* live) {
    if (live != nullptr && batch)
      list.NoteBatchDevice(p, BatchDeviceOutcome::kSkipped, report);
  };
  return w;
}

// Runs the rows where the front end wants them. Only rows run right here count: *succeeded
// gets how many went through, the return the last row's result.
int RunRows(ReaddressContext& ctx, DeviceListPort& list, std::vector<RowWork> rows,
            int* succeeded = nullptr) {
  if (ctx.run_rows) {
    ctx.run_rows(std::move(rows), {});
    return 0;
  }
  int result = 0;
  for (RowWork& w : rows) {
    result = w.work(w.copy);
    if (succeeded != nullptr && result == 0)
      ++*succeeded;
    w.done(w.position, list.RowAt(w.position), w.copy, result);
  }
  return result;
}

int CountChecked(DeviceListPort& list) {
  int checked = 0;
  for (int p = 0; p < list.RowCount(); ++p) {
    if (list.IsChecked(p) && list.RowAt(p) != nullptr)
      ++checked;
  }
  return checked;
}

using RowCommand = std::function<int(int position, DeviceRow& row)>;

// A single-row command on the row at position, reported like every row.
int RunOnRow(ReaddressContext& ctx, DeviceListPort& list, int position, const RowCommand& command) {
  DeviceRow* row = list.RowAt(position);
  if (row == nullptr)
    return kReaddressNoRow;
  const int result = command(position, *row);
  Report(ctx, position, *row, result);
  return result;
}

// Asks the batch's confirmation; false (and the outcome says declined) on No.
bool Confirm(ReaddressContext& ctx, const char* question_key, BatchOutcome& outcome) {
  if (ctx.prompter.AskYesNo(LookupText(question_key), ConfirmationCaption()))
    return true;
  outcome.declined = true;
  return false;
}

// Runs command on every checked row of ours in list order, counting into outcome. Other
// makers' rows go to *foreign when given, else they are skipped as not supported.
void RunOnChecked(ReaddressContext& ctx, DeviceListPort& list, BatchOutcome& outcome,
                  const RowCommand& command, std::vector<int>* foreign = nullptr) {
  for (int p = 0; p < list.RowCount(); ++p) {
    DeviceRow* row = list.RowAt(p);
    if (row == nullptr || !list.IsChecked(p))
      continue;
    ++outcome.checked;
    if (Foreign(*row)) {
      if (foreign != nullptr)
        foreign->push_back(p);
      else
        NotSupported(ctx, list, p);
      continue;
    }
    const int result = command(p, *row);
    if (result == 0)
      ++outcome.succeeded;
    Report(ctx, p, *row, result);
    // These requests go over the discovery protocol: an offline device is tried too.
    list.NoteBatchDevice(
        p, result == 0 ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed);
  }
}

}  // namespace

int ChangeNetworkOfRow(ReaddressContext& ctx, DeviceListPort& list, int position,
                       const IpSettingDialog& dialog) {
  DeviceRow* row = list.RowAt(position);
  if (row == nullptr)
    return kReaddressNoRow;
  if (Foreign(*row) && !ctx.foreign_rows)
    return NotSupported(ctx, list, position);
  const LanConfigRecord& lan = row->record.Lan;
  IpSettingValues initial;
  initial.dhcp = lan.DHCP;
  initial.ip = std::string(FieldText(lan.IPAddress));
  initial.netmask = std::string(FieldText(lan.Netmask));
  initial.gateway = std::string(FieldText(lan.Gateway));
  initial.dns1 = std::string(FieldText(lan.DNS1));
  initial.dns2 = std::string(FieldText(lan.DNS2));
  const std::optional<IpSettingValues> values = dialog(initial, false);
  if (!values)
    return kReaddressCancelled;
  if (Foreign(*row)) {
    return RunForeign(ctx, list, ForeignRowCommand::kChangeNetwork, {position}, *values);
  }
  WriteLan(row->record.Lan, *values);
  const int result = SetRow(ctx, *row);
  if (result == 0)
    AfterAddressChange(ctx, list, position, *row);
  Report(ctx, position, *row, result);
  return result;
}

int AssignFreeToRow(ReaddressContext& ctx, DeviceListPort& list, int position) {
  DeviceRow* row = list.RowAt(position);
  if (row == nullptr)
    return kReaddressNoRow;
  if (Foreign(*row))
    return NotSupported(ctx, list, position);
  std::vector<RowWork> rows;
  rows.push_back(AssignWork(ctx, list, position, *row, false));
  return RunRows(ctx, list, std::move(rows));
}

int RestoreRow(ReaddressContext& ctx, DeviceListPort& list, int position) {
  if (const DeviceRow* row = list.RowAt(position); row != nullptr && Foreign(*row))
    return NotSupported(ctx, list, position);
  return RunOnRow(ctx, list, position, [&](int, DeviceRow& row) { return RestoreOne(ctx, row); });
}

int RebootRow(ReaddressContext& ctx, DeviceListPort& list, int position) {
  if (const DeviceRow* row = list.RowAt(position); row != nullptr && Foreign(*row)) {
    return RunForeign(ctx, list, ForeignRowCommand::kReboot, {position});
  }
  return RunOnRow(ctx, list, position,
                  [&](int p, DeviceRow& row) { return RebootOne(ctx, p, row); });
}

BatchOutcome RestoreChecked(ReaddressContext& ctx, DeviceListPort& list) {
  BatchOutcome outcome;
  if (!Confirm(ctx, keys::MSGTIP11, outcome))
    return outcome;
  RunOnChecked(ctx, list, outcome, [&](int, DeviceRow& row) { return RestoreOne(ctx, row); });
  if (outcome.succeeded == 0)
    ctx.prompter.ShowError(LookupText(keys::MSGTIP14));
  return outcome;
}

BatchOutcome RebootChecked(ReaddressContext& ctx, DeviceListPort& list) {
  BatchOutcome outcome;
  if (!Confirm(ctx, keys::MSGTIP38, outcome))
    return outcome;
  std::vector<int> foreign;
  RunOnChecked(
      ctx, list, outcome, [&](int p, DeviceRow& row) { return RebootOne(ctx, p, row); }, &foreign);
  RunForeign(ctx, list, ForeignRowCommand::kReboot, std::move(foreign));
  if (outcome.checked == 0)
    ctx.prompter.ShowError(LookupText(keys::MSGTIP16));
  return outcome;
}

BatchOutcome AssignFreeToChecked(ReaddressContext& ctx, DeviceListPort& list) {
  BatchOutcome outcome;
  if (!Confirm(ctx, keys::MSGTIP12, outcome))
    return outcome;
  if (CountChecked(list) == 0) {
    ctx.prompter.ShowError(LookupText(keys::MSGTIP15));
    return outcome;
  }
  std::vector<RowWork> rows;
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow* row = list.RowAt(p);
    if (row == nullptr || !list.IsChecked(p))
      continue;
    ++outcome.checked;
    if (Foreign(*row))
      NotSupported(ctx, list, p);
    else
      rows.push_back(AssignWork(ctx, list, p, *row, true));
  }
  RunRows(ctx, list, std::move(rows), &outcome.succeeded);
  return outcome;
}

BatchOutcome AssignConsecutiveToChecked(ReaddressContext& ctx, DeviceListPort& list,
                                        const IpSettingDialog& dialog) {
  BatchOutcome outcome;
  if (CountChecked(list) == 0) {
    ctx.prompter.ShowError(LookupText(keys::MSGTIP13));
    return outcome;
  }
  FreeAddressSearch search = Search(ctx);
  // Seeded for the first checked device's subnet where the workstation has no route out.
  std::string first_address;
  for (int p = 0; p < list.RowCount() && first_address.empty(); ++p) {
    if (const DeviceRow* row = list.RowAt(p); row != nullptr && list.IsChecked(p) && !Foreign(*row))
      first_address = std::string(FieldText(row->record.Lan.IPAddress));
  }
  const LocalNetworkParameters local = ctx.params.For(first_address);
  IpSettingValues initial;
  initial.ip = FindFreeAddressIn(search, local);
  initial.netmask = local.Get(kLocalNetmask);
  initial.gateway = local.Get(kLocalGateway);
  initial.dns1 = local.Get(kLocalDns1);
  initial.dns2 = local.Get(kLocalDns2);
  initial.dhcp = 0;
  const std::optional<IpSettingValues> values = dialog(initial, true);
  if (!values) {
    outcome.cancelled = true;
    return outcome;
  }

  uint32_t next = InetAddrHostOrder(values->ip.c_str());
  bool exhausted = false;
  bool stopped = false;
  for (int p = 0; p < list.RowCount(); ++p) {
    DeviceRow* row = list.RowAt(p);
    if (row == nullptr || !list.IsChecked(p))
      continue;
    if (Foreign(*row)) {
      NotSupported(ctx, list, p);
      continue;
    }
    // The rows after a failure keep their addresses: the report lists them as skipped.
    if (stopped) {
      list.NoteBatchDevice(p, BatchDeviceOutcome::kSkipped);
      continue;
    }
    ++outcome.checked;
    // A plain 32-bit increment would wrap to 0.0.0.0 after 255.255.255.255.
    if (exhausted) {
      DiagLog("set IPC %s failed. error = %ld\n", Serial(*row).c_str(),
              static_cast<long>(kAddressRangeExhausted));
      Report(ctx, p, *row, kAddressRangeExhausted);
      list.NoteBatchDevice(p, BatchDeviceOutcome::kFailed);
      stopped = true;
      continue;
    }
    IpSettingValues device = *values;
    device.ip = DottedFromHostOrder(next);
    WriteLan(row->record.Lan, device);
    const int result = SetRow(ctx, *row);
    Report(ctx, p, *row, result);
    list.NoteBatchDevice(
        p, result == 0 ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed);
    if (result != 0) {
      stopped = true;
      continue;
    }
    ++outcome.succeeded;
    AfterAddressChange(ctx, list, p, *row);
    if (next == 0xFFFFFFFFu)
      exhausted = true;
    else
      ++next;
  }
  return outcome;
}

}  // namespace vdz
