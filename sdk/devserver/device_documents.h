// The texts a device answers with, written by hand as a device firmware would.
#pragma once

#include <string>
#include <string_view>

#include "device_config.h"

namespace vdz::devserver {

// Answer to system command 1012: RESPONSE_PARAM carrying FileSystemVersion.
std::string FirmwareVersionDocument(const DeviceConfig& config);
// Answer to system command 1020.
std::string DeviceInformationDocument(const DeviceConfig& config);
// Answer to system command 1021 (file list page): this device stores no files.
std::string EmptyFileListDocument();

// XML attribute text: & < > " escaped, a carriage return as a character reference, every
// other byte (GBK included) as it stands. The simulator's search answers use it too: both are
// the device side.
std::string EscapeAttribute(std::string_view value);

}  // namespace vdz::devserver
