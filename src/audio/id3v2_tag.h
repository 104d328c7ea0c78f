// The ID3v2 tag in front of an MP3 stream: where the audio starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vdz::audio {

inline constexpr std::size_t kId3HeaderSize = 10;

// Offset of the first byte behind the tag, or 0 when `header` (the first `length` bytes of
// the file) does not start a tag. The size is a synchsafe integer: 28 bits at most.
std::uint64_t Id3v2AudioOffset(const unsigned char* header, std::size_t length);

}  // namespace vdz::audio
