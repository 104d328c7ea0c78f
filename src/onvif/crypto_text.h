// The few crypto primitives the ONVIF client needs, over OpenSSL's libcrypto.
#pragma once

#include <string>
#include <string_view>

namespace vdz::onvif {

std::string Base64(std::string_view bytes);
// Empty for text that is not Base64.
std::string Base64Decode(std::string_view text);
// 20 raw bytes.
std::string Sha1(std::string_view bytes);
// Cryptographically random bytes.
std::string RandomBytes(std::size_t count);
// "urn:uuid:" and a random (version 4) UUID.
std::string NewUuidUrn();

}  // namespace vdz::onvif
