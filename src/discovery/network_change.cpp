#include "discovery/network_change.h"

#include <memory>
#include <string>

#include "devconfig/request_bodies.h"
#include "discovery/discovery_protocol.h"
#include "shell/bounded_text.h"

namespace vdz {

namespace {

enum class Request { kLanConfig, kRestore, kReboot };

int SendRequest(NetworkChangeTarget target, int index, const DeviceRecord* record,
                std::size_t record_size, Request request) {
  if (index < 0 || index >= target.registry.GetDeviceCount())
    return -1;
  if (record == nullptr || record_size < sizeof(DeviceRecord))
    return -2;

  auto current = std::make_unique<DeviceRecord>(ZeroDeviceRecord());
  if (target.registry.CopyRecord(index, current.get(), sizeof *current) != 0)
    return -1;
  target.assigned.Remove(AssignedAddressTable::Parse(current->Lan.IPAddress));
  if (target.registry.ReplaceRecord(index, record, sizeof(DeviceRecord)) != 0)
    return -1;
  // The caller's record may come from anywhere: read its text fields only within bounds.
  const std::string address(FieldText(record->Lan.IPAddress));
  target.assigned.Add(AssignedAddressTable::Parse(address.c_str()));

  const std::string_view serial = FieldText(record->SerialNumber);
  std::string body;
  int code = 0;
  switch (request) {
    case Request::kLanConfig:
      body = BuildLanConfigBody(serial, record->Lan);
      code = proto::kDiscoverySetParameters;
      break;
    case Request::kRestore:
      body = BuildSerialBody(serial);
      code = proto::kDiscoveryRestore;
      break;
    case Request::kReboot:
      body = BuildSerialBody(serial);
      code = proto::kDiscoveryReboot;
      break;
  }
  if (body.empty())
    return -3;
  target.engine.SendDiscoveryMessage(code, body.c_str());
  // A device behind a router hears only what is sent to the address it has now; the engine
  // leaves this out for devices on a local subnet.
  const std::string now_at(FieldText(current->Lan.IPAddress));
  if (!now_at.empty() && target.unicast_copy)
    target.engine.SendDiscoveryMessageTo(code, body.c_str(), now_at);
  return 0;
}

}  // namespace

int SetDeviceNetwork(NetworkChangeTarget target, int index, const DeviceRecord* record,
                     std::size_t record_size) {
  return SendRequest(target, index, record, record_size, Request::kLanConfig);
}

int RestoreDeviceDefaults(NetworkChangeTarget target, int index, const DeviceRecord* record,
                          std::size_t record_size) {
  return SendRequest(target, index, record, record_size, Request::kRestore);
}

int RebootDeviceByDiscovery(NetworkChangeTarget target, int index, const DeviceRecord* record,
                            std::size_t record_size) {
  return SendRequest(target, index, record, record_size, Request::kReboot);
}

}  // namespace vdz
