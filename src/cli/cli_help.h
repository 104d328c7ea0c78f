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

// Options a command takes besides those its usage lines show ("--seconds N", ...): the
// device commands search first, and the transfer commands print a result table too.
std::vector<std::string> SharedOptionForms(const CommandHelp& command);

// The form the overview starts with: "viduzaver-cli COMMAND [OPTIONS]".
const char* OverviewForm();

// What the overview says after the usage lines, one paragraph each.
std::vector<std::string> UsageNotes();

struct ExitStatusHelp {
  int status;
  const char* meaning;
};
const std::vector<ExitStatusHelp>& ExitStatusTable();

// The overview: every usage line, the notes and the exit statuses.
std::string Usage();

// The exit status when args ask for help or the version (printed to out, or to err for an
// unknown command), else nothing.
std::optional<int> RunHelpOrVersion(const std::vector<std::string>& args, std::ostream& out,
                                    std::ostream& err);

}  // namespace vdz::cli
