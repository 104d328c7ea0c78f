// A workstation with two adapters and no default route, as an installer's laptop on a
// camera switch: every device on both segments is found, by the command-line tool and by
// the window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/main_window.h"
#include "discovery/device_list_port.h"
#include "lab/devsim_control.h"
#include "lab/window_lab_support.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

// Destination 0 in the main routing table.
bool HasDefaultRoute() {
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string iface, destination;
    if (fields >> iface >> destination && destination == "00000000")
      return true;
  }
  return false;
}

class NoGatewayLab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(HasDefaultRoute()) << "the lab was made with a default route";
    for (const auto& device : control_.Devices())
      site_.insert(device.ip);
    int second = 0;
    for (const auto& ip : site_)
      second += ip.rfind("10.0.0.", 0) == 0;
    // Both segments hold devices, or the test would not show both adapters at work.
    ASSERT_GT(second, 0);
    ASSERT_LT(second, static_cast<int>(site_.size()));
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::set<std::string> site_;
};

TEST_F(NoGatewayLab, CommandLineSearchListsEveryDeviceOnBothAdapters) {
  const std::string command = std::string(VDZ_CLI_BINARY) + " search --seconds 3 --format csv";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> listed;
  char line[4096];
  bool header = true;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    if (header) {
      header = false;
      continue;
    }
    const std::string text(line);
    listed.insert(text.substr(0, text.find(',')));
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(listed, site_);
}

TEST_F(NoGatewayLab, WindowListsEveryDeviceOnBothAdapters) {
  test::RecordingPrompter prompter;
  MainWindowOptions options;
  options.prompter = &prompter;
  CQmDadIvidudEvuzDlg window(options);
  bool finished = false;
  QObject::connect(&window, &CQmDadIvidudEvuzDlg::FirstSearchFinished, [&] { finished = true; });
  window.Initialise();
  window.show();
  ASSERT_TRUE(lab::WaitFor([&] { return finished; }, 20000));
  EXPECT_EQ(window.AdapterList()->count(), 3);
  std::set<std::string> listed;
  for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r)
    listed.insert(window.DeviceList()->GetItemText(r, kAddressColumn).toStdString());
  EXPECT_EQ(listed, site_);
  window.close();
}

}  // namespace
}  // namespace vdz
