// The names a device list is written under, wherever it leaves the program: the command
// line's search and the window's list export use these, so a script reads both alike.
#pragma once

#include <string_view>

#include "discovery/device_list_port.h"
#include "shell/record_writer.h"

namespace vdz::device_columns {

using Json = RecordColumn::Json;

inline constexpr RecordColumn kIp{"IP", "ip"};
inline constexpr RecordColumn kMac{"MAC", "mac"};
inline constexpr RecordColumn kSerial{"SERIAL", "serial"};
inline constexpr RecordColumn kType{"TYPE", "type"};
inline constexpr RecordColumn kVersion{"VERSION", "version"};
inline constexpr RecordColumn kRunningTime{"RUNNING", "running_time"};
inline constexpr RecordColumn kLocalAddress{"LOCAL", "local_address"};
inline constexpr RecordColumn kWebPort{"WEB", "web_port", Json::kNumber};
inline constexpr RecordColumn kControlPort{"CONTROL", "control_port", Json::kNumber};
// The terminal service's device name and model.
inline constexpr RecordColumn kName{"NAME", "name"};
inline constexpr RecordColumn kModel{"MODEL", "model"};
// Our devices ("ours") or another maker's ("onvif"), and that maker.
inline constexpr RecordColumn kProtocol{"PROTOCOL", "protocol"};
inline constexpr RecordColumn kMaker{"MAKER", "maker"};
// The login state the window shows; the search alone has none.
inline constexpr RecordColumn kStatus{"STATUS", "status"};

// The window's list, column by column. Its second column shows the terminal service's device
// name, its last the model, as the command line's name and model columns do.
inline constexpr RecordColumn kWindowList[] = {kIp,     kName,        kMac,  kVersion,
                                               kStatus, kRunningTime, kModel};
inline constexpr int kWindowListCount = sizeof kWindowList / sizeof kWindowList[0];
static_assert(std::string_view(kWindowList[kAddressColumn].key) == kIp.key);
static_assert(std::string_view(kWindowList[kDeviceNameColumn].key) == kName.key);
static_assert(std::string_view(kWindowList[kVersionColumn].key) == kVersion.key);
static_assert(std::string_view(kWindowList[kStatusColumn].key) == kStatus.key);
static_assert(std::string_view(kWindowList[kModelColumn].key) == kModel.key);

}  // namespace vdz::device_columns
