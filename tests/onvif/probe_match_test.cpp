#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "onvif/crypto_text.h"
#include "onvif/probe_match_reader.h"
#include "onvif/wsd_merge.h"
#include "onvif/wsd_probe.h"
#include "onvif/xaddr_choice.h"

namespace vdz::onvif {
namespace {

struct MatchText {
  std::string endpoint = "urn:uuid:11111111-2222-4333-8444-555555555555";
  std::string types = "dn:NetworkVideoTransmitter tds:Device";
  std::string xaddrs = "http://192.168.1.20/onvif/device_service";
  std::string scopes =
      "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/name/Front%20Door "
      "onvif://www.onvif.org/hardware/IPC-42 onvif://www.onvif.org/location/city/Lodz";
  bool soap11 = false;
};

// A ProbeMatches datagram as cameras send it, one line.
std::string ProbeMatches(const std::vector<MatchText>& matches, const std::string& relates_to) {
  const bool soap11 = !matches.empty() && matches[0].soap11;
  std::string t = std::string(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
                      "xmlns:SOAP-ENV=\"") +
                  (soap11 ? "http://schemas.xmlsoap.org/soap/envelope/"
                          : "http://www.w3.org/2003/05/soap-envelope") +
                  "\" xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
                  "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
                  "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" "
                  "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" "
                  "xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\" "
                  "xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\"><SOAP-ENV:Header>"
                  "<wsa:MessageID>urn:uuid:aaaaaaaa-0000-4000-8000-000000000001</wsa:MessageID>"
                  "<wsa:RelatesTo>" +
                  relates_to +
                  "</wsa:RelatesTo><wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/"
                  "anonymous</wsa:To><wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/"
                  "ProbeMatches</wsa:Action></SOAP-ENV:Header><SOAP-ENV:Body><d:ProbeMatches>";
  for (const MatchText& m : matches) {
    t += "<d:ProbeMatch><wsa:EndpointReference><wsa:Address>" + m.endpoint +
         "</wsa:Address></wsa:EndpointReference><d:Types>" + m.types + "</d:Types><d:Scopes>" +
         m.scopes + "</d:Scopes><d:XAddrs>" + m.xaddrs +
         "</d:XAddrs><d:MetadataVersion>10</d:MetadataVersion></d:ProbeMatch>";
  }
  return t + "</d:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

TEST(WsdProbe, IsOneSoap12LineNamingOneVideoType) {
  const std::string id = NewUuidUrn();
  const std::string probe = BuildProbe(id);
  EXPECT_EQ(probe.find('\n'), std::string::npos);
  EXPECT_NE(probe.find("<a:MessageID>" + id + "</a:MessageID>"), std::string::npos);
  EXPECT_NE(probe.find("http://www.w3.org/2003/05/soap-envelope"), std::string::npos);
  EXPECT_NE(probe.find(">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"), std::string::npos);
  // A device answers only when it is every type named, so each Probe names one.
  EXPECT_NE(probe.find("<d:Types>dn:NetworkVideoTransmitter</d:Types>"), std::string::npos);
  EXPECT_NE(BuildProbe(id, kProbeTypeRounds[2]).find("<d:Types>dn:NetworkVideoDisplay</d:Types>"),
            std::string::npos);
  EXPECT_NE(NewUuidUrn(), id);
  // Our own Probe read back is never a device, by its id or, from another client, by its kind.
  std::vector<ProbeMatch> matches;
  EXPECT_EQ(ReadProbeMatches(probe, {id}, &matches), ProbeMatchStatus::kOwnProbe);
  EXPECT_EQ(ReadProbeMatches(BuildProbe(NewUuidUrn()), {id}, &matches),
            ProbeMatchStatus::kOwnProbe);
  EXPECT_TRUE(matches.empty());
}

TEST(ProbeMatchReader, ReadsEveryFieldInBothSoapVersions) {
  for (const bool soap11 : {false, true}) {
    MatchText text;
    text.soap11 = soap11;
    std::vector<ProbeMatch> matches;
    ASSERT_EQ(ReadProbeMatches(ProbeMatches({text}, "urn:uuid:ours"), {"urn:uuid:ours"}, &matches),
              ProbeMatchStatus::kMatches);
    ASSERT_EQ(matches.size(), 1u);
    const ProbeMatch& m = matches[0];
    EXPECT_EQ(m.endpoint, text.endpoint);
    EXPECT_EQ(m.types, (std::vector<std::string>{"dn:NetworkVideoTransmitter", "tds:Device"}));
    EXPECT_EQ(m.scopes.size(), 4u);
    EXPECT_EQ(m.xaddrs, std::vector<std::string>{text.xaddrs});
    EXPECT_EQ(m.metadata_version, "10");
    EXPECT_EQ(m.relates_to, "urn:uuid:ours");
    EXPECT_EQ(m.name, "Front Door");
    EXPECT_EQ(m.hardware, "IPC-42");
    EXPECT_EQ(m.location, "city/Lodz");
    EXPECT_EQ(m.soap11, soap11);
  }
}

TEST(ProbeMatchReader, KeepsOnlyVideoDevices) {
  struct Case {
    const char* types;
    bool video;
  };
  const Case cases[] = {
      {"dn:NetworkVideoTransmitter", true},
      {"dn:NetworkVideoDisplay", true},
      {"tds:Device", true},
      {"NetworkVideoTransmitter", true},    // undeclared prefix: the name is ONVIF's
      {"wsdp:Device pub:Computer", false},  // a PC's wsdd
      {"Device", false},                    // any Device is not an ONVIF device
      {"dn:NetworkVideoTransmitterX", false},
      {"", false},
  };
  for (const Case& c : cases) {
    MatchText text;
    text.types = c.types;
    std::vector<ProbeMatch> matches;
    const std::string datagram = ProbeMatches({text}, "x");
    EXPECT_EQ(ReadProbeMatches(datagram, {}, &matches),
              c.video ? ProbeMatchStatus::kMatches : ProbeMatchStatus::kNoVideoType)
        << c.types;
  }
}

TEST(ProbeMatchReader, RefusesWhatIsNoProbeMatches) {
  std::vector<ProbeMatch> matches;
  EXPECT_EQ(ReadProbeMatches("", {}, &matches), ProbeMatchStatus::kNotXml);
  EXPECT_EQ(ReadProbeMatches("<a><b></a>", {}, &matches), ProbeMatchStatus::kNotXml);
  EXPECT_EQ(ReadProbeMatches("<x:Envelope xmlns:x=\"y\"><x:Body/></x:Envelope>", {}, &matches),
            ProbeMatchStatus::kNotMatches);
  MatchText no_endpoint;
  no_endpoint.endpoint = "";
  EXPECT_EQ(ReadProbeMatches(ProbeMatches({no_endpoint}, "x"), {}, &matches),
            ProbeMatchStatus::kNoVideoType);
}

TEST(XAddrChoice, PrefersTheAnsweringHost) {
  struct Case {
    std::vector<std::string> xaddrs;
    const char* from;
    const char* chosen;
  };
  const Case cases[] = {
      // IPv6 link-local first, without a zone: unusable, the IPv4 one of the answer wins.
      {{"http://[fe80::211:22ff:fe33:4455]/onvif/device_service",
        "http://192.168.1.20/onvif/device_service"},
       "192.168.1.20",
       "http://192.168.1.20/onvif/device_service"},
      {{"http://10.9.9.9:8080/onvif/dev", "http://192.168.1.20:8000/onvif/device_service"},
       "192.168.1.20",
       "http://192.168.1.20:8000/onvif/device_service"},
      // Behind NAT: the answering address with the XAddr's port and path.
      {{"http://10.9.9.9:8080/onvif/dev"}, "192.168.1.20", "http://192.168.1.20:8080/onvif/dev"},
      {{"http://[fe80::1]:8899/onvif/device_service"},
       "192.168.1.21",
       "http://192.168.1.21:8899/onvif/device_service"},
      {{}, "192.168.1.22", "http://192.168.1.22/onvif/device_service"},
      {{"not-a-url", "ftp://192.168.1.23/x"},
       "192.168.1.23",
       "http://192.168.1.23/onvif/device_service"},
      {{"https://192.168.1.24/onvif/device_service"},
       "192.168.1.24",
       "https://192.168.1.24/onvif/device_service"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseXAddr(c.xaddrs, c.from), c.chosen) << c.from;
}

TEST(XAddrChoice, ParsesIpv6WithZone) {
  HttpAddress a;
  ASSERT_TRUE(ParseHttpAddress("http://[fe80::1%25eth0]:80/x", &a));
  EXPECT_TRUE(a.ipv6);
  EXPECT_EQ(a.host, "fe80::1%eth0");
  EXPECT_EQ(a.port, 80);
  EXPECT_EQ(FormatHttpAddress(a), "http://[fe80::1%25eth0]:80/x");
  EXPECT_FALSE(ParseHttpAddress("http://host:99999/", &a));
  EXPECT_FALSE(ParseHttpAddress("http://[::1/", &a));
}

TEST(WsdMerge, OneEntryPerEndpointWhateverTheAnswers) {
  WsdMerge merge;
  MatchText camera;
  camera.xaddrs = "http://[fe80::1]/onvif/device_service http://192.168.1.20/onvif/device_service";
  MatchText other;
  other.endpoint = "urn:uuid:99999999-2222-4333-8444-555555555555";
  other.xaddrs = "http://192.168.1.30/onvif/device_service";
  std::vector<ProbeMatch> first;
  std::vector<ProbeMatch> second;
  ASSERT_EQ(ReadProbeMatches(ProbeMatches({camera, other}, "p1"), {}, &first),
            ProbeMatchStatus::kMatches);
  ASSERT_EQ(ReadProbeMatches(ProbeMatches({camera}, "p2"), {}, &second),
            ProbeMatchStatus::kMatches);

  EXPECT_TRUE(merge.Add(first[0], "192.168.1.20", "192.168.1.2"));
  EXPECT_TRUE(merge.Add(first[1], "192.168.1.30", "192.168.1.2"));
  // The same answer again, on a second adapter and to the next probe: no new row, no change.
  EXPECT_FALSE(merge.Add(first[0], "192.168.1.20", "192.168.1.2"));
  EXPECT_FALSE(merge.Add(second[0], "192.168.1.20", "10.0.0.2"));
  ASSERT_EQ(merge.size(), 2u);
  const OnvifDeviceEntry* e = merge.Find(camera.endpoint);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->answers, 3);
  EXPECT_EQ(e->device_url, "http://192.168.1.20/onvif/device_service");
  EXPECT_EQ(e->adapter, "10.0.0.2");
  EXPECT_EQ(e->name, "Front Door");
  // A device that moved answers from its new address: the row follows it.
  EXPECT_TRUE(merge.Add(second[0], "192.168.1.99", "192.168.1.2"));
  EXPECT_EQ(merge.Find(camera.endpoint)->device_url, "http://192.168.1.99/onvif/device_service");
  EXPECT_EQ(merge.Entries().front().endpoint, camera.endpoint);
}

}  // namespace
}  // namespace vdz::onvif
