// Escaping of values placed into hand-built device documents.
#pragma once

#include <string>
#include <string_view>

namespace vdz {

// Replaces exactly `"`, `<`, `>` and `&` by their entities, so a value can neither end its
// attribute nor open markup; every other byte, including non-ASCII text, passes unchanged.
std::string EscapeXmlAttribute(std::string_view value);
void AppendEscapedXmlAttribute(std::string* out, std::string_view value);

}  // namespace vdz
