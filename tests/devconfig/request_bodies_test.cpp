#include "devconfig/request_bodies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_identity_reader.h"
#include "devconfig/fixture_text.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

LanConfigRecord SampleLan() {
  LanConfigRecord lan{};
  CopyBounded(lan.MacAddress, "00:1A:2B:3C:4D:5E");
  lan.DHCP = 1;
  lan.ALLNET = 1;
  CopyBounded(lan.IPAddress, "192.168.10.61");
  CopyBounded(lan.Netmask, "255.255.255.0");
  CopyBounded(lan.Gateway, "192.168.10.1");
  CopyBounded(lan.DNS1, "192.168.10.1");
  return lan;
}

RkSystemRecord SampleRk() {
  RkSystemRecord rk{};
  CopyBounded(rk.DEVICETYPE, "OUTDOOR");
  CopyBounded(rk.EXTNUMBER, "0102");
  CopyBounded(rk.MAINNUMBER, "0100");
  CopyBounded(rk.EXTNAME, "Bay");
  CopyBounded(rk.ADDRESSBOXIP, "192.168.10.20");
  CopyBounded(rk.NOTES, "");
  CopyBounded(rk.MANAGECENTER, "192.168.10.2");
  return rk;
}

TEST(BuildLanConfigBodyTest, WritesTheExactBody) {
  EXPECT_EQ(BuildLanConfigBody("RK1F20A3C7D90012", SampleLan()),
            "<IPC_SERIALNUMBER\r\nSerialNumber=\"RK1F20A3C7D90012\"\r\n/>\r\n"
            "<LANConfig\r\n"
            "MacAddress=\"00:1A:2B:3C:4D:5E\"\r\n"
            "DHCP=\"1\"\r\n"
            "IPAddress=\"192.168.10.61\"\r\n"
            "Netmask=\"255.255.255.0\"\r\n"
            "Gateway=\"192.168.10.1\"\r\n"
            "DNS1=\"192.168.10.1\"\r\n"
            "DNS2=\"\"\r\n"
            "/>\r\n");
}

TEST(BuildLanConfigBodyTest, WritesNegativeDhcpAsDecimal) {
  LanConfigRecord lan{};
  lan.DHCP = -3;
  const std::string body = BuildLanConfigBody("", lan);
  EXPECT_NE(body.find("\r\nDHCP=\"-3\"\r\n"), std::string::npos) << body;
  EXPECT_EQ(body.find("ALLNET"), std::string::npos);
}

TEST(BuildSerialBodyTest, WritesTheExactBody) {
  EXPECT_EQ(BuildSerialBody("RK1F20A3C7D90012"),
            "<IPC_SERIALNUMBER SerialNumber=\"RK1F20A3C7D90012\" />\r\n");
  EXPECT_EQ(BuildSerialBody(""), "<IPC_SERIALNUMBER SerialNumber=\"\" />\r\n");
}

TEST(BuildRkConfigBodyTest, WritesTheExactBody) {
  EXPECT_EQ(BuildRkConfigBody("SN1", SampleRk()),
            "<IPC_SERIALNUMBER SerialNumber=\"SN1\" />\r\n"
            "<RK_CONFIG>\n"
            "<SYSTEM DEVICETYPE=\"OUTDOOR\" EXTNUMBER=\"0102\" MAINNUMBER=\"0100\" "
            "EXTNAME=\"Bay\" ADDRESSBOXIP=\"192.168.10.20\" NOTES=\"\" "
            "MANAGECENTER=\"192.168.10.2\" />\n"
            "</RK_CONFIG>");
}

TEST(BuildPasswordDocumentTest, WritesTheExactDocument) {
  EXPECT_EQ(BuildPasswordDocument("n3w-Pass"),
            "<UserConfig><Account Username=\"admin\" Password=\"n3w-Pass\" "
            "Group=\"Administrator\" Status=\"Enable\" /></UserConfig>");
}

TEST(RequestBodyEscapingTest, EscapesTheFourMarkupCharacters) {
  EXPECT_EQ(BuildSerialBody("a\"b<c>d&e'f"),
            "<IPC_SERIALNUMBER SerialNumber=\"a&quot;b&lt;c&gt;d&amp;e'f\" />\r\n");
  EXPECT_EQ(BuildPasswordDocument("p\"&<>"),
            "<UserConfig><Account Username=\"admin\" Password=\"p&quot;&amp;&lt;&gt;\" "
            "Group=\"Administrator\" Status=\"Enable\" /></UserConfig>");
  RkSystemRecord rk{};
  CopyBounded(rk.EXTNAME, "A&B <gate>");
  const std::string body = BuildRkConfigBody("S", rk);
  EXPECT_NE(body.find(" EXTNAME=\"A&amp;B &lt;gate&gt;\" "), std::string::npos) << body;
}

// An attribute value that tries to close its quote must come back as the same value.
TEST(RequestBodyEscapingTest, InjectionAttemptsRoundTripAsPlainValues) {
  LanConfigRecord lan = SampleLan();
  lan.DHCP = 0;
  CopyBounded(lan.IPAddress, "1.2.3.4\" DHCP=\"1");
  CopyBounded(lan.DNS2, "</LANConfig><x>&amp;");
  const std::string serial = "S\"/><IPC_SERIALNUMBER SerialNumber=\"EVIL";
  const std::string text = test::AnswerWithBody(BuildLanConfigBody(serial, lan));

  LanConfigRecord read{};
  ASSERT_EQ(ReadLanConfig(text.c_str(), &read), 0) << text;
  EXPECT_EQ(read.DHCP, 0);
  EXPECT_STREQ(read.IPAddress, "1.2.3.4\" DHCP=\"1");
  EXPECT_STREQ(read.DNS2, "</LANConfig><x>&amp;");
  DeviceIdentity id{};
  ASSERT_EQ(ReadDeviceIdentity(text.c_str(), &id), 0);
  EXPECT_EQ(std::string(id.SerialNumber), serial.substr(0, 31));
}

TEST(RequestBodyBoundsTest, ReadsFieldsWithoutTerminatorOnlyToTheirSize) {
  LanConfigRecord lan;
  std::memset(&lan, 'A', sizeof lan);
  lan.DHCP = 0;
  lan.ALLNET = 0;
  const std::string body = BuildLanConfigBody("S", lan);
  EXPECT_NE(body.find("MacAddress=\"" + std::string(18, 'A') + "\"\r\n"), std::string::npos);
  EXPECT_NE(body.find("IPAddress=\"" + std::string(64, 'A') + "\"\r\n"), std::string::npos);
  EXPECT_NE(body.find("DNS2=\"" + std::string(64, 'A') + "\"\r\n/>\r\n"), std::string::npos);

  RkSystemRecord rk;
  std::memset(&rk, 'B', sizeof rk);
  const std::string rk_body = BuildRkConfigBody("S", rk);
  EXPECT_NE(rk_body.find(" MANAGECENTER=\"" + std::string(32, 'B') + "\" />\n</RK_CONFIG>"),
            std::string::npos)
      << rk_body;
}

TEST(RequestBodyBoundsTest, CutsAtTheBufferSize) {
  EXPECT_EQ(BuildPasswordDocument(std::string(2000, 'x')).size(), kRequestBodyMaxLength);
  const std::string serial_body = BuildSerialBody(std::string(5000, '&'));
  EXPECT_EQ(serial_body.size(), kRequestBodyMaxLength);
  EXPECT_EQ(serial_body.rfind("<IPC_SERIALNUMBER SerialNumber=\"&amp;&amp;", 0), 0u);

  LanConfigRecord lan;
  std::memset(&lan, '"', sizeof lan);
  EXPECT_EQ(BuildLanConfigBody("S", lan).size(), kRequestBodyMaxLength);
  // Without escaping the same record fits.
  std::memset(&lan, 'a', sizeof lan);
  EXPECT_LT(BuildLanConfigBody("S", lan).size(), kRequestBodyMaxLength);
}

}  // namespace
}  // namespace vdz
