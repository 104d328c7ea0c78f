#include "onvif/wsd_merge.h"

#include "onvif/xaddr_choice.h"

namespace vdz::onvif {

bool WsdMerge::Add(const ProbeMatch& match, const std::string& from_address,
                   const std::string& adapter) {
  if (entries_.size() >= kMaxOnvifEntries && index_.count(match.endpoint) == 0)
    return false;
  const auto [it, inserted] = index_.emplace(match.endpoint, entries_.size());
  if (inserted) {
    entries_.emplace_back();
    entries_.back().endpoint = match.endpoint;
  }
  OnvifDeviceEntry& e = entries_[it->second];
  const std::string device_url = ChooseXAddr(match.xaddrs, from_address);
  const bool changed = inserted || e.address != from_address || e.device_url != device_url ||
                       e.scopes != match.scopes;
  e.address = from_address;
  e.adapter = adapter;
  e.device_url = device_url;
  e.xaddrs = match.xaddrs;
  e.types = match.types;
  e.scopes = match.scopes;
  e.name = match.name;
  e.hardware = match.hardware;
  e.location = match.location;
  e.metadata_version = match.metadata_version;
  e.soap11 = match.soap11;
  e.answers += 1;
  return changed;
}

const OnvifDeviceEntry* WsdMerge::Find(const std::string& endpoint) const {
  const auto it = index_.find(endpoint);
  return it == index_.end() ? nullptr : &entries_[it->second];
}

std::vector<OnvifDeviceEntry> WsdMerge::Entries() const {
  return entries_;
}

void WsdMerge::Clear() {
  index_.clear();
  entries_.clear();
}

}  // namespace vdz::onvif
