// One device document, root-detected and parsed once, so that one answer can go through
// the classifier and every block reader without being parsed again.
#pragma once

#include <tinyxml2.h>

#include <string>
#include <string_view>

#include "devconfig/document_root.h"

namespace vdz {

class DeviceDocument {
 public:
  // A null text reads as empty. The text is copied; the caller's buffer may go away.
  explicit DeviceDocument(const char* text);

  DeviceDocument(const DeviceDocument&) = delete;
  DeviceDocument& operator=(const DeviceDocument&) = delete;

  // The text as received, for log lines.
  const char* text() const { return text_.c_str(); }
  std::string_view text_view() const { return text_; }

  DocumentRoot root() const { return root_; }

  // The block readers insist that the document's very first element is the root.
  const tinyxml2::XMLElement* FirstElementIfRoot() const;

  // The header and identity readers accept the first top-level element named like the root.
  const tinyxml2::XMLElement* FirstRootNamedElement() const;

  // First MESSAGE_BODY under FirstElementIfRoot(), or null.
  const tinyxml2::XMLElement* BlockBody() const;

 private:
  std::string text_;
  DocumentRoot root_;
  // Left empty when no root pair was found: such text is refused before parsing.
  tinyxml2::XMLDocument xml_;
};

}  // namespace vdz
