// viduzaver-cli set-ip, assign-free, assign-consecutive, reboot and restore: find the named
// devices with a search, check the arguments as the IP dialog would, then run the window's
// network commands on them and print one line per device.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vdz::cli {

struct ReaddressOptions {
  std::string command;
  std::vector<std::string> targets;  // serial numbers or current addresses
  std::optional<std::string> ip, mask, gateway, dns1, dns2;
  bool dhcp = false;
  std::string start;    // assign-consecutive
  int seconds = 0;      // search length; 0: stop by itself like the window does
  std::string adapter;  // search on one adapter; empty: all
};

bool IsReaddressCommand(const std::string& command);

// Empty optional and a message in *error for bad arguments, including addresses that the IP
// dialog would refuse where they can be judged without the devices.
std::optional<ReaddressOptions> ParseReaddressOptions(const std::vector<std::string>& args,
                                                      std::string* error);

// args[0] is the command. 0 when every device was found and its request sent, 1 when one was
// missing or failed (or the search could not run), 2 for bad arguments.
int RunReaddressCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
