// Network change, restore, reboot and free-address probing against the simulated site.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "discovery/address_probe.h"
#include "discovery/discovery_engine.h"
#include "discovery/readdress_commands.h"
#include "lab/devsim_control.h"
#include "shell/bounded_text.h"
#include "support/fake_device_list.h"
#include "support/log_capture.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

using Clock = std::chrono::steady_clock;
using lab::DevsimControl;
using lab::DevsimRequest;
using test::FakeDeviceList;

// The system's adapters plus one address that only this test pretends the workstation has.
class ExtraAdapterSource : public NetworkInfoSource {
 public:
  explicit ExtraAdapterSource(std::shared_ptr<NetworkInfoSource> real) : real_(std::move(real)) {}
  std::optional<std::vector<AdapterInfo>> ReadAdapters() override {
    auto adapters = real_->ReadAdapters();
    if (adapters && !extra.empty()) {
      AdapterInfo info;
      info.description = "test alias";
      info.interface_index = 999;
      info.addresses = {{extra, "255.255.255.0"}};
      adapters->push_back(info);
    }
    return adapters;
  }
  std::optional<std::vector<std::string>> ReadNameServers() override {
    return real_->ReadNameServers();
  }
  std::optional<int> BestInterfaceFor(const char* d) override { return real_->BestInterfaceFor(d); }
  std::string extra;

 private:
  std::shared_ptr<NetworkInfoSource> real_;
};

class ReaddressLab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
    for (const char* host : {"192.168.1.2", "192.168.1.3", "192.168.1.4", "192.168.1.5",
                             "192.168.1.6", "192.168.1.7", "192.168.1.8", "192.168.1.9"})
      control_.Send(std::string("host del ") + host);
    ASSERT_TRUE(control_.ClearRequestLog());
    device_count_ = static_cast<int>(control_.Devices().size());
    ASSERT_GT(device_count_, 3);
  }
  void TearDown() override { control_.Send("site initial"); }

  // One search until every device answered; rows in registry order.
  void Search() {
    ASSERT_EQ(engine_.StartSearchThread(), 1);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (registry_->GetDeviceCount() < device_count_ && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    engine_.StopSearchThread();
    ASSERT_EQ(registry_->GetDeviceCount(), device_count_);
  }
  void AddRow(int registry_index, bool checked = true) {
    list_.Add(*registry_, registry_index, checked);
  }
  std::string Serial(int position) { return list_.entries[position].row->record.SerialNumber; }
  std::unique_ptr<DeviceRecord> Slot(int index) {
    auto record = std::make_unique<DeviceRecord>(ZeroDeviceRecord());
    registry_->CopyRecord(index, record.get(), sizeof *record);
    return record;
  }
  // Requests of this code, one per request sent, waiting (bounded) until count are logged.
  // With no search running each request leaves once per socket (the adapter's and the
  // wildcard one), so the simulator logs it twice in a row; the first copy decides.
  std::vector<DevsimRequest> Requests(int code, std::size_t count) {
    constexpr std::size_t kCopies = 2;
    std::vector<DevsimRequest> all;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    do {
      all.clear();
      for (const DevsimRequest& r : control_.RequestLog())
        if (r.code == code)
          all.push_back(r);
      if (all.size() >= count * kCopies)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < deadline);
    std::vector<DevsimRequest> firsts;
    for (std::size_t i = 0; i < all.size(); i += kCopies) {
      firsts.push_back(all[i]);
      if (i + 1 < all.size()) {
        EXPECT_EQ(all[i + 1].serial, all[i].serial);
        EXPECT_EQ(all[i + 1].length, all[i].length);
      }
    }
    return firsts;
  }
  // Lab hosts just added may need a moment (and an ARP round) before they answer.
  void WaitUntilAnswering(const char* host) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (PintTest(AssignedAddressTable::Parse(host)) == 0)
        return;
    }
    ADD_FAILURE() << host << " never answered ping";
  }
  static IpSettingDialog Returning(IpSettingValues values) {
    return
        [values](const IpSettingValues&, bool) { return std::optional<IpSettingValues>(values); };
  }

  DevsimControl control_ = DevsimControl::FromEnvironment();
  std::shared_ptr<DeviceRegistry> registry_ = std::make_shared<DeviceRegistry>();
  std::shared_ptr<ExtraAdapterSource> network_ =
      std::make_shared<ExtraAdapterSource>(MakeSystemNetworkInfoSource());
  DiscoveryEngine engine_{registry_, network_};
  LocalParameterCache params_{*network_};
  AssignedAddressTable table_;
  IcmpAddressProber prober_;
  test::RecordingPrompter prompter_;
  std::vector<std::string> probed_;
  ReaddressContext ctx_{*registry_, table_,
                        engine_,    params_,
                        *network_,  prober_,
                        prompter_,  nullptr,
                        nullptr,    [this](const std::string& c) { probed_.push_back(c); },
                        nullptr,    {},
                        {}};
  FakeDeviceList list_;
  int device_count_ = 0;
};

TEST_F(ReaddressLab, ChangedDeviceShowsItsNewAddressAtOnceAndInTheNextAnswer) {
  Search();
  AddRow(1);
  const std::string serial = Serial(0);
  IpSettingValues values{"192.168.1.60", "255.255.255.0", "192.168.1.1", "192.168.1.1", "", 0};
  ASSERT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, Returning(values)), 0);
  EXPECT_EQ(list_.entries[0].address_cell, "192.168.1.60");
  EXPECT_STREQ(Slot(1)->Lan.IPAddress, "192.168.1.60");

  const auto requests = Requests(2, 1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].serial, serial);
  EXPECT_EQ(requests[0].result.rfind("moved:", 0), 0u) << requests[0].result;
  EXPECT_EQ(control_.Device(serial)->ip, "192.168.1.60");

  // The next search hears the device at its new address.
  Search();
  bool seen = false;
  for (int i = 0; i < registry_->GetDeviceCount(); ++i) {
    auto record = Slot(i);
    if (serial == record->SerialNumber) {
      EXPECT_STREQ(record->Lan.IPAddress, "192.168.1.60");
      seen = true;
    }
  }
  EXPECT_TRUE(seen);
}

TEST_F(ReaddressLab, RestoreAndRebootAfterSortingReachTheClickedDevice) {
  Search();
  for (int i = device_count_ - 1; i >= 0; --i)
    AddRow(i, false);  // the list sorted the other way round
  // Move the device of row 1 first, so its restore shows.
  IpSettingValues values{"192.168.1.61", "255.255.255.0", "192.168.1.1", "192.168.1.1", "", 0};
  ASSERT_EQ(ChangeNetworkOfRow(ctx_, list_, 1, Returning(values)), 0);
  ASSERT_EQ(Requests(2, 1).size(), 1u);
  ASSERT_EQ(control_.Device(Serial(1))->ip, "192.168.1.61");

  ASSERT_EQ(RestoreRow(ctx_, list_, 1), 0);
  ASSERT_EQ(RebootRow(ctx_, list_, 0), 0);
  const auto restores = Requests(5, 1);
  const auto reboots = Requests(7, 1);
  ASSERT_EQ(restores.size(), 1u);
  ASSERT_EQ(reboots.size(), 1u);
  EXPECT_EQ(restores[0].serial, Serial(1));
  EXPECT_EQ(restores[0].result, "restored");
  EXPECT_EQ(reboots[0].serial, Serial(0));
  EXPECT_EQ(reboots[0].result.rfind("rebooting", 0), 0u) << reboots[0].result;
  const auto restored = control_.Device(Serial(1));
  EXPECT_EQ(restored->ip, restored->factory_ip);
  EXPECT_EQ(control_.Device(Serial(0))->state, "rebooting");
  EXPECT_EQ(control_.Device(Serial(2))->state, "up");
}

TEST_F(ReaddressLab, ConsecutiveAddressesFrom254CrossIntoTheNextSubnet) {
  Search();
  AddRow(2);
  AddRow(0);
  AddRow(3, false);
  AddRow(1);
  // Under a /16 all three are host addresses, so the simulator takes each and the request
  // log shows exactly what was sent.
  IpSettingValues values{"192.168.1.254", "255.255.0.0", "192.168.1.1", "192.168.1.1", "", 0};
  const BatchOutcome outcome = AssignConsecutiveToChecked(ctx_, list_, Returning(values));
  EXPECT_EQ(outcome.succeeded, 3);
  const auto sets = Requests(2, 3);
  ASSERT_EQ(sets.size(), 3u);
  const char* expected[] = {"192.168.1.254", "192.168.1.255", "192.168.2.0"};
  const int rows[] = {0, 1, 3};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(sets[k].serial, Serial(rows[k]));
    const std::string& result = sets[k].result;
    EXPECT_EQ(result.substr(result.find("->") + 2), expected[k]) << result;
    EXPECT_EQ(list_.entries[rows[k]].address_cell, expected[k]);
  }

  // Under the workstation's /24 the simulator refuses the network and broadcast addresses,
  // though the same addresses were sent.
  ASSERT_TRUE(control_.Send("site initial"));
  ASSERT_TRUE(control_.ClearRequestLog());
  values.netmask = "255.255.255.0";
  AssignConsecutiveToChecked(ctx_, list_, Returning(values));
  const auto refused = Requests(2, 3);
  ASSERT_EQ(refused.size(), 3u);
  EXPECT_EQ(refused[0].result.substr(refused[0].result.find("->") + 2), "192.168.1.254");
  EXPECT_EQ(refused[1].result, "refused:bad-ip");
  EXPECT_EQ(refused[2].result, "refused:bad-ip");
}

TEST_F(ReaddressLab, ChangingTwiceFreesTheFirstAddressAndAFullTableStillSends) {
  Search();
  AddRow(0);
  IpSettingValues values{"192.168.1.62", "255.255.255.0", "192.168.1.1", "192.168.1.1", "", 0};
  ASSERT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, Returning(values)), 0);
  values.ip = "192.168.1.63";
  ASSERT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, Returning(values)), 0);
  EXPECT_FALSE(table_.Contains(AssignedAddressTable::Parse("192.168.1.62")));
  EXPECT_TRUE(table_.Contains(AssignedAddressTable::Parse("192.168.1.63")));
  ASSERT_EQ(Requests(2, 2).size(), 2u);
  EXPECT_EQ(control_.Device(Serial(0))->ip, "192.168.1.63");

  for (int i = 0; table_.Count() < AssignedAddressTable::kSlots; ++i)
    table_.Add(AssignedAddressTable::Parse(
        ("10.9." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)).c_str()));
  AddRow(1);
  values.ip = "192.168.1.64";
  ASSERT_EQ(ChangeNetworkOfRow(ctx_, list_, 1, Returning(values)), 0);
  ASSERT_EQ(Requests(2, 3).size(), 3u);
  EXPECT_EQ(control_.Device(Serial(1))->ip, "192.168.1.64");
  EXPECT_FALSE(table_.Contains(AssignedAddressTable::Parse("192.168.1.64")));
}

TEST_F(ReaddressLab, FirstFreeCandidateIsDotTwoWhenNothingElseIsTaken) {
  test::LogCapture log;
  FreeAddressSearch search{params_, *network_, *registry_, table_, prober_, ctx_.on_probe};
  bool found = false;
  EXPECT_EQ(FindFreeAddress(search, &found), "192.168.1.2");
  EXPECT_TRUE(found);
  EXPECT_EQ(probed_, (std::vector<std::string>{"192.168.1.2"}));
  EXPECT_TRUE(log.Contains("PintTest(): no replay recv, ip 192.168.1.2 is usable.\n"));
  EXPECT_TRUE(log.Contains("got one ip: 192.168.1.2\n"));
}

TEST_F(ReaddressLab, ProbingSkipsEverythingTakenAndWhatAnswersPing) {
  Search();  // devices from .10 up in the registry
  // Lab hosts answer ping; one listed device is switched off but keeps its registry record.
  for (const char* host :
       {"192.168.1.2", "192.168.1.4", "192.168.1.6", "192.168.1.7", "192.168.1.8", "192.168.1.9"})
    ASSERT_TRUE(control_.Send(std::string("host add ") + host));
  for (const char* host : {"192.168.1.2", "192.168.1.9"})
    WaitUntilAnswering(host);
  table_.Add(AssignedAddressTable::Parse("192.168.1.3"));
  network_->extra = "192.168.1.5";
  auto first = Slot(0);
  ASSERT_STREQ(first->Lan.IPAddress, "192.168.1.10");
  ASSERT_TRUE(control_.Send(std::string("remove ") + first->SerialNumber));

  test::LogCapture log;
  FreeAddressSearch search{params_, *network_, *registry_, table_, prober_, ctx_.on_probe};
  const std::string free_address = FindFreeAddress(search);
  // .10 up to the last device's address are registry addresses: the first free one follows.
  const std::string expected = "192.168.1." + std::to_string(10 + device_count_);
  EXPECT_EQ(free_address, expected);
  std::vector<std::string> want = {"192.168.1.2", "192.168.1.4", "192.168.1.6", "192.168.1.7",
                                   "192.168.1.8", "192.168.1.9", expected};
  EXPECT_EQ(probed_, want);
  EXPECT_TRUE(log.Contains("got replay from ip: 192.168.1.2\n"));
  EXPECT_TRUE(log.Contains("got replay from ip: 192.168.1.9\n"));
  for (const std::string& p : probed_)
    EXPECT_TRUE(p != "192.168.1.1" && p != "192.168.1.100" && p != "192.168.1.3" &&
                p != "192.168.1.5" && p != "192.168.1.10")
        << p;
}

TEST_F(ReaddressLab, TwoAssignmentsInARowGiveTwoAddressesAndMoveTheDevices) {
  Search();
  AddRow(0);
  AddRow(1, false);
  AddRow(2);
  const BatchOutcome outcome = AssignFreeToChecked(ctx_, list_);
  EXPECT_EQ(outcome.succeeded, 2);
  EXPECT_EQ(list_.entries[0].address_cell, "192.168.1.2");
  EXPECT_EQ(list_.entries[2].address_cell, "192.168.1.3");
  ASSERT_EQ(Requests(2, 2).size(), 2u);
  EXPECT_EQ(control_.Device(Serial(0))->ip, "192.168.1.2");
  EXPECT_EQ(control_.Device(Serial(2))->ip, "192.168.1.3");
  EXPECT_EQ(control_.Device(Serial(0))->gateway, "192.168.1.1");
}

}  // namespace
}  // namespace vdz
