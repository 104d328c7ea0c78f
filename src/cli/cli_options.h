// Command line of viduzaver-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "discovery/search_ranges.h"

namespace vdz::cli {

enum class OutputFormat { kTable, kCsv, kJson };

struct CliOptions {
  std::string command;  // "search", "login-check" or "adapters"
  int seconds = 0;      // 0: stop by itself like the window does
  std::string adapter;  // dotted address; empty: all adapters
  OutputFormat format = OutputFormat::kTable;
  // --range, in the order given: asked instead of the settings file's ranges.
  std::vector<AddressRange> ranges;
  bool ranges_given = false;
  // --host addresses (host order): only they (and --range) are asked, nothing is broadcast.
  std::vector<uint32_t> hosts;
  // --protocol: "ours", "onvif" or "all".
  std::string protocol = "all";
  // The ONVIF account to try (--user); its password from --password, standard input
  // (--password-stdin) or VDZ_ONVIF_PASSWORD, so that it need not stand in the process list.
  // No --user: the accounts kept in the settings.
  std::string onvif_user;
  std::optional<std::string> onvif_password;
  bool password_stdin = false;
};

// Option values the device commands share: false and a message in *error when bad.
bool ParseOutputFormat(const std::string& value, OutputFormat* format, std::string* error);
// How long a device command searches first: 1 to 86400 seconds.
bool ParseSearchSeconds(const std::string& value, int* seconds, std::string* error);

// Empty optional and a message in *error for bad arguments.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string* error);

}  // namespace vdz::cli
