// Reads the network, stream, account and platform blocks of a device's search answer.
// Each requires the document's first element to be the detected root and looks only in the
// root's first MESSAGE_BODY. Known attributes that are absent leave their field as it was.
#pragma once

#include "devconfig/device_document.h"
#include "devconfig/device_records.h"

namespace vdz {

// First LANConfig. 0 when found, else -1.
int ReadLanConfig(const DeviceDocument& doc, LanConfigRecord* lan);
int ReadLanConfig(const char* text, LanConfigRecord* lan);

// First MediaStreamConfig/StreamAccess; Auth is taken as a signed 16-bit number. 0 or -1.
int ReadStreamAccess(const DeviceDocument& doc, StreamAccessRecord* stream);
int ReadStreamAccess(const char* text, StreamAccessRecord* stream);

// First UserConfig/Account with a user name or password, into Accounts[0], Count = 1.
// An earlier empty Account may leave fields behind in that entry. 0 or -1.
int ReadUserConfig(const DeviceDocument& doc, UserConfigRecord* users);
int ReadUserConfig(const char* text, UserConfigRecord* users);

// Clears the record, then reads the first RK_CONFIG/SYSTEM. 0 or -1.
int ReadRkSystem(const DeviceDocument& doc, RkSystemRecord* rk);
int ReadRkSystem(const char* text, RkSystemRecord* rk);

}  // namespace vdz
