// viduzaver-cli streams: the live stream addresses of named devices. An ONVIF camera gives one
// line per media profile, as its GetProfiles and GetStreamUri answered while the search
// identified it; our devices give one line with the main and sub stream addresses the preview
// opens.
#pragma once

#include <string>
#include <vector>

namespace vdz::cli {

bool IsStreamsCommand(const std::string& command);
// 0 when every named device gave its addresses; 1 when none was found, or one was not found or
// gave none; 2 for bad arguments.
int RunStreamsCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
