#include "onvif/probe_match_reader.h"

#include <algorithm>

#include "onvif/wsd_probe.h"
#include "onvif/xml_local.h"

namespace vdz::onvif {

namespace {

using tinyxml2::XMLElement;

constexpr std::string_view kScopePrefix = "onvif://www.onvif.org/";

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The value of the first scope under onvif://www.onvif.org/<kind>/.
std::string ScopeValue(const std::vector<std::string>& scopes, std::string_view kind) {
  for (const std::string& scope : scopes) {
    std::string_view s = scope;
    if (s.substr(0, kScopePrefix.size()) != kScopePrefix)
      continue;
    s.remove_prefix(kScopePrefix.size());
    if (s.size() > kind.size() && s.substr(0, kind.size()) == kind && s[kind.size()] == '/')
      return PercentDecode(s.substr(kind.size() + 1));
  }
  return {};
}

ProbeMatch ReadOne(const XMLElement* match) {
  ProbeMatch m;
  m.endpoint = Text(Path(match, {"EndpointReference", "Address"}));
  const XMLElement* types = Child(match, "Types");
  m.types = SplitList(Text(types));
  m.scopes = SplitList(Text(Child(match, "Scopes")));
  m.xaddrs = SplitList(Text(Child(match, "XAddrs")));
  m.metadata_version = Text(Child(match, "MetadataVersion"));
  m.name = ScopeValue(m.scopes, "name");
  m.hardware = ScopeValue(m.scopes, "hardware");
  m.location = ScopeValue(m.scopes, "location");
  return m;
}

std::vector<std::string> TypeNamespaces(const XMLElement* types_element,
                                        const std::vector<std::string>& types) {
  std::vector<std::string> namespaces;
  namespaces.reserve(types.size());
  for (const std::string& type : types)
    namespaces.push_back(NamespaceOfPrefix(types_element, PrefixOf(type)));
  return namespaces;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool NamesVideoDevice(const std::vector<std::string>& types,
                      const std::vector<std::string>& namespaces) {
  for (std::size_t i = 0; i < types.size(); ++i) {
    const std::string_view local = LocalName(types[i]);
    const std::string_view ns = i < namespaces.size() ? namespaces[i] : std::string_view{};
    if (local == "NetworkVideoTransmitter" || local == "NetworkVideoDisplay") {
      if (ns.empty() || ns == kOnvifNetworkNamespace)
        return true;
    } else if (local == "Device" && ns == kOnvifDeviceNamespace) {
      return true;
    }
  }
  return false;
}

ProbeMatchStatus ReadProbeMatches(std::string_view datagram,
                                  const std::vector<std::string>& own_message_ids,
                                  std::vector<ProbeMatch>* matches) {
  matches->clear();
  tinyxml2::XMLDocument document;
  if (!ParseXml(&document, datagram))
    return ProbeMatchStatus::kNotXml;
  const XMLElement* envelope = document.RootElement();
  if (LocalName(envelope->Name()) != "Envelope")
    return ProbeMatchStatus::kNotXml;
  const XMLElement* header = Child(envelope, "Header");
  const XMLElement* body = Child(envelope, "Body");
  if (body == nullptr)
    return ProbeMatchStatus::kNotXml;
  const std::string message_id = Text(Child(header, "MessageID"));
  if (!message_id.empty() && std::find(own_message_ids.begin(), own_message_ids.end(),
                                       message_id) != own_message_ids.end())
    return ProbeMatchStatus::kOwnProbe;
  if (Child(body, "Probe") != nullptr)
    return ProbeMatchStatus::kOwnProbe;
  const XMLElement* list = Child(body, "ProbeMatches");
  if (list == nullptr)
    return ProbeMatchStatus::kNotMatches;
  const bool soap11 = NamespaceOfPrefix(envelope, PrefixOf(envelope->Name())) ==
                      "http://schemas.xmlsoap.org/soap/envelope/";
  const std::string relates_to = Text(Child(header, "RelatesTo"));
  for (const XMLElement* match : Children(list, "ProbeMatch")) {
    ProbeMatch m = ReadOne(match);
    if (m.endpoint.empty())
      continue;
    if (!NamesVideoDevice(m.types, TypeNamespaces(Child(match, "Types"), m.types)))
      continue;
    m.relates_to = relates_to;
    m.soap11 = soap11;
    matches->push_back(std::move(m));
  }
  return matches->empty() ? ProbeMatchStatus::kNoVideoType : ProbeMatchStatus::kMatches;
}

}  // namespace vdz::onvif
