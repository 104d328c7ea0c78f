// viduzaver-cli upgrade, export-config, import-config and factory-restore: find the named
// devices, log them in as the window does, run the window's command on them and print one
// result line per device.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace vdz::cli {

struct TransferOptions {
  std::string command;
  std::vector<std::string> targets;  // serial numbers or addresses
  bool all = false;
  std::string file;    // upgrade --file, import-config FILE
  std::string folder;  // upgrade --folder
  std::string dir;     // export-config --dir
  bool yes = false;    // factory-restore without asking
  int seconds = 0;
  std::string adapter;
  int timeout = 600;  // seconds an upgrade may take, restart included
  OutputFormat format = OutputFormat::kTable;
};

bool IsTransferCommand(const std::string& command);
// Empty command and *error for bad arguments.
TransferOptions ParseTransferOptions(const std::vector<std::string>& args, std::string* error);
// 0 when every device succeeded, 1 when any failed or was not found, 2 for bad arguments.
int RunTransferCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
