#include "discovery/local_interfaces.h"

#include <cstdio>

#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

AdapterTable BuildAdapterTable(NetworkInfoSource& source) {
  AdapterTable table;
  auto adapters = source.ReadAdapters();
  if (!adapters)
    return table;
  for (auto& adapter : *adapters) {
    if (adapter.addresses.empty())
      continue;
    const uint32_t key = AdapterKey(adapter.addresses.front().address.c_str());
    if (key == 0)
      continue;
    table[key] = std::move(adapter);  // a later adapter with the same address wins
  }
  return table;
}

std::string LocalNetworkParameters::Get(int index) const {
  if (index < 0 || index >= kLocalParameterCount)
    return {};
  return std::string(FieldText(text[index]));
}

void LocalNetworkParameters::Set(int index, const std::string& value) {
  if (index < 0 || index >= kLocalParameterCount)
    return;
  CopyBounded(text[index], value);
}

void LocalNetworkParameters::Clear() {
  for (auto& field : text)
    CopyBounded(field, {});
}

void FillDefaultParameters(LocalNetworkParameters* params) {
  params->Set(kLocalAddress, "192.168.1.253");
  params->Set(kLocalNetmask, "255.255.255.0");
  params->Set(kLocalGateway, "192.168.1.1");
  params->Set(kLocalDns1, "192.168.1.1");
  params->Set(kLocalDns2, kDefaultPublicNameServer);
}

namespace {

bool InSubnet(const Ipv4WithMask& entry, const std::string& address) {
  const auto own = ParseIpv4NetworkOrder(entry.address.c_str());
  const auto mask = ParseIpv4NetworkOrder(entry.mask.c_str());
  const auto other = ParseIpv4NetworkOrder(address.c_str());
  return own && mask && other && (*own & *mask) == (*other & *mask);
}

// Without a route out, an installer's laptop on a camera switch still has the switch's
// subnet: the adapter address whose subnet holds the device, else the first one there is.
const Ipv4WithMask* UnroutedAddress(const std::vector<AdapterInfo>& adapters,
                                    const std::string& device_address) {
  for (const auto& adapter : adapters) {
    for (const auto& entry : adapter.addresses) {
      if (InSubnet(entry, device_address))
        return &entry;
    }
  }
  for (const auto& adapter : adapters) {
    for (const auto& entry : adapter.addresses) {
      if (ParseIpv4NetworkOrder(entry.address.c_str()))
        return &entry;
    }
  }
  return nullptr;
}

}  // namespace

int ReadLocalNetworkParameters(NetworkInfoSource& source, LocalNetworkParameters* params,
                               const std::string& device_address) {
  auto name_servers = source.ReadNameServers();
  if (!name_servers) {
    DiagLog("GetNetworkParams failed.\n");
    FillDefaultParameters(params);
    return -1;
  }
  DiagLog("GetNetworkParams OK.\n");
  params->Set(kLocalDns1, name_servers->empty() ? std::string() : (*name_servers)[0]);
  DiagLog("DNS1: %s\n", params->Get(kLocalDns1).c_str());
  params->Set(kLocalDns2, name_servers->size() > 1 ? (*name_servers)[1] : std::string());
  DiagLog("DNS2: %s\n", params->Get(kLocalDns2).c_str());

  const auto best = source.BestInterfaceFor(kRouteProbeDestination);

  auto adapters = source.ReadAdapters();
  if (!adapters) {
    DiagLog("GetAdaptersInfo failed!\n");
    FillDefaultParameters(params);
    return -1;
  }

  const AdapterInfo* routed = nullptr;
  if (best) {
    for (const auto& adapter : *adapters) {
      if (adapter.interface_index == *best) {
        routed = &adapter;
        break;
      }
    }
  }
  const Ipv4WithMask* chosen = nullptr;
  if (routed == nullptr) {
    params->Set(kLocalGateway, {});
    chosen = UnroutedAddress(*adapters, device_address);
  } else {
    params->Set(kLocalGateway, routed->gateway);
    const std::string& gateway = routed->gateway;
    for (const auto& entry : routed->addresses) {
      if (InSubnet(entry, gateway)) {
        chosen = &entry;
        break;
      }
    }
    if (chosen == nullptr && !routed->addresses.empty())
      chosen = &routed->addresses.front();
  }
  DiagLog("Gateway: %s\n", params->Get(kLocalGateway).c_str());
  if (chosen != nullptr) {
    params->Set(kLocalAddress, chosen->address);
    params->Set(kLocalNetmask, chosen->mask);
  }
  DiagLog("IPAddress: %s\n", params->Get(kLocalAddress).c_str());
  DiagLog("NetMask: %s\n", params->Get(kLocalNetmask).c_str());
  return 1;
}

std::string LocalParameterCache::GetNetworkParam(int index) {
  if (index < 0 || index >= kLocalParameterCount) {
    DiagLog("GetNetworkParam(): bad index: %d\n", index);
    return {};
  }
  return For({}).Get(index);
}

LocalNetworkParameters LocalParameterCache::For(const std::string& device_address) {
  std::lock_guard lock(mutex_);
  if (!params_.Get(kLocalAddress).empty() && !params_.Get(kLocalGateway).empty())
    return params_;
  // A set without a gateway depends on the device, so it is read again for each.
  LocalNetworkParameters read = params_;
  ReadLocalNetworkParameters(source_, &read, device_address);
  if (!read.Get(kLocalGateway).empty())
    params_ = read;
  return read;
}

}  // namespace vdz
