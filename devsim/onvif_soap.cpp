#include "onvif_soap.h"

#include <openssl/rand.h>
#include <tinyxml2.h>

#include <cstdio>
#include <cstdlib>

namespace vdz::devsim {

std::string_view LocalName(std::string_view qname) {
  const std::size_t colon = qname.rfind(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* e, std::string_view local) {
  if (!e)
    return nullptr;
  for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    if (LocalName(c->Name()) == local)
      return c;
  }
  return nullptr;
}

const tinyxml2::XMLElement* Path(const tinyxml2::XMLElement* e,
                                 std::initializer_list<std::string_view> locals) {
  for (std::string_view l : locals)
    e = Child(e, l);
  return e;
}

std::vector<const tinyxml2::XMLElement*> Children(const tinyxml2::XMLElement* e,
                                                  std::string_view local) {
  std::vector<const tinyxml2::XMLElement*> out;
  if (!e)
    return out;
  for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    if (LocalName(c->Name()) == local)
      out.push_back(c);
  }
  return out;
}

std::string Text(const tinyxml2::XMLElement* e) {
  const char* t = e ? e->GetText() : nullptr;
  if (!t)
    return {};
  std::string_view s(t);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && blank(s.back()))
    s.remove_suffix(1);
  return std::string(s);
}

std::string NamespaceOf(const tinyxml2::XMLElement* e, std::string_view prefix) {
  const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (const tinyxml2::XMLNode* n = e; n; n = n->Parent()) {
    const tinyxml2::XMLElement* el = n->ToElement();
    if (!el)
      break;
    if (const char* v = el->Attribute(attr.c_str()))
      return v;
  }
  return {};
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SoapEnvelope(bool soap11, const std::string& header, const std::string& body) {
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"";
  s += soap11 ? kSoap11Ns : kSoap12Ns;
  s += "\" xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
       " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
       " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""
       " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
       " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
       " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
       " xmlns:ter=\"http://www.onvif.org/ver10/error\">";
  if (!header.empty())
    s += "<SOAP-ENV:Header>" + header + "</SOAP-ENV:Header>";
  s += "<SOAP-ENV:Body>" + body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>\n";
  return s;
}

std::string SoapFault(bool soap11, const std::string& code, const std::string& subcode,
                      const std::string& reason) {
  if (soap11) {
    // SOAP 1.1 has no subcodes: the ter: name goes in faultcode's place beside the reason.
    return "<SOAP-ENV:Fault><faultcode>SOAP-ENV:" +
           std::string(code == "Sender" ? "Client" : "Server") + "</faultcode><faultstring>" +
           XmlEscape(reason) + "</faultstring><detail><ter:" + subcode +
           "/></detail></SOAP-ENV:Fault>";
  }
  return "<SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:" + code +
         "</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>ter:" + subcode +
         "</SOAP-ENV:Value></SOAP-ENV:Subcode></SOAP-ENV:Code><SOAP-ENV:Reason><SOAP-ENV:Text "
         "xml:lang=\"en\">" +
         XmlEscape(reason) + "</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault>";
}

std::string NewUuid() {
  unsigned char b[16];
  if (RAND_bytes(b, sizeof b) != 1) {
    for (unsigned char& x : b)
      x = static_cast<unsigned char>(std::rand());
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  char t[40];
  std::snprintf(t, sizeof t, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
                b[13], b[14], b[15]);
  return t;
}

}  // namespace vdz::devsim
