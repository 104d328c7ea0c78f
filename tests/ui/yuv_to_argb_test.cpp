// Our AVX-512 conversion stands in for libyuv's: it must give libyuv's pixels exactly, for every
// value, width and start within a line, streamed or not, and write nothing outside the rows.
#include "player/yuv_to_argb.h"

#include <gtest/gtest.h>
#include <libyuv/convert_argb.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using vdz::player::CanConvertYuvWithAvx512;
using vdz::player::ConvertYuvToArgbAvx512;
using vdz::player::YuvPlanes;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y, u, v;
  int chroma_width() const { return (width + 1) / 2; }
  YuvPlanes planes() const {
    return {y.data(), u.data(), v.data(), width, chroma_width(), chroma_width()};
  }
};

std::vector<uint32_t> Libyuv(const Picture& p, bool full_range) {
  std::vector<uint32_t> out(static_cast<std::size_t>(p.width) * p.height);
  const auto convert = full_range ? libyuv::J420ToARGB : libyuv::I420ToARGB;
  convert(p.y.data(), p.width, p.u.data(), p.chroma_width(), p.v.data(), p.chroma_width(),
          reinterpret_cast<uint8_t*>(out.data()), p.width * 4, p.width, p.height);
  return out;
}

TEST(YuvToArgb, EveryLumaAndChromaValueGivesLibyuvsPixel) {
  if (!CanConvertYuvWithAvx512())
    GTEST_SKIP() << "the CPU has no AVX-512";
  // Per value of V: chroma column = U, and down each column the four pixels of a chroma
  // sample step through all 256 luma values.
  Picture p{512, 128, {}, {}, {}};
  p.y.resize(512 * 128);
  p.u.resize(256 * 64);
  p.v.resize(256 * 64);
  for (int row = 0; row < 128; ++row)
    for (int x = 0; x < 512; ++x)
      p.y[row * 512 + x] = static_cast<uint8_t>(4 * (row / 2) + 2 * (row % 2) + x % 2);
  for (int i = 0; i < 256 * 64; ++i)
    p.u[i] = static_cast<uint8_t>(i % 256);
  std::vector<uint32_t> ours(512 * 128);
  for (const bool full_range : {false, true}) {
    for (int v = 0; v < 256; ++v) {
      std::fill(p.v.begin(), p.v.end(), static_cast<uint8_t>(v));
      ConvertYuvToArgbAvx512(p.planes(), p.width, p.height, full_range, ours.data(), p.width,
                             /*stream=*/false);
      const std::vector<uint32_t> expected = Libyuv(p, full_range);
      for (std::size_t i = 0; i < ours.size(); ++i)
        ASSERT_EQ(ours[i], expected[i])
            << "full range " << full_range << ", Y " << int{p.y[i]} << " U "
            << int{p.u[(i / 1024) * 256 + (i % 512) / 2]} << " V " << v;
    }
  }
}

TEST(YuvToArgb, AnyWidthAndStartWritesExactlyTheRows) {
  if (!CanConvertYuvWithAvx512())
    GTEST_SKIP() << "the CPU has no AVX-512";
  constexpr uint32_t kUntouched = 0x5a5a5a5a;
  std::mt19937 random(7);
  for (const int width : {1, 2, 15, 16, 17, 31, 33, 63, 64, 65, 127, 130, 203}) {
    Picture p{width, 5, {}, {}, {}};
    p.y.resize(static_cast<std::size_t>(width) * 5);
    p.u.resize(static_cast<std::size_t>(p.chroma_width()) * 3);
    p.v.resize(p.u.size());
    for (auto* plane : {&p.y, &p.u, &p.v})
      for (uint8_t& byte : *plane)
        byte = static_cast<uint8_t>(random());
    const std::vector<uint32_t> expected = Libyuv(p, false);
    const int stride = width + 21;  // rows start at different places within a line
    for (int start = 0; start < 16; ++start) {
      for (const bool stream : {false, true}) {
        std::vector<uint32_t> storage(static_cast<std::size_t>(stride) * 5 + 48, kUntouched);
        // From a line boundary, `start` sets where the rows begin within their lines.
        const auto misaligned = reinterpret_cast<std::uintptr_t>(storage.data()) & 63;
        uint32_t* out = storage.data() + (64 - misaligned) % 64 / 4 + start;
        ConvertYuvToArgbAvx512(p.planes(), width, 5, false, out, stride, stream);
        for (std::size_t i = 0; i < storage.size(); ++i) {
          const std::ptrdiff_t at = &storage[i] - out;
          const bool inside = at >= 0 && at % stride < width && at / stride < 5;
          const uint32_t want =
              inside ? expected[static_cast<std::size_t>(at / stride * width + at % stride)]
                     : kUntouched;
          ASSERT_EQ(storage[i], want)
              << "width " << width << ", start " << start << ", stream " << stream << ", at " << at;
        }
      }
    }
  }
}

}  // namespace
