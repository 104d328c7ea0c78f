// The WS-Discovery (2005/04) Probe every search multicasts for ONVIF devices.
#pragma once

#include <cstdint>
#include <string>

namespace vdz::onvif {

inline constexpr char kWsdMulticastAddress[] = "239.255.255.250";
inline constexpr std::uint16_t kWsdPort = 3702;
inline constexpr char kWsdNamespace[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr char kWsdTo[] = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
inline constexpr char kWsdProbeAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
inline constexpr char kWsdProbeMatchesAction[] =
    "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
inline constexpr char kOnvifNetworkNamespace[] = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr char kOnvifDeviceNamespace[] = "http://www.onvif.org/ver10/device/wsdl";
// A device answers a Probe only when it is every type the Probe names, so each Probe of a
// search names one: cameras first, then any ONVIF device (recorders), then decoders.
inline constexpr const char* kProbeTypeRounds[] = {"dn:NetworkVideoTransmitter", "tds:Device",
                                                   "dn:NetworkVideoDisplay"};

// One line, no line breaks (some cameras read only the first datagram line): a SOAP 1.2
// envelope with MessageID, To, Action and a Probe for these types.
std::string BuildProbe(const std::string& message_id,
                       const std::string& types = kProbeTypeRounds[0]);

}  // namespace vdz::onvif
