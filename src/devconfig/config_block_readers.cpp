#include "devconfig/config_block_readers.h"

#include <cstring>

#include "devconfig/decimal_text.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

using tinyxml2::XMLAttribute;
using tinyxml2::XMLElement;

bool Is(const XMLAttribute* a, const char* name) {
  return std::strcmp(a->Name(), name) == 0;
}

// First `child` inside any `parent` element of the body, in document order.
const XMLElement* FindNested(const XMLElement* body, const char* parent, const char* child) {
  if (!body)
    return nullptr;
  for (const XMLElement* p = body->FirstChildElement(parent); p;
       p = p->NextSiblingElement(parent)) {
    if (const XMLElement* c = p->FirstChildElement(child))
      return c;
  }
  return nullptr;
}

void CopyAccount(const XMLElement& element, UserAccount* account) {
  for (const XMLAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "Username")) {
      CopyBounded(account->Username, a->Value());
    } else if (Is(a, "Password")) {
      CopyBounded(account->Password, a->Value());
    } else if (Is(a, "Group")) {
      CopyBounded(account->Group, a->Value());
    } else if (Is(a, "Status")) {
      CopyBounded(account->Status, a->Value());
    }
  }
}

}  // namespace

int ReadLanConfig(const DeviceDocument& doc, LanConfigRecord* lan) {
  const XMLElement* body = doc.BlockBody();
  const XMLElement* element = body ? body->FirstChildElement("LANConfig") : nullptr;
  if (!element || !lan)
    return -1;
  for (const XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "MacAddress")) {
      CopyBounded(lan->MacAddress, a->Value());
    } else if (Is(a, "DHCP")) {
      lan->DHCP = static_cast<int16_t>(ParseDecimal(a->Value()));
    } else if (Is(a, "ALLNET")) {
      lan->ALLNET = static_cast<int16_t>(ParseDecimal(a->Value()));
    } else if (Is(a, "IPAddress")) {
      CopyBounded(lan->IPAddress, a->Value());
    } else if (Is(a, "Netmask")) {
      CopyBounded(lan->Netmask, a->Value());
    } else if (Is(a, "Gateway")) {
      CopyBounded(lan->Gateway, a->Value());
    } else if (Is(a, "DNS1")) {
      CopyBounded(lan->DNS1, a->Value());
    } else if (Is(a, "DNS2")) {
      CopyBounded(lan->DNS2, a->Value());
    }
  }
  return 0;
}

int ReadStreamAccess(const DeviceDocument& doc, StreamAccessRecord* stream) {
  const XMLElement* element = FindNested(doc.BlockBody(), "MediaStreamConfig", "StreamAccess");
  if (!element || !stream)
    return -1;
  for (const XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "Auth")) {
      stream->Auth = static_cast<int16_t>(ParseDecimal(a->Value()));
    } else if (Is(a, "RTPOverRTSP")) {
      stream->RTPOverRTSP = ParseDecimal(a->Value());
    } else if (Is(a, "VideoPort")) {
      stream->VideoPort = ParseDecimal(a->Value());
    } else if (Is(a, "PTZPort")) {
      stream->PTZPort = ParseDecimal(a->Value());
    } else if (Is(a, "WEBPort")) {
      stream->WEBPort = ParseDecimal(a->Value());
    }
  }
  return 0;
}

int ReadUserConfig(const DeviceDocument& doc, UserConfigRecord* users) {
  const XMLElement* body = doc.BlockBody();
  if (!body || !users)
    return -1;
  UserAccount& first = users->Accounts[0];
  for (const XMLElement* config = body->FirstChildElement("UserConfig"); config;
       config = config->NextSiblingElement("UserConfig")) {
    for (const XMLElement* account = config->FirstChildElement("Account"); account;
         account = account->NextSiblingElement("Account")) {
      CopyAccount(*account, &first);
      if (first.Username[0] != '\0' || first.Password[0] != '\0') {
        users->Count = 1;
        return 0;
      }
    }
  }
  return -1;
}

int ReadRkSystem(const DeviceDocument& doc, RkSystemRecord* rk) {
  if (!rk)
    return -1;
  *rk = RkSystemRecord{};
  const XMLElement* element = FindNested(doc.BlockBody(), "RK_CONFIG", "SYSTEM");
  if (!element)
    return -1;
  for (const XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "DEVICETYPE")) {
      CopyBounded(rk->DEVICETYPE, a->Value());
    } else if (Is(a, "EXTNUMBER")) {
      CopyBounded(rk->EXTNUMBER, a->Value());
    } else if (Is(a, "MAINNUMBER")) {
      CopyBounded(rk->MAINNUMBER, a->Value());
    } else if (Is(a, "EXTNAME")) {
      CopyBounded(rk->EXTNAME, a->Value());
    } else if (Is(a, "ADDRESSBOXIP")) {
      CopyBounded(rk->ADDRESSBOXIP, a->Value());
    } else if (Is(a, "NOTES")) {
      CopyBounded(rk->NOTES, a->Value());
    } else if (Is(a, "MANAGECENTER")) {
      CopyBounded(rk->MANAGECENTER, a->Value());
    }
  }
  return 0;
}

int ReadLanConfig(const char* text, LanConfigRecord* lan) {
  const DeviceDocument doc(text);
  return ReadLanConfig(doc, lan);
}

int ReadStreamAccess(const char* text, StreamAccessRecord* stream) {
  const DeviceDocument doc(text);
  return ReadStreamAccess(doc, stream);
}

int ReadUserConfig(const char* text, UserConfigRecord* users) {
  const DeviceDocument doc(text);
  return ReadUserConfig(doc, users);
}

int ReadRkSystem(const char* text, RkSystemRecord* rk) {
  const DeviceDocument doc(text);
  return ReadRkSystem(doc, rk);
}

}  // namespace vdz
