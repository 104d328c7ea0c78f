// One entry per ONVIF device, however many answers it sent (per adapter, per probe, repeats).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "onvif/probe_match_reader.h"

namespace vdz::onvif {

struct OnvifDeviceEntry {
  std::string endpoint;             // the key: EndpointReference Address
  std::string address;              // dotted IPv4 the latest answer came from
  std::string adapter;              // dotted IPv4 of the adapter that received it
  std::string device_url;           // chosen device service address (ChooseXAddr)
  std::vector<std::string> xaddrs;  // of the latest answer
  std::vector<std::string> types;
  std::vector<std::string> scopes;
  std::string name;
  std::string hardware;
  std::string location;
  std::string metadata_version;
  bool soap11 = false;
  int answers = 0;  // answers merged into this entry
};

// A flood of forged endpoints must not grow without bound; no site holds this many devices.
inline constexpr std::size_t kMaxOnvifEntries = 16384;

class WsdMerge {
 public:
  // Adds one answer; true when it created the entry or changed what a row shows (address,
  // device address, scopes), false for a plain repeat or a new device past kMaxOnvifEntries. The
  // latest answer's addresses win: a device that moved answers from its new address.
  bool Add(const ProbeMatch& match, const std::string& from_address, const std::string& adapter);

  const OnvifDeviceEntry* Find(const std::string& endpoint) const;
  // In order of first answer.
  std::vector<OnvifDeviceEntry> Entries() const;
  std::size_t size() const { return entries_.size(); }
  void Clear();

 private:
  std::map<std::string, std::size_t> index_;
  std::vector<OnvifDeviceEntry> entries_;
};

}  // namespace vdz::onvif
