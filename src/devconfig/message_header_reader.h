// Reads the envelope header of a device document.
#pragma once

#include "devconfig/device_document.h"
#include "devconfig/device_records.h"

namespace vdz {

// Clears the three texts, then copies Msg_type, Msg_code and Msg_flag from the root's first
// MESSAGE_HEADER. 0 when all three are non-empty; -1 no root (logged), -3 empty Msg_type
// (also when there is no header), -4 empty Msg_code, -5 empty Msg_flag.
int ReadMessageHeader(const DeviceDocument& doc, MessageHeader* header);
int ReadMessageHeader(const char* text, MessageHeader* header);

}  // namespace vdz
