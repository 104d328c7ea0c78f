#include "devconfig/settings_documents.h"

#include <gtest/gtest.h>

#include <string>

#include "devconfig/media_setting_tables.h"

namespace vdz {
namespace {

TEST(TitleOverlayTest, PositionCodeNibbles) {
  struct Case {
    int code, tx, ty, x, y;
  } cases[] = {{4352, 1, 1, 0, 0}, {4097, 1, 0, 0, 1}, {17, 0, 0, 1, 1}, {4368, 1, 1, 1, 0}};
  for (const Case& c : cases) {
    const OverlayPositions p = PositionsFromCode(c.code);
    EXPECT_EQ(p.time_x, c.tx) << c.code;
    EXPECT_EQ(p.time_y, c.ty) << c.code;
    EXPECT_EQ(p.title_x, c.x) << c.code;
    EXPECT_EQ(p.title_y, c.y) << c.code;
  }
}

TEST(TitleOverlayTest, ComposesModelAddressSerialInOrder) {
  TitleOverlayValues v;
  EXPECT_EQ(ComposeTitle(v, "NVS-IPCAM-X1", "10.0.0.5", "SN1"), "IPCAMERA[X1]10.0.0.5");
  v.add_serial = 1;
  v.add_ip = 0;
  EXPECT_EQ(ComposeTitle(v, "NVS-IPCAM-NVS-IPCAM-B", "10.0.0.5", "SN1"), "IPCAMERA[B][SN1]");
  v.add_model = 0;
  v.title = "Gate";
  EXPECT_EQ(ComposeTitle(v, "X", "10.0.0.5", "SN1"), "Gate[SN1]");
}

TEST(TitleOverlayTest, ExactDocumentWithEqualHexForAscii) {
  TitleOverlayValues v;
  v.position_code = 4352;
  EXPECT_EQ(BuildTitleOverlayDocument(v, "AB1"),
            "<Overlay\tEnable=\"1\" Transparency=\"3\" Style=\"3\" Fontsize=\"0\" Week=\"1\" > "
            "\t\t\t\t\t\t  <TimeOverlay PosX=\"1\" PosY=\"1\"\tFormat=\"yyyy-mm-dd hh:mm:ss\" /> "
            "\t\t\t\t\t\t  <TitleOverlay PosX=\"0\" PosY=\"0\"\tTitle=\"414231\" "
            "TitleUtf8=\"414231\"/> </Overlay>");
}

TEST(TitleOverlayTest, ChineseTitleIsGbkInTitleAndUtf8InTitleUtf8) {
  TitleOverlayValues v;
  const std::string doc = BuildTitleOverlayDocument(v, "\xE9\x97\xA8");  // U+95E8
  EXPECT_NE(doc.find("Title=\"c3c5\" TitleUtf8=\"e997a8\""), std::string::npos) << doc;
}

TEST(PlatformTest, IncrementedAccounts) {
  struct Case {
    const char* account;
    int n;
    const char* expected;
  } cases[] = {{"1000", 0, "1000"},
               {"1000", 1, "1001"},
               {"1000", 2, "1002"},
               {"1000,abc", 0, "1000,abc"},
               {"1000,abc", 2, "1002,abc"},
               {"7,a,b", 3, "10,a,b"},
               {"abc", 2, "2"}};
  for (const Case& c : cases)
    EXPECT_EQ(IncrementedAccount(c.account, c.n), c.expected) << c.account << " " << c.n;
}

TEST(PlatformTest, ExactDocument) {
  PlatformValues v;
  v.enable = true;
  v.server = "10.1.2.3";
  v.port = 10001;
  v.password = "pw";
  v.play_tone = true;
  EXPECT_EQ(BuildPlatformDocument(v, "1001,abc"),
            "<PlatformConfig>\t <VortanConfig Enable=\"1\" Server=\"10.1.2.3\" Port=\"10001\" "
            "Username=\"1001,abc\" Password=\"pw\" PlayTone=\"1\"/> </PlatformConfig>\r\n");
}

TEST(SettingsDocumentEscapingTest, ValuesCannotBreakTheirAttribute) {
  PlatformValues v;
  v.server = "a\"b";
  v.password = "<&>";
  const std::string doc = BuildPlatformDocument(v, "u\" x=\"1");
  EXPECT_NE(doc.find("Server=\"a&quot;b\""), std::string::npos) << doc;
  EXPECT_NE(doc.find("Username=\"u&quot; x=&quot;1\""), std::string::npos) << doc;
  EXPECT_NE(doc.find("Password=\"&lt;&amp;&gt;\""), std::string::npos) << doc;
  EXPECT_EQ(BuildDeviceLanguageDocument("en\"us"), "<MiscConfig Language=\"en&quot;us\" />");
  TimeConfigValues t{0, 1200, "a\"<&", "123", "60"};
  EXPECT_NE(BuildTimeConfigDocument(t).find("ServerIP=\"a&quot;&lt;&amp;\""), std::string::npos);
}

TEST(SmallDocumentsTest, ExactBytes) {
  EXPECT_EQ(BuildDeviceLanguageDocument("zh_tw"), "<MiscConfig Language=\"zh_tw\" />");
  EXPECT_EQ(BuildOutputPortRequest(1), "<REQUEST_PARAM ChannelNo=\"0\"Output=\"1\"/>\n");
  EXPECT_EQ(BuildTimeSyncRequest({2024, 3, 5, 7, 8, 9}),
            "<REQUEST_PARAM\r\nTime=\"20240305 07:08:09\"\r\nTimeZone=\"1200\"\n/>");
  EXPECT_EQ(BuildImageParameterRequest(-1, 30, -1),
            "<REQUEST_PARAM mctf=\"-1\" gain=\"30\" shuttermax=\"-1\" />");
  EXPECT_EQ(BuildMaintenanceDocument(1, 2, 3, 4, 5),
            "<MaintainConfig\tEnable=\"1\" Day=\"2\" Time=\"03:04:05\" />");
  EXPECT_EQ(BuildMaintenanceDocument(0, 7, 2, 0, 0),
            "<MaintainConfig\tEnable=\"0\" Day=\"7\" Time=\"02:00:00\" />");
}

TEST(EncodingTypeTest, ExactDocument) {
  EXPECT_EQ(BuildEncodingTypeDocument("H265"),
            "<Encode>\n"
            "\t<EncodeConfig Stream=\"1\" Resolution=\"INVALID\" EncodeFormat=\"H265\" "
            "BitRateControl=\"CBR\" Initquant=\"100\" BitRate=\"200000\" FrameRate=\"25\"/>\n"
            "\t<EncodeConfig Stream=\"2\" Resolution=\"INVALID\" EncodeFormat=\"H265\" "
            "BitRateControl=\"CBR\" Initquant=\"100\" BitRate=\"200000\" FrameRate=\"25\"/>\n"
            "</Encode>\n");
}

TEST(TimeConfigTest, DefaultDocumentAndModes) {
  TimeConfigValues v{0, 1200, "pool.ntp.org", "123", "60"};
  EXPECT_EQ(BuildTimeConfigDocument(v),
            "<TimeConfig TimeMode=\"NTP\" TimeZone=\"1200\">\n"
            "\t<NTPConfig ServerIP=\"pool.ntp.org\" ServerPort=\"123\" RefreshInterval=\"60\"/>\n"
            "</TimeConfig>\n");
  v = {2, 1065, "10.0.0.1", "080", "999999"};
  EXPECT_EQ(BuildTimeConfigDocument(v),
            "<TimeConfig TimeMode=\"P2P\" TimeZone=\"1065\">\n"
            "\t<NTPConfig ServerIP=\"10.0.0.1\" ServerPort=\"080\" RefreshInterval=\"999999\"/>\n"
            "</TimeConfig>\n");
  v.time_source = 1;
  EXPECT_NE(BuildTimeConfigDocument(v).find("TimeMode=\"MANUAL\""), std::string::npos);
}

// The motion document's fixed part, as the devices parse it.
std::string MotionTail() {
  return "\t\t\tDayNightSwitch=\"0\" \t\t\tNightSensitivity=\"60\" "
         "\t\t\tNightAlarmThreshold=\"30\" "
         "\t\t\tNightStartTime=\" 0: 0: 0\" \t\t\tNightEndTime=\"24: 0: 0\" \t\t\t> \t\t\t"
         "<EnableTimeList> \t\t\t\t<Workday \t\t\t\t\tDay=\"7\" \t\t\t\t\t> \t\t\t\t\t<TimeSpan "
         "\t\t\t\t\t\tStartTime=\" 0: 0: 0\" \t\t\t\t\t\tEndTime=\"24: 0: 0\" \t\t\t\t\t/> "
         "\t\t\t\t</Workday> \t\t\t</EnableTimeList> \t\t\t<AlarmAction> \t\t\t\t"
         "<AlarmOutputAction \t\t\t\t\tEnable=\"1\" \t\t\t\t\tPortIndex=\"1\" \t\t\t\t\t"
         "ChannelType=\"1\" \t\t\t\t\tTriggerType=\"HIGH\" \t\t\t\t\tDuration=\"10\" \t\t\t\t/> "
         "\t\t\t\t<PTZAction \t\t\t\t\tEnable=\"0\" \t\t\t\t\tActionType=\"PositionWalk\" "
         "\t\t\t\t\t> \t\t\t\t\t<PositionWalk \t\t\t\t\t\tInterval=\"2\" \t\t\t\t\t\t"
         "WalkCount=\"1\" \t\t\t\t\t\t> \t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"1\" "
         "\t\t\t\t\t\t/> \t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"2\" \t\t\t\t\t\t/> "
         "\t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"3\" \t\t\t\t\t\t/> "
         "\t\t\t\t\t</PositionWalk> \t\t\t\t</PTZAction> \t\t\t</AlarmAction> "
         "\t\t</MotionDetectAlarm> ";
}

TEST(MotionDocumentTest, ExactDocumentAndCaps) {
  EXPECT_EQ(BuildMotionDocument(1, 80, 20, 3, 4),
            "<MotionDetectAlarm \t\t\tEnable=\"1\" \t\t\tBlockCount=\"262147\" \t\t\t"
            "BlockConfig=\"111111111111\" \t\t\tSensitivity=\"80\" \t\t\tAlarmThreshold=\"20\" " +
                MotionTail());
  const std::string capped = BuildMotionDocument(0, 50, 10, 20, 30);
  EXPECT_NE(capped.find("BlockCount=\"1441810\""), std::string::npos);
  EXPECT_NE(capped.find("BlockConfig=\"" + std::string(396, '1') + "\""), std::string::npos);
  EXPECT_EQ(capped.back(), ' ');
}

TEST(EncodeDocumentTest, ExactDocumentWithLbrAndRanges) {
  EncodeStreamSettings main{"1080P", "H264", "CBR", "100", "4000", "25"};
  EncodeStreamSettings sub{"640X360", "H265", "VBR", "100", "200", "15"};
  EncodeAdvancedSettings a;
  a.wdr_mode = 1;
  a.wdr_value = "128";
  a.enc_mode = 4;
  a.noice_level = 6;
  EXPECT_EQ(BuildEncodeDocument(main, sub, a, false),
            "<Encode>\n"
            "\t<EncodeConfig Stream=\"1\" Resolution=\"1080P\" EncodeFormat=\"H264\" "
            "BitRateControl=\"CBR\" Initquant=\"100\" BitRate=\"4000\" FrameRate=\"25\"/>\n"
            "\t<EncodeConfig Stream=\"2\" Resolution=\"640X360\" EncodeFormat=\"H265\" "
            "BitRateControl=\"VBR\" Initquant=\"100\" BitRate=\"200\" FrameRate=\"15\"/>\n"
            "\t<AdvanceEncodeConfig EncodeProfile=\"0\" WDRMode=\"1\" WDRValue=\"128\" "
            "DfrogFlag=\"0\" WDRStartTime=\"00:00:00\" WDREndTime=\"00:00:00\" "
            "DisablePrivateData=\"0\" EncMode=\"4\" NoiceLevel=\"6\" shutter_mode=\"0\" "
            "shutter_speed=\"25\"/>\n"
            "</Encode>\n");
  const std::string lbr = BuildEncodeDocument(main, sub, a, true);
  EXPECT_NE(lbr.find("FrameRate=\"25\" lbr_enable=\"0\" lbr_style=\"1\" lbr_bitratemode=\"0\" "
                     "lbr_bitrate=\"0\" lbr_motionlevel=\"1\" lbr_noicelevel=\"0\"/>"),
            std::string::npos)
      << lbr;
}

TEST(MediaTablesTest, CapabilityLookupPrefersRowsWrittenForH265) {
  const auto records = EncodeCapabilities();
  EXPECT_EQ(records.size(), 70u);
  const EncodeCapability* h265 = FindCapability(records, "1080P", 0, "H265");
  ASSERT_NE(h265, nullptr);
  EXPECT_EQ(h265->max_kbps, 4000);
  // 5MP has no H265 row of its own: the appended copy answers with the H264 limits.
  const EncodeCapability* copy = FindCapability(records, "5MP", 0, "H265");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->max_kbps, 10000);
  EXPECT_EQ(FindCapability(records, "720P", 1, ""), nullptr);
  EXPECT_EQ(DefaultCapability(records, 0)->resolution, "2592X1520");
  EXPECT_EQ(DefaultCapability(records, 1)->resolution, "640X360");
  EXPECT_EQ(MotionGridAt(8).columns, 22);
  EXPECT_EQ(MotionGridAt(8).rows, 18);
  EXPECT_EQ(MotionGridAt(99).columns, 4);
  EXPECT_EQ(GainTable().size(), 17u);
  EXPECT_EQ(GainTable()[9].value, kDefaultGainValue);
}

}  // namespace
}  // namespace vdz
