#include "devops/onvif_actions.h"

#include <chrono>
#include <functional>
#include <thread>

#include "devconfig/ipv4_text.h"
#include "devops/snapshot_capture.h"
#include "onvif/onvif_http.h"
#include "onvif/onvif_side_search.h"
#include "onvif/xaddr_choice.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {
namespace {

// A device takes a few seconds to bring its new address up; past this it is reported lost.
constexpr auto kFindAgainFor = std::chrono::seconds(20);
constexpr auto kFindAgainEvery = std::chrono::milliseconds(500);

using Action = std::function<onvif::OnvifResult(onvif::OnvifDeviceClient&)>;

int Run(const std::shared_ptr<onvif::OnvifSideSearch>& side, const DeviceRow& row, const char* what,
        const Action& action) {
  const std::string ip(FieldText(row.record.Lan.IPAddress));
  const auto client = side ? side->ClientFor(ip) : std::nullopt;
  if (!client) {
    DiagLog("ONVIF %s %s: device not identified\n", what, ip.c_str());
    return -1;
  }
  onvif::OnvifDeviceClient c = *client;
  const onvif::OnvifResult result = action(c);
  DiagLog("ONVIF %s %s = %s\n", what, ip.c_str(), result.ok ? "ok" : result.error.c_str());
  return result.ok ? 0 : -1;
}

onvif::OnvifResult Failed(std::string why) {
  return {false, std::move(why)};
}

}  // namespace

int OnvifActions::SyncTime(const DeviceRow& row) const {
  return Run(side_, row, "SetSystemDateAndTime",
             [](onvif::OnvifDeviceClient& c) { return c.SetSystemDateAndTime(false); });
}

int OnvifActions::Reboot(const DeviceRow& row) const {
  return Run(side_, row, "SystemReboot",
             [](onvif::OnvifDeviceClient& c) { return c.SystemReboot(); });
}

int OnvifActions::SetNtp(const DeviceRow& row, const std::string& server) const {
  return Run(side_, row, "SetNTP", [&server](onvif::OnvifDeviceClient& c) {
    const onvif::OnvifResult ntp = c.SetNtp({server});
    return ntp.ok ? c.SetSystemDateAndTime(true) : ntp;
  });
}

int OnvifActions::SetPassword(const DeviceRow& row, const std::string& password) const {
  const std::string ip(FieldText(row.record.Lan.IPAddress));
  return Run(side_, row, "SetUser", [&](onvif::OnvifDeviceClient& c) {
    const std::string user = c.account().user;
    if (user.empty())
      return Failed("identified without an account");
    const onvif::OnvifResult result = c.SetUser(user, password);
    if (result.ok)
      side_->KeepOwnAccount(ip, {user, password});
    return result;
  });
}

int OnvifActions::ChangeNetwork(const DeviceRow& row, const IpSettingValues& values) const {
  const std::string old_ip(FieldText(row.record.Lan.IPAddress));
  const std::string serial(FieldText(row.record.SerialNumber));
  return Run(side_, row, "SetNetworkInterfaces", [&](onvif::OnvifDeviceClient& c) {
    if (values.dhcp != 0)
      return Failed("DHCP is not offered for this device; give a fixed address");
    const std::optional<int> prefix = PrefixFromNetmask(values.netmask);
    const auto known = side_->FindByAddress(old_ip);
    if (!prefix || !known || !known->identity || known->identity->interface_token.empty())
      return Failed(prefix ? "the device named no network interface" : "bad mask");
    const onvif::OnvifResult set =
        c.SetNetworkInterface(known->identity->interface_token, values.ip, *prefix, values.gateway);
    if (!set.ok)
      return set;
    // Found again: the same device answers at its new address.
    onvif::OnvifDeviceClient moved(onvif::WithHost(known->entry.device_url, values.ip), {},
                                   c.version());
    const auto deadline = std::chrono::steady_clock::now() + kFindAgainFor;
    for (;;) {
      const onvif::OnvifIdentity identity = moved.ReadIdentity({c.account()});
      if (identity.reachable && !identity.login_failed && identity.serial == serial) {
        side_->Moved(old_ip, values.ip, identity);
        return onvif::OnvifResult{true, {}};
      }
      if (std::chrono::steady_clock::now() >= deadline)
        return Failed("no answer at " + values.ip);
      std::this_thread::sleep_for(kFindAgainEvery);
    }
  });
}

int OnvifActions::Snapshot(const DeviceRow& row, const std::string& folder,
                           std::string* saved) const {
  const std::string ip(FieldText(row.record.Lan.IPAddress));
  const auto source = side_ ? side_->SnapshotOf(ip) : std::nullopt;
  if (!source) {
    const auto known = side_ ? side_->FindByAddress(ip) : std::nullopt;
    const char* why = !known || !known->identity      ? "device not identified"
                      : known->identity->login_failed ? "login refused"
                      : !known->identity->reachable   ? "device unreachable"
                                                      : "no snapshot address";
    DiagLog("ONVIF snapshot %s: %s\n", ip.c_str(), why);
    return -1;
  }
  const onvif::HttpReply reply =
      onvif::FetchSnapshot(source->url, {source->user, source->password}, side_->http_options());
  if (!reply.ok()) {
    if (reply.curl_code != 0)
      DiagLog("ONVIF snapshot %s: %s\n", ip.c_str(), reply.error.c_str());
    else
      DiagLog("ONVIF snapshot %s: HTTP status %ld\n", ip.c_str(), reply.status);
    return -1;
  }
  // A camera may answer 200 with an error page; only a JPEG is kept.
  if (reply.body.size() < 4 || static_cast<unsigned char>(reply.body[0]) != 0xFF ||
      static_cast<unsigned char>(reply.body[1]) != 0xD8) {
    DiagLog("ONVIF snapshot %s: not a JPEG (%zu bytes, %s)\n", ip.c_str(), reply.body.size(),
            reply.content_type.empty() ? "no type" : reply.content_type.c_str());
    return -1;
  }
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  std::string error;
  *saved = SaveSnapshotPicture(folder, ip, reply.body, now, &error);
  if (saved->empty()) {
    DiagLog("ONVIF snapshot %s: %s\n", ip.c_str(), error.c_str());
    return -1;
  }
  DiagLog("ONVIF snapshot %s: saved %s (%zu bytes)\n", ip.c_str(), saved->c_str(),
          reply.body.size());
  return 0;
}

}  // namespace vdz
