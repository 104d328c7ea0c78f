#include "devconfig/xml_escape.h"

namespace vdz {

void AppendEscapedXmlAttribute(std::string* out, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case '"':
        out->append("&quot;");
        break;
      case '<':
        out->append("&lt;");
        break;
      case '>':
        out->append("&gt;");
        break;
      case '&':
        out->append("&amp;");
        break;
      default:
        out->push_back(c);
    }
  }
}

std::string EscapeXmlAttribute(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendEscapedXmlAttribute(&out, value);
  return out;
}

}  // namespace vdz
