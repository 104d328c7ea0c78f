#include "audio/audio_decode_mp3.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "audio/id3v2_tag.h"
#include "support/pcm_compare.h"

namespace vdz::audio {
namespace {

namespace fs = std::filesystem;
using vdz::testing::AlignedCorrelation;
using vdz::testing::AsSamples;
using vdz::testing::FfmpegDecode;
using vdz::testing::MakeToneMp3;

class Mp3DecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vdz::testing::Run("lame --version") || !vdz::testing::Run("ffmpeg -version"))
      GTEST_SKIP() << "lame and ffmpeg are needed (scripts/bootstrap installs them)";
    char tmpl[] = "/tmp/vdz-mp3-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    if (!dir_.empty())
      fs::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  std::string dir_;
};

struct DecodeCase {
  int src_rate;
  int src_channels;
  int rate;
  int channels;
  bool id3;
};

class Mp3MatchesFfmpeg : public Mp3DecodeTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(Mp3MatchesFfmpeg, PcmMatchesReferenceDecode) {
  const DecodeCase c = GetParam();
  ASSERT_TRUE(
      MakeToneMp3(dir_, "tone.mp3", c.src_rate, c.src_channels, 2.0,
                  c.id3 ? "--id3v2-only --tt ToneTitle --ta Artist --pad-id3v2-size 3000" : ""));
  if (c.id3) {
    ASSERT_GT(Id3v2AudioOffset(reinterpret_cast<const unsigned char*>(
                                   vdz::testing::ReadFile(Path("tone.mp3")).data()),
                               10),
              3000u);
  }
  CAudioDecodeMp3 decoder(nullptr, Path("tone.mp3"), c.rate, c.channels, 2560, nullptr);
  ASSERT_EQ(decoder.Decode(), 0);
  const auto ours = AsSamples(decoder.data(), decoder.data_length());
  const auto ref = FfmpegDecode(Path("tone.mp3"), c.rate, c.channels, Path("ref.raw"));
  ASSERT_FALSE(ref.empty());
  // One MP3 frame at the target rate, and the few samples a converter holds back at the end.
  const long frame = (1152L * c.rate + c.src_rate - 1) / c.src_rate + 16;
  EXPECT_LE(std::labs(static_cast<long>(ours.size() / c.channels) -
                      static_cast<long>(ref.size() / c.channels)),
            frame);
  EXPECT_GE(AlignedCorrelation(ours, ref, c.channels, 300), 0.99);
  // The block is whole kilobytes with room to spare.
  EXPECT_EQ(decoder.capacity(), (decoder.data_length() / 1024 + 1) * 1024);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Mp3MatchesFfmpeg,
    ::testing::Values(DecodeCase{8000, 1, 8000, 1, false}, DecodeCase{16000, 1, 16000, 1, false},
                      DecodeCase{32000, 1, 32000, 1, false}, DecodeCase{48000, 1, 48000, 1, false},
                      DecodeCase{8000, 2, 8000, 2, false}, DecodeCase{16000, 2, 16000, 2, false},
                      DecodeCase{32000, 2, 32000, 2, false}, DecodeCase{48000, 2, 48000, 2, false},
                      DecodeCase{48000, 2, 8000, 1, false}, DecodeCase{44100, 2, 32000, 1, false},
                      DecodeCase{48000, 2, 48000, 1, false}, DecodeCase{8000, 1, 48000, 2, false},
                      DecodeCase{16000, 1, 32000, 2, true}, DecodeCase{32000, 1, 32000, 1, true},
                      DecodeCase{48000, 2, 16000, 1, true}));

// Files that are not what they claim end with a clear result and a bounded block.
TEST_F(Mp3DecodeTest, HostileFilesEndCleanly) {
  ASSERT_TRUE(MakeToneMp3(dir_, "good.mp3", 32000, 1, 2.0));
  const std::string good = vdz::testing::ReadFile(Path("good.mp3"));
  std::string random(200000, '\0');
  unsigned seed = 12345;
  for (char& ch : random)
    ch = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  std::string huge_id3 = std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + good;
  const struct {
    const char* name;
    std::string bytes;
    bool exists;
    int expected;  // 1: either 0 or kDecodeNoAudio
  } cases[] = {
      {"missing.mp3", "", false, kDecodeCannotOpen},
      {"empty.mp3", "", true, kDecodeCannotOpen},
      {"text.mp3", std::string(50000, 'a'), true, kDecodeNoAudio},
      {"huge-id3.mp3", huge_id3, true, kDecodeNoAudio},
      {"only-id3-header.mp3", std::string("ID3\x03\x00\x00\x00\x00\x01\x00", 10), true,
       kDecodeNoAudio},
      {"random.mp3", random, true, 1},
      {"truncated.mp3", good.substr(0, good.size() / 2 + 77), true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.exists)
      WriteBytes(c.name, c.bytes);
    CAudioDecodeMp3 decoder(nullptr, Path(c.name), 32000, 1, 2560, nullptr);
    const int rc = decoder.Decode();
    if (c.expected == 1) {
      EXPECT_TRUE(rc == 0 || rc == kDecodeNoAudio) << rc;
    } else {
      EXPECT_EQ(rc, c.expected);
    }
    if (rc != 0) {
      EXPECT_EQ(decoder.data_length(), 0u);
    }
  }
  // The truncated file gives about half of the whole one.
  CAudioDecodeMp3 whole(nullptr, Path("good.mp3"), 32000, 1, 2560, nullptr);
  CAudioDecodeMp3 half(nullptr, Path("truncated.mp3"), 32000, 1, 2560, nullptr);
  ASSERT_EQ(whole.Decode(), 0);
  ASSERT_EQ(half.Decode(), 0);
  EXPECT_NEAR(static_cast<double>(half.data_length()) / whole.data_length(), 0.5, 0.05);
}

TEST(Id3v2AudioOffsetTest, SynchsafeSizes) {
  const struct {
    const char header[11];
    std::size_t length;
    std::uint64_t offset;
  } cases[] = {
      {"ID3\x04\x00\x00\x00\x00\x02\x01", 10, 257 + 10},
      {"ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10, 0x0FFFFFFFu + 10},
      {"ID3\x04\x00\x00\xff\xff\xff\xff", 10, 0x0FFFFFFFu + 10},  // high bits ignored
      {"ID3\x04\x00\x00\x00\x00\x02\x01", 9, 0},                  // short file
      {"XD3\x04\x00\x00\x00\x00\x02\x01", 10, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Id3v2AudioOffset(reinterpret_cast<const unsigned char*>(c.header), c.length),
              c.offset);
}

}  // namespace
}  // namespace vdz::audio
