// SOAP as the simulated ONVIF cameras read and write it: envelopes of either SOAP version,
// elements found by local name whatever prefix a client chose, and escaped values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

namespace vdz::devsim {

inline constexpr const char* kSoap12Ns = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* kSoap11Ns = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char* kSoap12Type = "application/soap+xml; charset=utf-8";
inline constexpr const char* kSoap11Type = "text/xml; charset=utf-8";

std::string_view LocalName(std::string_view qname);
// The first child element (or the element itself for Self) with that local name.
const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* e, std::string_view local);
// A descendant reached by a path of local names, e.g. {"Header", "MessageID"}.
const tinyxml2::XMLElement* Path(const tinyxml2::XMLElement* e,
                                 std::initializer_list<std::string_view> locals);
std::vector<const tinyxml2::XMLElement*> Children(const tinyxml2::XMLElement* e,
                                                  std::string_view local);
// Trimmed text of an element, empty when there is none.
std::string Text(const tinyxml2::XMLElement* e);
// The namespace a prefix is bound to at e (xmlns:prefix, or xmlns for ""), or empty.
std::string NamespaceOf(const tinyxml2::XMLElement* e, std::string_view prefix);

std::string XmlEscape(std::string_view text);

// A whole envelope: the namespace declarations every reply uses, header and body as given.
std::string SoapEnvelope(bool soap11, const std::string& header, const std::string& body);
// A fault body; code is Sender or Receiver, subcode a ter: name such as NotAuthorized.
std::string SoapFault(bool soap11, const std::string& code, const std::string& subcode,
                      const std::string& reason);

// RFC 4122 version 4 text for a fresh message id.
std::string NewUuid();

}  // namespace vdz::devsim
