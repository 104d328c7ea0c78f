#include "onvif/crypto_text.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdio>
#include <random>

namespace vdz::onvif {

std::string Base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string Base64Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0)
    return {};
  std::string out(3 * (text.size() / 4) + 1, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0)
    return {};
  // EVP_DecodeBlock counts the padding as zero bytes.
  std::size_t size = static_cast<std::size_t>(n);
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i)
    --size;
  out.resize(size);
  return out;
}

std::string Sha1(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr) != 1)
    return {};
  return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string RandomBytes(std::size_t count) {
  std::string out(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(count)) != 1) {
    // Only an unseeded generator fails; a message id or nonce must still differ per call.
    std::random_device device;
    for (char& c : out)
      c = static_cast<char>(device());
  }
  return out;
}

std::string NewUuidUrn() {
  std::string b = RandomBytes(16);
  b[6] = static_cast<char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<char>((b[8] & 0x3f) | 0x80);
  char text[64];
  const auto u = [&b](int i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
  std::snprintf(text, sizeof text,
                "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                u(0), u(1), u(2), u(3), u(4), u(5), u(6), u(7), u(8), u(9), u(10), u(11), u(12),
                u(13), u(14), u(15));
  return text;
}

}  // namespace vdz::onvif
