// The values of a device document where they stand in its text: every attribute and the text
// of every element without child elements. Writing back replaces only the values that changed,
// so everything else the device sent (attributes no page knows, spacing, quotes, order) goes
// back to it byte for byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vdz::remoteconfig {

struct DocumentValue {
  std::string path;       // element names from the root, "MotionDetectAlarm/EnableTimeList"
  std::string attribute;  // empty: the element's text
  int occurrence = 0;     // how many elements with the same path came before this one
  std::string value;      // entities resolved
  std::size_t begin = 0;  // the raw value in the text
  std::size_t end = 0;
  char quote = '"';  // the attribute's quote; 0 for element text

  // "path @attribute" or "path", how a value is named on its page and in the catalogue.
  std::string Name() const { return attribute.empty() ? path : path + " @" + attribute; }
};

// nullopt when the text is not one well-formed element (with prolog, comments and
// processing instructions around it allowed).
std::optional<std::vector<DocumentValue>> ReadDocumentValues(std::string_view text);

// The text with each named value replaced (escaped for where it stands). The values must come
// from ReadDocumentValues of this same text.
std::string WriteDocumentValues(std::string_view text,
                                std::vector<std::pair<const DocumentValue*, std::string>> changes);

}  // namespace vdz::remoteconfig
