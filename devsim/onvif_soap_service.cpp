#include "onvif_soap_service.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>

#include "onvif_soap.h"
#include "snapshot_picture.h"

namespace vdz::devsim {

namespace {

using tinyxml2::XMLElement;

// Calls anyone may make before logging in (the ONVIF core's PRE_AUTH class).
const std::set<std::string> kPreAuth = {
    "GetSystemDateAndTime", "GetCapabilities",      "GetServices", "GetServiceCapabilities",
    "GetWsdlUrl",           "GetEndpointReference", "GetHostname"};
const std::set<std::string> kMediaActions = {"GetProfiles",
                                             "GetProfile",
                                             "GetStreamUri",
                                             "GetSnapshotUri",
                                             "GetVideoSources",
                                             "GetVideoEncoderConfiguration",
                                             "GetVideoEncoderConfigurations"};

struct Fault {
  unsigned status;
  std::string code;  // Sender or Receiver
  std::string subcode;
  std::string reason;
};

std::string Tag(const std::string& name, const std::string& value) {
  return "<tt:" + name + ">" + value + "</tt:" + name + ">";
}

std::string Num(int64_t v) {
  return std::to_string(v);
}

std::string DateTimeXml(int64_t unix_ms) {
  const time_t secs = static_cast<time_t>(unix_ms / 1000);
  tm t{};
  gmtime_r(&secs, &t);
  return Tag("Time", Tag("Hour", Num(t.tm_hour)) + Tag("Minute", Num(t.tm_min)) +
                         Tag("Second", Num(t.tm_sec))) +
         Tag("Date", Tag("Year", Num(t.tm_year + 1900)) + Tag("Month", Num(t.tm_mon + 1)) +
                         Tag("Day", Num(t.tm_mday)));
}

int PrefixLength(uint32_t mask) {
  int n = 0;
  for (; n < 32 && (mask & (0x80000000u >> n)); ++n) {
  }
  return n;
}

bool ReadInt(const XMLElement* e, int lo, int hi, int* out) {
  const std::string t = Text(e);
  long long v = 0;
  if (!ParseInt(t, lo, hi, &v))
    return false;
  *out = static_cast<int>(v);
  return true;
}

std::string BaseUrl(const OnvifCamera& c) {
  // Addresses name their port even where it is the default, as many cameras' do.
  return "http://" + c.Ip() + ":" + std::to_string(c.http_port);
}

std::string Profile(const OnvifCamera& c, int n) {
  const int w = n == 0 ? c.main_width : c.sub_width;
  const int h = n == 0 ? c.main_height : c.sub_height;
  const std::string i = std::to_string(n + 1);
  return "<trt:Profiles token=\"Profile_" + i + "\" fixed=\"true\"><tt:Name>" +
         (n == 0 ? "mainStream" : "subStream") +
         "</tt:Name><tt:VideoSourceConfiguration token=\"VideoSourceConfig_1\">" +
         Tag("Name", "VideoSourceConfig") + Tag("UseCount", "2") +
         Tag("SourceToken", "VideoSource_1") + "<tt:Bounds x=\"0\" y=\"0\" width=\"" +
         Num(c.main_width) + "\" height=\"" + Num(c.main_height) +
         "\"/></tt:VideoSourceConfiguration>" +
         "<tt:VideoEncoderConfiguration token=\"VideoEncoder_" + i + "\">" +
         Tag("Name", "VideoEncoder_" + i) + Tag("UseCount", "1") + Tag("Encoding", "H264") +
         Tag("Resolution", Tag("Width", Num(w)) + Tag("Height", Num(h))) + Tag("Quality", "5") +
         Tag("RateControl", Tag("FrameRateLimit", "25") + Tag("EncodingInterval", "1") +
                                Tag("BitrateLimit", Num(std::max(512, w * h / 500)))) +
         Tag("H264", Tag("GovLength", "50") + Tag("H264Profile", "Baseline")) +
         Tag("Multicast", Tag("Address", Tag("Type", "IPv4") + Tag("IPv4Address", "0.0.0.0")) +
                              Tag("Port", "0") + Tag("TTL", "1") + Tag("AutoStart", "false")) +
         Tag("SessionTimeout", "PT60S") + "</tt:VideoEncoderConfiguration></trt:Profiles>";
}

// Profile_1 or Profile_2 to 0 or 1, else -1.
int ProfileIndex(const std::string& token) {
  if (token == "Profile_1")
    return 0;
  if (token == "Profile_2")
    return 1;
  return -1;
}

class Request {
 public:
  Request(OnvifCamera& camera, const XMLElement* body, int64_t wall_ms, SoapCall* call)
      : c_(camera), body_(body), wall_ms_(wall_ms), call_(call) {}

  // The response's inner XML, or a fault.
  std::string Answer(const std::string& action, std::optional<Fault>* fault) {
    const std::string tds = "tds:" + action + "Response";
    auto wrap = [&](const std::string& inner) {
      const std::string name =
          (kMediaActions.count(action) ? "trt:" : "tds:") + action + "Response";
      return "<" + name + ">" + inner + "</" + name + ">";
    };
    if (action == "GetSystemDateAndTime") {
      const int64_t now = c_.ClockMs(wall_ms_);
      return wrap("<tds:SystemDateAndTime>" + Tag("DateTimeType", c_.time_mode) +
                  Tag("DaylightSavings", "false") + Tag("TimeZone", Tag("TZ", c_.time_zone)) +
                  Tag("UTCDateTime", DateTimeXml(now)) + Tag("LocalDateTime", DateTimeXml(now)) +
                  "</tds:SystemDateAndTime>");
    }
    if (action == "GetDeviceInformation") {
      return wrap("<tds:Manufacturer>" + XmlEscape(c_.maker) + "</tds:Manufacturer><tds:Model>" +
                  XmlEscape(c_.model) + "</tds:Model><tds:FirmwareVersion>" +
                  XmlEscape(c_.firmware) + "</tds:FirmwareVersion><tds:SerialNumber>" +
                  XmlEscape(c_.serial) + "</tds:SerialNumber><tds:HardwareId>" +
                  XmlEscape(c_.hardware_id) + "</tds:HardwareId>");
    }
    if (action == "GetHostname") {
      return wrap("<tds:HostnameInformation>" + Tag("FromDHCP", "false") +
                  Tag("Name", XmlEscape(c_.serial)) + "</tds:HostnameInformation>");
    }
    if (action == "GetNetworkInterfaces") {
      const std::string manual = Tag(
          "Manual", Tag("Address", c_.Ip()) + Tag("PrefixLength", Num(PrefixLength(c_.net.mask))));
      const std::string config =
          c_.net.dhcp
              ? manual +
                    Tag("FromDHCP", Tag("Address", c_.Ip()) +
                                        Tag("PrefixLength", Num(PrefixLength(c_.net.mask)))) +
                    Tag("DHCP", "true")
              : manual + Tag("DHCP", "false");
      return wrap("<tds:NetworkInterfaces token=\"eth0\">" + Tag("Enabled", "true") +
                  Tag("Info", Tag("Name", "eth0") + Tag("HwAddress", XmlEscape(c_.mac)) +
                                  Tag("MTU", "1500")) +
                  Tag("IPv4", Tag("Enabled", "true") + Tag("Config", config)) +
                  "</tds:NetworkInterfaces>");
    }
    if (action == "GetNetworkDefaultGateway") {
      return wrap("<tds:NetworkGateway>" + Tag("IPv4Address", Ipv4Text(c_.net.gateway)) +
                  "</tds:NetworkGateway>");
    }
    if (action == "GetCapabilities") {
      const std::string category = Text(Child(body_, "Category"));
      const bool all = category.empty() || category == "All";
      std::string caps;
      if (all || category == "Device") {
        caps += Tag(
            "Device",
            Tag("XAddr", BaseUrl(c_) + "/onvif/device_service") +
                Tag("Network", Tag("IPFilter", "false") + Tag("ZeroConfiguration", "false") +
                                   Tag("IPVersion6", "false") + Tag("DynDNS", "false")) +
                Tag("System", Tag("DiscoveryResolve", "false") + Tag("DiscoveryBye", "false") +
                                  Tag("RemoteDiscovery", "false") + Tag("SystemBackup", "false") +
                                  Tag("SystemLogging", "false") + Tag("FirmwareUpgrade", "false")) +
                Tag("Security", Tag("TLS1.1", "false") + Tag("TLS1.2", "false") +
                                    Tag("OnboardKeyGeneration", "false") +
                                    Tag("AccessPolicyConfig", "false") +
                                    Tag("X.509Token", "false") + Tag("SAMLToken", "false") +
                                    Tag("KerberosToken", "false") + Tag("RELToken", "false")));
      }
      if (all || category == "Media") {
        caps += Tag("Media", Tag("XAddr", BaseUrl(c_) + "/onvif/media_service") +
                                 Tag("StreamingCapabilities", Tag("RTPMulticast", "false") +
                                                                  Tag("RTP_TCP", "true") +
                                                                  Tag("RTP_RTSP_TCP", "true")));
      }
      if (caps.empty()) {
        *fault = Fault{400, "Receiver", "NoSuchService", "no such capability category"};
        return {};
      }
      return wrap("<tds:Capabilities>" + caps + "</tds:Capabilities>");
    }
    if (action == "GetServices") {
      auto service = [&](const char* ns, const char* path) {
        return std::string("<tds:Service><tds:Namespace>") + ns + "</tds:Namespace><tds:XAddr>" +
               BaseUrl(c_) + path + "</tds:XAddr><tds:Version>" + Tag("Major", "2") +
               Tag("Minor", "60") + "</tds:Version></tds:Service>";
      };
      return wrap(service("http://www.onvif.org/ver10/device/wsdl", "/onvif/device_service") +
                  service("http://www.onvif.org/ver10/media/wsdl", "/onvif/media_service"));
    }
    if (action == "GetScopes") {
      return wrap("<tds:Scopes>" + Tag("ScopeDef", "Fixed") +
                  Tag("ScopeItem", "onvif://www.onvif.org/Profile/Streaming") + "</tds:Scopes>");
    }
    if (action == "GetProfiles")
      return wrap(Profile(c_, 0) + Profile(c_, 1));
    if (action == "GetVideoSources") {
      return wrap(
          "<trt:VideoSources token=\"VideoSource_1\">" + Tag("Framerate", "25") +
          Tag("Resolution", Tag("Width", Num(c_.main_width)) + Tag("Height", Num(c_.main_height))) +
          "</trt:VideoSources>");
    }
    if (action == "GetProfile" || action == "GetStreamUri" || action == "GetSnapshotUri") {
      const int n = ProfileIndex(Text(Child(body_, "ProfileToken")));
      if (n < 0) {
        *fault = Fault{400, "Sender", "NoProfile", "no such profile"};
        return {};
      }
      if (action == "GetProfile") {
        std::string p = Profile(c_, n);
        p.replace(1, 12, "trt:Profile");  // the single-profile answer names its element Profile
        p.replace(p.size() - 13, 13, "trt:Profile>");
        return wrap(p);
      }
      const std::string uri =
          action == "GetStreamUri"
              ? "rtsp://" + c_.Ip() + ":" + Num(c_.rtsp_port) + "/live/" + Num(n)
              : BaseUrl(c_) + "/onvif/snapshot/" + Num(n) + ".jpg";
      return wrap("<trt:MediaUri>" + Tag("Uri", XmlEscape(uri)) +
                  Tag("InvalidAfterConnect", "false") + Tag("InvalidAfterReboot", "false") +
                  Tag("Timeout", "PT0S") + "</trt:MediaUri>");
    }
    if (action == "SystemReboot") {
      call_->reboot = true;
      return wrap("<tds:Message>Rebooting in 1 second</tds:Message>");
    }
    if (action == "SetSystemDateAndTime")
      return SetDateTime(wrap, fault);
    if (action == "GetNTP") {
      std::string manual;
      std::size_t start = 0;
      while (c_.ntp != "-" && c_.ntp != "dhcp" && start <= c_.ntp.size()) {
        const std::size_t comma = std::min(c_.ntp.find(',', start), c_.ntp.size());
        const std::string server = c_.ntp.substr(start, comma - start);
        uint32_t ip = 0;
        manual += ParseIpv4(server, &ip)
                      ? Tag("NTPManual", Tag("Type", "IPv4") + Tag("IPv4Address", server))
                      : Tag("NTPManual", Tag("Type", "DNS") + Tag("DNSname", XmlEscape(server)));
        start = comma + 1;
      }
      return wrap("<tds:NTPInformation>" + Tag("FromDHCP", c_.ntp == "dhcp" ? "true" : "false") +
                  manual + "</tds:NTPInformation>");
    }
    if (action == "GetDNS") {
      return wrap(
          "<tds:DNSInformation>" + Tag("FromDHCP", "false") +
          Tag("DNSManual", Tag("Type", "IPv4") + Tag("IPv4Address", Ipv4Text(c_.net.dns1))) +
          "</tds:DNSInformation>");
    }
    if (action == "SetNTP") {
      std::string servers;
      for (const XMLElement* m : Children(body_, "NTPManual")) {
        for (const char* field : {"IPv4Address", "DNSname", "IPv6Address"}) {
          const std::string v = Text(Child(m, field));
          if (!v.empty())
            servers += (servers.empty() ? "" : ",") + v;
        }
      }
      const bool dhcp = Text(Child(body_, "FromDHCP")) == "true";
      if (!dhcp && servers.empty()) {
        *fault = Fault{400, "Sender", "InvalidArgVal", "no NTP server"};
        return {};
      }
      c_.ntp = dhcp ? "dhcp" : servers;
      return wrap("");
    }
    if (action == "SetNetworkInterfaces")
      return SetNetwork(wrap, fault);
    if (action == "SetNetworkDefaultGateway") {
      uint32_t gw = 0;
      const std::string v = Text(Child(body_, "IPv4Address"));
      if (!ParseIpv4(v, &gw)) {
        *fault = Fault{400, "Sender", "InvalidGatewayAddress", "bad gateway address"};
        return {};
      }
      c_.net.gateway = gw;
      return wrap("");
    }
    if (action == "GetUsers") {
      std::string users;
      for (const OnvifUser& u : c_.users) {
        users += "<tds:User>" + Tag("Username", XmlEscape(u.name)) +
                 Tag("UserLevel", XmlEscape(u.level)) + "</tds:User>";
      }
      return wrap(users);
    }
    if (action == "SetUser") {
      std::vector<std::pair<std::size_t, const XMLElement*>> changes;
      for (const XMLElement* u : Children(body_, "User")) {
        const std::string name = Text(Child(u, "Username"));
        std::size_t i = 0;
        while (i < c_.users.size() && c_.users[i].name != name)
          ++i;
        if (i == c_.users.size()) {
          *fault = Fault{400, "Sender", "UsernameMissing", "no such user"};
          return {};
        }
        if (Text(Child(u, "Password")).empty()) {
          *fault = Fault{400, "Sender", "PasswordTooWeak", "empty password"};
          return {};
        }
        changes.emplace_back(i, u);
      }
      if (changes.empty()) {
        *fault = Fault{400, "Sender", "InvalidArgVal", "no user"};
        return {};
      }
      for (const auto& [i, u] : changes) {
        c_.users[i].password = Text(Child(u, "Password"));
        const std::string level = Text(Child(u, "UserLevel"));
        if (level == "Administrator" || level == "Operator" || level == "User")
          c_.users[i].level = level;
        // Once set, the account holds exactly what was given.
        if (i == 0)
          c_.misbehave.wrong_password = false;
      }
      return wrap("");
    }
    *fault = Fault{400, "Receiver", "ActionNotSupported", "not supported by this camera"};
    return {};
  }

 private:
  template <typename Wrap>
  std::string SetDateTime(Wrap wrap, std::optional<Fault>* fault) {
    const std::string type = Text(Child(body_, "DateTimeType"));
    if (type != "Manual" && type != "NTP") {
      *fault = Fault{400, "Sender", "InvalidArgVal", "DateTimeType is Manual or NTP"};
      return {};
    }
    const std::string tz = Text(Path(body_, {"TimeZone", "TZ"}));
    if (const XMLElement* utc = Child(body_, "UTCDateTime"); utc && type == "Manual") {
      const XMLElement* t = Child(utc, "Time");
      const XMLElement* d = Child(utc, "Date");
      int y = 0, mo = 0, day = 0, h = 0, mi = 0, s = 0;
      if (!ReadInt(Child(d, "Year"), 1970, 2100, &y) || !ReadInt(Child(d, "Month"), 1, 12, &mo) ||
          !ReadInt(Child(d, "Day"), 1, 31, &day) || !ReadInt(Child(t, "Hour"), 0, 23, &h) ||
          !ReadInt(Child(t, "Minute"), 0, 59, &mi) || !ReadInt(Child(t, "Second"), 0, 60, &s)) {
        *fault = Fault{400, "Sender", "InvalidDateTime", "bad date or time"};
        return {};
      }
      tm parts{};
      parts.tm_year = y - 1900;
      parts.tm_mon = mo - 1;
      parts.tm_mday = day;
      parts.tm_hour = h;
      parts.tm_min = mi;
      parts.tm_sec = s;
      const int64_t set_ms = static_cast<int64_t>(timegm(&parts)) * 1000;
      c_.clock_adjust_ms = set_ms - (wall_ms_ + c_.misbehave.clock_skew_s * 1000);
      c_.last_time_set = XsDateTime(set_ms);
    } else if (type == "Manual") {
      *fault = Fault{400, "Sender", "InvalidDateTime", "Manual needs UTCDateTime"};
      return {};
    }
    c_.time_mode = type;
    if (!tz.empty())
      c_.time_zone = tz.substr(0, 64);
    return wrap("");
  }

  template <typename Wrap>
  std::string SetNetwork(Wrap wrap, std::optional<Fault>* fault) {
    const XMLElement* ipv4 = Path(body_, {"NetworkInterface", "IPv4"});
    if (Text(Child(body_, "InterfaceToken")) != "eth0") {
      *fault = Fault{400, "Sender", "InvalidNetworkInterface", "no such interface"};
      return {};
    }
    NetSettings to = c_.net;
    if (Text(Child(ipv4, "DHCP")) == "true") {
      // No DHCP server in the lab: the camera keeps the lease it has.
      to.dhcp = true;
    } else if (const XMLElement* manual = Child(ipv4, "Manual")) {
      int prefix = 0;
      uint32_t ip = 0;
      if (!ParseIpv4(Text(Child(manual, "Address")), &ip) ||
          !ReadInt(Child(manual, "PrefixLength"), 1, 32, &prefix) ||
          !UsableDeviceAddress(ip, prefix == 32 ? 0xffffffffu : ~(0xffffffffu >> prefix))) {
        *fault = Fault{400, "Sender", "InvalidIPv4Address", "bad IPv4 address"};
        return {};
      }
      to.ip = ip;
      to.mask = prefix == 32 ? 0xffffffffu : ~(0xffffffffu >> prefix);
      to.dhcp = false;
    } else {
      *fault = Fault{400, "Sender", "InvalidArgVal", "no IPv4 settings"};
      return {};
    }
    call_->move_to = to;
    return wrap("<tds:RebootNeeded>false</tds:RebootNeeded>");
  }

  OnvifCamera& c_;
  const XMLElement* body_;
  int64_t wall_ms_;
  SoapCall* call_;
};

// MD5 or SHA-256 as the Authorization header names it (MD5 when it names none).
std::string DigestAlgorithm(const std::string& authorization) {
  return authorization.find("SHA-256") != std::string::npos ? "SHA-256" : "MD5";
}

HttpReply SoapReply(bool soap11, unsigned status, const std::string& body) {
  HttpReply r;
  r.status = status;
  r.content_type = soap11 ? kSoap11Type : kSoap12Type;
  r.body = SoapEnvelope(soap11, "", body);
  return r;
}

}  // namespace

HttpReply OnvifSoapService::Handle(const HttpRequest& request, OnvifCamera& camera, int64_t wall_ms,
                                   SoapCall* call) {
  auto unauthorized = [&](bool soap11, const std::string& why) {
    call->result = "not-authorized:" + why;
    HttpReply r = SoapReply(soap11, 401,
                            SoapFault(soap11, "Sender", "NotAuthorized", "Sender not Authorized"));
    for (const std::string& challenge : digest_.Challenges())
      r.headers.emplace_back("WWW-Authenticate", challenge);
    return r;
  };
  if (request.method == "GET" && (request.url == "/" || request.url == "/index.html")) {
    // The camera's own web page, open as a login page is, so a browser shows something.
    call->action = "GET " + request.url;
    call->result = "ok";
    const std::string title = XmlEscape(camera.maker + " " + camera.model);
    return {200,
            "text/html; charset=utf-8",
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                "</title></head><body><h1>" + title + "</h1><p>Serial " + XmlEscape(camera.serial) +
                ", firmware " + XmlEscape(camera.firmware) + "</p></body></html>\n",
            {}};
  }
  if (request.method == "GET") {
    call->action = "GET " + request.url;
    int n = -1;
    char tail = 0;
    if (std::sscanf(request.url.c_str(), "/onvif/snapshot/%d.jp%c", &n, &tail) != 2 || n < 0 ||
        n > 1) {
      call->result = "not-found";
      return {404, "text/plain", "not found\n", {}};
    }
    std::string user, why;
    if (digest_.Check(request.authorization, "GET", camera, &user, &why) != AuthOutcome::kOk) {
      HttpReply r = unauthorized(false, why.empty() ? "no-login" : why);
      r.content_type = "text/plain";
      r.body = "401 Unauthorized\n";
      return r;
    }
    const time_t secs = static_cast<time_t>(camera.ClockMs(wall_ms) / 1000);
    tm t{};
    gmtime_r(&secs, &t);
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    call->result = "ok:digest-" + DigestAlgorithm(request.authorization);
    return {200, "image/jpeg", SnapshotJpeg(camera.Ip(), clock), {}};
  }
  if (request.method != "POST") {
    call->action = request.method;
    call->result = "bad-method";
    return {405, "text/plain", "method not allowed\n", {{"Allow", "GET, POST"}}};
  }
  tinyxml2::XMLDocument doc;
  const XMLElement* envelope = nullptr;
  if (!request.body_too_large &&
      doc.Parse(request.body.data(), request.body.size()) == tinyxml2::XML_SUCCESS)
    envelope = doc.RootElement();
  const XMLElement* body = Child(envelope, "Body");
  const XMLElement* action_el = body ? body->FirstChildElement() : nullptr;
  bool soap11 = camera.misbehave.soap11;
  if (envelope) {
    const std::string_view root(envelope->Name());
    const std::size_t colon = root.find(':');
    soap11 = soap11 || NamespaceOf(envelope, colon == std::string_view::npos
                                                 ? std::string_view()
                                                 : root.substr(0, colon)) == kSoap11Ns;
  }
  if (!envelope || LocalName(envelope->Name()) != "Envelope" || !action_el) {
    call->action = "-";
    // HTTP Digest clients send their first request without a body, to learn the challenge.
    if (request.authorization.empty())
      return unauthorized(soap11, "no-login");
    call->result = "fault:not-soap";
    return SoapReply(soap11, 400, SoapFault(soap11, "Sender", "WellFormed", "not a SOAP envelope"));
  }
  call->action = std::string(LocalName(action_el->Name()));
  std::string login;  // how the caller logged in, for the request log
  if (!kPreAuth.count(call->action)) {
    std::string user, why;
    const XMLElement* security = Path(envelope, {"Header", "Security"});
    AuthOutcome outcome = AuthOutcome::kMissing;
    if (Child(security, "UsernameToken")) {
      if (camera.misbehave.digest_only)
        return unauthorized(soap11, "token-refused");
      outcome = CheckUsernameToken(security, camera, camera.ClockMs(wall_ms), &user, &why);
    }
    if (outcome == AuthOutcome::kMissing && !request.authorization.empty())
      outcome = digest_.Check(request.authorization, "POST", camera, &user, &why);
    if (outcome != AuthOutcome::kOk)
      return unauthorized(soap11, outcome == AuthOutcome::kMissing ? "no-login" : why);
    login = Child(security, "UsernameToken") ? ":token"
                                             : ":digest-" + DigestAlgorithm(request.authorization);
  }
  std::optional<Fault> fault;
  Request r(camera, action_el, wall_ms, call);
  const std::string answer = r.Answer(call->action, &fault);
  if (fault) {
    call->result = "fault:" + fault->subcode;
    call->reboot = false;
    call->move_to.reset();
    return SoapReply(soap11, fault->code == "Sender" ? 400 : 500,
                     SoapFault(soap11, fault->code, fault->subcode, fault->reason));
  }
  call->result = "ok" + login;
  return SoapReply(soap11, 200, answer);
}

}  // namespace vdz::devsim
