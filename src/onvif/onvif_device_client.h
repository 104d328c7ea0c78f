// One ONVIF device: the identity read after listing, and the operations the tool offers on
// it. Blocking; runs on a worker (a job step), never on the window thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "onvif/onvif_http.h"
#include "onvif/soap_readers.h"

namespace vdz::onvif {

struct OnvifAccount {
  std::string user;
  std::string password;
};

struct OnvifProfile {
  std::string token;
  std::string name;
  std::string encoding;
  int width = 0;
  int height = 0;
  std::string stream_uri;  // RTSP; empty when the device gave none
};

struct OnvifIdentity {
  bool reachable = false;  // the device service answered at all
  std::string manufacturer;
  std::string model;
  std::string firmware;
  std::string serial;
  std::string hardware;
  std::string mac;
  bool dhcp = false;
  std::string address;
  int prefix_length = 0;
  std::string interface_token;  // what SetNetworkInterfaces names
  std::string media_url;
  std::vector<OnvifProfile> profiles;  // device order: first = main stream, second = sub
  std::string snapshot_uri;
  bool clock_known = false;
  std::int64_t clock_offset = 0;  // device clock minus ours, seconds
  bool login_failed = false;
  std::string login_error;   // why, in plain words; never a password
  std::string user;          // the account that worked
  bool http_digest = false;  // logged in with HTTP Digest instead of the UsernameToken
  std::string error;         // the first failure other than the login, empty when none
};

struct OnvifResult {
  bool ok = false;
  std::string error;  // plain text when !ok
};

class OnvifDeviceClient {
 public:
  // device_url: the device service address (ChooseXAddr). Start with SOAP 1.1 when the
  // device's discovery answer was in 1.1; the client also falls back on its own.
  OnvifDeviceClient(std::string device_url, HttpOptions options,
                    SoapVersion version = SoapVersion::k12);

  // The whole identity: GetSystemDateAndTime without login (clock offset), then with the
  // first account the device takes: GetDeviceInformation, GetNetworkInterfaces,
  // GetCapabilities (else GetServices) for the media address, GetProfiles and GetStreamUri
  // per profile, GetSnapshotUri. No accounts: tried without login. The account that worked
  // stays in use for the operations below.
  OnvifIdentity ReadIdentity(const std::vector<OnvifAccount>& accounts);

  // Reads the clock offset when not known yet, then uses this account for what follows.
  void UseAccount(const OnvifAccount& account);

  OnvifResult SystemReboot();
  // Sets the device clock to ours (UTC), or switches it to NTP.
  OnvifResult SetSystemDateAndTime(bool use_ntp);
  OnvifResult SetNtp(const std::vector<std::string>& servers);
  // Fixed address; then the default gateway when one is given. The device may answer from
  // the new address only: it is found again by the next search.
  OnvifResult SetNetworkInterface(const std::string& interface_token, const std::string& address,
                                  int prefix_length, const std::string& gateway);
  OnvifResult SetUser(const std::string& user, const std::string& password,
                      const std::string& level = "Administrator");

  bool clock_known() const { return clock_known_; }
  std::int64_t clock_offset() const { return clock_offset_; }
  SoapVersion version() const { return version_; }
  bool http_digest() const { return http_digest_; }
  const OnvifAccount& account() const { return account_; }
  const std::string& device_url() const { return device_url_; }

 private:
  enum class CallStatus { kOk, kNotAuthorized, kFailed };
  struct Call {
    CallStatus status = CallStatus::kFailed;
    std::string reply;
    std::string error;
    bool other_version = false;  // the device refused this SOAP version
    bool answered = false;       // an HTTP reply came, whatever it said
  };
  // One request with the current account: UsernameToken first, HTTP Digest when the device
  // refuses the token (401 or NotAuthorized); SOAP 1.1 when the device refuses 1.2.
  Call Send(const std::string& url, const std::string& action, const std::string& body,
            bool with_login);
  Call SendOnce(const std::string& url, const std::string& action, const std::string& body,
                bool with_login);
  // GetSystemDateAndTime, which devices answer without a login.
  void ReadClock(bool with_login = false);
  OnvifResult Simple(const std::string& url, const std::string& action, const std::string& body);

  std::string device_url_;
  HttpOptions options_;
  SoapVersion version_;
  bool version_known_ = false;
  OnvifAccount account_;
  bool http_digest_ = false;
  bool clock_known_ = false;
  std::int64_t clock_offset_ = 0;
};

}  // namespace vdz::onvif
