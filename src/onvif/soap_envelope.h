// SOAP request envelopes, with the WS-Security UsernameToken (PasswordDigest) ONVIF devices
// take as their login.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vdz::onvif {

enum class SoapVersion { k12, k11 };

inline constexpr char kSoap12Namespace[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kSoap11Namespace[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kWsseNamespace[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr char kWsuNamespace[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr char kPasswordDigestType[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0"
    "#PasswordDigest";
inline constexpr char kBase64EncodingType[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0"
    "#Base64Binary";

// Base64(SHA-1(nonce_bytes + created + password)): the UsernameToken profile's digest.
std::string PasswordDigest(std::string_view nonce_bytes, std::string_view created,
                           std::string_view password);

// "YYYY-MM-DDTHH:MM:SSZ" of seconds since 1970 in UTC.
std::string UtcText(std::int64_t utc_seconds);

struct UsernameToken {
  std::string username;
  std::string password_digest;  // Base64
  std::string nonce;            // Base64
  std::string created;          // UtcText
};

// Devices reject a token whose Created is far from their own clock, so it is stamped with
// camera_utc_seconds: our clock plus the offset GetSystemDateAndTime gave. nonce_bytes is
// random unless a test fixes it.
UsernameToken MakeUsernameToken(std::string_view username, std::string_view password,
                                std::int64_t camera_utc_seconds, std::string nonce_bytes = {});

// Our clock in seconds since 1970, plus a camera's clock offset.
std::int64_t CameraNow(std::int64_t clock_offset_seconds);

// One envelope around body_xml (an element using the tds/trt/tt prefixes, declared on the
// envelope); with a token, a Security header carrying it.
std::string BuildEnvelope(SoapVersion version, std::string_view body_xml,
                          const UsernameToken* token = nullptr);

}  // namespace vdz::onvif
