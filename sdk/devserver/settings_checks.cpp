#include "settings_checks.h"

#include <tinyxml2.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "protocol/protocol_numbers.h"

namespace vdz::devserver {

const char* ExpectedConfigRoot(int command) {
  switch (command) {
    case proto::kCfgTime:
      return "TimeConfig";
    case proto::kCfgPassword:
      return "UserConfig";
    case proto::kCfgDeviceLanguage:
      return "MiscConfig";
    case proto::kCfgMaintenance:
      return "MaintainConfig";
    case proto::kCfgEncoding:
      return "Encode";
    case proto::kCfgTitleOverlay:
      return "Overlay";
    case proto::kCfgPlatform:
      return "PlatformConfig";
    case proto::kCfgMotionDetection:
      return "MotionDetectAlarm";
    default:
      return nullptr;
  }
}

const char* ExpectedSystemRoot(int command) {
  switch (command) {
    case proto::kCmdTimeSync:
    case proto::kCmdOutputPort:
    case proto::kCmdImageParameters:
      return "REQUEST_PARAM";
    default:
      return nullptr;
  }
}

bool DocumentHasRoot(std::string_view text, const char* root) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return false;
  const tinyxml2::XMLElement* e = doc.RootElement();
  return e != nullptr && std::strcmp(e->Name(), root) == 0;
}

bool DocumentHasValue(std::string_view text, const std::string& attribute,
                      const std::string& value) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return false;
  std::vector<const tinyxml2::XMLElement*> stack{doc.RootElement()};
  while (!stack.empty()) {
    const tinyxml2::XMLElement* e = stack.back();
    stack.pop_back();
    if (e == nullptr)
      continue;
    if (const char* a = e->Attribute(attribute.c_str()); a != nullptr && value == a)
      return true;
    for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
      stack.push_back(c);
  }
  return false;
}

std::optional<std::string> AdminPasswordIn(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return std::nullopt;
  const tinyxml2::XMLElement* root = doc.FirstChildElement("UserConfig");
  for (const tinyxml2::XMLElement* a = root ? root->FirstChildElement("Account") : nullptr;
       a != nullptr; a = a->NextSiblingElement("Account")) {
    const char* user = a->Attribute("Username");
    const char* password = a->Attribute("Password");
    if (user != nullptr && password != nullptr && std::strcmp(user, "admin") == 0)
      return std::string(password);
  }
  return std::nullopt;
}

std::optional<std::int64_t> TimeSyncSeconds(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr)
    return std::nullopt;
  const char* stamp = doc.RootElement()->Attribute("Time");
  if (stamp == nullptr)
    return std::nullopt;
  std::tm tm{};
  char tail = 0;
  if (std::sscanf(stamp, "%4d%2d%2d %d:%d:%d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec, &tail) != 6)
    return std::nullopt;
  if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
      tm.tm_min > 59 || tm.tm_sec > 60)
    return std::nullopt;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  return static_cast<std::int64_t>(timegm(&tm));
}

}  // namespace vdz::devserver
