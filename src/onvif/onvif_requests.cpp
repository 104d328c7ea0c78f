#include "onvif/onvif_requests.h"

#include <arpa/inet.h>

#include <ctime>

#include "onvif/xml_local.h"

namespace vdz::onvif {

namespace {

constexpr char kDevice[] = "http://www.onvif.org/ver10/device/wsdl/";
constexpr char kMedia[] = "http://www.onvif.org/ver10/media/wsdl/";

SoapRequest Device(const char* name, std::string inner = {}) {
  std::string body = "<tds:" + std::string(name);
  body += inner.empty() ? "/>" : ">" + inner + "</tds:" + name + ">";
  return {kDevice + std::string(name), std::move(body)};
}

SoapRequest Media(const char* name, std::string inner) {
  return {kMedia + std::string(name),
          "<trt:" + std::string(name) + ">" + inner + "</trt:" + name + ">"};
}

std::string Element(const char* name, const std::string& value) {
  return "<" + std::string(name) + ">" + EscapeXml(value) + "</" + name + ">";
}

bool IsDottedQuad(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

}  // namespace

SoapRequest GetSystemDateAndTimeRequest() {
  return Device("GetSystemDateAndTime");
}

SoapRequest GetDeviceInformationRequest() {
  return Device("GetDeviceInformation");
}

SoapRequest GetNetworkInterfacesRequest() {
  return Device("GetNetworkInterfaces");
}

SoapRequest GetCapabilitiesRequest() {
  return Device("GetCapabilities", "<tds:Category>All</tds:Category>");
}

SoapRequest GetServicesRequest() {
  return Device("GetServices", "<tds:IncludeCapability>false</tds:IncludeCapability>");
}

SoapRequest GetProfilesRequest() {
  return {std::string(kMedia) + "GetProfiles", "<trt:GetProfiles/>"};
}

SoapRequest GetStreamUriRequest(const std::string& profile_token) {
  return Media("GetStreamUri",
               "<trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport>"
               "<tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>" +
                   Element("trt:ProfileToken", profile_token));
}

SoapRequest GetSnapshotUriRequest(const std::string& profile_token) {
  return Media("GetSnapshotUri", Element("trt:ProfileToken", profile_token));
}

SoapRequest SystemRebootRequest() {
  return Device("SystemReboot");
}

SoapRequest SetSystemDateAndTimeRequest(bool use_ntp, std::int64_t utc_seconds) {
  std::string inner = Element("tds:DateTimeType", use_ntp ? "NTP" : "Manual");
  inner += "<tds:DaylightSavings>false</tds:DaylightSavings>";
  if (!use_ntp) {
    const std::time_t t = static_cast<std::time_t>(utc_seconds);
    std::tm p{};
    gmtime_r(&t, &p);
    inner += "<tds:UTCDateTime><tt:Date>" + Element("tt:Year", std::to_string(p.tm_year + 1900)) +
             Element("tt:Month", std::to_string(p.tm_mon + 1)) +
             Element("tt:Day", std::to_string(p.tm_mday)) + "</tt:Date><tt:Time>" +
             Element("tt:Hour", std::to_string(p.tm_hour)) +
             Element("tt:Minute", std::to_string(p.tm_min)) +
             Element("tt:Second", std::to_string(p.tm_sec)) + "</tt:Time></tds:UTCDateTime>";
  }
  return Device("SetSystemDateAndTime", std::move(inner));
}

SoapRequest SetNtpRequest(const std::vector<std::string>& servers) {
  std::string inner = "<tds:FromDHCP>false</tds:FromDHCP>";
  for (const std::string& server : servers) {
    if (IsDottedQuad(server)) {
      inner += "<tds:NTPManual><tt:Type>IPv4</tt:Type>" + Element("tt:IPv4Address", server) +
               "</tds:NTPManual>";
    } else {
      inner += "<tds:NTPManual><tt:Type>DNS</tt:Type>" + Element("tt:DNSname", server) +
               "</tds:NTPManual>";
    }
  }
  return Device("SetNTP", std::move(inner));
}

SoapRequest SetNetworkInterfacesRequest(const std::string& interface_token,
                                        const std::string& address, int prefix_length) {
  return Device("SetNetworkInterfaces",
                Element("tds:InterfaceToken", interface_token) +
                    "<tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4>"
                    "<tt:Enabled>true</tt:Enabled><tt:Manual>" +
                    Element("tt:Address", address) +
                    Element("tt:PrefixLength", std::to_string(prefix_length)) +
                    "</tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>");
}

SoapRequest SetNetworkDefaultGatewayRequest(const std::string& gateway) {
  return Device("SetNetworkDefaultGateway", Element("tds:IPv4Address", gateway));
}

SoapRequest SetUserRequest(const std::string& username, const std::string& password,
                           const std::string& level) {
  return Device("SetUser", "<tds:User>" + Element("tt:Username", username) +
                               Element("tt:Password", password) + Element("tt:UserLevel", level) +
                               "</tds:User>");
}

}  // namespace vdz::onvif
