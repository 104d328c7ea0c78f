// The two logins an ONVIF camera accepts: a WS-UsernameToken in the SOAP header
// (PasswordDigest = Base64(SHA-1(nonce + created + password)), Created read against the
// camera's own clock) and HTTP Digest (RFC 7616, MD5 or SHA-256, qop=auth).
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>

#include "onvif_camera.h"

namespace tinyxml2 {
class XMLElement;
}

namespace vdz::devsim {

std::string Base64Encode(std::string_view bytes);
// Empty optional-free form: false on text that is not Base64.
bool Base64Decode(std::string_view text, std::string* bytes);
std::string Sha1(std::string_view data);                                   // raw 20 bytes
std::string HexDigest(std::string_view algorithm, std::string_view data);  // MD5, SHA-256

// Base64(SHA-1(nonce + created + password)) with the nonce as raw bytes.
std::string PasswordDigest(std::string_view nonce, std::string_view created,
                           std::string_view password);

// xs:dateTime in UTC ("2026-12-09T10:00:00Z", fractions and +hh:mm offsets allowed) to Unix
// milliseconds; false when it is not one.
bool ParseXsDateTime(std::string_view text, int64_t* unix_ms);
std::string XsDateTime(int64_t unix_ms);

// The password the camera really checks for a user (a wrong-password camera's first account
// holds another than the site gave); empty when there is no such user.
std::string RealPassword(const OnvifCamera& camera, std::string_view user);

enum class AuthOutcome { kOk, kMissing, kRefused };

// Checks the UsernameToken under a SOAP Header's Security element. The camera's clock is
// clock_ms; a Created further than kTokenSkewMs from it is refused, as real cameras do.
inline constexpr int64_t kTokenSkewMs = 5000;
AuthOutcome CheckUsernameToken(const tinyxml2::XMLElement* security, const OnvifCamera& camera,
                               int64_t clock_ms, std::string* user, std::string* why);

// Issues and checks HTTP Digest nonces; the last few thousand issued stay valid.
class DigestAuth {
 public:
  static constexpr const char* kRealm = "ONVIF camera";
  // WWW-Authenticate values to send with a 401: one per algorithm, SHA-256 first.
  std::vector<std::string> Challenges();
  AuthOutcome Check(std::string_view header, std::string_view method, const OnvifCamera& camera,
                    std::string* user, std::string* why) const;

 private:
  std::string NewNonce();
  std::deque<std::string> order_;
  std::set<std::string> issued_;
  uint64_t counter_ = 0;
};

}  // namespace vdz::devsim
