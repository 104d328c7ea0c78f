// Converts a decoded picture to 32-bit pixels 0xffRRGGBB at a given size: libswscale scales,
// and at the picture's own size libyuv or our AVX-512 pass converts.
#pragma once

#include <cstddef>
#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace vdz::player {

// libswscale's vector code writes whole groups of 8 pixels: a row whose width is not a
// multiple of 8 may be overwritten past its end up to the next multiple of 8. Every buffer it
// writes into needs that much room after each row (the next row, or slack after the last).
constexpr int kScalerRowSlack = 8;

// Pixels a tightly packed buffer for a width x height picture needs, overrun included.
constexpr std::size_t ScalerBufferPixels(int width, int height) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) + kScalerRowSlack;
}

class PictureScaler {
 public:
  PictureScaler() = default;
  ~PictureScaler();
  PictureScaler(const PictureScaler&) = delete;
  PictureScaler& operator=(const PictureScaler&) = delete;

  // Writes the whole picture scaled to width x height at pixels, rows stride_pixels apart,
  // every alpha byte opaque (the scaler writes them so from a source without alpha).
  // False when the picture or the size cannot be converted. With write_through the pixels
  // are not expected to be read soon (they go to a window's store), so where it can they are
  // written around the cache.
  bool Scale(const AVFrame& frame, int width, int height, uint32_t* pixels, int stride_pixels,
             bool write_through = false);
  // Pixels past the end of each row that Scale may write for this picture and size: none at
  // the picture's own size, where only the rows' own pixels are written.
  static int Overrun(const AVFrame& frame, int width, int height);

 private:
  static bool ConvertsAtOwnSize(const AVFrame& frame, int width, int height);
  bool ConvertAtOwnSize(const AVFrame& frame, uint32_t* out, int stride_pixels, bool write_through);

  SwsContext* sws_ = nullptr;
};

}  // namespace vdz::player
