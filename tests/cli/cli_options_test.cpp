#include "cli/cli_options.h"

#include <gtest/gtest.h>

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

TEST(CliOptions, UsageNamesLoginCheck) {
  EXPECT_NE(std::string(CliUsage()).find("login-check [--seconds N]"), std::string::npos);
}

}  // namespace
}  // namespace vdz::cli
