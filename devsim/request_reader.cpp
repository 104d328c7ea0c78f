#include "request_reader.h"

#include <tinyxml2.h>

#include <cstring>

#include "sim_device.h"

namespace vdz::devsim {

namespace {

const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* parent, const char* name) {
  return parent ? parent->FirstChildElement(name) : nullptr;
}

std::optional<std::string> AttrText(const tinyxml2::XMLElement* e, const char* name) {
  const char* v = e ? e->Attribute(name) : nullptr;
  if (!v)
    return std::nullopt;
  return std::string(v);
}

int LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 1000000000; ++i) {
    v = v * 10 + (text[i] - '0');
  }
  return static_cast<int>(negative ? -v : v);
}

}  // namespace

std::optional<DiscoveryRequest> ReadDiscoveryRequest(std::string_view text, std::string* why) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
    if (why)
      *why = "bad-xml";
    return std::nullopt;
  }
  const tinyxml2::XMLElement* root = doc.FirstChildElement("XML_VORTAN");
  if (!root)
    root = doc.FirstChildElement("XML_LUMERIANT");
  if (!root) {
    if (why)
      *why = "no-root";
    return std::nullopt;
  }
  const std::optional<std::string> code = AttrText(Child(root, "MESSAGE_HEADER"), "Msg_code");
  if (!code) {
    if (why)
      *why = "no-header";
    return std::nullopt;
  }
  DiscoveryRequest r;
  r.root = root->Name();
  r.code_text = *code;
  r.code = LeadingNumber(*code);
  const tinyxml2::XMLElement* body = Child(root, "MESSAGE_BODY");
  if (const auto sn = AttrText(Child(body, "IPC_SERIALNUMBER"), "SerialNumber")) {
    r.has_serial = true;
    r.serial = *sn;
  }
  if (const tinyxml2::XMLElement* lan = Child(body, "LANConfig")) {
    LanChange c;
    c.mac = AttrText(lan, "MacAddress");
    c.dhcp = AttrText(lan, "DHCP");
    c.ip = AttrText(lan, "IPAddress");
    c.mask = AttrText(lan, "Netmask");
    c.gateway = AttrText(lan, "Gateway");
    c.dns1 = AttrText(lan, "DNS1");
    c.dns2 = AttrText(lan, "DNS2");
    r.lan = c;
  }
  if (const tinyxml2::XMLElement* sys = Child(Child(body, "RK_CONFIG"), "SYSTEM")) {
    std::array<std::string, 7> fields;
    for (std::size_t i = 0; i < kRkFieldNames.size(); ++i) {
      fields[i] = AttrText(sys, kRkFieldNames[i]).value_or("");
    }
    r.rk = fields;
  }
  return r;
}

}  // namespace vdz::devsim
