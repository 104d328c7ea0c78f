#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_help.h"

namespace vdz::cli {
namespace {

struct OptionCase {
  std::vector<std::string> args;
  bool ok;
  std::string command;
  int seconds;
  std::string adapter;
  OutputFormat format;
};

TEST(CliOptions, ParsesCommandsAndRefusesBadArguments) {
  const OptionCase cases[] = {
      {{"login-check"}, true, "login-check", 0, "", OutputFormat::kTable},
      {{"login-check", "--seconds", "3", "--format", "json"},
       true,
       "login-check",
       3,
       "",
       OutputFormat::kJson},
      {{"login-check", "--adapter", "192.168.1.100", "--format", "csv"},
       true,
       "login-check",
       0,
       "192.168.1.100",
       OutputFormat::kCsv},
      {{"search", "--seconds", "2"}, true, "search", 2, "", OutputFormat::kTable},
      {{"adapters"}, true, "adapters", 0, "", OutputFormat::kTable},
      {{"login-check", "--seconds", "0"}, false, "", 0, "", OutputFormat::kTable},
      {{"login-check", "--seconds", "2x"}, false, "", 0, "", OutputFormat::kTable},
      {{"login-check", "--seconds"}, false, "", 0, "", OutputFormat::kTable},
      {{"login-check", "--format", "xml"}, false, "", 0, "", OutputFormat::kTable},
      {{"login-check", "--verbose"}, false, "", 0, "", OutputFormat::kTable},
      {{"adapters", "--seconds", "2"}, false, "", 0, "", OutputFormat::kTable},
      {{"login"}, false, "", 0, "", OutputFormat::kTable},
      {{"search", "--range", "10.2.0.0/22", "--range", "10.3.0.1-10.3.0.9", "--host", "10.4.0.2"},
       true,
       "search",
       0,
       "",
       OutputFormat::kTable},
      {{"search", "--range", "10.0.0.0/16"}, false, "", 0, "", OutputFormat::kTable},
      {{"search", "--range", "10.2.0.0-"}, false, "", 0, "", OutputFormat::kTable},
      {{"search", "--host", "10.2.0.0/22"}, false, "", 0, "", OutputFormat::kTable},
      {{"adapters", "--range", "10.2.0.0/22"}, false, "", 0, "", OutputFormat::kTable},
      {{}, false, "", 0, "", OutputFormat::kTable},
  };
  for (const OptionCase& c : cases) {
    std::string joined;
    for (const auto& a : c.args)
      joined += a + " ";
    SCOPED_TRACE(joined);
    std::string error;
    const auto options = ParseCliOptions(c.args, &error);
    ASSERT_EQ(options.has_value(), c.ok) << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(options->command, c.command);
    EXPECT_EQ(options->seconds, c.seconds);
    EXPECT_EQ(options->adapter, c.adapter);
    EXPECT_EQ(options->format, c.format);
  }
}

TEST(CliHelp, HelpAndVersionAnswerWithoutRunningTheCommand) {
  struct Case {
    std::vector<std::string> args;
    std::optional<int> status;
    const char* printed;  // found in what went to the output (or the error output on 2)
  };
  const Case cases[] = {
      {{"--help"}, 0, "login-check [--seconds N]"},
      {{"-h"}, 0, "assign-consecutive --start A"},
      {{"help"}, 0, "Exit status"},
      {{"help", "set-ip"}, 0, "--ip A --mask M --gateway G"},
      {{"reboot", "--help"}, 0, "usage: viduzaver-cli reboot SERIAL|IP..."},
      {{"search", "--seconds", "3", "-h"}, 0, "usage: viduzaver-cli search"},
      {{"help", "bogus"}, 2, "unknown command 'bogus'"},
      {{"--version"}, 0, "viduzaver-cli "},
      {{"search"}, std::nullopt, ""},
      {{}, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    const auto status = RunHelpOrVersion(c.args, out, err);
    EXPECT_EQ(status, c.status) << c.printed;
    const std::string text = c.status == 2 ? err.str() : out.str();
    EXPECT_NE(text.find(c.printed), std::string::npos) << c.printed;
    if (c.status == 0) {
      EXPECT_TRUE(err.str().empty());
    }
  }
  for (const CommandHelp& command : CommandHelpTable())
    EXPECT_NE(Usage().find(command.name), std::string::npos) << command.name;
}

}  // namespace
}  // namespace vdz::cli
