#include "device_documents.h"

namespace vdz::devserver {

std::string EscapeAttribute(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
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
      case '\r':
        // XML readers turn a raw carriage return into a line feed; a stored document
        // written with CR LF must come back as it was.
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FirmwareVersionDocument(const DeviceConfig& config) {
  return "<RESPONSE_PARAM FileSystemVersion=\"" + EscapeAttribute(config.firmware_version) +
         "\" />\n";
}

std::string DeviceInformationDocument(const DeviceConfig& config) {
  if (!config.device_information.empty())
    return config.device_information;
  return "<RESPONSE_PARAM\n\tDeviceType=\"" + EscapeAttribute(config.device_type) +
         "\"\n\tSerialNumber=\"" + EscapeAttribute(config.serial_number) + "\"\n\tDeviceName=\"" +
         EscapeAttribute(config.device_name) + "\"\n\tFileSystemVersion=\"" +
         EscapeAttribute(config.firmware_version) + "\"\n\tCapability=\"" +
         EscapeAttribute(config.capabilities) +
         "\"\n\tVideoChannels=\"1\"\n\tAudioChannels=\"1\"\n\tAlarmInputs=\"1\"\n\tAlarmOutputs="
         "\"1\"\n/>\n";
}

std::string EmptyFileListDocument() {
  return "<RESPONSE_PARAM>\n</RESPONSE_PARAM>\n";
}

}  // namespace vdz::devserver
