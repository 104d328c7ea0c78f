#include "device_config_file.h"

#include <tinyxml2.h>

#include <cstring>

#include "device_documents.h"

namespace vdz::devserver {

std::string ConfigFileDocument(const DeviceConfig& config) {
  std::string out = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<";
  out += kConfigFileRoot;
  out += " model=\"" + EscapeAttribute(DeviceModel(config)) + "\" serial=\"" +
         EscapeAttribute(config.serial_number) + "\" version=\"" +
         EscapeAttribute(config.firmware_version) + "\">\n";
  for (const auto& [command, document] : config.documents) {
    out += "\t<Document command=\"" + std::to_string(command) + "\">" + EscapeAttribute(document) +
           "</Document>\n";
  }
  out += "</";
  out += kConfigFileRoot;
  out += ">\n";
  return out;
}

std::optional<std::map<int, std::string>> ReadConfigFile(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return std::nullopt;
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (root == nullptr || std::strcmp(root->Name(), kConfigFileRoot) != 0)
    return std::nullopt;
  std::map<int, std::string> documents;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e != nullptr;
       e = e->NextSiblingElement()) {
    int command = 0;
    if (std::strcmp(e->Name(), "Document") != 0 ||
        e->QueryIntAttribute("command", &command) != tinyxml2::XML_SUCCESS || command <= 0 ||
        e->FirstChildElement() != nullptr) {
      return std::nullopt;
    }
    const char* body = e->GetText();
    documents[command] = body != nullptr ? body : "";
  }
  return documents;
}

std::string DeviceModel(const DeviceConfig& config) {
  std::string model = config.device_type;
  constexpr std::string_view kPrefix = "NVS-IPCAM-";
  for (std::size_t at = model.find(kPrefix); at != std::string::npos; at = model.find(kPrefix))
    model.erase(at, kPrefix.size());
  return model;
}

}  // namespace vdz::devserver
