// Other makers' ONVIF devices in our search: WS-Discovery beside our own requests, one registry
// row per device, then each device's identity read by a small pool of workers (never the
// window thread) and written into its row.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "discovery/device_registry.h"
#include "discovery/local_interfaces.h"
#include "discovery/side_search.h"
#include "onvif/onvif_device_client.h"
#include "onvif/wsd_socket.h"

namespace vdz::onvif {

// The row state keys (language keys) an ONVIF row goes through.
inline constexpr char kStateIdentifying[] = "ONVIF_IDENTIFYING";
inline constexpr char kStateOnline[] = "ONVIF_ONLINE";
inline constexpr char kStateLoginFailed[] = "ONVIF_LOGIN_FAILED";
inline constexpr char kStateUnreachable[] = "ONVIF_UNREACHABLE";

// What the tool knows of one ONVIF device, for the commands that act on it.
struct OnvifKnown {
  OnvifDeviceEntry entry;
  std::optional<OnvifIdentity> identity;  // once read
};

struct OnvifSideOptions {
  std::vector<OnvifAccount> accounts;
  // Read on first need instead (a secret store may be slow to answer), on the thread that
  // needs them: an identity worker, normally.
  std::function<std::vector<OnvifAccount>()> load_accounts;
  int identity_workers = 16;
  HttpOptions http;
  WsDiscoveryOptions discovery;  // adapters are filled in at each start
};

class OnvifSideSearch final : public SideSearch {
 public:
  OnvifSideSearch(std::shared_ptr<DeviceRegistry> registry,
                  std::shared_ptr<NetworkInfoSource> network, OnvifSideOptions options);
  ~OnvifSideSearch() override;

  // The accounts tried from the next identity read on.
  void SetAccounts(std::vector<OnvifAccount> accounts);
  void Start(uint32_t adapter_key) override;
  // Stops the discovery; identities under way are still read into their rows.
  void Stop() override;

  // The device at this address (dotted) as last found, or nullopt.
  std::optional<OnvifKnown> FindByAddress(const std::string& address) const;
  // The RTSP address of a device's profile (0 main, 1 sub: its first and second) and the
  // account that opened it; nullopt when the device or that profile's address is not known.
  struct Stream {
    std::string url, user, password;
    int width = 0, height = 0;
  };
  std::optional<Stream> StreamOf(const std::string& address, int profile) const;
  // The snapshot address (GetSnapshotUri) and the account that identified the device; nullopt
  // when the device is not identified, refused every account or gave no snapshot address.
  std::optional<Stream> SnapshotOf(const std::string& address) const;
  const HttpOptions& http_options() const { return options_.http; }
  // A client for an identified device, logged in with the account that worked; nullopt when
  // the device is not known or refused every account.
  std::optional<OnvifDeviceClient> ClientFor(const std::string& address) const;
  // The account this tool has just set on a device (a new password): tried first from now on,
  // by this and later searches, so the device stays reachable without editing the accounts.
  void KeepOwnAccount(const std::string& address, const OnvifAccount& account);
  // The device now answers at new_address with this identity (read there): its row follows.
  void Moved(const std::string& old_address, const std::string& new_address,
             const OnvifIdentity& identity);
  // Identities still being read.
  int pending() const;
  bool Settling() const override { return pending() > 0; }
  WsDiscoveryStats Stats() const;

 private:
  void StopIdentities();
  std::vector<OnvifAccount> Accounts() const;
  // The accounts for one device: the one set on it by this tool first.
  std::vector<OnvifAccount> AccountsFor(const std::string& endpoint) const;
  std::string PasswordFor(const std::string& endpoint, const std::string& user) const;
  void OnEntry(const OnvifDeviceEntry& entry);
  void IdentityWorker(std::stop_token stop);
  void Publish(const OnvifKnown& known, const char* state, const std::string& detail);

  std::shared_ptr<DeviceRegistry> registry_;
  std::shared_ptr<NetworkInfoSource> network_;
  OnvifSideOptions options_;
  std::unique_ptr<WsDiscoverySearch> search_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<std::string> queue_;  // endpoints whose identity is to be read
  std::map<std::string, OnvifKnown> known_;
  int busy_ = 0;
  std::vector<std::jthread> workers_;
  mutable std::once_flag accounts_loaded_;
  mutable std::vector<OnvifAccount> accounts_;        // under mutex_
  std::map<std::string, OnvifAccount> own_accounts_;  // by endpoint, kept across searches
};

// The registry row of an ONVIF device: its address, adapter and what its scopes or identity
// give (model, serial, firmware, MAC); its web port is the device service's.
DeviceRecord OnvifRecord(const OnvifKnown& known);

}  // namespace vdz::onvif
