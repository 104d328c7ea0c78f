#include "devconfig/message_header_reader.h"

#include <cstring>

#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

int ReadMessageHeader(const DeviceDocument& doc, MessageHeader* header) {
  if (!header)
    return -1;
  *header = MessageHeader{};
  const tinyxml2::XMLElement* root = doc.FirstRootNamedElement();
  if (!root) {
    DiagLog("Invalid message, XML root not found:\n%s\n", doc.text());
    return -1;
  }
  if (const tinyxml2::XMLElement* element = root->FirstChildElement("MESSAGE_HEADER")) {
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
      const char* name = a->Name();
      if (std::strcmp(name, "Msg_type") == 0) {
        CopyBounded(header->Msg_type, a->Value());
      } else if (std::strcmp(name, "Msg_code") == 0) {
        CopyBounded(header->Msg_code, a->Value());
      } else if (std::strcmp(name, "Msg_flag") == 0) {
        CopyBounded(header->Msg_flag, a->Value());
      }
    }
  }
  if (header->Msg_type[0] == '\0')
    return -3;
  if (header->Msg_code[0] == '\0')
    return -4;
  if (header->Msg_flag[0] == '\0')
    return -5;
  return 0;
}

int ReadMessageHeader(const char* text, MessageHeader* header) {
  const DeviceDocument doc(text);
  return ReadMessageHeader(doc, header);
}

}  // namespace vdz
