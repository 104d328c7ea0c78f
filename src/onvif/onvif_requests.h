// Bodies and actions of the device and media service (ver10) requests the client sends.
// Values are escaped; the prefixes are those BuildEnvelope declares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vdz::onvif {

struct SoapRequest {
  std::string action;  // full action URI
  std::string body;    // one element
};

SoapRequest GetSystemDateAndTimeRequest();
SoapRequest GetDeviceInformationRequest();
SoapRequest GetNetworkInterfacesRequest();
SoapRequest GetCapabilitiesRequest();  // Category All
SoapRequest GetServicesRequest();      // without capabilities
SoapRequest GetProfilesRequest();
// RTP unicast over RTSP, what an RTSP client plays.
SoapRequest GetStreamUriRequest(const std::string& profile_token);
SoapRequest GetSnapshotUriRequest(const std::string& profile_token);
SoapRequest SystemRebootRequest();
// Manual time set to utc_seconds (the device keeps its time zone), or NTP when use_ntp.
SoapRequest SetSystemDateAndTimeRequest(bool use_ntp, std::int64_t utc_seconds);
// Manual NTP servers: dotted IPv4 addresses, else DNS names.
SoapRequest SetNtpRequest(const std::vector<std::string>& servers);
// A fixed IPv4 address (DHCP off) on the interface with this token.
SoapRequest SetNetworkInterfacesRequest(const std::string& interface_token,
                                        const std::string& address, int prefix_length);
SoapRequest SetNetworkDefaultGatewayRequest(const std::string& gateway);
// level: "Administrator", "Operator" or "User".
SoapRequest SetUserRequest(const std::string& username, const std::string& password,
                           const std::string& level);

}  // namespace vdz::onvif
