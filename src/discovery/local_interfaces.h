// The workstation's own adapters and the local parameter set that seeds new device addresses.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devconfig/ipv4_text.h"

namespace vdz {

struct Ipv4WithMask {
  std::string address;  // dotted
  std::string mask;     // dotted
};

// What the system uses of one adapter; the first address is the adapter's table key.
struct AdapterInfo {
  std::string description;
  std::vector<Ipv4WithMask> addresses;  // in the system's order
  std::string gateway;                  // first gateway, empty when none
  int interface_index = 0;
};

// Keyed by AdapterKey, so 192.168.1.10 sorts before 10.0.0.20.
using AdapterTable = std::map<uint32_t, AdapterInfo>;

// Source of the operating system's IP configuration; replaced by a fake in tests.
class NetworkInfoSource {
 public:
  virtual ~NetworkInfoSource() = default;
  virtual std::optional<std::vector<AdapterInfo>> ReadAdapters() = 0;
  virtual std::optional<std::vector<std::string>> ReadNameServers() = 0;
  // Interface index the system routes a destination (dotted) through.
  virtual std::optional<int> BestInterfaceFor(const char* destination) = 0;
};

// Where the name servers are read from. A local stub resolver (systemd-resolved's
// 127.0.0.53, a dnsmasq on 127.0.0.1) is no server a device can use: its upstream list is.
struct NameServerFiles {
  std::string resolv_conf = "/etc/resolv.conf";  // VDZ_RESOLV_CONF overrides the default
  std::string resolved_upstream = "/run/systemd/resolve/resolv.conf";
};

// The IPv4 name servers a device can be given, in file order, loopback ones left out; when
// the resolver file lists only loopback servers, those of the upstream file. A missing file
// gives an empty list: the rest of the local parameters do not depend on it.
std::vector<std::string> ReadNameServerFiles(const NameServerFiles& files);

// getifaddrs, rtnetlink and the resolver configuration.
std::unique_ptr<NetworkInfoSource> MakeSystemNetworkInfoSource(NameServerFiles files = {});

AdapterTable BuildAdapterTable(NetworkInfoSource& source);

enum LocalParameterIndex {
  kLocalAddress = 0,
  kLocalNetmask = 1,
  kLocalGateway = 2,
  kLocalDns1 = 3,
  kLocalDns2 = 4,
  kLocalParameterCount = 5,
};

// Five texts of 32 characters: address, mask, gateway, DNS1, DNS2.
struct LocalNetworkParameters {
  char text[kLocalParameterCount][32] = {};
  std::string Get(int index) const;
  void Set(int index, const std::string& value);
  void Clear();
};

// Fixed destination used only for a route lookup; nothing is ever sent to it.
inline constexpr char kRouteProbeDestination[] = "203.0.113.1";
inline constexpr char kDefaultPublicNameServer[] = "8.8.8.8";

void FillDefaultParameters(LocalNetworkParameters* params);

// 1 when read from the system, -1 when the defaults were used. The adapter routing to a far
// address gives the set; with no such route, the adapter address whose subnet holds
// device_address (else the first adapter address) with an empty gateway.
int ReadLocalNetworkParameters(NetworkInfoSource& source, LocalNetworkParameters* params,
                               const std::string& device_address = {});

// The window's cached parameter set; emptied at every search start, refilled on first use.
// Read by the search on the window's thread and by a free-address job on a pool thread.
class LocalParameterCache {
 public:
  explicit LocalParameterCache(NetworkInfoSource& source) : source_(source) {}
  void Clear() {
    std::lock_guard lock(mutex_);
    params_.Clear();
  }
  std::string GetNetworkParam(int index);
  // The whole set as one copy, for a device at device_address: parts read at different times
  // could come from different adapters.
  LocalNetworkParameters For(const std::string& device_address);

 private:
  NetworkInfoSource& source_;
  std::mutex mutex_;
  LocalNetworkParameters params_;
};

}  // namespace vdz
