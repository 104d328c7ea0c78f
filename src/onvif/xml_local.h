// Reading SOAP replies by local name. Cameras choose their own prefixes (s:, SOAP-ENV:, env:,
// none at all) and some leave namespaces undeclared, so only the part after the colon counts;
// where the namespace itself decides (a type name), QualifiedNamespace resolves it.
#pragma once

#include <tinyxml2.h>

#include <string>
#include <string_view>
#include <vector>

namespace vdz::onvif {

// "s:Body" -> "Body"; a name without a prefix is its own local name.
std::string_view LocalName(std::string_view qualified);
std::string_view PrefixOf(std::string_view qualified);

// First child element whose local name matches, or nullptr.
const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* parent, std::string_view local);
// First element at any depth below parent (depth first, document order), or nullptr.
const tinyxml2::XMLElement* Descendant(const tinyxml2::XMLElement* parent, std::string_view local);
// Every child element with that local name, in document order.
std::vector<const tinyxml2::XMLElement*> Children(const tinyxml2::XMLElement* parent,
                                                  std::string_view local);
// Follows a path of local names from parent; nullptr when any step is missing.
const tinyxml2::XMLElement* Path(const tinyxml2::XMLElement* parent,
                                 std::initializer_list<std::string_view> locals);

// Element text with surrounding blanks removed; empty for nullptr or an empty element.
std::string Text(const tinyxml2::XMLElement* element);
// Attribute by local name (prefix ignored); empty when missing.
std::string Attribute(const tinyxml2::XMLElement* element, std::string_view local);

// Namespace a prefix stands for at element, from the xmlns declarations on it and its
// ancestors; empty when undeclared.
std::string NamespaceOfPrefix(const tinyxml2::XMLElement* element, std::string_view prefix);

// Blank-separated list (Types, Scopes, XAddrs), empty items dropped.
std::vector<std::string> SplitList(std::string_view text);

// Escaped for element text and attribute values.
std::string EscapeXml(std::string_view text);

// Parses text that need not be terminated; false for anything that is not well-formed XML.
bool ParseXml(tinyxml2::XMLDocument* document, std::string_view text);

}  // namespace vdz::onvif
