#include "onvif_auth.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <tinyxml2.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>

#include "onvif_soap.h"

namespace vdz::devsim {

std::string Base64Encode(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

bool Base64Decode(std::string_view text, std::string* bytes) {
  std::string clean;
  for (char c : text) {
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t')
      clean += c;
  }
  if (clean.size() % 4 != 0 || clean.size() > 4096)
    return false;
  std::string out(clean.size() / 4 * 3 + 1, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(clean.data()),
                                static_cast<int>(clean.size()));
  if (n < 0)
    return false;
  std::size_t len = static_cast<std::size_t>(n);
  // EVP_DecodeBlock counts the padding as zero bytes.
  for (std::size_t i = clean.size(); i > 0 && clean[i - 1] == '=' && len > 0; --i)
    --len;
  out.resize(len);
  *bytes = std::move(out);
  return true;
}

namespace {

std::string Digest(const EVP_MD* md, std::string_view data) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), out, &len, md, nullptr);
  return std::string(reinterpret_cast<char*>(out), len);
}

// key=value and key="value" pairs of an auth header after its scheme.
std::map<std::string, std::string> AuthParams(std::string_view s) {
  std::map<std::string, std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == ','))
      ++i;
    const std::size_t eq = s.find('=', i);
    if (eq == std::string_view::npos)
      break;
    std::string key(s.substr(i, eq - i));
    for (char& c : key)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    i = eq + 1;
    std::string value;
    if (i < s.size() && s[i] == '"') {
      for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\' && i + 1 < s.size())
          ++i;
        value += s[i];
      }
      ++i;
    } else {
      while (i < s.size() && s[i] != ',')
        value += s[i++];
      while (!value.empty() && value.back() == ' ')
        value.pop_back();
    }
    out[key] = value;
  }
  return out;
}

}  // namespace

std::string Sha1(std::string_view data) {
  return Digest(EVP_sha1(), data);
}

std::string HexDigest(std::string_view algorithm, std::string_view data) {
  const std::string raw = Digest(algorithm == "SHA-256" ? EVP_sha256() : EVP_md5(), data);
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (unsigned char c : raw) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::string PasswordDigest(std::string_view nonce, std::string_view created,
                           std::string_view password) {
  std::string joined(nonce);
  joined += created;
  joined += password;
  return Base64Encode(Sha1(joined));
}

bool ParseXsDateTime(std::string_view t, int64_t* unix_ms) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
  const std::string text(t.substr(0, 64));
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) !=
          6 ||
      mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
    return false;
  std::string_view rest = std::string_view(text).substr(static_cast<std::size_t>(used));
  int ms = 0;
  if (!rest.empty() && rest.front() == '.') {
    rest.remove_prefix(1);
    int scale = 100;
    while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
      ms += (rest.front() - '0') * scale;
      scale /= 10;
      rest.remove_prefix(1);
    }
  }
  int offset_min = 0;
  if (rest == "Z" || rest.empty()) {
  } else if (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':') {
    const int oh = (rest[1] - '0') * 10 + (rest[2] - '0');
    const int om = (rest[4] - '0') * 10 + (rest[5] - '0');
    offset_min = (rest[0] == '-' ? -1 : 1) * (oh * 60 + om);
  } else {
    return false;
  }
  tm parts{};
  parts.tm_year = y - 1900;
  parts.tm_mon = mo - 1;
  parts.tm_mday = d;
  parts.tm_hour = h;
  parts.tm_min = mi;
  parts.tm_sec = s;
  *unix_ms = (static_cast<int64_t>(timegm(&parts)) - offset_min * 60LL) * 1000 + ms;
  return true;
}

std::string XsDateTime(int64_t unix_ms) {
  const time_t secs = static_cast<time_t>(unix_ms / 1000);
  tm parts{};
  gmtime_r(&secs, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return buf;
}

std::string RealPassword(const OnvifCamera& camera, std::string_view user) {
  for (std::size_t i = 0; i < camera.users.size(); ++i) {
    if (camera.users[i].name != user)
      continue;
    if (i == 0 && camera.misbehave.wrong_password)
      return WrongPassword(camera.users[i].password);
    return camera.users[i].password;
  }
  return {};
}

AuthOutcome CheckUsernameToken(const tinyxml2::XMLElement* security, const OnvifCamera& camera,
                               int64_t clock_ms, std::string* user, std::string* why) {
  const tinyxml2::XMLElement* token = Child(security, "UsernameToken");
  if (!token)
    return AuthOutcome::kMissing;
  *user = Text(Child(token, "Username"));
  const tinyxml2::XMLElement* password = Child(token, "Password");
  const std::string given = Text(password);
  const char* type = password ? password->Attribute("Type") : nullptr;
  const bool digest = type && std::string_view(type).ends_with("#PasswordDigest");
  const std::string real = RealPassword(camera, *user);
  if (real.empty()) {
    *why = "unknown-user";
    return AuthOutcome::kRefused;
  }
  if (!digest) {
    if (given != real) {
      *why = "wrong-password";
      return AuthOutcome::kRefused;
    }
    return AuthOutcome::kOk;
  }
  const std::string created = Text(Child(token, "Created"));
  std::string nonce;
  int64_t created_ms = 0;
  if (!Base64Decode(Text(Child(token, "Nonce")), &nonce) ||
      !ParseXsDateTime(created, &created_ms)) {
    *why = "bad-token";
    return AuthOutcome::kRefused;
  }
  if (created_ms > clock_ms + kTokenSkewMs || created_ms < clock_ms - kTokenSkewMs) {
    *why = "created-off-clock";
    return AuthOutcome::kRefused;
  }
  if (PasswordDigest(nonce, created, real) != given) {
    *why = "wrong-password";
    return AuthOutcome::kRefused;
  }
  return AuthOutcome::kOk;
}

std::string DigestAuth::NewNonce() {
  unsigned char r[12];
  RAND_bytes(r, sizeof r);
  std::string nonce = HexDigest(
      "MD5", std::string(reinterpret_cast<char*>(r), sizeof r) + std::to_string(++counter_));
  constexpr std::size_t kKept = 4096;
  order_.push_back(nonce);
  issued_.insert(nonce);
  if (order_.size() > kKept) {
    issued_.erase(order_.front());
    order_.pop_front();
  }
  return nonce;
}

std::vector<std::string> DigestAuth::Challenges() {
  std::vector<std::string> out;
  for (const char* algorithm : {"SHA-256", "MD5"}) {
    out.push_back(std::string("Digest realm=\"") + kRealm +
                  "\", qop=\"auth\", algorithm=" + algorithm + ", nonce=\"" + NewNonce() + "\"");
  }
  return out;
}

AuthOutcome DigestAuth::Check(std::string_view header, std::string_view method,
                              const OnvifCamera& camera, std::string* user,
                              std::string* why) const {
  if (header.size() < 7 || header.substr(0, 7) != "Digest ")
    return AuthOutcome::kMissing;
  std::map<std::string, std::string> p = AuthParams(header.substr(7));
  *user = p["username"];
  const std::string algorithm = p.count("algorithm") ? p["algorithm"] : "MD5";
  if (algorithm != "MD5" && algorithm != "SHA-256") {
    *why = "digest-algorithm";
    return AuthOutcome::kRefused;
  }
  if (!issued_.count(p["nonce"]) || p["realm"] != kRealm) {
    *why = "digest-nonce";
    return AuthOutcome::kRefused;
  }
  const std::string real = RealPassword(camera, *user);
  const std::string ha1 = HexDigest(algorithm, *user + ":" + kRealm + ":" + real);
  const std::string ha2 = HexDigest(algorithm, std::string(method) + ":" + p["uri"]);
  const std::string expected =
      p.count("qop") ? HexDigest(algorithm, ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" +
                                                p["cnonce"] + ":" + p["qop"] + ":" + ha2)
                     : HexDigest(algorithm, ha1 + ":" + p["nonce"] + ":" + ha2);
  if (real.empty() || expected != p["response"]) {
    *why = "wrong-password";
    return AuthOutcome::kRefused;
  }
  return AuthOutcome::kOk;
}

}  // namespace vdz::devsim
