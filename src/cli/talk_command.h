// viduzaver-cli broadcast and audio-files: an MP3 play list broadcast to the named devices
// with the console's decoder, pacer and talk calls, and the devices' stored audio files.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace vdz::cli {

struct TalkOptions {
  std::string command;               // "broadcast" or "audio-files"
  std::string action;                // audio-files: list, upload, delete, play, stop
  std::vector<std::string> files;    // broadcast play list; audio-files --file
  std::vector<std::string> targets;  // serial numbers or addresses
  bool all = false;
  bool app = false;  // audio-files list --app: the application files
  int transport = 0;
  int codec = 2;
  int rate = 32000;
  int loops = 1;
  int seconds = 0;
  std::string adapter;
  OutputFormat format = OutputFormat::kTable;
};

bool IsTalkCommand(const std::string& command);
// Empty command and *error for bad arguments.
TalkOptions ParseTalkOptions(const std::vector<std::string>& args, std::string* error);
// 0 when every device succeeded, 1 when any failed or was not found, 2 for bad arguments.
int RunTalkCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
