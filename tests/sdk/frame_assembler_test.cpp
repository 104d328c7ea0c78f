#include "protocol/frame_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/messages.h"
#include "protocol/payload.h"

namespace vdz::sdkproto {
namespace {

struct Seen {
  FrameType type;
  std::uint32_t sequence;
  std::string payload;
};

FrameAssembler::Result FeedText(FrameAssembler& a, std::string_view bytes,
                                std::vector<Seen>& seen) {
  return a.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                [&](const FrameHeader& h, std::string_view p) {
                  seen.push_back({h.type, h.sequence, std::string(p)});
                  return true;
                });
}

std::string ThreeFrames() {
  std::string s;
  AppendCoded(s, FrameType::kAux, 7, {1012, "<RESPONSE_PARAM FileSystemVersion=\"V1\" />"});
  AppendFrame(s, FrameType::kPing, 8, {});
  AppendResult(s, FrameType::kResponse, 9, {-3, "no"});
  return s;
}

TEST(FrameAssembler, SameFramesWhateverTheSplit) {
  const std::string stream = ThreeFrames();
  std::vector<Seen> whole;
  FrameAssembler reference;
  ASSERT_EQ(FeedText(reference, stream, whole), FrameAssembler::Result::kOk);
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0].type, FrameType::kAux);
  EXPECT_EQ(whole[1].sequence, 8u);
  EXPECT_EQ(whole[1].payload, "");
  EXPECT_EQ(whole[2].type, FrameType::kResponse);

  for (std::size_t chunk : {1u, 2u, 3u, 15u, 16u, 17u, 31u}) {
    FrameAssembler a;
    std::vector<Seen> seen;
    for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
      ASSERT_EQ(FeedText(a, std::string_view(stream).substr(pos, chunk), seen),
                FrameAssembler::Result::kOk);
    }
    ASSERT_EQ(seen.size(), whole.size()) << "chunk " << chunk;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].type, whole[i].type);
      EXPECT_EQ(seen[i].sequence, whole[i].sequence);
      EXPECT_EQ(seen[i].payload, whole[i].payload) << "chunk " << chunk;
    }
    EXPECT_EQ(a.buffered(), 0u);
  }
}

std::string Header(std::uint32_t magic, std::uint8_t version, std::uint8_t type,
                   std::uint32_t length) {
  std::string s;
  PayloadWriter w(s);
  w.U32(magic);
  w.U8(version);
  w.U8(type);
  w.U16(0);
  w.U32(1);
  w.U32(length);
  return s;
}

TEST(FrameAssembler, BadHeadersAreRefusedBeforeAnyPayloadIsKept) {
  struct Case {
    const char* name;
    std::string header;
    HeaderCheck expected;
  } cases[] = {
      {"magic", Header(0x12345678, kVersion, 0x20, 4), HeaderCheck::kBadMagic},
      {"version", Header(kMagic, 2, 0x20, 4), HeaderCheck::kBadVersion},
      {"type", Header(kMagic, kVersion, 0x7F, 4), HeaderCheck::kBadType},
      {"100 MB", Header(kMagic, kVersion, 0x20, 100u * 1000u * 1000u), HeaderCheck::kTooLong},
      {"one past the limit", Header(kMagic, kVersion, 0x20, kMaxPayload + 1),
       HeaderCheck::kTooLong},
  };
  for (const auto& c : cases) {
    for (const bool split : {false, true}) {
      FrameAssembler a;
      std::vector<Seen> seen;
      std::string bytes = c.header + std::string(32, 'x');
      FrameAssembler::Result r = FrameAssembler::Result::kOk;
      if (split) {
        r = FeedText(a, bytes.substr(0, 5), seen);
        ASSERT_EQ(r, FrameAssembler::Result::kOk) << c.name;
        r = FeedText(a, bytes.substr(5), seen);
      } else {
        r = FeedText(a, bytes, seen);
      }
      EXPECT_EQ(r, FrameAssembler::Result::kError) << c.name;
      EXPECT_EQ(a.last_error(), c.expected) << c.name;
      EXPECT_TRUE(seen.empty()) << c.name;
      EXPECT_LE(a.buffered(), kHeaderSize) << c.name;
    }
  }
}

TEST(FrameAssembler, LargestFrameIsAcceptedAndItsBufferGivenBack) {
  std::string frame;
  AppendFrame(frame, FrameType::kAux, 3, std::string(kMaxPayload, 'a'));
  FrameAssembler a;
  std::vector<Seen> seen;
  // Fed in pieces, so the assembler has to hold the partial frame.
  for (std::size_t pos = 0; pos < frame.size(); pos += 60000) {
    ASSERT_EQ(FeedText(a, std::string_view(frame).substr(pos, 60000), seen),
              FrameAssembler::Result::kOk);
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].payload.size(), kMaxPayload);
  EXPECT_EQ(a.buffered(), 0u);
  EXPECT_LE(a.capacity(), 4096u);
}

TEST(FrameAssembler, HandlerCanStopTheFeed) {
  const std::string stream = ThreeFrames();
  FrameAssembler a;
  int calls = 0;
  const auto r = a.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                        [&](const FrameHeader&, std::string_view) { return ++calls < 2; });
  EXPECT_EQ(r, FrameAssembler::Result::kStopped);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace vdz::sdkproto
