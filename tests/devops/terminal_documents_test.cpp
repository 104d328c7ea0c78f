#include "devops/terminal_documents.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vdz {
namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

TEST(TerminalRequest, PrintedRequestsCarryIpAndSerialAsTheRulesSay) {
  struct Case {
    const char* request;
    const char* ip;
    const char* sn;
    std::string expected;
  };
  const Case cases[] = {
      {kTerminalRequestKeyParam, "192.168.1.10", "SIM00000001",
       "<root ord=\"requestKeyParam\" ip=\"192.168.1.10\" sn=\"SIM00000001\"/>\n"},
      {kTerminalRequestKeyParam, "", "SIM00000001",
       "<root ord=\"requestKeyParam\" sn=\"SIM00000001\"/>\n"},
      {kTerminalRequestPlatform, "10.0.0.2", "",
       "<root ord=\"requestPlatform\" ip=\"10.0.0.2\"/>\n"},
      {kTerminalRequestPlatform, "", "", "<root ord=\"requestPlatform\"/>\n"},
      {kTerminalRebootAlarmApp, "", "", "<root ord=\"rebootAlarmApp\" ip=\"\" sn=\"\"/>\n"},
      {kTerminalRebootAlarmApp, "10.0.0.2", "A&B",
       "<root ord=\"rebootAlarmApp\" ip=\"10.0.0.2\" sn=\"A&amp;B\"/>\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildTerminalRequest(c.request, c.ip, c.sn), kDecl + c.expected) << c.request;
  }
}

TEST(TerminalRequest, FrameIsNetworkOrderLengthThenText) {
  const std::string frame = FrameTerminalDocument(std::string(300, 'x'));
  ASSERT_EQ(frame.size(), 304u);
  EXPECT_EQ(frame.substr(0, 4), std::string("\0\0\x01\x2c", 4));
}

TEST(ModifyPlatform, FullSetInTableOrder) {
  TerminalParameterSet set;
  set.devid = "never";
  set.devname = "门口机";
  set.dbAlarmMP3 = "alarm.mp3";
  set.model = "RK-T1";
  set.deamontime = "never";
  set.reboottime = "03:00:00";
  set.enaReboot = 1;
  set.rtspUrl = "rtsp://10.0.0.2/a";
  set.ftpIp = "10.0.0.9";
  set.ftpUser = "u";
  set.ftpPwd = "p\"w";
  set.ftpPath = "/snap";
  set.IOAlarmUrl = "http://x/?a=1&b=2";
  set.clientid = "C1";
  std::string doc;
  ASSERT_EQ(BuildModifyPlatform(set, &doc), 0);
  EXPECT_EQ(doc,
            std::string(kDecl) +
                "<root ord=\"modifyPlatform\" accessip=\"192.168.0.100\" "
                "accessauxip=\"192.168.0.101\" devname=\"门口机\" accessport=\"1220\" "
                "talkCapVol=\"70\" normalCapVol=\"70\" normalPlayVol=\"70\" callingPlayVol=\"80\" "
                "dbAlarmVol=\"85\" dbAlarmEna=\"0\" dbAlarmMP3=\"alarm.mp3\" serialRate=\"9600\" "
                "model=\"RK-T1\" io_out1=\"0\" io_out2=\"0\" io_out3=\"0\" hasVid=\"0\" "
                "hasTalk=\"0\" needLog=\"0\" reboottime=\"03:00:00\" enaReboot=\"1\" "
                "rtspUrl=\"rtsp://10.0.0.2/a\" rtspEna=\"0\" ftpIp=\"10.0.0.9\" ftpPort=\"21\" "
                "ftpUser=\"u\" ftpPwd=\"p&quot;w\" ftpPath=\"/snap\" IOSnapEna=\"0\" "
                "denoiseEna=\"0\" io3TimerVle=\"10\" io3TimerEna=\"0\" threeLedEna=\"0\" "
                "IO2FxEna=\"0\" IO3FxEna=\"0\" IOAlarmEna=\"0\" IOFangCaiAlarmEna=\"0\" "
                "NetCheckEna=\"0\" CapCheckEna=\"0\" IOAlarmPort=\"1229\" "
                "IOAlarmUrl=\"http://x/?a=1&amp;b=2\" IO2CancelEna=\"0\" IO3CheckEna=\"0\" "
                "dbAlarmPeriod=\"10\" motionAlarmPeriod=\"10\" clientid=\"C1\" ret=\"ok\" />");
}

TEST(ModifyPlatform, BatchSetLeavesOutWhatItsRuleSays) {
  TerminalParameterSet set;
  set.accessip.clear();
  set.accessauxip.clear();
  set.accessport = 0;
  set.hasVid = -1;
  set.hasTalk = -1;
  set.ftpPort = 0;
  std::string doc;
  ASSERT_EQ(BuildModifyPlatform(set, &doc), 0);
  EXPECT_EQ(doc.find("accessip="), std::string::npos);
  EXPECT_EQ(doc.find("accessport="), std::string::npos);
  EXPECT_EQ(doc.find("hasVid="), std::string::npos);
  EXPECT_EQ(doc.find("hasTalk="), std::string::npos);
  EXPECT_EQ(doc.find("dbAlarmMP3"), std::string::npos);
  EXPECT_EQ(doc.find("devname"), std::string::npos);
  EXPECT_NE(doc.find(" ftpIp=\"\" ftpPort=\"\" ftpUser=\"\" ftpPwd=\"\" ftpPath=\"\" "),
            std::string::npos);
  EXPECT_NE(doc.find(" rtspUrl=\"\" "), std::string::npos);
  EXPECT_NE(doc.find(" IOAlarmUrl=\"\" "), std::string::npos);
  EXPECT_NE(doc.find(" needLog=\"0\" "), std::string::npos);
}

TEST(ModifyPlatform, NamedAttributesOnly) {
  TerminalParameterSet set;
  set.ftpIp = "1.2.3.4";
  const std::set<std::string> names = {"ftpIp", "talkCapVol", "devid"};
  std::string doc;
  ASSERT_EQ(BuildModifyPlatform(set, &doc, &names), 0);
  EXPECT_EQ(doc,
            std::string(kDecl) +
                "<root ord=\"modifyPlatform\" talkCapVol=\"70\" ftpIp=\"1.2.3.4\" ret=\"ok\" />");
}

TEST(ModifyPlatform, ValuesBeyondTheLimitsAreRefusedNotCut) {
  TerminalParameterSet set;
  // "ftpPath" + '="' + value + '" ' is 11 bytes around the value.
  set.ftpPath = std::string(256 - 11, 'p');
  std::string doc;
  EXPECT_EQ(BuildModifyPlatform(set, &doc), 0);
  set.ftpPath += "p";
  EXPECT_EQ(BuildModifyPlatform(set, &doc), kTerminalFragmentTooLong);
  set.ftpPath = "p";
  set.ftpPwd = std::string(240, '&');  // escaped: five times as long, over the fragment limit
  EXPECT_EQ(BuildModifyPlatform(set, &doc), kTerminalFragmentTooLong);
  // Every text at its fragment limit: each fragment fits, the document does not.
  for (const char* name :
       {"accessip", "accessauxip", "devname", "dbAlarmMP3", "model", "reboottime", "rtspUrl",
        "ftpIp", "ftpUser", "ftpPwd", "ftpPath", "IOAlarmUrl", "clientid"}) {
    ASSERT_TRUE(SetTerminalAttribute(&set, name, std::string(256 - std::strlen(name) - 4, 'v')));
  }
  for (const auto& [name, value] : TerminalAttributeList(set)) {
    if (IsNumericTerminalAttribute(name)) {
      ASSERT_TRUE(SetTerminalAttribute(&set, name, "2147483647"));
    }
  }
  EXPECT_EQ(BuildModifyPlatform(set, &doc), kTerminalDocumentTooLong);
}

TEST(TerminalReply, AnswerIsFirstRootWithTheRightOrd) {
  struct Case {
    const char* body;
    int rc;
    const char* devname;
  };
  const Case cases[] = {
      {"<root ord=\"requestPlatform_ret\" devname=\"A\"/>", 0, "A"},
      {"<root ord=\"ok\" devname=\"B\"/>", 0, "B"},
      {"<other ord=\"ok\"/><root ord=\"x\"/><root ord=\"requestPlatform_ret\" devname=\"C\"/>", 0,
       "C"},
      {"<root ord=\"requestKeyParam_ret\" devname=\"D\"/>", -2, ""},
      {"<root ord=\"requestPlatform_ret\"", -1, ""},
      {"", -1, ""},
  };
  for (const Case& c : cases) {
    TerminalAnswer answer;
    ASSERT_EQ(ReadTerminalReply(c.body, kTerminalRequestPlatform, &answer), c.rc) << c.body;
    if (c.rc == 0) {
      EXPECT_EQ(answer.attributes["devname"], c.devname);
    }
  }
}

TEST(TerminalReply, PortRawUrlAndRoundTrip) {
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root ord=\"requestPlatform_ret\" "
      "accessport=\"8000\" rtspUrl=\"rtsp://h/a?x=1&amp;y=2\" devname=\"大门\" ftpPort=\"0\" "
      "talkCapVol=\"abc\"/>";
  TerminalAnswer answer;
  ASSERT_EQ(ReadTerminalReply(body, kTerminalRequestPlatform, &answer), 0);
  TerminalParameterSet set;
  FillTerminalParameterSet(answer, &set);
  EXPECT_EQ(set.accessport, 8005);
  EXPECT_EQ(set.rtspUrl, "rtsp://h/a?x=1&amp;y=2");
  EXPECT_EQ(set.devname, "大门");
  EXPECT_EQ(set.ftpPort, 0);
  EXPECT_EQ(set.talkCapVol, 70);  // not a number: the initial value stays
  std::string doc;
  ASSERT_EQ(BuildModifyPlatform(set, &doc), 0);
  EXPECT_NE(doc.find(" accessport=\"8005\" "), std::string::npos);
  EXPECT_NE(doc.find(" rtspUrl=\"rtsp://h/a?x=1&amp;y=2\" "), std::string::npos);
  EXPECT_NE(doc.find(" ftpPort=\"\" "), std::string::npos);
  // A typed URL is escaped like any other value.
  set.rtspUrl = "rtsp://h/a?x=1&y=2";
  ASSERT_EQ(BuildModifyPlatform(set, &doc), 0);
  EXPECT_NE(doc.find(" rtspUrl=\"rtsp://h/a?x=1&amp;y=2\" "), std::string::npos);
}

TEST(TerminalReply, AccessPortWrapsAsSixteenBitsForAnyNumber) {
  const std::pair<const char*, int> cases[] = {
      {"65530", 65535}, {"65533", 2}, {"-10", 65531}, {"2147483647", 4}, {"-2147483648", 5}};
  for (const auto& [reported, shown] : cases) {
    TerminalAnswer answer;
    ASSERT_EQ(ReadTerminalReply(std::string("<root ord=\"ok\" accessport=\"") + reported + "\"/>",
                                kTerminalRequestPlatform, &answer),
              0);
    TerminalParameterSet set;
    FillTerminalParameterSet(answer, &set);
    EXPECT_EQ(set.accessport, shown) << reported;
  }
}

TEST(TerminalReply, KeyParameters) {
  TerminalAnswer answer;
  ASSERT_EQ(ReadTerminalReply("<root ord=\"requestKeyParam_ret\" devname=\"东门\" "
                              "deamontime=\"RK-T2\"/>",
                              kTerminalRequestKeyParam, &answer),
            0);
  const TerminalKeyParameters keys = ReadTerminalKeyParameters(answer);
  EXPECT_EQ(keys.devname, "东门");
  EXPECT_EQ(keys.deamontime, "RK-T2");
}

}  // namespace
}  // namespace vdz
