// The window's own command line: its option table, which `viduzaver --help` prints and the
// man page is made from. Qt-free, so both work without a display.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vdz {

struct WindowOptionHelp {
  const char* form;     // "--screenshot FILE.png"
  const char* summary;  // one paragraph
  bool exits;           // prints something and exits instead of opening the window
};

const std::vector<WindowOptionHelp>& WindowOptionTable();

// What the window is, one paragraph.
const char* WindowDescription();

// The command forms, each starting with the program name: the window with its options,
// then each option that exits.
std::vector<std::string> WindowSynopsis();

// "usage: " and the forms, the description and the options.
std::string WindowUsage();

// The exit status when args (without the program name) ask for help or the version,
// printed to out; else nothing.
std::optional<int> RunWindowHelpOrVersion(const std::vector<std::string>& args, std::ostream& out);

}  // namespace vdz
