#include "protocol/crc32.h"

#include <array>
#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VDZ_CRC32_CLMUL 1
#endif

namespace vdz::sdkproto {

namespace {

// Eight tables: table[k][b] is the CRC of byte b followed by k zero bytes, so eight input
// bytes cost eight look-ups with no dependency between them instead of a chain of eight.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t k = 1; k < t.size(); ++k) {
    for (std::size_t i = 0; i < 256; ++i)
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
  }
  return t;
}

std::uint32_t LittleEndian32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Works on the inverted register, as both paths do.
std::uint32_t TableUpdate(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  static const CrcTables kT = MakeCrcTables();
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t lo = LittleEndian32(p) ^ crc;
    const std::uint32_t hi = LittleEndian32(p + 4);
    crc = kT[7][lo & 0xFFu] ^ kT[6][(lo >> 8) & 0xFFu] ^ kT[5][(lo >> 16) & 0xFFu] ^
          kT[4][lo >> 24] ^ kT[3][hi & 0xFFu] ^ kT[2][(hi >> 8) & 0xFFu] ^
          kT[1][(hi >> 16) & 0xFFu] ^ kT[0][hi >> 24];
  }
  for (; n > 0; ++p, --n)
    crc = kT[0][(crc ^ *p) & 0xFFu] ^ (crc >> 8);
  return crc;
}

#ifdef VDZ_CRC32_CLMUL

// Folding with carry-less multiplication (Intel's "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ", bit-reflected constants for 0xEDB88320): four 128-bit lanes
// fold 64 bytes a step, then one lane, then a Barrett reduction to 32 bits. Simulated devices
// check every image they receive, fifty at a time on one thread; the table path was the
// largest single cost of a lab-wide upgrade.
#define VDZ_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

VDZ_CLMUL_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times the constant pair k (one per 64-bit half), added onto the next block.
VDZ_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Takes a multiple of 16 bytes, at least 64.
VDZ_CLMUL_TARGET std::uint32_t ClmulUpdate(std::uint32_t crc, const unsigned char* buf,
                                           std::size_t len) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
  const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124LL);
  const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

  __m128i x1 = _mm_xor_si128(Load(buf), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(buf + 16);
  __m128i x3 = Load(buf + 32);
  __m128i x4 = Load(buf + 48);
  buf += 64;
  len -= 64;
  for (; len >= 64; buf += 64, len -= 64) {
    x1 = Fold(x1, k1k2, Load(buf));
    x2 = Fold(x2, k1k2, Load(buf + 16));
    x3 = Fold(x3, k1k2, Load(buf + 32));
    x4 = Fold(x4, k1k2, Load(buf + 48));
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  for (; len >= 16; buf += 16, len -= 16)
    x1 = Fold(x1, k3k4, Load(buf));

  // 128 bits to 64.
  __m128i x2r = _mm_clmulepi64_si128(x1, k3k4, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2r);
  x2r = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, low32);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k5k0, 0x00), x2r);

  // Barrett reduction to 32 bits.
  x2r = _mm_and_si128(x1, low32);
  x2r = _mm_clmulepi64_si128(x2r, poly, 0x10);
  x2r = _mm_and_si128(x2r, low32);
  x2r = _mm_clmulepi64_si128(x2r, poly, 0x00);
  x1 = _mm_xor_si128(x1, x2r);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HaveClmul() {
  static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}

#endif

}  // namespace

std::uint32_t Crc32Tables(std::uint32_t crc, std::string_view bytes) {
  return ~TableUpdate(~crc, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  crc = ~crc;
#ifdef VDZ_CRC32_CLMUL
  if (n >= 64 && HaveClmul()) {
    const std::size_t whole = n & ~std::size_t{15};
    crc = ClmulUpdate(crc, p, whole);
    p += whole;
    n -= whole;
  }
#endif
  return ~TableUpdate(crc, p, n);
}

}  // namespace vdz::sdkproto
