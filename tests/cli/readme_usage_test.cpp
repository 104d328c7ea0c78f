// The README's command-line section lists exactly the usage lines --help prints.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_help.h"

namespace vdz::cli {
namespace {

TEST(ReadmeUsage, ListsEveryUsageLineOfTheHelpAndNoOther) {
  std::set<std::string> help;
  for (const CommandHelp& command : CommandHelpTable()) {
    std::istringstream lines(command.usage);
    for (std::string line; std::getline(lines, line);)
      help.insert(line);
  }
  std::ifstream readme(VDZ_SOURCE_DIR "/README.md");
  ASSERT_TRUE(readme.is_open());
  std::set<std::string> listed;
  bool in_section = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("## "))
      in_section = line == "## The command-line tool";
    else if (in_section && line.starts_with("    viduzaver-cli "))
      listed.insert(line.substr(4));
  }
  EXPECT_EQ(listed, help);
}

}  // namespace
}  // namespace vdz::cli
