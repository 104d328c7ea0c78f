// The simulator's ONVIF cameras against clients that are not ours: Debian's onvif-util reads
// a camera's identity and stream address, and a plain HTTP client with its own login
// arithmetic checks each camera's logins and what the settings calls change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "lab/cli_process.h"
#include "lab/onvif_lab_support.h"

namespace vdz::lab {
namespace {

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "admin";

// Lines of onvif-util's output that start with prefix, with the prefix cut.
std::string After(const std::string& out, const std::string& prefix) {
  std::size_t at = 0;
  while (at < out.size()) {
    std::size_t eol = out.find('\n', at);
    if (eol == std::string::npos)
      eol = out.size();
    std::string line = out.substr(at, eol - at);
    line.erase(0, line.find_first_not_of(" \t"));
    if (line.rfind(prefix, 0) == 0)
      return line.substr(prefix.size());
    at = eol + 1;
  }
  return "";
}

TEST(OnvifPeers, OnvifUtilReadsIdentityAndStreamAddress) {
  ASSERT_EQ(RunShell("command -v onvif-util").status, 0)
      << "onvif-util missing: scripts/bootstrap installs onvif-tools";
  const DevsimControl sim = DevsimControl::FromEnvironment();
  auto cam = CameraWith(sim, "none");
  ASSERT_FALSE(cam.empty());
  // onvif-util 1.4.4 probes before it logs in and crashes on a SOAP 1.1 ProbeMatch from any
  // camera on the segment: that camera speaks SOAP 1.2 while this peer runs.
  const auto soap11 = CameraWith(sim, "soap11");
  ASSERT_TRUE(sim.Send("onvif-misbehave " + soap11.at("serial") + " soap11=0"));
  sim.ClearRequestLog();
  // An interactive session: `dump` prints every answer it read, `get rtsp` the stream address.
  const CliRun run = RunShell("(printf 'dump\\nget rtsp\\nquit\\n' | timeout 30 onvif-util -u " +
                              std::string(kUser) + " -p " + kPassword + " " + cam["ip"] + ")");
  sim.Send("onvif-misbehave " + soap11.at("serial") + " soap11");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(After(run.out, "Manufacturer="), cam["maker"]);
  EXPECT_EQ(After(run.out, "Model="), cam["model"]);
  EXPECT_EQ(After(run.out, "FirmwareVersion="), cam["firmware"]);
  EXPECT_EQ(After(run.out, "SerialNumber="), cam["serial"]);
  EXPECT_EQ(After(run.out, "serial: "), cam["serial"]);
  EXPECT_EQ(After(run.out, "rtsp://"), cam["ip"] + ":554/live/0");
  int logged_in = 0;
  for (const DevsimRequest& r : sim.RequestLog()) {
    if ((r.action == "GetDeviceInformation" || r.action == "GetStreamUri") &&
        r.destination == cam["ip"] && r.result == "ok:token")
      ++logged_in;
  }
  EXPECT_GE(logged_in, 2) << "onvif-util logged in with a PasswordDigest token";
}

struct LoginCase {
  const char* camera;  // misbehaviour text of the camera asked
  const char* how;     // token, token-true-clock, token-60s-off, digest-MD5, digest-SHA-256
  const char* password;
  int status;
  const char* logged;  // result in the simulator's request log
};

const LoginCase kLogins[] = {
    {"none", "token", kPassword, 200, "ok:token"},
    {"none", "token-60s-off", kPassword, 401, "not-authorized:created-off-clock"},
    {"none", "token", "not-it", 401, "not-authorized:wrong-password"},
    {"none", "digest-MD5", kPassword, 200, "ok:digest-MD5"},
    {"clock-skew=3600", "token", kPassword, 200, "ok:token"},
    {"clock-skew=3600", "token-true-clock", kPassword, 401, "not-authorized:created-off-clock"},
    {"digest-only", "token", kPassword, 401, "not-authorized:token-refused"},
    {"digest-only", "digest-MD5", kPassword, 200, "ok:digest-MD5"},
    {"digest-only", "digest-SHA-256", kPassword, 200, "ok:digest-SHA-256"},
    {"digest-only", "digest-SHA-256", "not-it", 401, "not-authorized:wrong-password"},
    {"wrong-password", "token", kPassword, 401, "not-authorized:wrong-password"},
    {"wrong-password", "digest-MD5", kPassword, 401, "not-authorized:wrong-password"},
    {"soap11", "token", kPassword, 200, "ok:token"},
};

// GetDeviceInformation with the login a case names; the camera's clock read first, as a
// careful client does.
HttpResult Login(const std::string& ip, const LoginCase& c) {
  const std::string how = c.how;
  const std::string body = "<tds:GetDeviceInformation/>";
  if (how.rfind("token", 0) == 0) {
    int64_t created = NowMs() + CameraClockOffsetMs(ip);
    if (how == "token-true-clock")
      created = NowMs();
    if (how == "token-60s-off")
      created += 60000;
    HttpResult r;
    Soap(ip, body, UsernameToken(kUser, c.password, created), &r);
    return r;
  }
  const std::string algorithm = how.substr(7);
  const HttpResult challenge = Http(ip, "POST", "/onvif/device_service", Envelope(body));
  std::string nonce, realm;
  for (auto [it, end] = challenge.headers.equal_range("www-authenticate"); it != end; ++it) {
    const std::string& v = it->second;
    if (v.find("algorithm=" + algorithm) == std::string::npos)
      continue;
    const auto quoted = [&v](const std::string& key) {
      const std::size_t at = v.find(key + "=\"");
      return at == std::string::npos
                 ? std::string()
                 : v.substr(at + key.size() + 2,
                            v.find('"', at + key.size() + 2) - at - key.size() - 2);
    };
    nonce = quoted("nonce");
    realm = quoted("realm");
  }
  if (nonce.empty())
    return challenge;
  const EVP_MD* md = algorithm == "SHA-256" ? EVP_sha256() : EVP_md5();
  const std::string uri = "/onvif/device_service";
  const std::string ha1 = Hex(Digest(md, std::string(kUser) + ":" + realm + ":" + c.password));
  const std::string ha2 = Hex(Digest(md, "POST:" + uri));
  const std::string response =
      Hex(Digest(md, ha1 + ":" + nonce + ":00000001:0a4f113b:auth:" + ha2));
  return Http(ip, "POST", uri, Envelope(body),
              "Authorization: Digest username=\"" + std::string(kUser) + "\", realm=\"" + realm +
                  "\", nonce=\"" + nonce + "\", uri=\"" + uri + "\", algorithm=" + algorithm +
                  ", qop=auth, nc=00000001, cnonce=\"0a4f113b\", response=\"" + response +
                  "\"\r\n");
}

TEST(OnvifPeers, EachCameraTakesTheLoginsItShouldAndRefusesTheOthers) {
  const DevsimControl sim = DevsimControl::FromEnvironment();
  for (const LoginCase& c : kLogins) {
    SCOPED_TRACE(std::string(c.camera) + " " + c.how + " " + c.password);
    auto cam = CameraWith(sim, c.camera);
    ASSERT_FALSE(cam.empty());
    sim.ClearRequestLog();
    const HttpResult r = Login(cam["ip"], c);
    EXPECT_EQ(r.status, c.status);
    if (c.status == 200) {
      EXPECT_EQ(Element(r.body, "SerialNumber"), cam["serial"]);
    } else {
      EXPECT_NE(r.body.find("NotAuthorized"), std::string::npos) << r.body;
      EXPECT_EQ(r.headers.count("www-authenticate"), 2u);
    }
    const bool soap11 = c.camera == std::string("soap11");
    EXPECT_EQ(r.headers.find("content-type")
                  ->second.rfind(soap11 ? "text/xml" : "application/soap+xml", 0),
              0u);
    EXPECT_NE(r.body.find(soap11 ? "http://schemas.xmlsoap.org/soap/envelope/"
                                 : "http://www.w3.org/2003/05/soap-envelope"),
              std::string::npos);
    std::string logged;
    for (const DevsimRequest& q : sim.RequestLog()) {
      if (q.action == "GetDeviceInformation")
        logged = q.result;
    }
    EXPECT_EQ(logged, c.logged);
  }
}

TEST(OnvifPeers, SkewedCameraReportsItsOwnClock) {
  const DevsimControl sim = DevsimControl::FromEnvironment();
  auto skewed = CameraWith(sim, "clock-skew=3600");
  auto plain = CameraWith(sim, "none");
  EXPECT_NEAR(CameraClockOffsetMs(skewed["ip"]) / 1000.0, 3600, 2);
  EXPECT_NEAR(CameraClockOffsetMs(plain["ip"]) / 1000.0, 0, 2);
  EXPECT_EQ(skewed["clock-offset"], "3600");
}

TEST(OnvifPeers, SettingsCallsChangeTheCamera) {
  const DevsimControl sim = DevsimControl::FromEnvironment();
  auto cam = CameraWith(sim, "none", 1);  // the second plain camera: this test changes it
  ASSERT_FALSE(cam.empty());
  const std::string ip = cam["ip"];
  std::string where = ip;
  // The camera's clock is read before each login: setting its time moves it.
  auto token = [&](const std::string& password) {
    return UsernameToken(kUser, password, NowMs() + CameraClockOffsetMs(where));
  };
  auto state = [&] {
    for (auto& c : OnvifCameras(sim)) {
      if (c["serial"] == cam["serial"])
        return c;
    }
    return std::map<std::string, std::string>{};
  };

  EXPECT_NE(
      Soap(ip,
           "<tds:SetSystemDateAndTime><tds:DateTimeType>Manual</tds:DateTimeType>"
           "<tds:DaylightSavings>false</tds:DaylightSavings><tds:TimeZone><tt:TZ>CET-1"
           "</tt:TZ></tds:TimeZone><tds:UTCDateTime><tt:Date><tt:Year>2030</tt:Year><tt:Month>"
           "1</tt:Month><tt:Day>2</tt:Day></tt:Date><tt:Time><tt:Hour>3</tt:Hour><tt:Minute>4"
           "</tt:Minute><tt:Second>5</tt:Second></tt:Time></tds:UTCDateTime>"
           "</tds:SetSystemDateAndTime>",
           token(kPassword)),
      "");
  EXPECT_EQ(state()["last-time-set"], "2030-01-02T03:04:05Z");
  EXPECT_EQ(state()["tz"], "CET-1");
  EXPECT_NE(Soap(ip,
                 "<tds:SetNTP><tds:FromDHCP>false</tds:FromDHCP><tds:NTPManual><tt:Type>IPv4"
                 "</tt:Type><tt:IPv4Address>192.168.1.1</tt:IPv4Address></tds:NTPManual>"
                 "</tds:SetNTP>",
                 token(kPassword)),
            "");
  EXPECT_EQ(state()["ntp"], "192.168.1.1");

  // The stream and snapshot addresses; the snapshot is a JPEG behind HTTP Digest.
  const std::string media =
      "<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream>"
      "<tt:Transport><tt:Protocol>RTSP</tt:Protocol></tt:Transport>"
      "</trt:StreamSetup><trt:ProfileToken>Profile_2</trt:ProfileToken>"
      "</trt:GetStreamUri>";
  EXPECT_EQ(Element(Soap(ip, media, token(kPassword)), "Uri"), "rtsp://" + ip + ":554/live/1");
  const std::string snapshot_uri =
      Element(Soap(ip,
                   "<trt:GetSnapshotUri><trt:ProfileToken>Profile_1</trt:ProfileToken>"
                   "</trt:GetSnapshotUri>",
                   token(kPassword)),
              "Uri");
  EXPECT_EQ(
      RunShell("curl -s -m 10 -o /dev/null -w '%{http_code} %{content_type}' " + snapshot_uri).out,
      "401 text/plain");
  EXPECT_EQ(
      RunShell("curl -s -m 10 --digest -u admin:" + std::string(kPassword) +
               " -o /dev/null -w '%{http_code} %{content_type} %{size_download}' " + snapshot_uri)
          .out.substr(0, 15),
      "200 image/jpeg ");

  EXPECT_NE(
      Soap(ip,
           "<tds:SetUser><tds:User><tt:Username>admin</tt:Username><tt:Password>n3w-Pass"
           "</tt:Password><tt:UserLevel>Administrator</tt:UserLevel></tds:User></tds:SetUser>",
           token(kPassword)),
      "");
  EXPECT_EQ(Soap(ip, "<tds:GetUsers/>", token(kPassword)), "") << "the old password is gone";
  const std::string users = Soap(ip, "<tds:GetUsers/>", token("n3w-Pass"));
  EXPECT_EQ(Element(users, "Username"), "admin");
  EXPECT_EQ(users.find("n3w-Pass"), std::string::npos) << "no password in GetUsers";

  EXPECT_NE(Soap(ip,
                 "<tds:SetNetworkDefaultGateway><tds:IPv4Address>192.168.1.254</tds:IPv4Address>"
                 "</tds:SetNetworkDefaultGateway>",
                 token("n3w-Pass")),
            "");
  EXPECT_EQ(state()["gateway"], "192.168.1.254");

  const std::string new_ip = "192.168.1.222";
  EXPECT_EQ(Element(Soap(ip,
                         "<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken>"
                         "<tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4><tt:Enabled>"
                         "true</tt:Enabled><tt:Manual><tt:Address>" +
                             new_ip +
                             "</tt:Address><tt:PrefixLength>24</tt:PrefixLength></tt:Manual>"
                             "<tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
                             "</tds:SetNetworkInterfaces>",
                         token("n3w-Pass")),
                    "RebootNeeded"),
            "false");
  where = new_ip;
  std::string moved;
  for (int i = 0; i < 40 && moved.empty(); ++i) {
    usleep(100 * 1000);
    moved = Element(Soap(new_ip, "<tds:GetDeviceInformation/>", token("n3w-Pass")), "SerialNumber");
  }
  EXPECT_EQ(moved, cam["serial"]) << "the camera answers at its new address";
  EXPECT_EQ(state()["ip"], new_ip);
  EXPECT_EQ(Http(ip, "POST", "/onvif/device_service", Envelope("<tds:GetHostname/>"), "", 1).status,
            0)
      << "nothing listens at the old address";

  EXPECT_NE(Soap(new_ip, "<tds:SystemReboot/>", token("n3w-Pass")), "");
  usleep(600 * 1000);
  EXPECT_EQ(state()["reboots"], "1");
  EXPECT_EQ(state()["state"], "rebooting");
}

}  // namespace
}  // namespace vdz::lab
