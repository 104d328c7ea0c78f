// Manual pages in man(7) markup, made from the same tables and texts the programs' --help
// prints, so a page never lists a form the program does not have.
#pragma once

#include <string>

namespace vdz::docgen {

struct PageInfo {
  std::string name;      // program name, also the page name
  std::string summary;   // the NAME line's description
  std::string version;   // "ViDuZaver 0.1.0"
  std::string see_also;  // "viduzaver(1), viduzaver-lab(1)"
};

// viduzaver-cli(1): from the command help table, its notes and exit statuses.
std::string CliManPage(const PageInfo& info);

// viduzaver(1): from the window's option table.
std::string WindowManPage(const PageInfo& info);

// A page from a program's usage text: "usage:" forms, paragraphs, "Heading:" lines, and
// entries "  TERM  text" (TERM ends at two blanks, deeper-indented lines continue the text).
std::string UsageTextManPage(const PageInfo& info, const std::string& usage_text);

// Text as man(7) input: backslashes, minus signs and control characters at a line start
// escaped.
std::string RoffEscape(const std::string& text);

}  // namespace vdz::docgen
