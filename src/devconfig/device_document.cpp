#include "devconfig/device_document.h"

#include <cstring>

namespace vdz {

DeviceDocument::DeviceDocument(const char* text)
    : text_(text ? text : ""), root_(FindDocumentRoot(text_)) {
  // Parse errors are not reported on their own: they leave no root element behind.
  if (root_ != DocumentRoot::kNone)
    xml_.Parse(text_.c_str(), text_.size());
}

const tinyxml2::XMLElement* DeviceDocument::FirstElementIfRoot() const {
  if (root_ == DocumentRoot::kNone)
    return nullptr;
  const tinyxml2::XMLElement* first = xml_.FirstChildElement();
  if (!first || std::strcmp(first->Name(), DocumentRootName(root_)) != 0)
    return nullptr;
  return first;
}

const tinyxml2::XMLElement* DeviceDocument::FirstRootNamedElement() const {
  if (root_ == DocumentRoot::kNone)
    return nullptr;
  return xml_.FirstChildElement(DocumentRootName(root_));
}

const tinyxml2::XMLElement* DeviceDocument::BlockBody() const {
  const tinyxml2::XMLElement* root = FirstElementIfRoot();
  return root ? root->FirstChildElement("MESSAGE_BODY") : nullptr;
}

}  // namespace vdz
