#include "onvif/soap_envelope.h"

#include <ctime>

#include "onvif/crypto_text.h"
#include "onvif/xml_local.h"

namespace vdz::onvif {

namespace {

constexpr std::size_t kNonceBytes = 16;

}  // namespace

std::string PasswordDigest(std::string_view nonce_bytes, std::string_view created,
                           std::string_view password) {
  std::string input;
  input.reserve(nonce_bytes.size() + created.size() + password.size());
  input.append(nonce_bytes).append(created).append(password);
  return Base64(Sha1(input));
}

std::string UtcText(std::int64_t utc_seconds) {
  const std::time_t t = static_cast<std::time_t>(utc_seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::int64_t CameraNow(std::int64_t clock_offset_seconds) {
  return static_cast<std::int64_t>(std::time(nullptr)) + clock_offset_seconds;
}

UsernameToken MakeUsernameToken(std::string_view username, std::string_view password,
                                std::int64_t camera_utc_seconds, std::string nonce_bytes) {
  if (nonce_bytes.empty())
    nonce_bytes = RandomBytes(kNonceBytes);
  UsernameToken token;
  token.username = std::string(username);
  token.created = UtcText(camera_utc_seconds);
  token.password_digest = PasswordDigest(nonce_bytes, token.created, password);
  token.nonce = Base64(nonce_bytes);
  return token;
}

std::string BuildEnvelope(SoapVersion version, std::string_view body_xml,
                          const UsernameToken* token) {
  std::string text;
  text.reserve(1024 + body_xml.size());
  text += R"(<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s=")";
  text += version == SoapVersion::k12 ? kSoap12Namespace : kSoap11Namespace;
  text += R"(" xmlns:tds="http://www.onvif.org/ver10/device/wsdl")";
  text += R"( xmlns:trt="http://www.onvif.org/ver10/media/wsdl")";
  text += R"( xmlns:tt="http://www.onvif.org/ver10/schema">)";
  if (token != nullptr) {
    text += R"(<s:Header><wsse:Security s:mustUnderstand="1" xmlns:wsse=")";
    text += kWsseNamespace;
    text += R"(" xmlns:wsu=")";
    text += kWsuNamespace;
    text += R"("><wsse:UsernameToken><wsse:Username>)";
    text += EscapeXml(token->username);
    text += R"(</wsse:Username><wsse:Password Type=")";
    text += kPasswordDigestType;
    text += R"(">)";
    text += token->password_digest;
    text += R"(</wsse:Password><wsse:Nonce EncodingType=")";
    text += kBase64EncodingType;
    text += R"(">)";
    text += token->nonce;
    text += "</wsse:Nonce><wsu:Created>";
    text += token->created;
    text += "</wsu:Created></wsse:UsernameToken></wsse:Security></s:Header>";
  }
  text += "<s:Body>";
  text += body_xml;
  text += "</s:Body></s:Envelope>";
  return text;
}

}  // namespace vdz::onvif
