// Command line of viduzaver-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vdz::cli {

enum class OutputFormat { kTable, kCsv, kJson };

struct CliOptions {
  std::string command;  // "search", "login-check" or "adapters"
  int seconds = 0;      // 0: stop by itself like the window does
  std::string adapter;  // dotted address; empty: all adapters
  OutputFormat format = OutputFormat::kTable;
};

// Empty optional and a message in *error for bad arguments.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string* error);

}  // namespace vdz::cli
