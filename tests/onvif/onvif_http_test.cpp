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

#include "onvif/onvif_device_client.h"
#include "onvif/soap_envelope.h"
#include "support/log_capture.h"

namespace vdz::onvif {
namespace {

constexpr char kRealm[] = "camera";
constexpr char kUser[] = "admin";
constexpr char kPassword[] = "Right-Pass#1";
constexpr char kSnapshot[] = "\xFF\xD8\xFF\xE0 not really a JPEG";
constexpr int kCameraAhead = 3600;  // the camera's clock runs an hour ahead

std::string Envelope(const std::string& body) {
  return R"(<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl" xmlns:tt="http://www.onvif.org/ver10/schema" xmlns:ter="http://www.onvif.org/ver10/error"><s:Body>)" +
         body + "</s:Body></s:Envelope>";
}

std::string DateTimeReply() {
  const std::time_t now = std::time(nullptr) + kCameraAhead;
  std::tm p{};
  gmtime_r(&now, &p);
  return Envelope(
      "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Date><tt:"
      "Year>" +
      std::to_string(p.tm_year + 1900) + "</tt:Year><tt:Month>" + std::to_string(p.tm_mon + 1) +
      "</tt:Month><tt:Day>" + std::to_string(p.tm_mday) + "</tt:Day></tt:Date><tt:Time><tt:Hour>" +
      std::to_string(p.tm_hour) + "</tt:Hour><tt:Minute>" + std::to_string(p.tm_min) +
      "</tt:Minute><tt:Second>" + std::to_string(p.tm_sec) +
      "</tt:Second></tt:Time></tt:UTCDateTime></tds:SystemDateAndTime></"
      "tds:GetSystemDateAndTimeResponse>");
}

class DigestCamera {
 public:
  explicit DigestCamera(MHD_DigestAuthAlgorithm algorithm) : algorithm_(algorithm) {
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
    if (post && body->find("GetSystemDateAndTime") != std::string::npos)
      return Reply(connection, 200, DateTimeReply(), "application/soap+xml");
    if (body->find("UsernameToken") != std::string::npos)
      self->token_requests_ += 1;
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
    if (body->find("GetDeviceInformation") != std::string::npos) {
      return Reply(connection, 200,
                   Envelope("<tds:GetDeviceInformationResponse><tds:Manufacturer>Acme</"
                            "tds:Manufacturer><tds:Model>DZ-1</tds:Model><tds:FirmwareVersion>2.0</"
                            "tds:FirmwareVersion><tds:SerialNumber>S-77</"
                            "tds:SerialNumber><tds:HardwareId>H1</tds:HardwareId></"
                            "tds:GetDeviceInformationResponse>"),
                   "application/soap+xml");
    }
    return Reply(connection, 500,
                 Envelope("<s:Fault><s:Code><s:Value>s:Receiver</s:Value><s:Subcode><s:Value>ter:"
                          "ActionNotSupported</s:Value></s:Subcode></s:Code><s:Reason><s:Text>not "
                          "here</s:Text></s:Reason></s:Fault>"),
                 "application/soap+xml");
  }

  MHD_DigestAuthAlgorithm algorithm_;
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
