#include "media/label_text.h"

#include <gtest/gtest.h>

#include "shell/bounded_text.h"

namespace vdz {
namespace {

TEST(LabelText, ModelLine) {
  struct Case {
    const char* type;
    const char* model;
    const char* line;
  };
  const Case cases[] = {
      {"NVS-IPCAM-QM6100_V2_3", "", "MODEL:QM6100"},     {"NVS-IPCAM-QM6100", "", "MODEL:QM6100"},
      {"NVS-IPCAM-NVS-IPCAM-X", "", "MODEL:X"},          {"DVS_8CH", "", "MODEL:DVS"},
      {"NVS-IPCAM-QM6100_V2", "My Cam", "MODEL:My Cam"}, {"", "", "MODEL:"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ModelLineText(c.type, c.model), c.line) << c.type;
}

class LabelLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = ZeroDeviceRecord();
    CopyBounded(device_.DeviceType, "NVS-IPCAM-QM6100_V2");
    CopyBounded(device_.SerialNumber, "SN0001");
    CopyBounded(device_.Lan.MacAddress, "00:11:22:33:44:55");
    CopyBounded(device_.Lan.IPAddress, "10.0.0.7");
    CopyBounded(device_.Users.Accounts[0].Username, "admin");
    CopyBounded(device_.Users.Accounts[0].Password, "secret");
  }
  DeviceRecord device_;
};

TEST_F(LabelLinesTest, NothingCheckedGivesNoLines) {
  const LabelLines lines = ComposeLabelLines(device_, LabelOptions{});
  EXPECT_TRUE(lines.upper.empty());
  EXPECT_TRUE(lines.lower.empty());
}

TEST_F(LabelLinesTest, EveryLineInOrder) {
  LabelOptions o;
  o.show_model = o.show_mac = o.show_sn = o.show_ip = o.show_account = true;
  const LabelLines lines = ComposeLabelLines(device_, o);
  EXPECT_EQ(lines.upper,
            (std::vector<std::string>{"MODEL:QM6100", "MAC: 00:11:22:33:44:55", "SN: SN0001"}));
  EXPECT_EQ(lines.lower, (std::vector<std::string>{"10.0.0.7", "admin  secret"}));
}

TEST_F(LabelLinesTest, TypedAccountAndAddressWinAndEmptyPasswordIsNull) {
  LabelOptions o;
  o.show_ip = o.show_account = true;
  o.ip = "192.168.1.10";
  o.account = "guest";
  const LabelLines lines = ComposeLabelLines(device_, o);
  EXPECT_EQ(lines.lower, (std::vector<std::string>{"192.168.1.10", "guest  NULL"}));
}

}  // namespace
}  // namespace vdz
