#include "devconfig/document_root.h"

namespace vdz {
namespace {

bool HasPair(std::string_view text, std::string_view open, std::string_view close) {
  return text.find(open) != std::string_view::npos && text.find(close) != std::string_view::npos;
}

}  // namespace

DocumentRoot FindDocumentRoot(std::string_view text) {
  if (HasPair(text, "<XML_VORTAN>", "</XML_VORTAN>"))
    return DocumentRoot::kXmlVortan;
  if (HasPair(text, "<XML_LUMERIANT>", "</XML_LUMERIANT>"))
    return DocumentRoot::kXmlLumeriant;
  return DocumentRoot::kNone;
}

const char* DocumentRootName(DocumentRoot root) {
  switch (root) {
    case DocumentRoot::kXmlVortan:
      return "XML_VORTAN";
    case DocumentRoot::kXmlLumeriant:
      return "XML_LUMERIANT";
    case DocumentRoot::kNone:
      break;
  }
  return "";
}

}  // namespace vdz
