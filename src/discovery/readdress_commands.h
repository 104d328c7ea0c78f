// The network commands of the device list (change, free address, consecutive addresses,
// restore, reboot) for one row or every checked row. The window and viduzaver-cli both run
// them; the front end supplies the list, the prompter, the IP dialog and the re-login.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devconfig/ip_setting_rules.h"
#include "discovery/address_probe.h"
#include "discovery/assigned_address_table.h"
#include "discovery/device_list_port.h"
#include "discovery/device_registry.h"
#include "discovery/device_row.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_engine.h"
#include "shell/prompter.h"

namespace vdz {

using RowHook = std::function<void(int position, DeviceRow& row)>;

// One row's share of a command that waits on the network (the free-address search probes each
// candidate for half a second): work runs where the front end chooses, on a copy of the row;
// done and skipped run on the owner's thread with the row where it stands now (-1 and null when
// it has left the list).
struct RowWork {
  DeviceRow copy;
  int position = -1;
  std::function<int(DeviceRow& copy)> work;
  std::function<void(int position, DeviceRow* row, const DeviceRow& copy, int result)> done;
  // The command was cancelled before this row's turn.
  std::function<void(int position, DeviceRow* row)> skipped;
};

// Runs the rows one after another, then finished. Empty: right here, on the caller's thread.
using RowRunner = std::function<void(std::vector<RowWork> rows, std::function<void()> finished)>;

// Other makers' devices are rebooted and re-addressed by their own protocol, which waits on
// the device: the front end runs their rows where it chooses (as a job), and they report
// themselves as they end. values is for kChangeNetwork only.
enum class ForeignRowCommand { kReboot, kChangeNetwork };
using ForeignRowsRunner = std::function<void(ForeignRowCommand command, std::vector<int> positions,
                                             const IpSettingValues& values)>;

struct ReaddressContext {
  DeviceRegistry& registry;
  AssignedAddressTable& assigned;
  SearchEngine& engine;
  LocalParameterCache& params;
  NetworkInfoSource& network;
  AddressProber& prober;
  Prompter& prompter;
  // Logs a logged-in row (login handle not 0, or a login under way) out and in again at its
  // new address.
  RowHook relogin;
  // The device-SDK reboot that precedes the discovery reboot; empty: nothing is done.
  RowHook sdk_reboot;
  // Each address the free-address search is about to probe, for a status line.
  std::function<void(const std::string& candidate)> on_probe;
  // Each row acted on, with the request's result (0 sent, negative failure).
  std::function<void(int position, const DeviceRow& row, int result)> on_row_result;
  // Where the free-address searches run (they wait on ICMP answers); empty: right here.
  RowRunner run_rows;
  // Empty: other makers' devices are skipped as not supported.
  ForeignRowsRunner foreign_rows;
};

// Result of a single-row command that was cancelled in its dialog.
inline constexpr int kReaddressCancelled = 1;
// The command named no row.
inline constexpr int kReaddressNoRow = -10;
// Consecutive addressing ran past 255.255.255.255; the remaining rows were left alone.
inline constexpr int kAddressRangeExhausted = -5;
// Another maker's device, which has no such command.
inline constexpr int kNotSupportedByDevice = -6;

struct BatchOutcome {
  bool declined = false;   // the confirmation was answered No
  bool cancelled = false;  // the dialog was cancelled
  int checked = 0;         // checked rows seen
  int succeeded = 0;       // requests sent
};

// Single rows, by list position (the row's registry index picks the device).
int ChangeNetworkOfRow(ReaddressContext& ctx, DeviceListPort& list, int position,
                       const IpSettingDialog& dialog);
int AssignFreeToRow(ReaddressContext& ctx, DeviceListPort& list, int position);
int RestoreRow(ReaddressContext& ctx, DeviceListPort& list, int position);
int RebootRow(ReaddressContext& ctx, DeviceListPort& list, int position);

// Every checked row in list order. With a row runner the free-address commands only start
// (their rows end later) and count no successes; nor do rows handed to foreign_rows.
BatchOutcome RestoreChecked(ReaddressContext& ctx, DeviceListPort& list);
BatchOutcome RebootChecked(ReaddressContext& ctx, DeviceListPort& list);
BatchOutcome AssignFreeToChecked(ReaddressContext& ctx, DeviceListPort& list);
BatchOutcome AssignConsecutiveToChecked(ReaddressContext& ctx, DeviceListPort& list,
                                        const IpSettingDialog& dialog);

}  // namespace vdz
