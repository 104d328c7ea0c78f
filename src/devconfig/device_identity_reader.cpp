#include "devconfig/device_identity_reader.h"

#include <cstring>

#include "devconfig/decimal_text.h"
#include "devconfig/p2p_type_table.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {
namespace {

bool Is(const tinyxml2::XMLAttribute* a, const char* name) {
  return std::strcmp(a->Name(), name) == 0;
}

void CopySerialNumberBlock(const tinyxml2::XMLElement& element, DeviceIdentity* id) {
  for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "SerialNumber")) {
      CopyBounded(id->SerialNumber, a->Value());
    } else if (Is(a, "OEM_SN")) {
      CopyBounded(id->OEM_SN, a->Value());
    } else if (Is(a, "PLATFORMID")) {
      CopyBounded(id->PLATFORMID, a->Value());
    } else if (Is(a, "VERSION")) {
      CopyBounded(id->VERSION, a->Value());
    } else if (Is(a, "AF_VERSION")) {
      CopyBounded(id->AF_VERSION, a->Value());
    } else if (Is(a, "P2PTYPE")) {
      id->P2PTYPE = ParseDecimal(a->Value());
    } else if (Is(a, "P2PID")) {
      CopyBounded(id->P2PID, a->Value());
    } else if (Is(a, "UUID")) {
      CopyBounded(id->UUID, a->Value());
    } else if (Is(a, "runtime")) {
      id->runtime = ParseDecimal(a->Value());
    } else if (Is(a, "P2PSTATUS")) {
      id->P2PSTATUS = ParseDecimal(a->Value());
    }
  }
}

void CopyDeviceTypeBlock(const tinyxml2::XMLElement& element, DeviceIdentity* id) {
  for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
    if (Is(a, "DeviceType")) {
      CopyBounded(id->DeviceType, a->Value());
    } else if (Is(a, "OSD")) {
      CopyBounded(id->OSD, a->Value());
    }
  }
}

}  // namespace

int ReadDeviceIdentity(const DeviceDocument& doc, DeviceIdentity* identity) {
  if (!identity)
    return -1;
  CopyBounded(identity->SerialNumber, "");
  CopyBounded(identity->OEM_SN, "");
  CopyBounded(identity->PLATFORMID, "");
  CopyBounded(identity->P2PID, "");
  identity->runtime = 0;

  const tinyxml2::XMLElement* root = doc.FirstRootNamedElement();
  if (!root) {
    DiagLog("Invalid message, XML root not found:\n%s\n", doc.text());
    return -1;
  }
  const tinyxml2::XMLElement* body = root->FirstChildElement("MESSAGE_BODY");
  if (!body)
    return -1;

  if (const tinyxml2::XMLElement* serial = body->FirstChildElement("IPC_SERIALNUMBER")) {
    CopySerialNumberBlock(*serial, identity);
  }
  // A later DEVICE_TYPE overwrites an earlier one.
  for (const tinyxml2::XMLElement* type = body->FirstChildElement("DEVICE_TYPE"); type;
       type = type->NextSiblingElement("DEVICE_TYPE")) {
    CopyDeviceTypeBlock(*type, identity);
  }

  if (identity->P2PTYPE == 0)
    identity->P2PTYPE = InferP2pType(FieldText(identity->P2PID));
  return 0;
}

int ReadDeviceIdentity(const char* text, DeviceIdentity* identity) {
  const DeviceDocument doc(text);
  return ReadDeviceIdentity(doc, identity);
}

}  // namespace vdz
