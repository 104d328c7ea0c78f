#include "onvif/xml_local.h"

#include <cstring>

namespace vdz::onvif {

std::string_view LocalName(std::string_view qualified) {
  const std::size_t colon = qualified.rfind(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

std::string_view PrefixOf(std::string_view qualified) {
  const std::size_t colon = qualified.rfind(':');
  return colon == std::string_view::npos ? std::string_view{} : qualified.substr(0, colon);
}

const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* parent, std::string_view local) {
  if (parent == nullptr)
    return nullptr;
  for (const tinyxml2::XMLElement* e = parent->FirstChildElement(); e != nullptr;
       e = e->NextSiblingElement()) {
    if (LocalName(e->Name()) == local)
      return e;
  }
  return nullptr;
}

const tinyxml2::XMLElement* Descendant(const tinyxml2::XMLElement* parent, std::string_view local) {
  if (parent == nullptr)
    return nullptr;
  // Iterative walk: a hostile reply may nest deeply, the stack must not follow it.
  const tinyxml2::XMLElement* e = parent->FirstChildElement();
  while (e != nullptr) {
    if (LocalName(e->Name()) == local)
      return e;
    if (const tinyxml2::XMLElement* first = e->FirstChildElement()) {
      e = first;
      continue;
    }
    while (e != nullptr && e != parent && e->NextSiblingElement() == nullptr) {
      const tinyxml2::XMLNode* up = e->Parent();
      e = up != nullptr ? up->ToElement() : nullptr;
    }
    if (e == nullptr || e == parent)
      return nullptr;
    e = e->NextSiblingElement();
  }
  return nullptr;
}

std::vector<const tinyxml2::XMLElement*> Children(const tinyxml2::XMLElement* parent,
                                                  std::string_view local) {
  std::vector<const tinyxml2::XMLElement*> found;
  if (parent == nullptr)
    return found;
  for (const tinyxml2::XMLElement* e = parent->FirstChildElement(); e != nullptr;
       e = e->NextSiblingElement()) {
    if (LocalName(e->Name()) == local)
      found.push_back(e);
  }
  return found;
}

const tinyxml2::XMLElement* Path(const tinyxml2::XMLElement* parent,
                                 std::initializer_list<std::string_view> locals) {
  const tinyxml2::XMLElement* e = parent;
  for (std::string_view local : locals) {
    e = Child(e, local);
    if (e == nullptr)
      return nullptr;
  }
  return e;
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::string Text(const tinyxml2::XMLElement* element) {
  if (element == nullptr || element->GetText() == nullptr)
    return {};
  return std::string(Trim(element->GetText()));
}

std::string Attribute(const tinyxml2::XMLElement* element, std::string_view local) {
  if (element == nullptr)
    return {};
  for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) {
    if (LocalName(a->Name()) == local && PrefixOf(a->Name()) != "xmlns")
      return std::string(Trim(a->Value()));
  }
  return {};
}

std::string NamespaceOfPrefix(const tinyxml2::XMLElement* element, std::string_view prefix) {
  const std::string name = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (const tinyxml2::XMLNode* n = element; n != nullptr; n = n->Parent()) {
    const tinyxml2::XMLElement* e = n->ToElement();
    if (e == nullptr)
      break;
    if (const char* value = e->Attribute(name.c_str()))
      return value;
  }
  return {};
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i]))
      ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsBlank(text[i]))
      ++i;
    if (i > start)
      items.emplace_back(text.substr(start, i - start));
  }
  return items;
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
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

bool ParseXml(tinyxml2::XMLDocument* document, std::string_view text) {
  return document->Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS &&
         document->RootElement() != nullptr;
}

}  // namespace vdz::onvif
