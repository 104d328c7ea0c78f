#include "discovery/readdress_commands.h"

#include <gtest/gtest.h>

#include "readdress_fakes.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/log_capture.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

using test::AddDevice;

class ReaddressCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i)
      AddDevice(registry_, "SN" + std::to_string(i), "192.168.1." + std::to_string(10 + i));
  }

  // Rows in sorted order: registry slots 2, 0, 3, 1.
  void AddSortedRows(std::initializer_list<bool> checked) {
    const int order[] = {2, 0, 3, 1};
    int k = 0;
    for (bool c : checked)
      list_.Add(registry_, order[k++], c);
  }

  std::vector<std::string> SentSerials() {
    std::vector<std::string> serials;
    for (const auto& m : engine_.sent) {
      const auto start = m.body.find("SerialNumber=\"") + 14;
      serials.push_back(m.body.substr(start, m.body.find('"', start) - start));
    }
    return serials;
  }

  ReaddressContext ctx_{
      registry_,
      table_,
      engine_,
      params_,
      network_,
      prober_,
      prompter_,
      [this](int p, DeviceRow& row) {
        events_.push_back("relogin " + std::to_string(p) + " " + row.record.Lan.IPAddress);
      },
      [this](int p, DeviceRow&) { events_.push_back("sdk " + std::to_string(p)); },
      nullptr,
      [this](int p, const DeviceRow&, int result) {
        results_.push_back({p, result});
      },
      {},
      {}};

  DeviceRegistry registry_;
  AssignedAddressTable table_;
  test::RecordingEngine engine_;
  test::FixedNetwork network_;
  LocalParameterCache params_{network_};
  test::FakeProber prober_;
  test::RecordingPrompter prompter_;
  test::FakeDeviceList list_;
  std::vector<std::string> events_;
  std::vector<std::pair<int, int>> results_;
};

TEST_F(ReaddressCommandsTest, SingleRowCommandsReachTheClickedDeviceAfterSorting) {
  AddSortedRows({false, false, false, false});
  EXPECT_EQ(RestoreRow(ctx_, list_, 0), 0);
  EXPECT_EQ(RebootRow(ctx_, list_, 3), 0);
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN1"}));
  EXPECT_EQ(engine_.sent[0].code, 5);
  EXPECT_EQ(engine_.sent[1].code, 7);
  // The SDK reboot runs first, for the same row.
  EXPECT_EQ(events_, (std::vector<std::string>{"sdk 3"}));
  EXPECT_EQ(RestoreRow(ctx_, list_, 9), kReaddressNoRow);
  EXPECT_TRUE(prompter_.boxes.empty());
}

TEST_F(ReaddressCommandsTest, StaleRowsAreLoggedWithTheirSerialAndResult) {
  test::LogCapture log;
  AddSortedRows({true});
  list_.entries[0].row->registry_index = 40;
  EXPECT_EQ(RestoreRow(ctx_, list_, 0), -1);
  EXPECT_EQ(RebootRow(ctx_, list_, 0), -1);
  auto same = [](const IpSettingValues& v, bool) { return std::optional<IpSettingValues>(v); };
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, same), -1);
  EXPECT_TRUE(log.Contains("restore IPC SN2 failed. error = -1\n"));
  EXPECT_TRUE(log.Contains("RebootIPC SN2 failed. error = -1\n"));
  EXPECT_TRUE(log.Contains("set IPC SN2 failed. error = -1\n"));
  EXPECT_TRUE(engine_.sent.empty());
  EXPECT_EQ(list_.entries[0].address_cell, "");
}

TEST_F(ReaddressCommandsTest, ChangeOpensTheDialogWithTheRowAndSendsWhatItReturns) {
  AddSortedRows({false, false});
  list_.entries[1].row->login_handle = 7;
  IpSettingValues seen;
  bool seen_batch = true;
  auto dialog = [&](const IpSettingValues& initial, bool batch) {
    seen = initial;
    seen_batch = batch;
    IpSettingValues out = initial;
    out.ip = "192.168.1.77";
    out.dhcp = 1;
    return std::optional<IpSettingValues>(out);
  };
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 1, dialog), 0);
  EXPECT_EQ(seen.ip, "192.168.1.10");
  EXPECT_EQ(seen.gateway, "192.168.1.1");
  EXPECT_EQ(seen.dns2, "8.8.4.4");
  EXPECT_FALSE(seen_batch);
  EXPECT_EQ(list_.entries[1].address_cell, "192.168.1.77");
  EXPECT_EQ(list_.entries[1].row->record.Lan.DHCP, 1);
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN0"}));
  EXPECT_NE(engine_.sent[0].body.find("DHCP=\"1\"\r\nIPAddress=\"192.168.1.77\""),
            std::string::npos);
  EXPECT_EQ(events_, (std::vector<std::string>{"relogin 1 192.168.1.77"}));

  // Cancelled: nothing changes; a row without login is not logged in again.
  auto cancel = [](const IpSettingValues&, bool) { return std::optional<IpSettingValues>(); };
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, cancel), kReaddressCancelled);
  EXPECT_EQ(engine_.sent.size(), 1u);
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, dialog), 0);
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(ReaddressCommandsTest, ARowWhoseLoginIsUnderWayFollowsItsDeviceToo) {
  AddSortedRows({false});
  list_.entries[0].row->login_pending = 1;
  auto dialog = [](const IpSettingValues& initial, bool) {
    IpSettingValues out = initial;
    out.ip = "192.168.1.78";
    return std::optional<IpSettingValues>(out);
  };
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 0, dialog), 0);
  EXPECT_EQ(events_, (std::vector<std::string>{"relogin 0 192.168.1.78"}));
}

TEST_F(ReaddressCommandsTest, RestoreCheckedAsksFirstThenWalksCheckedRowsInListOrder) {
  AddSortedRows({true, false, true, true});
  prompter_.answers = {false};
  EXPECT_TRUE(RestoreChecked(ctx_, list_).declined);
  EXPECT_TRUE(engine_.sent.empty());
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::MSGTIP11));
  EXPECT_EQ(prompter_.boxes[0].caption, LookupText(keys::TEXT21));

  list_.entries[2].row->registry_index = 99;  // fails, the batch goes on
  const BatchOutcome outcome = RestoreChecked(ctx_, list_);
  EXPECT_EQ(outcome.checked, 3);
  EXPECT_EQ(outcome.succeeded, 2);
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN1"}));
  EXPECT_EQ(results_, (std::vector<std::pair<int, int>>{{0, 0}, {2, -1}, {3, 0}}));
  EXPECT_EQ(prompter_.boxes.size(), 2u);  // no refusal
}

TEST_F(ReaddressCommandsTest, EmptyCheckSetsAreRefusedWithTheirMessages) {
  AddSortedRows({false, false});
  RestoreChecked(ctx_, list_);
  RebootChecked(ctx_, list_);
  AssignFreeToChecked(ctx_, list_);
  auto dialog = [](const IpSettingValues& v, bool) { return std::optional<IpSettingValues>(v); };
  AssignConsecutiveToChecked(ctx_, list_, dialog);
  std::vector<std::string> kinds, texts;
  for (const auto& box : prompter_.boxes) {
    kinds.push_back(box.kind);
    texts.push_back(box.text);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"YESNO", "ERROR", "YESNO", "ERROR", "YESNO", "ERROR",
                                             "ERROR"}));
  EXPECT_EQ(texts[1], LookupText(keys::MSGTIP14));
  EXPECT_EQ(texts[2], LookupText(keys::MSGTIP38));
  EXPECT_EQ(texts[3], LookupText(keys::MSGTIP16));
  EXPECT_EQ(texts[4], LookupText(keys::MSGTIP12));
  EXPECT_EQ(texts[5], LookupText(keys::MSGTIP15));
  EXPECT_EQ(texts[6], LookupText(keys::MSGTIP13));
  EXPECT_TRUE(engine_.sent.empty());
  EXPECT_TRUE(prober_.probed.empty());
}

TEST_F(ReaddressCommandsTest, RebootCheckedCountsFailedRowsAsCheckedAndRunsTheSdkStepFirst) {
  AddSortedRows({false, true, false, false});
  list_.entries[1].row->registry_index = 50;
  const BatchOutcome outcome = RebootChecked(ctx_, list_);
  EXPECT_EQ(outcome.checked, 1);
  EXPECT_EQ(outcome.succeeded, 0);
  EXPECT_EQ(prompter_.boxes.size(), 1u);  // only the question
  EXPECT_EQ(events_, (std::vector<std::string>{"sdk 1"}));
}

TEST_F(ReaddressCommandsTest, FreeAddressesForCheckedRowsDifferAndShowAtOnce) {
  AddSortedRows({true, false, true});
  list_.entries[2].row->login_handle = 3;
  prober_.answering = {"192.168.1.2"};
  std::vector<std::string> progress;
  ctx_.on_probe = [&](const std::string& c) { progress.push_back(c); };
  const BatchOutcome outcome = AssignFreeToChecked(ctx_, list_);
  EXPECT_EQ(outcome.succeeded, 2);
  EXPECT_EQ(list_.entries[0].address_cell, "192.168.1.3");
  EXPECT_EQ(list_.entries[2].address_cell, "192.168.1.4");
  EXPECT_EQ(list_.entries[1].address_cell, "");
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN3"}));
  EXPECT_EQ(events_, (std::vector<std::string>{"relogin 2 192.168.1.4"}));
  EXPECT_EQ(progress,
            (std::vector<std::string>{"192.168.1.2", "192.168.1.3", "192.168.1.2", "192.168.1.4"}));
}

TEST_F(ReaddressCommandsTest, ConsecutiveAddressesCrossIntoTheNextSubnet) {
  AddSortedRows({true, true, false, true});
  IpSettingValues offered;
  bool batch = false;
  auto dialog = [&](const IpSettingValues& initial, bool is_batch) {
    offered = initial;
    batch = is_batch;
    IpSettingValues out = initial;
    out.ip = "192.168.1.254";
    out.netmask = "255.255.0.0";
    return std::optional<IpSettingValues>(out);
  };
  const BatchOutcome outcome = AssignConsecutiveToChecked(ctx_, list_, dialog);
  EXPECT_TRUE(batch);
  EXPECT_EQ(offered.ip, "192.168.1.2");  // the free-address search's start
  EXPECT_EQ(offered.netmask, "255.255.255.0");
  EXPECT_EQ(offered.gateway, "192.168.1.1");
  EXPECT_EQ(offered.dhcp, 0);
  EXPECT_EQ(outcome.succeeded, 3);
  EXPECT_EQ(list_.entries[0].address_cell, "192.168.1.254");
  EXPECT_EQ(list_.entries[1].address_cell, "192.168.1.255");
  EXPECT_EQ(list_.entries[3].address_cell, "192.168.2.0");
  EXPECT_STREQ(list_.entries[3].row->record.Lan.Netmask, "255.255.0.0");
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN0", "SN1"}));
  // The consecutive addresses themselves are not probed.
  EXPECT_EQ(prober_.probed, (std::vector<std::string>{"192.168.1.2"}));
}

TEST_F(ReaddressCommandsTest, ConsecutiveAddressesStopAtTheTopOfTheAddressSpace) {
  test::LogCapture log;
  AddSortedRows({true, true, true});
  auto dialog = [](const IpSettingValues& initial, bool) {
    IpSettingValues out = initial;
    out.ip = "255.255.255.254";
    return std::optional<IpSettingValues>(out);
  };
  const BatchOutcome outcome = AssignConsecutiveToChecked(ctx_, list_, dialog);
  EXPECT_EQ(outcome.succeeded, 2);
  EXPECT_EQ(list_.entries[1].address_cell, "255.255.255.255");
  EXPECT_EQ(list_.entries[2].address_cell, "");
  EXPECT_EQ(engine_.sent.size(), 2u);
  EXPECT_TRUE(log.Contains("set IPC SN3 failed. error = -5\n"));
  EXPECT_EQ(results_.back(), (std::pair<int, int>{2, kAddressRangeExhausted}));
}

TEST_F(ReaddressCommandsTest, ConsecutiveAddressingEndsAtTheFirstFailureOrOnCancel) {
  AddSortedRows({true, true, true});
  list_.entries[1].row->registry_index = 77;
  auto dialog = [](const IpSettingValues& v, bool) { return std::optional<IpSettingValues>(v); };
  const BatchOutcome outcome = AssignConsecutiveToChecked(ctx_, list_, dialog);
  EXPECT_EQ(outcome.succeeded, 1);
  EXPECT_EQ(engine_.sent.size(), 1u);
  EXPECT_EQ(list_.entries[2].address_cell, "");

  auto cancel = [](const IpSettingValues&, bool) { return std::optional<IpSettingValues>(); };
  EXPECT_TRUE(AssignConsecutiveToChecked(ctx_, list_, cancel).cancelled);
  EXPECT_EQ(engine_.sent.size(), 1u);
}

TEST_F(ReaddressCommandsTest, OtherMakersRowsGoToTheirOwnRunnerOrAreSkippedAsNotSupported) {
  AddSortedRows({true, true, true, true});
  list_.entries[1].row->protocol = kProtocolOnvif;  // SN0
  list_.entries[3].row->protocol = kProtocolOnvif;  // SN1
  std::vector<std::pair<ForeignRowCommand, std::vector<int>>> handed;
  std::string handed_ip;
  ctx_.foreign_rows = [&](ForeignRowCommand c, std::vector<int> positions,
                          const IpSettingValues& v) {
    handed.emplace_back(c, std::move(positions));
    handed_ip = v.ip;
  };
  EXPECT_EQ(RebootChecked(ctx_, list_).checked, 4);
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN3"}));
  auto dialog = [](IpSettingValues v, bool) {
    v.ip = "192.168.1.77";
    return std::optional<IpSettingValues>(v);
  };
  EXPECT_EQ(ChangeNetworkOfRow(ctx_, list_, 3, dialog), 0);
  EXPECT_EQ(handed,
            (std::vector<std::pair<ForeignRowCommand, std::vector<int>>>{
                {ForeignRowCommand::kReboot, {1, 3}}, {ForeignRowCommand::kChangeNetwork, {3}}}));
  EXPECT_EQ(handed_ip, "192.168.1.77");

  // What they have no way to: skipped with the reason, and told like every row.
  engine_.sent.clear();
  ctx_.foreign_rows = nullptr;
  RestoreChecked(ctx_, list_);
  EXPECT_EQ(RebootRow(ctx_, list_, 1), kNotSupportedByDevice);
  EXPECT_EQ(SentSerials(), (std::vector<std::string>{"SN2", "SN3"}));
  EXPECT_EQ(list_.entries[3].status, LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
  // The reboot's rows of ours, then the restore in list order, then the single reboot.
  const int no = kNotSupportedByDevice;
  EXPECT_EQ(results_, (std::vector<std::pair<int, int>>{
                          {0, 0}, {2, 0}, {0, 0}, {1, no}, {2, 0}, {3, no}, {1, no}}));
}

}  // namespace
}  // namespace vdz
