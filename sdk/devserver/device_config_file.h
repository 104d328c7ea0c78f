// A device's whole configuration as one XML file: every stored document under its command
// number. Export writes it; import takes only a file of this shape and applies it whole.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "device_config.h"

namespace vdz::devserver {

inline constexpr const char* kConfigFileRoot = "DeviceConfigFile";

std::string ConfigFileDocument(const DeviceConfig& config);

// The documents the file carries, or nothing when it is not such a file (not XML, another
// root, an element that is not a Document with a positive command number).
std::optional<std::map<int, std::string>> ReadConfigFile(std::string_view text);

// The model a device checks images against: its type without "NVS-IPCAM-".
std::string DeviceModel(const DeviceConfig& config);

}  // namespace vdz::devserver
