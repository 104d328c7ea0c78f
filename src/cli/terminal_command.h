// viduzaver-cli terminal get|set|restart: the terminal service of named devices, as the
// window's platform setting and service restart reach it; and the name and model columns of
// search and login-check.
#pragma once

#include <string>
#include <vector>

#include "devops/terminal_documents.h"
#include "discovery/device_row.h"

namespace vdz::cli {

// Key parameters of each row, a few devices at a time; failures give empty texts.
std::vector<TerminalKeyParameters> FetchKeyParameters(const std::vector<DeviceRow>& rows);

// 0 when every device succeeded, 1 when any failed or was not found, 2 for bad arguments.
int RunTerminalCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
