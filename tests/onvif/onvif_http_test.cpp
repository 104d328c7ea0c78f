// The client against an in-test camera on the loopback address that refuses the
// WS-UsernameToken and demands HTTP Digest, as some cameras do.
#include "onvif/onvif_http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <microhttpd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <string>

#include "onvif/crypto_text.h"
#include "onvif/onvif_device_client.h"
#include "onvif/soap_envelope.h"
#include "onvif/xml_local.h"
#include "support/log_capture.h"

namespace vdz::onvif {
namespace {

constexpr char kRealm[] = "camera";
constexpr char kUser[] = "admin";
constexpr char kPassword[] = "Right-Pass#1";
constexpr char kSnapshot[] = "\xFF\xD8\xFF\xE0 not really a JPEG";
constexpr int kCameraAhead = 3600;  // the camera's clock runs an hour ahead

std::string Envelope(const std::string& body, bool soap11 = false) {
  return std::string(R"(<?xml version="1.0"?><s:Envelope xmlns:s=")") +
         (soap11 ? kSoap11Namespace : kSoap12Namespace) +
         R"(" xmlns:tds="http://www.onvif.org/ver10/device/wsdl" xmlns:tt="http://www.onvif.org/ver10/schema" xmlns:ter="http://www.onvif.org/ver10/error"><s:Body>)" +
         body + "</s:Body></s:Envelope>";
}

std::string DateTimeReply(bool soap11) {
  const std::time_t now = std::time(nullptr) + kCameraAhead;
  std::tm p{};
  gmtime_r(&now, &p);
  return Envelope(
      "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Date><tt:"
      "Year>" +
          std::to_string(p.tm_year + 1900) + "</tt:Year><tt:Month>" + std::to_string(p.tm_mon + 1) +
          "</tt:Month><tt:Day>" + std::to_string(p.tm_mday) +
          "</tt:Day></tt:Date><tt:Time><tt:Hour>" + std::to_string(p.tm_hour) +
          "</tt:Hour><tt:Minute>" + std::to_string(p.tm_min) + "</tt:Minute><tt:Second>" +
          std::to_string(p.tm_sec) +
          "</tt:Second></tt:Time></tt:UTCDateTime></tds:SystemDateAndTime></"
          "tds:GetSystemDateAndTimeResponse>",
      soap11);
}

// The in-test camera; by default it ignores the token and demands HTTP Digest.
class DigestCamera {
 public:
  // soap11_only: refuses SOAP 1.2 requests with a VersionMismatch fault, as older cameras do.
  // token_only: takes the WS-UsernameToken only, and no HTTP Digest.
  explicit DigestCamera(MHD_DigestAuthAlgorithm algorithm, bool soap11_only = false,
                        bool token_only = false)
      : algorithm_(algorithm), soap11_only_(soap11_only), token_only_(token_only) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    static char random[32] = "fixed seed for the test camera";
    daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr, &Handle, this,
                               MHD_OPTION_SOCK_ADDR, &local, MHD_OPTION_DIGEST_AUTH_RANDOM,
                               sizeof random, random, MHD_OPTION_NONCE_NC_SIZE, 300,
                               MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr, MHD_OPTION_END);
    if (daemon_ != nullptr)
      port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
  }
  ~DigestCamera() {
    if (daemon_ != nullptr)
      MHD_stop_daemon(daemon_);
  }
  bool running() const { return daemon_ != nullptr; }
  std::string Url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int token_requests() const { return token_requests_; }

 private:
  static MHD_Result Reply(MHD_Connection* connection, unsigned status, const std::string& body,
                          const char* type) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, "Content-Type", type);
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
  }

  static void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
    delete static_cast<std::string*>(*state);
    *state = nullptr;
  }

  static MHD_Result Handle(void* self_pointer, MHD_Connection* connection, const char* url,
                           const char* method, const char*, const char* upload, size_t* upload_size,
                           void** state) {
    auto* self = static_cast<DigestCamera*>(self_pointer);
    if (*state == nullptr) {
      *state = new std::string;
      return MHD_YES;
    }
    auto* body = static_cast<std::string*>(*state);
    if (*upload_size != 0) {
      body->append(upload, *upload_size);
      *upload_size = 0;
      return MHD_YES;
    }
    const bool post = std::strcmp(method, "POST") == 0;
    const char* type = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Type");
    const bool soap11 = self->soap11_only_;
    if (post && soap11 && type != nullptr && std::strncmp(type, "application/soap+xml", 20) == 0) {
      return Reply(connection, 500,
                   Envelope("<s:Fault><faultcode>s:VersionMismatch</faultcode><faultstring>SOAP "
                            "1.1 only</faultstring></s:Fault>",
                            true),
                   "text/xml");
    }
    if (post && body->find("GetSystemDateAndTime") != std::string::npos)
      return Reply(connection, 200, DateTimeReply(soap11), "application/soap+xml");
    if (body->find("UsernameToken") != std::string::npos)
      self->token_requests_ += 1;
    if (self->token_only_) {
      if (!TokenValid(*body)) {
        return Reply(connection, 400,
                     Envelope("<s:Fault><s:Code><s:Value>s:Sender</s:Value><s:Subcode><s:Value>"
                              "ter:NotAuthorized</s:Value></s:Subcode></s:Code><s:Reason><s:Text>"
                              "Sender not Authorized</s:Text></s:Reason></s:Fault>"),
                     "application/soap+xml");
      }
      return Answer(connection, *body, false);
    }
    char* user = MHD_digest_auth_get_username(connection);
    const bool known = user != nullptr && std::strcmp(user, kUser) == 0;
    if (user != nullptr)
      MHD_free(user);
    const int check =
        known ? MHD_digest_auth_check2(connection, kRealm, kUser, kPassword, 300, self->algorithm_)
              : MHD_NO;
    if (check != MHD_YES) {
      MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
      const MHD_Result result = MHD_queue_auth_fail_response2(
          connection, kRealm, "opaque", response, check == MHD_INVALID_NONCE ? MHD_YES : MHD_NO,
          self->algorithm_);
      MHD_destroy_response(response);
      return result;
    }
    if (!post && std::strcmp(url, "/snap.jpg") == 0)
      return Reply(connection, 200, std::string(kSnapshot, sizeof kSnapshot - 1), "image/jpeg");
    return Answer(connection, *body, soap11);
  }

  // The token a camera with its clock kAhead takes: the profile's digest of our password, and
  // Created within a few seconds of the camera's own clock.
  static bool TokenValid(const std::string& body) {
    tinyxml2::XMLDocument document;
    if (!ParseXml(&document, body))
      return false;
    const tinyxml2::XMLElement* token =
        Path(document.RootElement(), {"Header", "Security", "UsernameToken"});
    const std::string created = Text(Child(token, "Created"));
    const std::string nonce = Base64Decode(Text(Child(token, "Nonce")));
    const std::int64_t camera_now = static_cast<std::int64_t>(std::time(nullptr)) + kCameraAhead;
    bool near = false;
    for (std::int64_t skew = -5; skew <= 5 && !near; ++skew)
      near = created == UtcText(camera_now + skew);
    return near && Text(Child(token, "Username")) == kUser &&
           Text(Child(token, "Password")) == PasswordDigest(nonce, created, kPassword);
  }

  static MHD_Result Answer(MHD_Connection* connection, const std::string& body, bool soap11) {
    if (body.find("SystemReboot") != std::string::npos) {
      return Reply(connection, 200,
                   Envelope("<tds:SystemRebootResponse><tds:Message>Rebooting</tds:Message>"
                            "</tds:SystemRebootResponse>",
                            soap11),
                   "application/soap+xml");
    }
    if (body.find("GetDeviceInformation") != std::string::npos) {
      return Reply(connection, 200,
                   Envelope("<tds:GetDeviceInformationResponse><tds:Manufacturer>Acme</"
                            "tds:Manufacturer><tds:Model>DZ-1</tds:Model><tds:FirmwareVersion>2.0</"
                            "tds:FirmwareVersion><tds:SerialNumber>S-77</"
                            "tds:SerialNumber><tds:HardwareId>H1</tds:HardwareId></"
                            "tds:GetDeviceInformationResponse>",
                            soap11),
                   "application/soap+xml");
    }
    return Reply(connection, 500,
                 Envelope("<s:Fault><s:Code><s:Value>s:Receiver</s:Value><s:Subcode><s:Value>ter:"
                          "ActionNotSupported</s:Value></s:Subcode></s:Code><s:Reason><s:Text>not "
                          "here</s:Text></s:Reason></s:Fault>"),
                 "application/soap+xml");
  }

  MHD_DigestAuthAlgorithm algorithm_;
  bool soap11_only_;
  bool token_only_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  std::atomic<int> token_requests_{0};
};

class DigestOnly : public ::testing::TestWithParam<MHD_DigestAuthAlgorithm> {
 protected:
  void SetUp() override { ASSERT_TRUE(camera_.running()); }
  DigestCamera camera_{GetParam()};
  HttpOptions options_;
};

TEST_P(DigestOnly, IdentityFallsBackFromTheTokenToHttpDigest) {
  OnvifDeviceClient client(camera_.Url("/onvif/device_service"), options_);
  const OnvifIdentity id = client.ReadIdentity({{"guest", "nope"}, {kUser, kPassword}});
  EXPECT_FALSE(id.login_failed) << id.login_error;
  EXPECT_TRUE(id.http_digest);
  EXPECT_EQ(id.user, kUser);
  EXPECT_EQ(id.manufacturer, "Acme");
  EXPECT_EQ(id.model, "DZ-1");
  EXPECT_EQ(id.firmware, "2.0");
  EXPECT_EQ(id.serial, "S-77");
  EXPECT_TRUE(id.clock_known);
  EXPECT_NEAR(static_cast<double>(id.clock_offset), kCameraAhead, 2.0);
  // The token went first, for each account; Digest came only after the refusal.
  EXPECT_GE(camera_.token_requests(), 2);
}

TEST_P(DigestOnly, WrongPasswordIsALoginFailureAndNeverLogged) {
  test::LogCapture log;
  OnvifDeviceClient client(camera_.Url("/onvif/device_service"), options_);
  const OnvifIdentity id = client.ReadIdentity({{kUser, "Wrong-Pass#9"}});
  EXPECT_TRUE(id.reachable);
  EXPECT_TRUE(id.login_failed);
  EXPECT_NE(id.login_error.find("login refused"), std::string::npos) << id.login_error;
  EXPECT_TRUE(id.manufacturer.empty());
  for (const std::string& line : log.Lines())
    EXPECT_EQ(line.find("Wrong-Pass"), std::string::npos) << line;
}

TEST_P(DigestOnly, SnapshotNeedsTheDigestLogin) {
  const HttpReply reply = FetchSnapshot(camera_.Url("/snap.jpg"), {kUser, kPassword}, options_);
  ASSERT_TRUE(reply.ok()) << reply.status << " " << reply.error;
  EXPECT_EQ(reply.body, std::string(kSnapshot, sizeof kSnapshot - 1));
  EXPECT_EQ(reply.content_type, "image/jpeg");
  EXPECT_EQ(FetchSnapshot(camera_.Url("/snap.jpg"), {}, options_).status, 401);
}

INSTANTIATE_TEST_SUITE_P(Algorithms, DigestOnly,
                         ::testing::Values(MHD_DIGEST_ALG_MD5, MHD_DIGEST_ALG_SHA256),
                         [](const auto& p) {
                           return p.param == MHD_DIGEST_ALG_MD5 ? "Md5" : "Sha256";
                         });

TEST(OnvifHttp, TokenStampedOnTheCameraClockLogsIn) {
  DigestCamera camera(MHD_DIGEST_ALG_MD5, false, true);
  ASSERT_TRUE(camera.running());
  OnvifDeviceClient client(camera.Url("/onvif/device_service"), HttpOptions{});
  const OnvifIdentity id = client.ReadIdentity({{kUser, "wrong"}, {kUser, kPassword}});
  EXPECT_FALSE(id.login_failed) << id.login_error;
  EXPECT_FALSE(id.http_digest);
  EXPECT_EQ(id.manufacturer, "Acme");
  EXPECT_NEAR(static_cast<double>(id.clock_offset), kCameraAhead, 2.0);
}

TEST(OnvifHttp, OperationsGiveAPlainResultAndNeverLogPasswords) {
  test::LogCapture log;
  DigestCamera camera(MHD_DIGEST_ALG_MD5, false, true);
  ASSERT_TRUE(camera.running());
  OnvifDeviceClient client(camera.Url("/onvif/device_service"), HttpOptions{});
  client.UseAccount({kUser, kPassword});
  EXPECT_TRUE(client.SystemReboot().ok);
  const OnvifResult refused = client.SetUser("viewer", "New-Secret#3");
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("ActionNotSupported"), std::string::npos) << refused.error;
  client.UseAccount({kUser, "Wrong-Pass#9"});
  const OnvifResult denied = client.SystemReboot();
  EXPECT_FALSE(denied.ok);
  EXPECT_EQ(denied.error.rfind("login refused", 0), 0u) << denied.error;
  EXPECT_FALSE(log.Lines().empty());  // the failures were logged, without the passwords
  for (const std::string& line : log.Lines()) {
    EXPECT_EQ(line.find("New-Secret"), std::string::npos) << line;
    EXPECT_EQ(line.find("Wrong-Pass"), std::string::npos) << line;
    EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
  }
}

TEST(OnvifHttp, FallsBackToSoap11ForACameraThatSpeaksOnlyThat) {
  DigestCamera camera(MHD_DIGEST_ALG_MD5, true);
  ASSERT_TRUE(camera.running());
  OnvifDeviceClient client(camera.Url("/onvif/device_service"), HttpOptions{});
  const OnvifIdentity id = client.ReadIdentity({{kUser, kPassword}});
  EXPECT_EQ(client.version(), SoapVersion::k11);
  EXPECT_TRUE(id.clock_known);
  EXPECT_EQ(id.manufacturer, "Acme");
}

TEST(OnvifHttp, ARequestedStopCancelsTheTransfer) {
  DigestCamera camera(MHD_DIGEST_ALG_MD5);
  ASSERT_TRUE(camera.running());
  std::stop_source stop;
  stop.request_stop();
  HttpOptions options;
  options.stop = stop.get_token();
  const HttpReply reply = FetchSnapshot(camera.Url("/snap.jpg"), {kUser, kPassword}, options);
  EXPECT_TRUE(reply.cancelled);
  EXPECT_FALSE(reply.ok());
}

}  // namespace
}  // namespace vdz::onvif
