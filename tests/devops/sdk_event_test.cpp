#include "devops/sdk_event.h"

#include <gtest/gtest.h>

#include <cstring>

#include "devops/sdk_event_handler.h"
#include "protocol/protocol_numbers.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"

namespace vdz {
namespace {

using test::FakeDeviceList;
using test::FakeSdk;

TEST(SdkEventRecordTest, FixedRecordsCopyTheirSizeTextsAreBoundedAndTerminated) {
  char data[1400];
  std::memset(data, 'x', sizeof data);
  for (int type : {23, 24, 25, 30}) {
    auto record = MakeStatusEventRecord(3, type, data, nullptr);
    ASSERT_TRUE(record);
    const int size = FixedEventDataSize(type);
    EXPECT_EQ(record->payload[size - 1], 'x') << type;
    EXPECT_EQ(record->payload[size], 0) << type;
  }
  std::string long_text(20000, 'y');
  auto text = MakeStatusEventRecord(3, 4, long_text.c_str(), nullptr);
  EXPECT_EQ(std::strlen(text->payload), 10239u);
  auto null_data = MakeStatusEventRecord(3, 4, nullptr, nullptr);
  EXPECT_EQ(null_data->payload[0], 0);
  EXPECT_EQ(null_data->handle, 3);
  EXPECT_EQ(null_data->code, 4);
}

TEST(SdkEventRecordTest, FirmwareVersionComesOnlyFromResponseParam) {
  struct Case {
    const char* text;
    std::string version;
  };
  const Case cases[] = {
      {"<RESPONSE_PARAM FileSystemVersion=\"V5.2.1 build 2024\" />", "V5.2.1 build 2024"},
      {"<OTHER FileSystemVersion=\"V1\" />", ""},
      {"<RESPONSE_PARAM Other=\"1\" />", ""},
      {"not xml at all", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFileSystemVersion(c.text), c.version) << c.text;
    auto record = MakeAuxEventRecord(1, 1012, c.text, nullptr);
    EXPECT_EQ(std::string(record->payload), c.version);
  }
  const std::string long_version =
      "<RESPONSE_PARAM FileSystemVersion=\"" + std::string(300, 'v') + "\" />";
  EXPECT_EQ(ExtractFileSystemVersion(long_version.c_str()).size(), 127u);
  auto other = MakeAuxEventRecord(1, 1020, "<INFO a=\"1\"/>", nullptr);
  EXPECT_STREQ(other->payload, "<INFO a=\"1\"/>");
}

class SdkEventHandlerTest : public ::testing::Test {
 protected:
  void Status(int handle, int type, const char* data = "") {
    handler.HandleStatusEvent(*MakeStatusEventRecord(handle, type, data, nullptr));
  }
  void Aux(int handle, int command, const char* text) {
    handler.HandleAuxResponse(*MakeAuxEventRecord(handle, command, text, nullptr));
  }
  FakeSdk sdk;
  FakeDeviceList list;
  std::vector<int> console_codes;
  std::vector<int> previews;
  SdkEventHandler handler{
      sdk, list,
      SdkEventHooks{[this](const SdkEventRecord& e) { console_codes.push_back(e.code); },
                    [this](int position, DeviceRow&) { previews.push_back(position); }, nullptr,
                    nullptr, nullptr, nullptr}};
};

TEST_F(SdkEventHandlerTest, SessionUpMarksOnlineAndAsksForVersionAndInformation) {
  list.Add(5, false, false);
  list.Add(6, false, false);
  Status(6, 4);
  EXPECT_EQ(list.entries[1].row->online, 1);
  EXPECT_EQ(list.entries[0].row->online, 0);
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGTIP1));
  EXPECT_EQ(sdk.controls,
            (std::vector<std::string>{"6:1012:RESPONSE_PARAM", "6:1020:RESPONSE_PARAM"}));

  sdk.system_control_result = -5;
  Status(5, 4);
  EXPECT_STREQ(list.entries[0].row->firmware_version, LookupText(keys::MSGTIP34).c_str());
  EXPECT_EQ(list.entries[0].version, LookupText(keys::MSGTIP34));
  EXPECT_EQ(sdk.controls.size(), 4u);  // 1020 is asked for whatever 1012 said
}

TEST(SdkEventHandlerAsyncTest, InformationIsAskedOnlyAfterTheVersionAnswerReturned) {
  FakeSdk sdk;
  FakeDeviceList list;
  std::vector<std::pair<int, std::function<void(int)>>> requests;
  SdkEventHooks hooks;
  hooks.system_control = [&](int, int command, std::function<void(int)> done) {
    requests.push_back({command, std::move(done)});
  };
  SdkEventHandler handler(sdk, list, hooks);
  list.Add(8, false, false);
  handler.HandleStatusEvent(*MakeStatusEventRecord(8, 4, "", nullptr));
  EXPECT_EQ(list.entries[0].row->online, 1);
  EXPECT_TRUE(sdk.controls.empty());  // nothing blocking on this thread
  // On a pool the two could overtake each other: 1020 waits for 1012 to return.
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].first, proto::kCmdFirmwareVersion);
  requests[0].second(-5);
  EXPECT_EQ(list.entries[0].version, LookupText(keys::MSGTIP34));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].first, proto::kCmdDeviceInformation);
  EXPECT_FALSE(requests[1].second);
}

TEST_F(SdkEventHandlerTest, DeviceVersionTextReachesTheListAsUtf8) {
  list.Add(5, true, false);
  // "V1 版本" as a device sends it, in its code page (GBK).
  Aux(5, 1012, "<RESPONSE_PARAM FileSystemVersion=\"V1 \xB0\xE6\xB1\xBE\" />");
  EXPECT_STREQ(list.entries[0].row->firmware_version, "V1 \xB0\xE6\xB1\xBE");
  EXPECT_EQ(list.entries[0].version, "V1 \xE7\x89\x88\xE6\x9C\xAC");
}

TEST_F(SdkEventHandlerTest, UnknownHandleChangesNothing) {
  list.Add(5, false, false);
  Status(99, 4);
  Status(99, 2);
  Aux(99, 1012, "<RESPONSE_PARAM FileSystemVersion=\"V1\" />");
  EXPECT_EQ(list.entries[0].row->online, 0);
  EXPECT_EQ(list.entries[0].status_writes, 0);
  EXPECT_TRUE(sdk.controls.empty());
  EXPECT_TRUE(list.entries[0].version.empty());
}

TEST_F(SdkEventHandlerTest, StatusTableTextsAndUpgradeFlag) {
  struct Case {
    int type;
    const char* key;  // null: the empty text
    bool clears_upgrading;
    bool to_console;
  };
  const Case cases[] = {
      {2, keys::MSGTIP10, true, false},
      {3, keys::MSGTIP4, true, false},
      {5, keys::MSGTIP3, true, false},
      {6, keys::STRING_STARTTALK_OK, false, true},
      {7, nullptr, false, true},
      {8, keys::STRING_STOPTALK_OK, false, true},
      {14, keys::MSGTIP6, true, true},
      {15, keys::MSGTIP7, true, false},
      {16, keys::MSGTIP9, false, false},
      {17, keys::MSGTIP8, false, false},
      {32, keys::MSGTIP5, false, false},
      {34, keys::MSGTIP2, true, false},
      {35, keys::STRING_STARTTALK_DEVBUSY, false, true},
      {36, keys::STRING_STARTTALK_PARAMERROR, false, true},
      {37, keys::STRING_STARTTALK_NOTSUPPORT, false, true},
  };
  list.Add(5, true, false);
  for (const Case& c : cases) {
    list.entries[0].status = "before";
    list.entries[0].row->upgrading = 1;
    console_codes.clear();
    Status(5, c.type);
    EXPECT_EQ(list.entries[0].status, c.key ? LookupText(c.key) : "") << c.type;
    EXPECT_EQ(list.entries[0].row->upgrading, c.clears_upgrading ? 0 : 1) << c.type;
    EXPECT_EQ(console_codes.size(), c.to_console ? 1u : 0u) << c.type;
  }
  list.entries[0].status = "before";
  Status(5, 99);
  EXPECT_EQ(list.entries[0].status, "before");
}

TEST_F(SdkEventHandlerTest, AlarmEventTextFromRecordFields) {
  list.Add(5, true, false);
  char data[1400] = {};
  const int32_t hour = 9, minute = 5, second = 7, kind = 23;
  std::memcpy(data + 16, &hour, 4);
  std::memcpy(data + 20, &minute, 4);
  std::memcpy(data + 24, &second, 4);
  std::memcpy(data + 28, &kind, 4);
  std::strcpy(data + 40, "motion");
  Status(5, 23, data);
  EXPECT_EQ(list.entries[0].status, "09:05:07 " + LookupText(keys::IDS_ALARM) + ":motion");
}

TEST_F(SdkEventHandlerTest, VersionAnswerFillsColumnAndInformationIsKept) {
  list.Add(5, true, false);
  Aux(5, 1012, "<RESPONSE_PARAM FileSystemVersion=\"V9.1\" />");
  EXPECT_STREQ(list.entries[0].row->firmware_version, "V9.1");
  EXPECT_EQ(list.entries[0].version, "V9.1");
  EXPECT_EQ(previews, std::vector<int>{0});

  Aux(5, 1020, "model=X1;sn=abc");
  EXPECT_STREQ(list.entries[0].row->device_information, "model=X1;sn=abc");

  Aux(5, 1021, "talk");
  Aux(5, 504, "files");
  EXPECT_EQ(console_codes, (std::vector<int>{1021, 504}));
}

}  // namespace
}  // namespace vdz
