// viduzaver-cli snapshot and qr: the window's snapshot capture of named devices, and a
// device's P2P identifier as a QR symbol on the terminal or in a PNG file.
#pragma once

#include <string>
#include <vector>

namespace vdz::cli {

bool IsPictureCommand(const std::string& command);
// 0 when every device succeeded, 1 when any failed or was not found, 2 for bad arguments.
int RunPictureCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
