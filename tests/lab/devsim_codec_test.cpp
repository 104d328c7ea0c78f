// The simulator's own reading and writing of discovery texts, and how it builds a site.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <set>
#include <string>

#include "answer_writer.h"
#include "kv_line.h"
#include "request_reader.h"
#include "site.h"

namespace vdz::devsim {
namespace {

bool WellFormed(const std::string& text) {
  tinyxml2::XMLDocument doc;
  return doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS;
}

const tinyxml2::XMLElement* Find(const tinyxml2::XMLDocument& doc, const char* root,
                                 const char* element) {
  const tinyxml2::XMLElement* r = doc.FirstChildElement(root);
  const tinyxml2::XMLElement* body = r ? r->FirstChildElement("MESSAGE_BODY") : nullptr;
  return body ? body->FirstChildElement(element) : nullptr;
}

TEST(KvLineTest, SplitsWordsPairsQuotesAndEscapes) {
  std::string error;
  const auto line = ParseKvLine(
      R"(device sn=A1 osd="Front door" note="q\"x\\" gbk="\xC9\xE3" # comment)", &error);
  ASSERT_TRUE(line) << error;
  ASSERT_EQ(line->words.size(), 1u);
  EXPECT_EQ(line->words[0], "device");
  EXPECT_EQ(line->Get("sn"), "A1");
  EXPECT_EQ(line->Get("osd"), "Front door");
  EXPECT_EQ(line->Get("note"), "q\"x\\");
  EXPECT_EQ(line->Get("gbk"), "\xC9\xE3");
  EXPECT_FALSE(line->Get("comment"));
}

TEST(KvLineTest, RefusesBrokenQuotingAndRoundTripsValues) {
  const char* bad[] = {R"(a="open)", R"(a="\q")", R"(a="\x4")"};
  for (const char* b : bad) {
    std::string error;
    EXPECT_FALSE(ParseKvLine(b, &error)) << b;
    EXPECT_FALSE(error.empty());
  }
  const std::string values[] = {"plain", "two words", "quo\"te", "\xC9\xE3\x01", "#hash", ""};
  for (const std::string& v : values) {
    std::string error;
    const auto line = ParseKvLine("k=" + QuoteKvValue(v), &error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->Get("k").value_or("<none>"), v);
  }
}

TEST(KvLineTest, NumbersMustBeWholeAndInRange) {
  long long n = 0;
  EXPECT_TRUE(ParseInt("42", 0, 100, &n));
  EXPECT_EQ(n, 42);
  EXPECT_FALSE(ParseInt("42x", 0, 100, &n));
  EXPECT_FALSE(ParseInt("101", 0, 100, &n));
  EXPECT_FALSE(ParseInt("", 0, 100, &n));
  double d = 0;
  EXPECT_TRUE(ParseDouble("0.25", 0, 1, &d));
  EXPECT_FALSE(ParseDouble("1.5", 0, 1, &d));
  EXPECT_FALSE(ParseDouble("nan", 0, 1, &d));
}

SimDevice Sample(int index = 7) {
  GenerateOptions o;
  o.with_rk = true;
  return MakeDevice(index, 0xC0A8010Au + static_cast<uint32_t>(index), o, 1000000);
}

TEST(AnswerWriterTest, AnswerCarriesEveryBlockTheSystemReads) {
  SimDevice d = Sample();
  d.osd = "Door <1> & \"2\"";
  const std::string text = WriteSearchAnswer(d, 1000000 + 5000);
  ASSERT_TRUE(WellFormed(text));
  EXPECT_GT(text.size(), 1500u);
  EXPECT_LT(text.size(), 5120u);
  tinyxml2::XMLDocument doc;
  doc.Parse(text.c_str());
  const char* root = d.lumeriant ? "XML_LUMERIANT" : "XML_VORTAN";
  const auto* header = doc.FirstChildElement(root)->FirstChildElement("MESSAGE_HEADER");
  ASSERT_NE(header, nullptr);
  EXPECT_STREQ(header->Attribute("Msg_type"), "SYSTEM_SEARCHIPC_MESSAGE");
  EXPECT_STREQ(header->Attribute("Msg_code"), "3");
  EXPECT_STREQ(header->Attribute("Msg_flag"), "0");
  const auto* sn = Find(doc, root, "IPC_SERIALNUMBER");
  ASSERT_NE(sn, nullptr);
  EXPECT_EQ(sn->Attribute("SerialNumber"), d.serial);
  EXPECT_EQ(sn->Int64Attribute("runtime"), d.RuntimeSeconds(1005000));
  EXPECT_STREQ(Find(doc, root, "DEVICE_TYPE")->Attribute("OSD"), "Door <1> & \"2\"");
  const auto* lan = Find(doc, root, "LANConfig");
  ASSERT_NE(lan, nullptr);
  EXPECT_STREQ(lan->Attribute("IPAddress"), "192.168.1.17");
  EXPECT_STREQ(lan->Attribute("Netmask"), "255.255.255.0");
  EXPECT_STREQ(lan->Attribute("Gateway"), "192.168.1.1");
  EXPECT_EQ(lan->Attribute("MacAddress"), d.mac);
  const auto* media = Find(doc, root, "MediaStreamConfig");
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->FirstChildElement("StreamAccess")->IntAttribute("PTZPort"), d.ptz_port);
  const auto* user = Find(doc, root, "UserConfig");
  ASSERT_NE(user, nullptr);
  EXPECT_STREQ(user->FirstChildElement("Account")->Attribute("Username"), "admin");
  const auto* rk = Find(doc, root, "RK_CONFIG");
  ASSERT_NE(rk, nullptr);
  EXPECT_EQ(rk->FirstChildElement("SYSTEM")->Attribute("EXTNUMBER"), d.rk.fields[1]);
}

TEST(AnswerWriterTest, MisbehaviourShapesTheDatagram) {
  SimDevice d = Sample(8);
  ASSERT_FALSE(d.lumeriant);
  d.misbehave.malformed = true;
  std::string t = BuildAnswerDatagram(d, 1000000);
  EXPECT_NE(t.find("<XML_VORTAN>"), std::string::npos);
  EXPECT_NE(t.find("</XML_VORTAN>"), std::string::npos);
  EXPECT_FALSE(WellFormed(t));

  d.misbehave = Misbehaviour{};
  d.misbehave.noroot = true;
  t = BuildAnswerDatagram(d, 1000000);
  EXPECT_EQ(t.find("XML_VORTAN"), std::string::npos);
  EXPECT_NE(t.find("<LANConfig"), std::string::npos);

  d.misbehave = Misbehaviour{};
  d.misbehave.oversize = true;
  t = BuildAnswerDatagram(d, 1000000);
  EXPECT_EQ(t.size(), kOversizeBytes);
  EXPECT_TRUE(WellFormed(t));

  d.misbehave = Misbehaviour{};
  d.misbehave.wrong_code = "03";
  t = BuildAnswerDatagram(d, 1000000);
  EXPECT_NE(t.find("Msg_code=\"03\""), std::string::npos);
  EXPECT_TRUE(WellFormed(t));
}

TEST(RequestReaderTest, ReadsTheRequestsDevicesActOn) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n<XML_VORTAN>\n<MESSAGE_HEADER\n"
      "Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\"\nMsg_code=\"";
  const std::string mid = "\"\nMsg_flag=\"0\"\n/>\n<MESSAGE_BODY>\n";
  const std::string tail = "\n</MESSAGE_BODY>\n</XML_VORTAN>";
  const std::string lan =
      "<IPC_SERIALNUMBER\r\nSerialNumber=\"SN9\"\r\n/>\r\n<LANConfig\r\nMacAddress=\"aa\"\r\n"
      "DHCP=\"0\"\r\nIPAddress=\"192.168.1.50\"\r\nNetmask=\"255.255.255.0\"\r\n"
      "Gateway=\"192.168.1.1\"\r\nDNS1=\"192.168.1.1\"\r\nDNS2=\"\"\r\n/>\r\n";
  std::string why;
  auto r = ReadDiscoveryRequest(head + "2" + mid + lan + tail, &why);
  ASSERT_TRUE(r) << why;
  EXPECT_EQ(r->code, 2);
  EXPECT_EQ(r->serial, "SN9");
  ASSERT_TRUE(r->lan);
  EXPECT_EQ(r->lan->ip, "192.168.1.50");
  EXPECT_EQ(r->lan->dns2, "");
  EXPECT_FALSE(r->rk);

  const std::string rk =
      "<IPC_SERIALNUMBER SerialNumber=\"SN9\" />\r\n<RK_CONFIG>\n<SYSTEM DEVICETYPE=\"1\" "
      "EXTNUMBER=\"2\" MAINNUMBER=\"3\" EXTNAME=\"4\" ADDRESSBOXIP=\"5\" NOTES=\"6\" "
      "MANAGECENTER=\"7\" />\n</RK_CONFIG>";
  r = ReadDiscoveryRequest(head + "2" + mid + rk + tail, &why);
  ASSERT_TRUE(r && r->rk) << why;
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ((*r->rk)[static_cast<std::size_t>(i)], std::to_string(i + 1));

  struct Code {
    const char* text;
    int code;
  };
  for (const Code c : {Code{"1", 1}, Code{"07", 7}, Code{"x5", 0}, Code{" 5", 5}}) {
    r = ReadDiscoveryRequest(head + c.text + mid + "<IPC_SERIALNUMBER SerialNumber=\"A\" />" + tail,
                             &why);
    ASSERT_TRUE(r) << c.text;
    EXPECT_EQ(r->code, c.code) << c.text;
  }
}

TEST(RequestReaderTest, RefusesWhatIsNoRequest) {
  struct Case {
    std::string text;
    const char* why;
  };
  const Case cases[] = {
      {"not xml <", "bad-xml"},
      {"<OTHER><MESSAGE_HEADER Msg_code=\"1\"/></OTHER>", "no-root"},
      {"<XML_VORTAN><MESSAGE_BODY/></XML_VORTAN>", "no-header"},
      {"<XML_VORTAN><MESSAGE_HEADER Msg_type=\"x\"/></XML_VORTAN>", "no-header"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_FALSE(ReadDiscoveryRequest(c.text, &why)) << c.text;
    EXPECT_EQ(why, c.why) << c.text;
  }
}

TEST(SiteTest, GeneratedAddressesSkipReservedAndSpecialHosts) {
  GenerateOptions o;
  o.devices = 300;
  o.groups = {{0xC0A801FAu, ""}};  // 192.168.1.250
  std::vector<SimDevice> devices;
  std::string error;
  ASSERT_TRUE(GenerateDevices(o, {0xC0A80203u}, 0, &devices, &error)) << error;
  ASSERT_EQ(devices.size(), 300u);
  std::set<uint32_t> ips;
  std::set<std::string> serials;
  for (const SimDevice& d : devices) {
    ips.insert(d.net.ip);
    serials.insert(d.serial);
    const uint32_t host = d.net.ip & 0xff;
    EXPECT_NE(host, 0u);
    EXPECT_NE(host, 1u);
    EXPECT_NE(host, 255u);
    EXPECT_NE(d.net.ip, 0xC0A80203u);
    EXPECT_EQ(d.net.gateway, (d.net.ip & 0xffffff00u) | 1);
  }
  EXPECT_EQ(ips.size(), 300u);
  EXPECT_EQ(serials.size(), 300u);
  EXPECT_EQ(Ipv4Text(devices[5].net.ip), "192.168.2.2");
}

bool RegistryKeeps(const std::string& type) {
  const bool cls = type.find("NVS") != std::string::npos || type.find("DVS") != std::string::npos ||
                   type.find("DEC") != std::string::npos || type.find("NVR") != std::string::npos;
  const bool fam = type.find("RK") != std::string::npos || type.find("_SIP") != std::string::npos ||
                   type.find("AIO") != std::string::npos || type.find("MCK2") != std::string::npos;
  return cls && fam;
}

TEST(SiteTest, MixedTypesDropEveryFifthDeviceAndGroupsSplitEvenly) {
  GenerateOptions o;
  o.devices = 21;
  o.mixed_types = true;
  o.groups = {{0xC0A8010Au, ""}, {0x0A00001Eu, "br1"}};
  std::vector<SimDevice> devices;
  std::string error;
  ASSERT_TRUE(GenerateDevices(o, {}, 0, &devices, &error)) << error;
  int kept = 0, second = 0;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const bool fifth = (i + 1) % 5 == 0;
    EXPECT_EQ(RegistryKeeps(devices[i].type), !fifth) << devices[i].type;
    kept += RegistryKeeps(devices[i].type) ? 1 : 0;
    if (devices[i].iface == "br1") {
      ++second;
      EXPECT_EQ(devices[i].net.ip >> 8, 0x0A0000u);
    }
  }
  EXPECT_EQ(kept, 17);
  EXPECT_EQ(second, 10);
}

TEST(SiteTest, SiteFileReadsEveryVerbAndNamesTheFaultyLine) {
  const std::string text =
      "# a small site\n"
      "generate devices=3 first-ip=192.168.1.20 serial-prefix=GEN with-rk=1\n"
      "device sn=CAM-A ip=192.168.1.50 type=NVR_AIO_8CH osd=\"Gate \\xC9\\xE3\" root=XML_LUMERIANT "
      "ptz-port=6001 password=secret rk-extname=Lobby\n"
      "host ip=192.168.1.60\n"
      "misbehave CAM-A twice delay=20\n"
      "config reboot-silence=2\n";
  Site site;
  std::string error;
  ASSERT_TRUE(ReadSiteText(text, {}, 0, &site, &error)) << error;
  ASSERT_EQ(site.devices.size(), 4u);
  EXPECT_EQ(site.devices[0].serial, "GEN00000001");
  EXPECT_TRUE(site.devices[0].rk.present);
  const SimDevice& a = site.devices[3];
  EXPECT_EQ(a.serial, "CAM-A");
  EXPECT_EQ(a.osd, "Gate \xC9\xE3");
  EXPECT_TRUE(a.lumeriant);
  EXPECT_EQ(a.ptz_port, 6001);
  EXPECT_EQ(a.accounts[0].password, "secret");
  EXPECT_EQ(a.rk.fields[3], "Lobby");
  EXPECT_EQ(a.factory_net.ip, a.net.ip);
  ASSERT_EQ(site.hosts.size(), 1u);
  ASSERT_EQ(site.misbehaviour.size(), 1u);
  Misbehaviour m;
  ASSERT_TRUE(ApplyMisbehaviour(site.misbehaviour[0].modes, &m, &error));
  EXPECT_TRUE(m.twice);
  EXPECT_EQ(m.delay_ms, 20);
  EXPECT_EQ(site.config.size(), 1u);

  const struct {
    const char* text;
    const char* fault;
  } bad[] = {
      {"device sn=A ip=192.168.1.5\ndevice sn=A ip=192.168.1.6\n", "given twice"},
      {"device sn=A ip=192.168.1.5\ndevice sn=B ip=192.168.1.5\n", "given twice"},
      {"\n\ndevice sn=A ip=300.1.1.1\n", "line 3"},
      {"device sn=A ip=192.168.1.5 colour=red\n", "unknown key colour"},
      {"teleport now\n", "unknown verb"},
      {"misbehave A explode\n", "unknown misbehaviour"},
  };
  for (const auto& b : bad) {
    Site s;
    EXPECT_FALSE(ReadSiteText(b.text, {}, 0, &s, &error)) << b.text;
    EXPECT_NE(error.find(b.fault), std::string::npos) << error;
  }
}

TEST(SiteTest, DeviceAddressesMustBeUsableUnderTheirMask) {
  struct Case {
    const char* ip;
    const char* mask;
    bool usable;
  };
  const Case cases[] = {
      {"192.168.1.10", "255.255.255.0", true}, {"192.168.1.255", "255.255.255.0", false},
      {"192.168.2.0", "255.255.255.0", false}, {"192.168.2.0", "255.255.0.0", true},
      {"127.0.0.5", "255.0.0.0", false},       {"224.0.0.1", "255.255.255.0", false},
      {"0.1.2.3", "255.255.255.0", false}};
  for (const Case& c : cases) {
    uint32_t ip = 0, mask = 0;
    ASSERT_TRUE(ParseIpv4(c.ip, &ip));
    ASSERT_TRUE(ParseIpv4(c.mask, &mask));
    EXPECT_EQ(UsableDeviceAddress(ip, mask), c.usable) << c.ip << "/" << c.mask;
  }
  uint32_t m = 0;
  ParseIpv4("255.0.255.0", &m);
  EXPECT_FALSE(ValidMask(m));
}

}  // namespace
}  // namespace vdz::devsim
