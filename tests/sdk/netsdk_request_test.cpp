#include <tinyxml2.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "sdk_test_env.h"

namespace vdz::test {
namespace {

class SdkRequestTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    devserver::DeviceConfig config;
    config.firmware_version = "V3.2.7 \"beta\" & more";
    config.serial_number = "QM2024X77";
    config.documents[507] = "<AudioCapture Volume=\"50\" />";
    dev_ = AddDevice(config);
    handle_ = Login(dev_);
    ASSERT_GT(handle_, 0);
    ASSERT_TRUE(recorder_.WaitStatus(handle_, 4));
  }

  devserver::DeviceId dev_ = 0;
  int handle_ = 0;
};

TEST_F(SdkRequestTest, SetThenGetConfigRoundTrips) {
  struct Case {
    int command;
    std::string document;
  } cases[] = {
      {525, "<Overlay\tEnable=\"1\" > \t\t<TitleOverlay Title=\"6162\"/> </Overlay>"},
      {227, "<MiscConfig Language=\"zh_cn\" />"},
      {670, "<PlatformConfig>\t <VortanConfig Enable=\"1\"/> </PlatformConfig>\r\n"},
      {507, "<AudioCapture Volume=\"80\" />"},  // replaces the stored one
  };
  for (const auto& c : cases) {
    ASSERT_EQ(QM_NETSDK_IPC_SetDVRConfig(handle_, c.command, 0, c.document.c_str(),
                                         static_cast<int>(c.document.size())),
              QM_NETSDK_OK);
    EXPECT_EQ(host_.Document(dev_, c.command), c.document);
    ASSERT_EQ(QM_NETSDK_IPC_GetDVRConfig(handle_, c.command, 0, "", 0, nullptr), QM_NETSDK_OK);
    ASSERT_TRUE(recorder_.WaitAux(handle_, c.command));
    EXPECT_EQ(recorder_.LastAux(handle_, c.command).text, c.document);
  }
}

TEST_F(SdkRequestTest, LengthArgumentBoundsTheDocument) {
  const char text[] = "<MiscConfig Language=\"en_us\" />TRAILING";
  const int length = static_cast<int>(std::strlen("<MiscConfig Language=\"en_us\" />"));
  ASSERT_EQ(QM_NETSDK_IPC_SetDVRConfig(handle_, 227, 0, text, length), QM_NETSDK_OK);
  EXPECT_EQ(host_.Document(dev_, 227), "<MiscConfig Language=\"en_us\" />");
  // A length past the text's end stops at its NUL.
  ASSERT_EQ(QM_NETSDK_IPC_SetDVRConfig(handle_, 4000, 0, "<A/>", 4000), QM_NETSDK_OK);
  EXPECT_EQ(host_.Document(dev_, 4000), "<A/>");
}

// Settings documents are judged as a device does: well-formed, with the command's root.
TEST_F(SdkRequestTest, SettingsDocumentsNeedTheirRoot) {
  struct Case {
    int command;
    const char* text;
    int result;
  } cases[] = {
      {228, "<MaintainConfig\tEnable=\"1\" Day=\"2\" Time=\"03:04:05\" />", QM_NETSDK_OK},
      {228, "<A/>", QM_NETSDK_ERR_DEVICE},
      {227, "<MiscConfig Language=\"en_us\"", QM_NETSDK_ERR_DEVICE},
      {223, "<UserConfig><Account Username=\"guest\" Password=\"x\"/></UserConfig>",
       QM_NETSDK_ERR_DEVICE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QM_NETSDK_IPC_SetDVRConfig(handle_, c.command, 0, c.text,
                                         static_cast<int>(std::strlen(c.text))),
              c.result)
        << c.text;
  }
  EXPECT_EQ(host_.Document(dev_, 228),
            "<MaintainConfig\tEnable=\"1\" Day=\"2\" Time=\"03:04:05\" />");
  EXPECT_FALSE(host_.Document(dev_, 227).has_value());
  // A time sync moves the device's clock by what it carries.
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(
                handle_, 1005, 0,
                "<REQUEST_PARAM\r\nTime=\"20000101 00:00:00\"\r\nTimeZone=\"1200\"\n/>"),
            QM_NETSDK_OK);
  EXPECT_LT(host_.ClockOffset(dev_).value_or(0), -700000000);
  host_.SetRefuseSettings(dev_, true);
  EXPECT_EQ(QM_NETSDK_IPC_PTZPreset(handle_, 8, 201), QM_NETSDK_ERR_DEVICE);
  host_.SetRefuseSettings(dev_, false);
}

TEST_F(SdkRequestTest, GetOfAnUnknownDocumentFails) {
  EXPECT_EQ(QM_NETSDK_IPC_GetDVRConfig(handle_, 999, 0, "", 0, nullptr), QM_NETSDK_ERR_DEVICE);
  EXPECT_EQ(recorder_.WaitAux(handle_, 999, 200), false);
}

TEST_F(SdkRequestTest, FirmwareVersionAnswer) {
  ASSERT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1012, 0, "RESPONSE_PARAM"), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitAux(handle_, 1012));
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(recorder_.LastAux(handle_, 1012).text.c_str()), tinyxml2::XML_SUCCESS);
  ASSERT_NE(doc.RootElement(), nullptr);
  EXPECT_STREQ(doc.RootElement()->Name(), "RESPONSE_PARAM");
  const char* version = doc.RootElement()->Attribute("FileSystemVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version, "V3.2.7 \"beta\" & more");
}

TEST_F(SdkRequestTest, DeviceInformationAnswer) {
  ASSERT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1020, 0, "RESPONSE_PARAM"), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitAux(handle_, 1020));
  const std::string text = recorder_.LastAux(handle_, 1020).text;
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
  EXPECT_STREQ(doc.RootElement()->Attribute("SerialNumber"), "QM2024X77");
  EXPECT_LT(text.size(), 1024u) << "the application keeps 1023 characters";
}

TEST_F(SdkRequestTest, SystemCommandsAcceptedOrRefused) {
  const char snapshot[] = "<REQUEST_PARAM Stream=\"0\"Quality=\"100\"/>\n";
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1043, 0, snapshot), QM_NETSDK_OK);
  EXPECT_EQ(host_.LastSystemControl(dev_, 1043), snapshot);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1002, 0, ""), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 4242, 0, ""), QM_NETSDK_ERR_DEVICE);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1005, 0, nullptr), QM_NETSDK_ERR_DEVICE);
  EXPECT_EQ(QM_NETSDK_IPC_PTZPreset(handle_, 8, 200), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_PTZControl(handle_, 19, 3, 3), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_CreateIFrame(handle_, 1), QM_NETSDK_OK);
}

TEST_F(SdkRequestTest, PushedEventsReachTheCallbackWithTheirRecord) {
  // The alarm record of event 23: time at 16/20/24, kind at 28, picture path at 40.
  std::string record(168, '\0');
  const std::int32_t fields[] = {12, 34, 56, 23};
  std::memcpy(record.data() + 16, fields, sizeof fields);
  std::memcpy(record.data() + 40, "/mnt/snap/1.jpg", 15);
  ASSERT_TRUE(host_.PushEvent(dev_, 23, record));
  ASSERT_TRUE(recorder_.WaitStatus(handle_, 23));
  const std::string raw = recorder_.LastStatus(handle_, 23).raw;
  EXPECT_EQ(raw.substr(0, 168), record);
  EXPECT_EQ(raw.substr(168), std::string(raw.size() - 168, '\0'));

  // A short text event is still readable as the longest record.
  ASSERT_TRUE(host_.PushEvent(dev_, 30, "x"));
  ASSERT_TRUE(recorder_.WaitStatus(handle_, 30));
  EXPECT_EQ(recorder_.LastStatus(handle_, 30).raw, "x" + std::string(1360, '\0'));

  ASSERT_TRUE(host_.PushAux(dev_, 1021, "<RESPONSE_PARAM/>"));
  ASSERT_TRUE(recorder_.WaitAux(handle_, 1021));
}

struct InCallback {
  std::atomic<int> handle{0};
  std::atomic<int> result{1};
};

TEST_F(SdkRequestTest, BlockingCallFromACallbackIsRefused) {
  static InCallback seen;
  seen.handle = 0;
  seen.result = 1;
  QM_NETSDK_IPC_SetStatusEventCallBack(
      [](int handle, int code, const char*, void*) {
        if (code == 77) {
          seen.result = QM_NETSDK_IPC_SystemControl(handle, 1012, 0, "");
          seen.handle = handle;
        }
        return 0;
      },
      nullptr);
  ASSERT_TRUE(host_.PushEvent(dev_, 77, ""));
  for (int i = 0; i < 200 && seen.handle == 0; ++i)
    usleep(10000);
  EXPECT_EQ(seen.handle, handle_);
  EXPECT_EQ(seen.result, QM_NETSDK_ERR_WRONG_THREAD);
}

}  // namespace
}  // namespace vdz::test
