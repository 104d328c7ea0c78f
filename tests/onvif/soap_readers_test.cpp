#include "onvif/soap_readers.h"

#include <gtest/gtest.h>

#include <string>

namespace vdz::onvif {
namespace {

// The same reply bodies in either envelope, with the prefixes devices of each kind use.
std::string Soap12(const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8"?><env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl" xmlns:trt="http://www.onvif.org/ver10/media/wsdl" xmlns:tt="http://www.onvif.org/ver10/schema" xmlns:ter="http://www.onvif.org/ver10/error"><env:Body>)" +
         body + "</env:Body></env:Envelope>";
}

std::string Soap11(const std::string& body) {
  return R"(<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:tds="http://www.onvif.org/ver10/device/wsdl" xmlns:trt="http://www.onvif.org/ver10/media/wsdl" xmlns:tt="http://www.onvif.org/ver10/schema"><SOAP-ENV:Body>)" +
         body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

class BothVersions : public ::testing::TestWithParam<bool> {
 protected:
  std::string Reply(const std::string& body) const {
    return GetParam() ? Soap11(body) : Soap12(body);
  }
};

TEST_P(BothVersions, SystemDateAndTimeGivesTheClockOffset) {
  const std::string reply = Reply(
      "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>Manual</"
      "tt:DateTimeType><tt:LocalDateTime><tt:Date><tt:Year>2030</tt:Year><tt:Month>1</"
      "tt:Month><tt:Day>1</tt:Day></tt:Date><tt:Time><tt:Hour>0</tt:Hour><tt:Minute>0</"
      "tt:Minute><tt:Second>0</tt:Second></tt:Time></tt:LocalDateTime><tt:UTCDateTime><tt:Date><tt:"
      "Year>2026</tt:Year><tt:Month>12</tt:Month><tt:Day>9</tt:Day></tt:Date><tt:Time><tt:Hour>23</"
      "tt:Hour><tt:Minute>40</tt:Minute><tt:Second>5</tt:Second></tt:Time></tt:UTCDateTime></"
      "tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>");
  std::int64_t device = 0;
  ASSERT_TRUE(ReadSystemDateAndTime(reply, &device));
  // 2026-12-09T23:40:05Z; UTC wins over the local time.
  EXPECT_EQ(device, 1796859605);
  EXPECT_EQ(ClockOffset(device, 1796859605 - 3600), 3600);
}

TEST_P(BothVersions, DeviceInformation) {
  DeviceInformation info;
  ASSERT_TRUE(ReadDeviceInformation(
      Reply("<tds:GetDeviceInformationResponse><tds:Manufacturer>Acme &amp; Co</"
            "tds:Manufacturer><tds:Model>CAM-9</tds:Model><tds:FirmwareVersion> 1.2.3 </"
            "tds:FirmwareVersion><tds:SerialNumber>SN42</tds:SerialNumber><tds:HardwareId>HW7</"
            "tds:HardwareId></tds:GetDeviceInformationResponse>"),
      &info));
  EXPECT_EQ(info.manufacturer, "Acme & Co");
  EXPECT_EQ(info.model, "CAM-9");
  EXPECT_EQ(info.firmware_version, "1.2.3");
  EXPECT_EQ(info.serial_number, "SN42");
  EXPECT_EQ(info.hardware_id, "HW7");
}

TEST_P(BothVersions, NetworkInterfacesTakeTheDhcpAddressWhenDhcpIsOn) {
  std::vector<NetworkInterface> interfaces;
  ASSERT_TRUE(ReadNetworkInterfaces(
      Reply(
          R"(<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token="eth0"><tt:Enabled>true</tt:Enabled><tt:Info><tt:Name>eth0</tt:Name><tt:HwAddress>00:11:22:33:44:55</tt:HwAddress></tt:Info><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:Manual><tt:Address>192.168.0.9</tt:Address><tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:FromDHCP><tt:Address>10.1.2.3</tt:Address><tt:PrefixLength>16</tt:PrefixLength></tt:FromDHCP><tt:DHCP>true</tt:DHCP></tt:Config></tt:IPv4></tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>)"),
      &interfaces));
  ASSERT_EQ(interfaces.size(), 1u);
  EXPECT_EQ(interfaces[0].token, "eth0");
  EXPECT_EQ(interfaces[0].mac, "00:11:22:33:44:55");
  EXPECT_TRUE(interfaces[0].enabled);
  EXPECT_TRUE(interfaces[0].dhcp);
  EXPECT_EQ(interfaces[0].address, "10.1.2.3");
  EXPECT_EQ(interfaces[0].prefix_length, 16);
}

TEST_P(BothVersions, MediaAddressFromCapabilitiesOrServices) {
  ServiceAddresses caps;
  ASSERT_TRUE(ReadCapabilities(
      Reply("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>http://10.0.0.5/"
            "onvif/device_service</tt:XAddr></tt:Device><tt:Media><tt:XAddr>http://10.0.0.5/onvif/"
            "media</tt:XAddr></tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>"),
      &caps));
  EXPECT_EQ(caps.media, "http://10.0.0.5/onvif/media");
  EXPECT_EQ(caps.device, "http://10.0.0.5/onvif/device_service");
  ServiceAddresses services;
  ASSERT_TRUE(ReadServices(
      Reply("<tds:GetServicesResponse><tds:Service><tds:Namespace>http://www.onvif.org/ver20/media/"
            "wsdl</tds:Namespace><tds:XAddr>http://x/media2</tds:XAddr></"
            "tds:Service><tds:Service><tds:Namespace>http://www.onvif.org/ver10/media/wsdl</"
            "tds:Namespace><tds:XAddr>http://x/media1</tds:XAddr></tds:Service></"
            "tds:GetServicesResponse>"),
      &services));
  EXPECT_EQ(services.media, "http://x/media1");
}

TEST_P(BothVersions, ProfilesAndTheirUris) {
  std::vector<MediaProfile> profiles;
  ASSERT_TRUE(ReadProfiles(
      Reply(
          R"(<trt:GetProfilesResponse><trt:Profiles token="main" fixed="true"><tt:Name>MainStream</tt:Name><tt:VideoEncoderConfiguration token="v0"><tt:Name>v0</tt:Name><tt:Encoding>H264</tt:Encoding><tt:Resolution><tt:Width>1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution></tt:VideoEncoderConfiguration></trt:Profiles><trt:Profiles token="sub"><tt:Name>SubStream</tt:Name><tt:VideoEncoderConfiguration><tt:Encoding>H265</tt:Encoding><tt:Resolution><tt:Width>640</tt:Width><tt:Height>360</tt:Height></tt:Resolution></tt:VideoEncoderConfiguration></trt:Profiles><trt:Profiles><tt:Name>no token: unusable</tt:Name></trt:Profiles></trt:GetProfilesResponse>)"),
      &profiles));
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].token, "main");
  EXPECT_EQ(profiles[0].name, "MainStream");
  EXPECT_EQ(profiles[0].encoding, "H264");
  EXPECT_EQ(profiles[0].width, 1920);
  EXPECT_EQ(profiles[0].height, 1080);
  EXPECT_EQ(profiles[1].encoding, "H265");
  EXPECT_EQ(profiles[1].height, 360);

  std::string uri;
  ASSERT_TRUE(ReadMediaUri(Reply("<trt:GetStreamUriResponse><trt:MediaUri><tt:Uri>rtsp://10.0.0.5:"
                                 "554/main?a=1&amp;b=2</tt:Uri></trt:MediaUri></"
                                 "trt:GetStreamUriResponse>"),
                           &uri));
  EXPECT_EQ(uri, "rtsp://10.0.0.5:554/main?a=1&b=2");
  ASSERT_TRUE(ReadMediaUri(Reply("<trt:GetSnapshotUriResponse><trt:MediaUri><tt:Uri>http://10.0.0."
                                 "5/snap.jpg</tt:Uri></trt:MediaUri></trt:GetSnapshotUriResponse>"),
                           &uri));
  EXPECT_EQ(uri, "http://10.0.0.5/snap.jpg");
}

INSTANTIATE_TEST_SUITE_P(Soap, BothVersions, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Soap11" : "Soap12"; });

TEST(SoapReaders, FaultsOfBothVersions) {
  struct Case {
    std::string reply;
    const char* code;
    const char* subcode;
    const char* reason;
    bool not_authorized;
  };
  const Case cases[] = {
      {Soap12("<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>ter:"
              "NotAuthorized</env:Value></env:Subcode></env:Code><env:Reason><env:Text "
              "xml:lang=\"en\">Sender not Authorized</env:Text></env:Reason></env:Fault>"),
       "Sender", "NotAuthorized", "Sender not Authorized", true},
      {Soap12("<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>ter:"
              "InvalidArgVal</env:Value><env:Subcode><env:Value>ter:NoProfile</env:Value></"
              "env:Subcode></env:Subcode></env:Code><env:Reason><env:Text>No such profile</"
              "env:Text></env:Reason></env:Fault>"),
       "Sender", "NoProfile", "No such profile", false},
      {Soap11("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode><faultstring>Not "
              "Authorized</faultstring></SOAP-ENV:Fault>"),
       "Client", "", "Not Authorized", true},
      {Soap11("<SOAP-ENV:Fault><faultcode>SOAP-ENV:VersionMismatch</faultcode><faultstring>wrong "
              "envelope</faultstring></SOAP-ENV:Fault>"),
       "VersionMismatch", "", "wrong envelope", false},
  };
  for (const Case& c : cases) {
    SoapFault fault;
    ASSERT_TRUE(ReadFault(c.reply, &fault)) << c.reason;
    EXPECT_EQ(fault.code, c.code);
    EXPECT_EQ(fault.subcode, c.subcode);
    EXPECT_EQ(fault.reason, c.reason);
    EXPECT_EQ(IsNotAuthorized(fault), c.not_authorized) << c.reason;
  }
}

TEST(SoapReaders, RefusesWhatIsNoReply) {
  const std::string bad[] = {
      "",
      "<html>401</html>",
      Soap12("<tds:GetDeviceInformationResponse"),
      Soap12("<tds:SomethingElse/>"),
      Soap12(
          "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Date><tt:"
          "Year>2026</tt:Year><tt:Month>13</tt:Month><tt:Day>1</tt:Day></tt:Date><tt:Time><tt:"
          "Hour>0</tt:Hour><tt:Minute>0</tt:Minute><tt:Second>0</tt:Second></tt:Time></"
          "tt:UTCDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"),
  };
  for (const std::string& reply : bad) {
    DeviceInformation info;
    std::int64_t seconds = 0;
    std::string uri;
    SoapFault fault;
    EXPECT_FALSE(ReadDeviceInformation(reply, &info)) << reply;
    EXPECT_FALSE(ReadSystemDateAndTime(reply, &seconds)) << reply;
    EXPECT_FALSE(ReadMediaUri(reply, &uri)) << reply;
    EXPECT_FALSE(ReadFault(reply, &fault)) << reply;
  }
}

}  // namespace
}  // namespace vdz::onvif
