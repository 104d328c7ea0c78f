#include "devops/terminal_batch.h"

#include <gtest/gtest.h>

#include "devops/key_parameter_requester.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

using test::FakeDeviceList;
using test::RecordingPrompter;

// Answers by address: addresses in `failing` fail every request.
class FakeTerminalService final : public TerminalService {
 public:
  int RequestKeyParameters(const DeviceRecord& r, TerminalKeyParameters* keys) override {
    calls.push_back(std::string("key ") + r.Lan.IPAddress);
    if (Fails(r))
      return kTerminalNoReply;
    keys->devname = std::string("name-") + r.Lan.IPAddress;
    keys->deamontime = "RK-T1";
    return kTerminalOk;
  }
  int RequestPlatform(const DeviceRecord& r, TerminalParameterSet* set) override {
    calls.push_back(std::string("read ") + r.Lan.IPAddress);
    if (Fails(r))
      return kTerminalNoReply;
    set->devname = "read-name";
    return kTerminalOk;
  }
  int ModifyPlatform(const DeviceRecord& r, const TerminalParameterSet& set,
                     const std::set<std::string>*) override {
    calls.push_back(std::string("write ") + r.Lan.IPAddress + " " + set.devname);
    return Fails(r) ? kTerminalNoReply : kTerminalOk;
  }
  int RebootAlarmApp(const DeviceRecord& r) override {
    calls.push_back(std::string("reboot ") + r.Lan.IPAddress);
    return Fails(r) ? kTerminalNoReply : kTerminalOk;
  }
  bool Fails(const DeviceRecord& r) const { return failing.count(r.Lan.IPAddress) > 0; }

  std::set<std::string> failing;
  std::vector<std::string> calls;
};

struct TerminalBatchTest : ::testing::Test {
  FakeDeviceList list;
  RecordingPrompter prompter;
  FakeTerminalService service;
  std::vector<int> modes;
  PlatformDialogRunner dialog = [this](TerminalParameterSet* set, int mode) {
    modes.push_back(mode);
    shown = *set;
    set->devname = "typed";
    return accept;
  };
  TerminalParameterSet shown;
  bool accept = true;
  test::TestJobs jobs;

  TerminalBatchOutcome Setting() {
    TerminalBatchOutcome outcome;
    BatchTerminalSetting(jobs.runner, service, list, prompter, dialog,
                         [&outcome](const TerminalBatchOutcome& done) { outcome = done; });
    jobs.Wait();
    return outcome;
  }
  bool Restart() {
    const bool started = RestartTerminalServiceOfChecked(jobs.runner, service, list, prompter);
    jobs.Wait();
    return started;
  }
};

TEST_F(TerminalBatchTest, OneRowIsReadThenWritten) {
  list.Add(5, true, true, "10.0.0.1");
  list.Add(6, true, false, "10.0.0.2");
  const TerminalBatchOutcome out = Setting();
  EXPECT_TRUE(out.read);
  EXPECT_EQ(shown.devname, "read-name");
  EXPECT_EQ(modes, std::vector<int>{1});
  EXPECT_EQ(service.calls, (std::vector<std::string>{"read 10.0.0.1", "write 10.0.0.1 typed"}));
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGSUCTIP43));
}

TEST_F(TerminalBatchTest, TwoRowsAskNoDeviceAndWriteBoth) {
  list.Add(5, true, true, "10.0.0.1");
  list.Add(0, true, true, "10.0.0.2");
  list.Add(7, false, true, "10.0.0.3");
  list.Add(8, true, true, "10.0.0.4");
  service.failing = {"10.0.0.4"};
  Setting();
  EXPECT_EQ(modes, std::vector<int>{3 + 1});
  EXPECT_EQ(service.calls,
            (std::vector<std::string>{"write 10.0.0.1 typed", "write 10.0.0.4 typed"}));
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGTIP40));
  EXPECT_EQ(list.entries[2].status, "");
  EXPECT_EQ(list.entries[3].status, LookupText(keys::MSGTIP43));
}

TEST_F(TerminalBatchTest, CancelledDialogWritesNothingAndFailedReadStillOpensIt) {
  list.Add(5, true, true, "10.0.0.1");
  service.failing = {"10.0.0.1"};
  accept = false;
  const TerminalBatchOutcome out = Setting();
  EXPECT_FALSE(out.read);
  EXPECT_EQ(modes.size(), 1u);
  EXPECT_EQ(shown.accessip, "192.168.0.100");  // the dialog's initial values
  EXPECT_EQ(service.calls, std::vector<std::string>{"read 10.0.0.1"});
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGTIP43));
}

TEST_F(TerminalBatchTest, RestartAsksAndReportsEachDevice) {
  list.Add(5, true, true, "10.0.0.1");
  list.Add(-3, true, true, "10.0.0.2");
  list.Add(6, true, true, "10.0.0.3");
  service.failing = {"10.0.0.3"};
  prompter.answers = {false, true};
  EXPECT_FALSE(Restart());
  EXPECT_TRUE(service.calls.empty());
  ASSERT_TRUE(Restart());
  ASSERT_EQ(prompter.boxes.size(), 2u);
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::REBOOT_TERM_SERVICE_CONFIRM));
  EXPECT_EQ(prompter.boxes[0].caption, LookupText(keys::REBOOT_TERM_SERVICE));
  EXPECT_EQ(service.calls, (std::vector<std::string>{"reboot 10.0.0.1", "reboot 10.0.0.3"}));
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGALMTIP3));
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGALMTIP2));
  EXPECT_EQ(list.entries[2].status, LookupText(keys::MSGALMTIP2));
}

TEST_F(TerminalBatchTest, KeyParametersFillNameAndModelOfAnsweringRowsOnly) {
  list.Add(0, false, false, "10.0.0.1");
  list.Add(0, false, false, "10.0.0.2");
  service.failing = {"10.0.0.2"};
  KeyParameterRequester requester(service, list, nullptr);
  requester.Request(*list.entries[0].row);
  requester.Request(*list.entries[1].row);
  EXPECT_EQ(list.entries[0].terminal_cells[kDeviceNameColumn], "name-10.0.0.1");
  EXPECT_EQ(list.entries[0].terminal_cells[kModelColumn], "RK-T1");
  EXPECT_TRUE(list.entries[1].terminal_cells.empty());
  EXPECT_EQ(requester.InFlight(), 0);
}

}  // namespace
}  // namespace vdz
