#include "protocol/login_digest.h"

namespace vdz::sdkproto {

namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
constexpr int kStirRounds = 1024;

std::uint64_t Fnv(std::uint64_t h, std::string_view bytes) {
  for (const char c : bytes) {
    h ^= static_cast<std::uint8_t>(c);
    h *= kFnvPrime;
  }
  return h;
}

}  // namespace

std::uint64_t LoginDigest(std::string_view nonce, std::string_view user,
                          std::string_view password) {
  std::uint64_t h = Fnv(kFnvOffset, nonce);
  h = Fnv(h, user);
  h = Fnv(h, std::string_view("\0", 1));
  h = Fnv(h, password);
  for (int i = 0; i < kStirRounds; ++i) {
    char be[8];
    for (int b = 0; b < 8; ++b)
      be[b] = static_cast<char>(h >> (56 - 8 * b));
    h = Fnv(Fnv(kFnvOffset, std::string_view(be, 8)), nonce);
  }
  return h;
}

}  // namespace vdz::sdkproto
