#include "player/picture_scaler.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <libyuv/convert_argb.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "player/yuv_to_argb.h"

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

}  // namespace

bool PictureScaler::ConvertsAtOwnSize(const AVFrame& frame, int width, int height) {
  return width == frame.width && height == frame.height &&
         OwnSizeConversion(frame.format) != nullptr;
}

// At the picture's own size (the full-screen case) libyuv converts about a quarter faster
// than libswscale, and where the CPU has AVX-512 our own pass, with libyuv's arithmetic,
// converts and stores in one go. A window's store is written, not read, and at 1080p it is
// 8 MB, larger than the caches: there (write_through) whole lines go around the cache, so that
// no line of the store is fetched only to be overwritten.
bool PictureScaler::ConvertAtOwnSize(const AVFrame& frame, uint32_t* out, int stride_pixels,
                                     bool write_through) {
  if (CanConvertYuvWithAvx512()) {
    const YuvPlanes planes{frame.data[0],     frame.data[1],     frame.data[2],
                           frame.linesize[0], frame.linesize[1], frame.linesize[2]};
    ConvertYuvToArgbAvx512(planes, frame.width, frame.height, frame.format == AV_PIX_FMT_YUVJ420P,
                           out, stride_pixels, write_through);
    return true;
  }
  return OwnSizeConversion(frame.format)(frame.data[0], frame.linesize[0], frame.data[1],
                                         frame.linesize[1], frame.data[2], frame.linesize[2],
                                         reinterpret_cast<uint8_t*>(out), stride_pixels * 4,
                                         frame.width, frame.height) == 0;
}

int PictureScaler::Overrun(const AVFrame& frame, int width, int height) {
  if (ConvertsAtOwnSize(frame, width, height))
    return 0;
  return (kScalerRowSlack - width % kScalerRowSlack) % kScalerRowSlack;
}

PictureScaler::~PictureScaler() {
  sws_freeContext(sws_);
}

bool PictureScaler::Scale(const AVFrame& frame, int width, int height, uint32_t* pixels,
                          int stride_pixels, bool write_through) {
  if (width < 1 || height < 1 || frame.width < 1 || frame.height < 1 || pixels == nullptr ||
      stride_pixels < width)
    return false;
  if (ConvertsAtOwnSize(frame, width, height))
    return ConvertAtOwnSize(frame, pixels, stride_pixels, write_through);
  sws_ = sws_getCachedContext(sws_, frame.width, frame.height,
                              static_cast<AVPixelFormat>(frame.format), width, height,
                              AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (sws_ == nullptr)
    return false;
  uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels), nullptr, nullptr, nullptr};
  const int strides[4] = {stride_pixels * 4, 0, 0, 0};
  return sws_scale(sws_, frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

}  // namespace vdz::player
