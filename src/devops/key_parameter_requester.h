// Asks each newly listed device's terminal service for its name and model without holding the
// list's thread: the exchanges run on the SDK call pool next to the logins, a few at a time,
// and their results reach the rows back on the owner's thread.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "devops/sdk_call_pool.h"
#include "devops/terminal_service.h"
#include "discovery/device_list_port.h"

namespace vdz {

class KeyParameterRequester {
 public:
  // Without a pool each request is made at once on the calling thread.
  KeyParameterRequester(TerminalService& service, DeviceListPort& list, SdkCallPool* pool);

  void Request(DeviceRow& row);
  // The rows are about to go: requests not yet started are dropped, answers still on their
  // way land nowhere.
  void Forget();
  int InFlight() const { return static_cast<int>(in_flight_.size()); }

 private:
  void Apply(uint64_t ticket, int rc, const TerminalKeyParameters& keys);

  TerminalService& service_;
  DeviceListPort& list_;
  SdkCallPool* pool_;
  SdkCallPool::Tag tag_;
  uint64_t next_ticket_ = 0;
  std::unordered_map<uint64_t, DeviceRow*> in_flight_;
};

// Writes a non-empty name to column 1 and a non-empty deamontime to column 6.
void ApplyKeyParameters(DeviceListPort& list, int position, const TerminalKeyParameters& keys);

}  // namespace vdz
