// Reads WS-Discovery ProbeMatches datagrams (SOAP 1.2 or 1.1) into plain values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vdz::onvif {

struct ProbeMatch {
  std::string endpoint;             // EndpointReference Address: the device's lasting identity
  std::vector<std::string> types;   // as written ("dn:NetworkVideoTransmitter")
  std::vector<std::string> scopes;  // as written
  std::vector<std::string> xaddrs;  // as written, in the device's order
  std::string metadata_version;
  std::string relates_to;  // the MessageID of the Probe this answers
  // From onvif://www.onvif.org/name/..., /hardware/..., /location/... scopes, percent-decoded:
  // a caption before the device's identity has been read.
  std::string name;
  std::string hardware;
  std::string location;
  bool soap11 = false;  // the device answered in SOAP 1.1: it may speak only that
};

enum class ProbeMatchStatus {
  kMatches,      // at least one ProbeMatch of a video device was read
  kNotXml,       // not well-formed, or not a SOAP envelope
  kOwnProbe,     // a Probe (ours echoed back, or another client's): never a device
  kNotMatches,   // some other WS-Discovery message (Hello, Bye, Resolve...)
  kNoVideoType,  // ProbeMatches, but no match names a video device (a printer, a PC's wsdd)
};

// A match names a video device when one of its Types is NetworkVideoTransmitter or
// NetworkVideoDisplay of the ONVIF network namespace, or Device of the ONVIF device
// namespace. The first two are taken by local name when the camera left the prefix
// undeclared (they exist only in ONVIF); a bare "Device" is not, since WS-Discovery hosts
// that are no camera (wsdd: "wsdp:Device pub:Computer") announce a Device type too.
bool NamesVideoDevice(const std::vector<std::string>& types,
                      const std::vector<std::string>& namespaces);

// Every video-device match in the datagram; matches without an endpoint address are dropped.
// own_message_ids: ids of the Probes this search sent; a message carrying one of them as its
// own MessageID is our echo.
ProbeMatchStatus ReadProbeMatches(std::string_view datagram,
                                  const std::vector<std::string>& own_message_ids,
                                  std::vector<ProbeMatch>* matches);

// "a%20b" -> "a b"; a malformed escape is kept as written.
std::string PercentDecode(std::string_view text);

}  // namespace vdz::onvif
