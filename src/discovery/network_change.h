// Network-parameter change, restore and reboot of one device over the discovery protocol:
// no login needed, no answer awaited; the device's next search answer shows the effect.
#pragma once

#include <cstddef>

#include "discovery/assigned_address_table.h"
#include "discovery/device_record.h"
#include "discovery/device_registry.h"
#include "discovery/search_engine.h"

namespace vdz {

// What the three requests touch: the registry slot, the table of handed-out addresses and
// the engine that broadcasts the request.
struct NetworkChangeTarget {
  DeviceRegistry& registry;
  AssignedAddressTable& assigned;
  SearchEngine& engine;
  // Also send the request to the device's own address when it lies outside every local
  // subnet, where a routed device hears it. Off for free addresses: those come from a local
  // subnet and would move a routed device out of reach.
  bool unicast_copy = true;
};

// Each returns 0 when the request was handed to the engine, -1 when index is not a registry
// slot, -2 when record_size is smaller than a DeviceRecord, -3 when no body could be built.
// Before sending, the slot's old address leaves the table, the slot takes *record whole and
// the record's address enters the table (when a slot is free).
int SetDeviceNetwork(NetworkChangeTarget target, int index, const DeviceRecord* record,
                     std::size_t record_size);
int RestoreDeviceDefaults(NetworkChangeTarget target, int index, const DeviceRecord* record,
                          std::size_t record_size);
int RebootDeviceByDiscovery(NetworkChangeTarget target, int index, const DeviceRecord* record,
                            std::size_t record_size);

}  // namespace vdz
