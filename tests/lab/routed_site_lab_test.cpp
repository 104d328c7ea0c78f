// A site behind a router: 20 devices on the workstation's segment, 200 in 10.2.0.0/22 and 50
// in 10.3.0.0/24, which no broadcast of ours reaches. Searches with ranges list them all,
// searches without list only the local ones, and routed devices can be moved.
#include <gtest/gtest.h>

#include <QComboBox>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "devconfig/ip_setting_rules.h"
#include "discovery/device_list_port.h"
#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/window_lab_support.h"
#include "shell/settings_file.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

constexpr char kRanges[] = "--range 10.2.0.0/22 --range 10.3.0.0/24";
constexpr std::size_t kLocal = 20, kSubnet2 = 200, kSubnet3 = 50;

bool Starts(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Listed addresses of a JSON device list, each with how often it appears.
std::map<std::string, int> JsonAddresses(const std::string& out) {
  std::map<std::string, int> listed;
  const std::string key = "{\"ip\": \"";
  for (std::size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1)) {
    const std::size_t start = at + key.size();
    ++listed[out.substr(start, out.find('"', start) - start)];
  }
  return listed;
}

class RoutedSiteLab : public ::testing::Test {
 protected:
  void SetUp() override {
    control_.Send("site initial");
    for (const auto& d : control_.Devices())
      site_.insert(d.ip);
    ASSERT_EQ(site_.size(), kLocal + kSubnet2 + kSubnet3);
    WriteSearchRanges("");
  }
  void TearDown() override {
    control_.Send("site initial");
    WriteSearchRanges("");
  }
  std::optional<lab::DevsimDevice> RoutedDevice(const char* prefix, int skip = 0) {
    for (const auto& d : control_.Devices()) {
      if (Starts(d.ip, prefix) && skip-- == 0)
        return d;
    }
    return std::nullopt;
  }
  std::size_t Local() const {
    std::size_t n = 0;
    for (const auto& ip : site_)
      n += Starts(ip, "192.168.1.");
    return n;
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::set<std::string> site_;
};

TEST_F(RoutedSiteLab, CommandLineListsEveryDeviceOnceWithRangesAndOnlyLocalOnesWithout) {
  // --seconds 3: whatever is listed was found within three seconds.
  lab::CliRun r = lab::Cli(std::string("search --seconds 3 --format json ") + kRanges);
  ASSERT_EQ(r.status, 0) << r.out;
  std::map<std::string, int> listed = JsonAddresses(r.out);
  std::set<std::string> addresses;
  for (const auto& [ip, times] : listed) {
    EXPECT_EQ(times, 1) << ip;
    addresses.insert(ip);
  }
  EXPECT_EQ(addresses, site_);

  r = lab::Cli("search --seconds 3 --format json");
  ASSERT_EQ(r.status, 0) << r.out;
  listed = JsonAddresses(r.out);
  EXPECT_EQ(listed.size(), Local());
  for (const auto& [ip, times] : listed)
    EXPECT_TRUE(Starts(ip, "192.168.1.")) << ip;
}

TEST_F(RoutedSiteLab, CommandLineRefusesBadRangesAndNotesTheOwnSubnet) {
  struct Case {
    const char* args;
    int status;
    const char* said;  // on the error output
  } cases[] = {
      {"--range 10.2.0.0/19", 2, "holds 8192 addresses; at most 4096"},
      {"--range 10.2.0.9-10.2.0.1", 2, "ends before it starts"},
      {"--range 10.2.0/22", 2, "is not CIDR"},
      {"--range 192.168.1.0/24", 0, "lies in the workstation's subnet 192.168.1.0/24"},
  };
  for (const Case& c : cases) {
    // Only the error output is kept.
    const lab::CliRun r = lab::RunShell("( " + std::string(VDZ_CLI) + " search --seconds 2 " +
                                        c.args + " --format json 2>&1 >/dev/null )");
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << c.args << "\n" << r.out;
  }
}

TEST_F(RoutedSiteLab, HostSearchFindsOneRoutedDeviceAlone) {
  const auto device = RoutedDevice("10.3.0.", 7);
  ASSERT_TRUE(device);
  const lab::CliRun r = lab::Cli("search --seconds 2 --format json --host " + device->ip);
  ASSERT_EQ(r.status, 0) << r.out;
  const auto listed = JsonAddresses(r.out);
  ASSERT_EQ(listed.size(), 1u) << r.out;
  EXPECT_EQ(listed.begin()->first, device->ip);
  EXPECT_NE(r.out.find(device->serial), std::string::npos);
}

TEST_F(RoutedSiteLab, SetIpMovesARoutedDeviceWithinItsSubnetAndItIsFoundThere) {
  const auto device = RoutedDevice("10.2.0.", 3);
  ASSERT_TRUE(device);
  lab::CliRun r = lab::Cli("set-ip --seconds 2 " + device->ip +
                           " --ip 10.2.2.77 --mask 255.255.252.0 --gateway 10.2.0.1");
  EXPECT_EQ(r.status, 0) << r.out;
  const auto moved = control_.Device(device->serial);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->ip, "10.2.2.77");
  EXPECT_EQ(moved->mask, "255.255.252.0");
  r = lab::Cli("search --seconds 2 --format json --host 10.2.2.77");
  EXPECT_NE(r.out.find(device->serial), std::string::npos) << r.out;
}

// A free address comes from the workstation's subnet: a routed device must not get one.
TEST_F(RoutedSiteLab, AFreeAddressNeverMovesARoutedDeviceOutOfReach) {
  const auto device = RoutedDevice("10.3.0.", 5);
  ASSERT_TRUE(device);
  lab::Cli("assign-free --seconds 2 " + device->ip);
  const auto after = control_.Device(device->serial);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->ip, device->ip);
  const lab::CliRun r = lab::Cli("search --seconds 2 --format json --host " + device->ip);
  EXPECT_NE(r.out.find(device->serial), std::string::npos) << r.out;
}

class RoutedWindowLab : public RoutedSiteLab {
 protected:
  std::unique_ptr<CQmDadIvidudEvuzDlg> Open(const std::string& ranges) {
    MainWindowOptions options;
    options.prompter = &prompter_;
    options.ranges_dialog = [ranges](const std::string&) { return std::optional(ranges); };
    options.address_dialog = [this] { return address_; };
    options.ip_dialog = [this](const IpSettingValues& v, bool) {
      IpSettingValues out = v;
      out.ip = new_ip_;
      out.netmask = "255.255.255.0";
      out.gateway = "10.3.0.1";
      return std::optional(out);
    };
    auto window = std::make_unique<CQmDadIvidudEvuzDlg>(options);
    QObject::connect(window.get(), &CQmDadIvidudEvuzDlg::FirstSearchFinished,
                     [this] { first_done_ = true; });
    window->Initialise();
    window->show();
    return window;
  }
  std::set<std::string> Listed(CQmDadIvidudEvuzDlg& window) {
    std::set<std::string> listed;
    for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r)
      listed.insert(window.DeviceList()->GetItemText(r, kAddressColumn).toStdString());
    return listed;
  }
  int RowOf(CQmDadIvidudEvuzDlg& window, const std::string& ip) {
    for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r) {
      if (window.DeviceList()->GetItemText(r, kAddressColumn).toStdString() == ip)
        return r;
    }
    return -1;
  }

  test::RecordingPrompter prompter_;
  std::optional<std::string> address_;
  std::string new_ip_;
  bool first_done_ = false;
};

TEST_F(RoutedWindowLab, RangesChosenInTheAdapterListFindEveryDeviceOnceAndMoveOne) {
  auto window = Open("10.2.0.0/22\n10.3.0.0/24");
  ASSERT_TRUE(lab::WaitFor([&] { return first_done_; }, 20000));
  // Without ranges the window sees its own segment only.
  EXPECT_EQ(window->DeviceList()->GetItemCount(), static_cast<int>(Local()));

  // The "Ranges…" entry: saved, then a new search asks both subnets.
  QComboBox* adapters = window->AdapterList();
  const auto started = std::chrono::steady_clock::now();
  adapters->setCurrentIndex(adapters->findData(cmd::kEditSearchRanges, Qt::UserRole + 1));
  EXPECT_EQ(adapters->currentIndex(), 0);
  EXPECT_EQ(ReadSearchRanges(), "10.2.0.0/22,10.3.0.0/24");
  ASSERT_TRUE(window->Session().searching());
  const bool all = lab::WaitFor(
      [&] { return window->DeviceList()->GetItemCount() == static_cast<int>(site_.size()); }, 4000);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
  ASSERT_TRUE(all) << window->DeviceList()->GetItemCount() << " rows after " << ms << " ms";
  std::printf("routed window: %d rows after %lld ms\n", window->DeviceList()->GetItemCount(),
              static_cast<long long>(ms));
  EXPECT_EQ(Listed(*window), site_);  // one row each: the count matched the set
  ASSERT_TRUE(lab::WaitFor([&] { return !window->Session().searching(); }, 15000));

  // The change-IP command on a routed device moves it within its subnet.
  const auto device = RoutedDevice("10.3.0.", 2);
  ASSERT_TRUE(device);
  const int row = RowOf(*window, device->ip);
  ASSERT_GE(row, 0);
  window->DeviceList()->SetItemStates(row, CReportCtrl::kItemSelected);
  new_ip_ = "10.3.0.200";
  ASSERT_TRUE(window->RunCommand(cmd::kMenuChangeAddress));
  EXPECT_TRUE(lab::WaitFor([&] { return control_.Device(device->serial)->ip == new_ip_; }, 3000));
  window->close();
}

TEST_F(RoutedWindowLab, AddByAddressListsOneRoutedDeviceBesideTheLocalOnes) {
  auto window = Open("");
  ASSERT_TRUE(lab::WaitFor([&] { return first_done_; }, 20000));
  const auto device = RoutedDevice("10.2.0.", 11);
  ASSERT_TRUE(device);
  address_ = "10.2.0.x";
  ASSERT_TRUE(window->RunCommand(cmd::kAddByAddress));
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].kind, "ERROR");
  EXPECT_NE(prompter_.boxes[0].text.find("10.2.0.x"), std::string::npos);
  address_ = device->ip;
  QComboBox* adapters = window->AdapterList();
  adapters->setCurrentIndex(adapters->findData(cmd::kAddByAddress, Qt::UserRole + 1));
  EXPECT_EQ(adapters->currentIndex(), 0);
  ASSERT_TRUE(lab::WaitFor([&] { return RowOf(*window, device->ip) >= 0; }, 4000));
  EXPECT_TRUE(lab::WaitFor([&] { return !window->Session().searching(); }, 15000));
  EXPECT_EQ(window->DeviceList()->GetItemCount(), static_cast<int>(Local()) + 1);
  window->close();
}

}  // namespace
}  // namespace vdz
