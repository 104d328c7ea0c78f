#include "discovery/discovery_protocol.h"

#include "devconfig/decimal_text.h"
#include "devconfig/message_header_reader.h"
#include "shell/diag_log.h"

namespace vdz {

std::string BuildDiscoveryMessage(int code, const char* body) {
  std::string text;
  text.reserve(256);
  text.append(
      "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n"
      "<XML_VORTAN>\n"
      "<MESSAGE_HEADER\n"
      "Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\"\n"
      "Msg_code=\"");
  text.append(std::to_string(code));
  text.append(
      "\"\n"
      "Msg_flag=\"0\"\n"
      "/>\n"
      "<MESSAGE_BODY>\n");
  if (body) {
    text.append(body);
    text.push_back('\n');
  }
  text.append(
      "</MESSAGE_BODY>\n"
      "</XML_VORTAN>");
  if (text.size() > kMaxDiscoveryMessage)
    text.resize(kMaxDiscoveryMessage);
  return text;
}

DatagramKind ClassifyDatagram(const DeviceDocument& doc) {
  MessageHeader header;
  if (ReadMessageHeader(doc, &header) == 0 &&
      ParseDecimal(header.Msg_code) == proto::kDiscoveryAnswer) {
    return DatagramKind::kDeviceAnswer;
  }
  DiagLog("recv message: %s\n", doc.text());
  return DatagramKind::kDropped;
}

DatagramKind ClassifyDatagram(const char* text) {
  const DeviceDocument doc(text);
  return ClassifyDatagram(doc);
}

}  // namespace vdz
