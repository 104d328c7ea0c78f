// Help and version: `--help`, `help [COMMAND]`, `COMMAND --help`, `--version`. They print and
// exit 0 without touching the network.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vdz::cli {

struct CommandHelp {
  const char* name;
  const char* usage;    // one or more lines, each starting with the program name
  const char* summary;  // what it does, one paragraph
};

// Every command of the tool, in the order the overview lists them.
const std::vector<CommandHelp>& CommandHelpTable();

// The overview: every usage line and the exit statuses.
std::string Usage();

// The exit status when args ask for help or the version (printed to out, or to err for an
// unknown command), else nothing.
std::optional<int> RunHelpOrVersion(const std::vector<std::string>& args, std::ostream& out,
                                    std::ostream& err);

}  // namespace vdz::cli
