// vdz-docgen: writes the manual pages and the shell completion at build time, from the same
// tables and usage texts the programs' --help prints.
//   vdz-docgen cli-man|window-man|cli-completion OUT [NAME SUMMARY VERSION SEE_ALSO]
//   vdz-docgen usage-man OUT NAME SUMMARY VERSION SEE_ALSO PROGRAM [ARGS...]
// usage-man runs PROGRAM ARGS --help and turns what it prints into the page.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli_completion.h"
#include "man_pages.h"

namespace {

int Usage() {
  std::cerr << "usage: vdz-docgen cli-man|window-man OUT NAME SUMMARY VERSION SEE_ALSO\n"
               "       vdz-docgen cli-completion OUT\n"
               "       vdz-docgen usage-man OUT NAME SUMMARY VERSION SEE_ALSO PROGRAM "
               "[ARGS...]\n";
  return 2;
}

// What `command --help` prints, or nothing when it fails.
bool HelpOf(const std::vector<std::string>& command, std::string* text) {
  std::string line;
  for (const std::string& word : command)
    line += "'" + word + "' ";
  line += "--help";
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr)
    return false;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    text->append(buffer, n);
  return pclose(pipe) == 0 && !text->empty();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vdz::docgen;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2)
    return Usage();
  const std::string& mode = args[0];
  std::string text;
  if (mode == "cli-completion") {
    text = BashCompletion(BuildCompletionModel());
  } else {
    if (args.size() < 6)
      return Usage();
    const PageInfo info{args[2], args[3], args[4], args[5]};
    if (mode == "cli-man") {
      text = CliManPage(info);
    } else if (mode == "window-man") {
      text = WindowManPage(info);
    } else if (mode == "usage-man" && args.size() > 6) {
      std::string usage;
      if (!HelpOf({args.begin() + 6, args.end()}, &usage)) {
        std::cerr << "vdz-docgen: " << args[6] << " --help failed\n";
        return 1;
      }
      text = UsageTextManPage(info, usage);
    } else {
      return Usage();
    }
  }
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "vdz-docgen: cannot write " << args[1] << "\n";
    return 1;
  }
  return 0;
}
