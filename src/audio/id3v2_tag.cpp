#include "audio/id3v2_tag.h"

namespace vdz::audio {

std::uint64_t Id3v2AudioOffset(const unsigned char* header, std::size_t length) {
  if (header == nullptr || length < kId3HeaderSize || header[0] != 'I' || header[1] != 'D' ||
      header[2] != '3')
    return 0;
  std::uint64_t size = 0;
  for (int i = 6; i <= 9; ++i)
    size = (size << 7) | (header[i] & 0x7Fu);
  return size + kId3HeaderSize;
}

}  // namespace vdz::audio
