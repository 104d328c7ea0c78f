// Copies into fixed char arrays: always NUL-terminated, cut to the array, rest zero-filled.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vdz {

// Device records are compared as bytes, so the bytes behind the text must stay zero.
template <std::size_t N>
void CopyBounded(char (&dst)[N], std::string_view src) {
  static_assert(N > 0);
  const std::size_t n = src.size() < N - 1 ? src.size() : N - 1;
  if (n > 0)
    std::memcpy(dst, src.data(), n);
  std::memset(dst + n, 0, N - n);
}

// The text of a fixed array up to its first NUL (or the whole array when none).
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  const void* nul = std::memchr(field, 0, N);
  return {field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N};
}

}  // namespace vdz
