// Which of the two root names a device document uses, found in the plain text before parsing.
#pragma once

#include <string_view>

namespace vdz {

enum class DocumentRoot { kNone, kXmlVortan, kXmlLumeriant };

// The opening tag is matched literally, so a root carrying attributes is not recognised;
// XML_VORTAN wins when both pairs occur.
DocumentRoot FindDocumentRoot(std::string_view text);

// "XML_VORTAN", "XML_LUMERIANT", or "" for kNone.
const char* DocumentRootName(DocumentRoot root);

}  // namespace vdz
