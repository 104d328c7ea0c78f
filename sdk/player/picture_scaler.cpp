#include "player/picture_scaler.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <libyuv/convert_argb.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace vdz::player {

namespace {

using ConvertFunction = int (*)(const uint8_t*, int, const uint8_t*, int, const uint8_t*, int,
                                uint8_t*, int, int, int);

// libyuv's conversions for the decoders' usual formats, with the matrix and range libswscale
// gives them (BT.601; limited range, full for the "J" format).
ConvertFunction OwnSizeConversion(int format) {
  switch (format) {
    case AV_PIX_FMT_YUV420P:
      return libyuv::I420ToARGB;
    case AV_PIX_FMT_YUVJ420P:
      return libyuv::J420ToARGB;
    default:
      return nullptr;
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

// Whole 64-byte lines written with non-temporal stores: no line of the destination is fetched
// only to be overwritten. (16-byte ones measured slower than plain stores here.)
bool CanStreamLines() {
  static const bool ok = __builtin_cpu_supports("avx512f");
  return ok;
}

__attribute__((target("avx512f"))) void StreamRow(uint32_t* to, const uint32_t* from, int count) {
  int i = 0;
  for (; i < count && (reinterpret_cast<std::uintptr_t>(to + i) & 63) != 0; ++i)
    to[i] = from[i];
  for (; i + 16 <= count; i += 16)
    _mm512_stream_si512(reinterpret_cast<__m512i*>(to + i), _mm512_loadu_si512(from + i));
  for (; i < count; ++i)
    to[i] = from[i];
}

// The streamed stores are seen before the store is handed on.
void EndStream() {
  _mm_sfence();
}
#else
bool CanStreamLines() {
  return false;
}

void StreamRow(uint32_t* to, const uint32_t* from, int count) {
  std::memcpy(to, from, static_cast<std::size_t>(count) * sizeof(uint32_t));
}

void EndStream() {}
#endif

}  // namespace

// At the picture's own size (the full-screen case) libyuv converts about a quarter faster
// than libswscale. A window's store is written, not read, and at 1080p it is 8 MB, larger than
// the caches: where whole lines can be streamed, rows are converted a few at a time into a
// strip that stays in the cache and streamed out from there, so that no line of the store is
// fetched only to be overwritten.
bool PictureScaler::ConvertAtOwnSize(const AVFrame& frame, uint8_t* out, int stride_bytes,
                                     bool write_through) {
  const ConvertFunction convert = OwnSizeConversion(frame.format);
  if (convert == nullptr)
    return false;
  const int width = frame.width;
  const int height = frame.height;
  if (!write_through || !CanStreamLines())
    return convert(frame.data[0], frame.linesize[0], frame.data[1], frame.linesize[1],
                   frame.data[2], frame.linesize[2], out, stride_bytes, width, height) == 0;
  constexpr int kStripRows = 4;  // even: a strip starts on a row with its own chroma row
  strip_.resize(static_cast<std::size_t>(width) * kStripRows);
  for (int y = 0; y < height; y += kStripRows) {
    const int rows = std::min(kStripRows, height - y);
    const int chroma_row = y / 2;
    if (convert(frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0],
                frame.linesize[0],
                frame.data[1] + static_cast<std::ptrdiff_t>(chroma_row) * frame.linesize[1],
                frame.linesize[1],
                frame.data[2] + static_cast<std::ptrdiff_t>(chroma_row) * frame.linesize[2],
                frame.linesize[2], reinterpret_cast<uint8_t*>(strip_.data()), width * 4, width,
                rows) != 0)
      return false;
    for (int r = 0; r < rows; ++r)
      StreamRow(
          reinterpret_cast<uint32_t*>(out + static_cast<std::ptrdiff_t>(y + r) * stride_bytes),
          &strip_[static_cast<std::size_t>(r) * static_cast<std::size_t>(width)], width);
  }
  EndStream();
  return true;
}

PictureScaler::~PictureScaler() {
  sws_freeContext(sws_);
}

bool PictureScaler::Scale(const AVFrame& frame, int width, int height, uint32_t* pixels,
                          int stride_pixels, bool write_through) {
  if (width < 1 || height < 1 || frame.width < 1 || frame.height < 1 || pixels == nullptr ||
      stride_pixels < width)
    return false;
  auto* out = reinterpret_cast<uint8_t*>(pixels);
  if (width == frame.width && height == frame.height &&
      ConvertAtOwnSize(frame, out, stride_pixels * 4, write_through))
    return true;
  sws_ = sws_getCachedContext(sws_, frame.width, frame.height,
                              static_cast<AVPixelFormat>(frame.format), width, height,
                              AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (sws_ == nullptr)
    return false;
  uint8_t* planes[4] = {out, nullptr, nullptr, nullptr};
  const int strides[4] = {stride_pixels * 4, 0, 0, 0};
  return sws_scale(sws_, frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

}  // namespace vdz::player
