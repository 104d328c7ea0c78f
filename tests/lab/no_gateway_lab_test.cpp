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

#include "app/batch_report_commands.h"
#include "app/command_ids.h"
#include "app/main_window.h"
#include "devops/batch_report.h"
#include "discovery/device_list_port.h"
#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
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
  // Both adapters among the entries, beside all adapters and the three commands.
  EXPECT_EQ(window.AdapterList()->count(), 6);
  std::set<std::string> listed;
  for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r)
    listed.insert(window.DeviceList()->GetItemText(r, kAddressColumn).toStdString());
  EXPECT_EQ(listed, site_);
  window.close();
}

bool OnSegment(const std::string& ip, const std::string& prefix) {
  return ip.rfind(prefix, 0) == 0;
}

// Free addresses come from the adapter whose subnet holds the device: there is no route to
// pick an adapter by.
class NoGatewayFreeAddressLab : public NoGatewayLab {
 protected:
  const lab::DevsimDevice* First(const std::string& prefix) {
    for (const auto& device : devices_) {
      if (OnSegment(device.ip, prefix))
        return &device;
    }
    return nullptr;
  }
  // Every address of 10.0.0.0/24 nobody holds answers ping from now on.
  void FillSecondSegment() {
    std::set<std::string> held;
    for (const auto& device : control_.Devices())
      held.insert(device.ip);
    for (int h = 1; h <= 254; ++h) {
      const std::string ip = "10.0.0." + std::to_string(h);
      if (ip != "10.0.0.20" && !held.count(ip) && control_.Send("host add " + ip))
        hosts_.push_back(ip);
    }
  }
  void TearDown() override {
    for (const std::string& ip : hosts_)
      control_.Send("host del " + ip);
  }
  std::vector<lab::DevsimDevice> devices_ = control_.Devices();
  std::vector<std::string> hosts_;
};

TEST_F(NoGatewayFreeAddressLab, CommandLineGivesAnAddressOfTheDevicesOwnSubnetOrSaysThereIsNone) {
  const auto* device = First("10.0.0.");
  ASSERT_NE(device, nullptr);
  lab::CliRun r = lab::Cli("assign-free --seconds 2 " + device->serial);
  EXPECT_EQ(r.status, 0) << r.out;
  const auto moved = control_.Device(device->serial);
  ASSERT_TRUE(moved);
  EXPECT_NE(moved->ip, device->ip);
  EXPECT_TRUE(OnSegment(moved->ip, "10.0.0.")) << moved->ip;
  EXPECT_NE(r.out.find(" -> " + moved->ip), std::string::npos) << r.out;

  FillSecondSegment();
  r = lab::Cli("assign-free --seconds 2 " + device->serial);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(device->serial + "  " + moved->ip + "  assign-free failed: no free address"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(control_.Device(device->serial)->ip, moved->ip);
}

TEST_F(NoGatewayFreeAddressLab, WindowGivesEachDeviceAnAddressOfItsSubnetOrSaysThereIsNone) {
  test::RecordingPrompter prompter;
  auto window = lab::OpenMainWindow(prompter);
  CReportCtrl* list = window->DeviceList();
  ASSERT_TRUE(lab::WaitFor([&] { return list->GetItemCount() == int(site_.size()); }, 20000));
  const lab::DevsimDevice* chosen[] = {First("10.0.0."), First("192.168.1.")};
  auto row_of = [&](const std::string& ip) {
    for (int r = 0; r < list->GetItemCount(); ++r) {
      if (list->GetItemText(r, kAddressColumn).toStdString() == ip)
        return r;
    }
    return -1;
  };
  for (const auto* device : chosen) {
    ASSERT_NE(device, nullptr);
    list->SetCheck(row_of(device->ip), true);
  }
  ASSERT_TRUE(lab::RunToEnd(*window, cmd::kMenuAssignFree));
  EXPECT_EQ(window->BatchReports().last_summary(), "2 succeeded, 0 failed, 0 skipped");
  for (const auto* device : chosen) {
    const auto moved = control_.Device(device->serial);
    ASSERT_TRUE(moved);
    EXPECT_NE(moved->ip, device->ip);
    EXPECT_TRUE(OnSegment(moved->ip, device->ip.substr(0, device->ip.rfind('.') + 1))) << moved->ip;
  }

  FillSecondSegment();
  const auto moved = control_.Device(chosen[0]->serial);
  for (int r = 0; r < list->GetItemCount(); ++r)
    list->SetCheck(r, false);
  const int row = row_of(moved->ip);
  ASSERT_GE(row, 0);
  list->SetCheck(row, true);
  ASSERT_TRUE(lab::RunToEnd(*window, cmd::kMenuAssignFree));
  EXPECT_EQ(window->BatchReports().last_summary(), "0 succeeded, 1 failed, 0 skipped");
  EXPECT_EQ(list->GetItemText(row, kStatusColumn).toStdString(), LookupText(keys::NO_FREE_ADDRESS));
  const auto& reports = window->BatchReports().log().Reports();
  ASSERT_FALSE(reports.empty());
  ASSERT_EQ(reports.back().devices.size(), 1u);
  EXPECT_EQ(reports.back().devices[0].outcome, BatchDeviceOutcome::kFailed);
  EXPECT_EQ(reports.back().devices[0].result, LookupText(keys::NO_FREE_ADDRESS));
  EXPECT_EQ(control_.Device(chosen[0]->serial)->ip, moved->ip);
  window->close();
}

}  // namespace
}  // namespace vdz
