// Readers of device and media service replies, SOAP 1.2 or 1.1, by local name. Each returns
// false when the reply is not well-formed or lacks what it reads; a Fault is read apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdz::onvif {

struct SoapFault {
  std::string code;     // local name: "Sender", "Receiver", "VersionMismatch" (1.1: "Client")
  std::string subcode;  // innermost subcode's local name: "NotAuthorized", ...
  std::string reason;   // first Reason text (1.1: faultstring)
};

// True when the reply's body is a Fault; fills fault.
bool ReadFault(std::string_view reply, SoapFault* fault);
// The fault ONVIF devices give a refused login (ter:NotAuthorized; SOAP 1.1 devices often
// say only Client/Sender with "not authorized" in the text).
bool IsNotAuthorized(const SoapFault& fault);

// The device's UTC clock in seconds since 1970. LocalDateTime is taken only when UTCDateTime
// is missing (then the offset may be off by the device's time zone).
bool ReadSystemDateAndTime(std::string_view reply, std::int64_t* device_utc_seconds);
// Device clock minus ours, in seconds.
inline std::int64_t ClockOffset(std::int64_t device_utc_seconds, std::int64_t local_utc_seconds) {
  return device_utc_seconds - local_utc_seconds;
}

struct DeviceInformation {
  std::string manufacturer;
  std::string model;
  std::string firmware_version;
  std::string serial_number;
  std::string hardware_id;
};
bool ReadDeviceInformation(std::string_view reply, DeviceInformation* info);

struct NetworkInterface {
  std::string token;
  std::string name;
  std::string mac;  // HwAddress as written
  bool enabled = false;
  bool dhcp = false;
  std::string address;  // the DHCP one when DHCP is on, else the first manual one
  int prefix_length = 0;
};
// At most kMaxListItems interfaces.
bool ReadNetworkInterfaces(std::string_view reply, std::vector<NetworkInterface>* interfaces);

struct ServiceAddresses {
  std::string device;
  std::string media;
};
bool ReadCapabilities(std::string_view reply, ServiceAddresses* addresses);
bool ReadServices(std::string_view reply, ServiceAddresses* addresses);

struct MediaProfile {
  std::string token;
  std::string name;
  std::string encoding;  // "H264", "H265", "JPEG", ...
  int width = 0;
  int height = 0;
};
// At most kMaxListItems profiles.
bool ReadProfiles(std::string_view reply, std::vector<MediaProfile>* profiles);

// GetStreamUri and GetSnapshotUri: MediaUri/Uri.
bool ReadMediaUri(std::string_view reply, std::string* uri);

inline constexpr std::size_t kMaxListItems = 64;

}  // namespace vdz::onvif
