#include "devops/batch_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/protocol_numbers.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

// Remembers what each call carried; handles at or above 900 fail.
class RecordingSdk : public test::FakeSdk {
 public:
  struct Call {
    int handle, command;
    std::string text;
    int length;
  };
  int SetDVRConfig(int handle, int command, int, const char* xml, int length) override {
    calls.push_back({handle, command, xml, length});
    return handle >= 900 ? -1 : 0;
  }
  int PTZPreset(int handle, int command, int preset) override {
    calls.push_back({handle, command, std::to_string(preset), 0});
    return handle >= 900 ? -1 : 0;
  }
  std::vector<Call> calls;
};

TEST(BatchSettingsTest, SkippedAndLoggedOutDevicesStillAdvanceTheAccountNumber) {
  test::FakeDeviceList list;
  list.Add(1, false, true);   // never online: skipped
  list.Add(2, true, true);    // n = 1
  list.Add(0, true, true);    // logged out: MSGTIP40
  list.Add(3, true, false);   // not checked: no number
  list.Add(4, true, true);    // n = 3
  list.Add(901, true, true);  // n = 4, refuses
  RecordingSdk sdk;
  PlatformValues v;
  v.account = "1000,abc";
  test::TestJobs jobs;
  BatchResult r;
  SetPlatformOnChecked(jobs.runner, sdk, list, v, [&r](const BatchResult& done) { r = done; });
  jobs.Wait();
  ASSERT_EQ(sdk.calls.size(), 3u);
  EXPECT_NE(sdk.calls[0].text.find("Username=\"1001,abc\""), std::string::npos);
  EXPECT_NE(sdk.calls[1].text.find("Username=\"1003,abc\""), std::string::npos);
  EXPECT_NE(sdk.calls[2].text.find("Username=\"1004,abc\""), std::string::npos);
  EXPECT_EQ(sdk.calls[0].command, proto::kCfgPlatform);
  EXPECT_EQ(r.succeeded, 2);
  EXPECT_EQ(list.entries[0].status_writes, 0);
  EXPECT_EQ(list.entries[1].status_writes, 0);  // nothing written on success
  EXPECT_EQ(list.entries[2].status, LookupText(keys::MSGTIP40));
  EXPECT_EQ(list.entries[5].status, LookupText(keys::MSGTIP43));
}

// A document holding multi-byte characters is handed over whole: its length in bytes.
TEST(BatchSettingsTest, LengthIsTheNarrowByteCount) {
  test::FakeDeviceList list;
  list.Add(5, true, true);
  RecordingSdk sdk;
  PlatformValues v;
  v.increment_account = false;
  v.account = "\xE7\x94\xA8\xE6\x88\xB7";  // two Chinese characters, four GBK bytes
  test::TestJobs jobs;
  SetPlatformOnChecked(jobs.runner, sdk, list, v);
  jobs.Wait();
  ASSERT_EQ(sdk.calls.size(), 1u);
  EXPECT_EQ(sdk.calls[0].length, static_cast<int>(sdk.calls[0].text.size()));
  EXPECT_EQ(sdk.calls[0].text.substr(sdk.calls[0].text.size() - 19), "</PlatformConfig>\r\n");
  EXPECT_NE(sdk.calls[0].text.find("Username=\"\xD3\xC3\xBB\xA7\""), std::string::npos);
}

TEST(BatchSettingsTest, BadPixelSummaryCountsSuccesses) {
  test::FakeDeviceList list;
  list.Add(6, true, true);
  list.Add(0, true, true);
  list.Add(902, true, true);
  RecordingSdk sdk;
  test::RecordingPrompter prompter;
  test::TestJobs jobs;
  BadPixelPresetOnChecked(jobs.runner, sdk, list, prompter, kPresetSaveBadPixels);
  jobs.Wait();
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].kind, "MESSAGE");
  EXPECT_EQ(prompter.boxes[0].text, "[201 preset ptz] " + LookupText(keys::SUCCEED_SET_NUM) + "1");
  EXPECT_EQ(list.entries[2].status, LookupText(keys::SET_PRESET_FAILED));
  EXPECT_EQ(sdk.calls[0].command, kPresetCommandSet);
}

TEST(BatchSettingsTest, TimeSyncCountsItsOwnRowsAndReadsTheClockPerDevice) {
  test::FakeDeviceList list;
  RecordingSdk sdk;
  test::RecordingPrompter prompter;
  list.Add(7, true, false);
  test::TestJobs jobs;
  SyncTimeOnChecked(jobs.runner, sdk, list, prompter, {}, [] { return LocalTime{}; });
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::MSGTIP17));
  EXPECT_EQ(prompter.boxes[0].caption, "ERROR");
  list.entries[0].checked = true;
  list.Add(0, true, true);
  int reads = 0;
  SyncTimeOnChecked(jobs.runner, sdk, list, prompter, {}, [&] {
    ++reads;
    return LocalTime{2024, 1, 2, 3, 4, 5};
  });
  jobs.Wait();
  EXPECT_EQ(reads, 1);  // the logged-out device is not called
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGTIP22));
}

}  // namespace
}  // namespace vdz
