#include "devconfig/config_block_readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devconfig/fixture_text.h"
#include "shell/bounded_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using test::AnswerWithBody;
using test::ReadFixture;
using test::TailIsZero;

TEST(ReadLanConfigTest, ReadsTheFullAnswer) {
  LanConfigRecord lan{};
  ASSERT_EQ(ReadLanConfig(ReadFixture("answer_nvs_rk.xml").c_str(), &lan), 0);
  EXPECT_STREQ(lan.MacAddress, "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(lan.DHCP, 0);
  EXPECT_EQ(lan.ALLNET, 1);
  EXPECT_STREQ(lan.IPAddress, "192.168.10.61");
  EXPECT_STREQ(lan.Netmask, "255.255.255.0");
  EXPECT_STREQ(lan.Gateway, "192.168.10.1");
  EXPECT_STREQ(lan.DNS1, "192.168.10.1");
  EXPECT_STREQ(lan.DNS2, "8.8.4.4");
}

TEST(ReadLanConfigTest, MissingDns2StaysEmptyAndNumbersFollowAtoi) {
  LanConfigRecord lan{};
  ASSERT_EQ(ReadLanConfig(ReadFixture("answer_lumeriant_nvr.xml").c_str(), &lan), 0);
  EXPECT_STREQ(lan.IPAddress, "10.0.0.99");
  EXPECT_STREQ(lan.DNS1, "10.0.0.1");
  EXPECT_STREQ(lan.DNS2, "");
  EXPECT_TRUE(TailIsZero(lan.DNS2));
  EXPECT_EQ(lan.DHCP, 1);    // " 1"
  EXPECT_EQ(lan.ALLNET, 0);  // "abc"
}

TEST(ReadLanConfigTest, AbsentAttributesKeepTheCallersValues) {
  LanConfigRecord lan{};
  CopyBounded(lan.Gateway, "1.1.1.1");
  lan.ALLNET = 7;
  const std::string text = AnswerWithBody("<LANConfig IPAddress=\"10.9.9.9\" DHCP=\"1\" />");
  ASSERT_EQ(ReadLanConfig(text.c_str(), &lan), 0);
  EXPECT_STREQ(lan.IPAddress, "10.9.9.9");
  EXPECT_EQ(lan.DHCP, 1);
  EXPECT_STREQ(lan.Gateway, "1.1.1.1");
  EXPECT_EQ(lan.ALLNET, 7);
}

TEST(ReadLanConfigTest, CutsLongValuesWithoutTouchingNeighbours) {
  const std::string mac(40, 'M');
  const std::string ip(100, '9');
  const std::string text = AnswerWithBody("<LANConfig MacAddress=\"" + mac + "\" IPAddress=\"" +
                                          ip + "\" DHCP=\"70000\" />");
  LanConfigRecord lan{};
  lan.ALLNET = 3;
  CopyBounded(lan.Netmask, "255.0.0.0");
  ASSERT_EQ(ReadLanConfig(text.c_str(), &lan), 0);

  LanConfigRecord expected{};
  std::memcpy(expected.MacAddress, mac.data(), sizeof expected.MacAddress - 1);
  std::memcpy(expected.IPAddress, ip.data(), sizeof expected.IPAddress - 1);
  expected.DHCP = static_cast<int16_t>(70000);
  expected.ALLNET = 3;
  CopyBounded(expected.Netmask, "255.0.0.0");
  // Records are compared as bytes elsewhere, so the whole record must match.
  EXPECT_EQ(std::memcmp(&lan, &expected, sizeof lan), 0);
  EXPECT_EQ(std::strlen(lan.MacAddress), 17u);
  EXPECT_EQ(std::strlen(lan.IPAddress), 63u);
}

TEST(ReadLanConfigTest, FailsWithoutTheBlockAndLeavesTheRecord) {
  const std::string texts[] = {
      AnswerWithBody("<LanConfig IPAddress=\"1.2.3.4\" />"),
      AnswerWithBody("<OTHER><LANConfig IPAddress=\"1.2.3.4\" /></OTHER>"),
      // Only the first MESSAGE_BODY is searched.
      AnswerWithBody("</MESSAGE_BODY><MESSAGE_BODY><LANConfig IPAddress=\"1.2.3.4\" />"),
      "<XML_VORTAN><LANConfig IPAddress=\"1.2.3.4\" /></XML_VORTAN>",
      "<XML_VORTAN a=\"1\"><MESSAGE_BODY><LANConfig IPAddress=\"1.2.3.4\" /></MESSAGE_BODY>"
      "</XML_VORTAN>",
      "garbage",
  };
  for (const std::string& text : texts) {
    test::LogCapture log;
    LanConfigRecord lan{};
    CopyBounded(lan.IPAddress, "keep");
    EXPECT_EQ(ReadLanConfig(text.c_str(), &lan), -1) << text;
    EXPECT_STREQ(lan.IPAddress, "keep");
    EXPECT_TRUE(log.Lines().empty()) << "block readers fail silently";
  }
}

TEST(ReadStreamAccessTest, ReadsPortsAndTakesAuthAsSixteenBits) {
  StreamAccessRecord stream{};
  ASSERT_EQ(ReadStreamAccess(ReadFixture("answer_nvs_rk.xml").c_str(), &stream), 0);
  EXPECT_EQ(stream.Auth, 1);
  EXPECT_EQ(stream.RTPOverRTSP, 0);
  EXPECT_EQ(stream.VideoPort, 554);
  EXPECT_EQ(stream.PTZPort, 5000);
  EXPECT_EQ(stream.WEBPort, 80);

  struct Case {
    const char* auth;
    int32_t expected;
  };
  const Case cases[] = {{"65537", 1},     {"40000", -25536}, {"-1", -1},
                        {"32767", 32767}, {"32768", -32768}, {"x", 0}};
  for (const Case& c : cases) {
    const std::string text =
        AnswerWithBody(std::string("<MediaStreamConfig><StreamAccess Auth=\"") + c.auth +
                       "\" VideoPort=\"70000\" /></MediaStreamConfig>");
    StreamAccessRecord s{};
    ASSERT_EQ(ReadStreamAccess(text.c_str(), &s), 0);
    EXPECT_EQ(s.Auth, c.expected) << c.auth;
    EXPECT_EQ(s.VideoPort, 70000);  // ports stay 32-bit
  }
}

TEST(ReadStreamAccessTest, FindsTheFirstStreamAccessInAnyMediaStreamConfig) {
  const std::string text = AnswerWithBody(
      "<StreamAccess VideoPort=\"1\" />"
      "<MediaStreamConfig><MainStream /></MediaStreamConfig>"
      "<MediaStreamConfig><StreamAccess VideoPort=\"2\" /><StreamAccess VideoPort=\"3\" />"
      "</MediaStreamConfig>");
  StreamAccessRecord stream{};
  ASSERT_EQ(ReadStreamAccess(text.c_str(), &stream), 0);
  EXPECT_EQ(stream.VideoPort, 2);

  StreamAccessRecord none{};
  EXPECT_EQ(ReadStreamAccess(AnswerWithBody("<StreamAccess VideoPort=\"1\" />").c_str(), &none),
            -1);
  EXPECT_EQ(none.VideoPort, 0);
}

TEST(ReadUserConfigTest, TakesTheFirstAccount) {
  UserConfigRecord users{};
  ASSERT_EQ(ReadUserConfig(ReadFixture("answer_nvs_rk.xml").c_str(), &users), 0);
  EXPECT_EQ(users.Count, 1);
  EXPECT_STREQ(users.Accounts[0].Username, "admin");
  EXPECT_STREQ(users.Accounts[0].Password, "Adm1n#2024");
  EXPECT_STREQ(users.Accounts[0].Group, "Administrator");
  EXPECT_STREQ(users.Accounts[0].Status, "Enable");
  EXPECT_STREQ(users.Accounts[1].Username, "");
}

TEST(ReadUserConfigTest, SkipsAnEmptyAccountButKeepsItsLeftovers) {
  UserConfigRecord users{};
  ASSERT_EQ(ReadUserConfig(ReadFixture("answer_lumeriant_nvr.xml").c_str(), &users), 0);
  EXPECT_EQ(users.Count, 1);
  EXPECT_STREQ(users.Accounts[0].Username, "admin");
  EXPECT_STREQ(users.Accounts[0].Password, "");
  EXPECT_STREQ(users.Accounts[0].Group, "Guest");
  EXPECT_STREQ(users.Accounts[0].Status, "Disable");
}

TEST(ReadUserConfigTest, PasswordAloneQualifiesAndLongValuesAreCut) {
  const std::string password(60, 'p');
  const std::string text =
      AnswerWithBody("<UserConfig><Account Username=\"\" Password=\"" + password +
                     "\" Status=\"Enabled-forever\" /></UserConfig>");
  UserConfigRecord users{};
  ASSERT_EQ(ReadUserConfig(text.c_str(), &users), 0);
  EXPECT_EQ(std::string(users.Accounts[0].Password), password.substr(0, 39));
  EXPECT_STREQ(users.Accounts[0].Status, "Enabled");
  EXPECT_TRUE(TailIsZero(users.Accounts[0].Group));
}

TEST(ReadUserConfigTest, NoQualifyingAccountFails) {
  const std::string texts[] = {
      AnswerWithBody("<UserConfig><Account Username=\"\" Group=\"g\" /></UserConfig>"),
      AnswerWithBody("<UserConfig></UserConfig>"),
      AnswerWithBody("<Account Username=\"admin\" />"),
      AnswerWithBody(""),
  };
  for (const std::string& text : texts) {
    UserConfigRecord users{};
    users.Count = 4;
    EXPECT_EQ(ReadUserConfig(text.c_str(), &users), -1) << text;
    EXPECT_EQ(users.Count, 4);
  }
}

TEST(ReadRkSystemTest, ReadsTheSevenFields) {
  RkSystemRecord rk;
  std::memset(&rk, 'z', sizeof rk);
  ASSERT_EQ(ReadRkSystem(ReadFixture("answer_nvs_rk.xml").c_str(), &rk), 0);
  EXPECT_STREQ(rk.DEVICETYPE, "OUTDOOR");
  EXPECT_STREQ(rk.EXTNUMBER, "0102");
  EXPECT_STREQ(rk.MAINNUMBER, "0100");
  EXPECT_STREQ(rk.EXTNAME, "Loading bay");
  EXPECT_STREQ(rk.ADDRESSBOXIP, "192.168.10.20");
  EXPECT_STREQ(rk.NOTES, "north side");
  EXPECT_STREQ(rk.MANAGECENTER, "192.168.10.2");
  EXPECT_TRUE(TailIsZero(rk.NOTES));
  EXPECT_TRUE(TailIsZero(rk.MANAGECENTER));
}

TEST(ReadRkSystemTest, ClearsTheRecordAlsoWhenAbsent) {
  RkSystemRecord rk;
  std::memset(&rk, 'z', sizeof rk);
  EXPECT_EQ(ReadRkSystem(ReadFixture("answer_lumeriant_nvr.xml").c_str(), &rk), -1);
  const RkSystemRecord zero{};
  EXPECT_EQ(std::memcmp(&rk, &zero, sizeof rk), 0);
}

TEST(ReadRkSystemTest, CutsLongValues) {
  const std::string notes(50, 'n');
  const std::string text =
      AnswerWithBody("<RK_CONFIG><SYSTEM NOTES=\"" + notes + "\" /></RK_CONFIG>");
  RkSystemRecord rk;
  std::memset(&rk, 'z', sizeof rk);
  ASSERT_EQ(ReadRkSystem(text.c_str(), &rk), 0);
  EXPECT_EQ(std::string(rk.NOTES), notes.substr(0, 31));
  EXPECT_STREQ(rk.MANAGECENTER, "");
  EXPECT_TRUE(TailIsZero(rk.MANAGECENTER));
}

}  // namespace
}  // namespace vdz
