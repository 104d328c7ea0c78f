// viduzaver-cli set: the batch settings that need no dialog, or whose values fit flags, on the
// named devices, with the window's checks and documents and one result line per device.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "devconfig/settings_documents.h"

namespace vdz::cli {

struct SetOptions {
  std::string setting;  // time-sync, language, output, encoding, password, title, ntp, maintenance
  std::string value;    // language code, output value, encoding format
  std::vector<std::string> targets;
  bool all = false;
  std::string password;
  TitleOverlayValues title;
  TimeConfigValues ntp;
  int maintenance_enable = 1, maintenance_day = 7, hour = 2, minute = 0, second = 0;
  int seconds = 0;
  std::string adapter;
  OutputFormat format = OutputFormat::kTable;
};

// Empty setting and *error for bad arguments; values are checked as the dialogs check them.
SetOptions ParseSetOptions(const std::vector<std::string>& args, std::string* error);
// 0 when every device took the setting, 1 when any failed or was not found, 2 bad arguments.
int RunSetCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
