#include "shell/diag_log_control.h"

#include <gtest/gtest.h>

#include <string>

namespace vdz {
namespace {

TEST(DiagLogControl, ReadsKeysAnywhereInTheText) {
  struct Case {
    std::string text;
    bool file;
    bool network;
    std::string monitor;
  };
  const Case cases[] = {
      {"", false, false, ""},
      {"file=1;", true, false, ""},
      {"file=1;network=1;monitor_ip=192.0.2.7;", true, true, "192.0.2.7"},
      {"monitor_ip=192.0.2.7;\nnetwork=3;\n", false, true, "192.0.2.7"},
      {"# debug\nfile=1; and network=0;", true, false, ""},
      {"file=0;network=0;", false, false, ""},
      // No ';' behind a key: as if absent.
      {"file=1", false, false, ""},
      {"network=1;monitor_ip=192.0.2.7", false, true, ""},
      // Decimal values read like atoi.
      {"file= 7;", true, false, ""},
      {"file=-1;", true, false, ""},
      {"file=abc;", false, false, ""},
      {"file=0x1;", false, false, ""},
      {"file=99999999999999999999999;", true, false, ""},
      // The first occurrence of a key counts.
      {"file=0;file=1;", false, false, ""},
      {"monitor_ip=;network=1;", false, true, ""},
  };
  for (const Case& c : cases) {
    const DiagLogControl control = ParseDiagLogControl(c.text);
    EXPECT_EQ(control.file_output, c.file) << c.text;
    EXPECT_EQ(control.network_output, c.network) << c.text;
    EXPECT_EQ(control.monitor_address, c.monitor) << c.text;
  }
}

TEST(DiagLogControl, LongValuesAreCutTo255Characters) {
  const std::string address(300, '7');
  DiagLogControl control = ParseDiagLogControl("monitor_ip=" + address + ";network=1;");
  EXPECT_EQ(control.monitor_address, address.substr(0, 255));
  EXPECT_TRUE(control.network_output);

  // Whatever stands past the 255th character does not count, not even a non-zero digit.
  control = ParseDiagLogControl("file=" + std::string(255, '0') + "1;");
  EXPECT_FALSE(control.file_output);
  control = ParseDiagLogControl("file=" + std::string(254, '0') + "1;");
  EXPECT_TRUE(control.file_output);
}

}  // namespace
}  // namespace vdz
