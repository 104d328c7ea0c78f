// Feeds an arbitrary file through the MP3 talk input: the ID3v2 tag that says where the audio
// starts, and the whole decode into a talk's PCM format. The first byte picks that format.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/audio_decode_mp3.h"
#include "audio/id3v2_tag.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

constexpr int kRates[] = {8000, 16000, 32000, 48000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The decoder reads a path: one file in memory, rewritten for every input.
  static const int fd = memfd_create("mp3-input", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || size == 0)
    return 0;
  const int rate = kRates[data[0] & 3];
  const int channels = (data[0] & 4) ? 2 : 1;
  ++data;
  --size;

  const std::uint64_t start = vdz::audio::Id3v2AudioOffset(data, size);
  Expect(start == 0 || (start >= vdz::audio::kId3HeaderSize && start < (1u << 28) + 10));

  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
    return 0;
  vdz::audio::CAudioDecodeMp3 decoder(nullptr, path, rate, channels, 0, nullptr);
  const int rc = decoder.Decode();
  Expect(rc == 0 || rc == vdz::audio::kDecodeCannotOpen || rc == vdz::audio::kDecodeNoAudio);
  if (rc == 0) {
    // Whole frames of the talk's format, inside the block.
    Expect(decoder.data_length() > 0 && decoder.data_length() <= decoder.capacity() &&
           decoder.data_length() % (2 * static_cast<std::size_t>(channels)) == 0);
  }
  return 0;
}
