// viduzaver-cli snapshot-stream: finds one device, opens its live stream with the window's own
// preview code and writes the first picture that decodes as a PNG file.
#pragma once

#include <string>
#include <vector>

namespace vdz::cli {

struct SnapshotOptions {
  std::string target;  // serial number or address
  int stream = 0;      // 0 main stream (full size), 1 sub stream
  std::string out;     // PNG file
  int seconds = 0;     // search time; 0 stops by itself
  std::string adapter;
  int timeout = 15;  // seconds the stream may take to give a picture
};

bool IsSnapshotCommand(const std::string& command);
// Empty target and *error for bad arguments.
SnapshotOptions ParseSnapshotOptions(const std::vector<std::string>& args, std::string* error);
// 0 written, 1 device not found / no picture / file not written, 2 bad arguments.
int RunSnapshotCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
