#include "snapshot_picture.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vdz::devsim {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kScale = 4;  // pixels per font dot

// 5x7 dots for the characters an address and a time need; a row is 5 bits, high bit left.
struct Glyph {
  char c;
  unsigned char rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

void DrawText(std::vector<unsigned char>* rgb, int x0, int y0, const std::string& text) {
  int x = x0;
  for (char c : text) {
    for (const Glyph& g : kFont) {
      if (g.c != c)
        continue;
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (!(g.rows[row] & (0x10 >> col)))
            continue;
          for (int dy = 0; dy < kScale; ++dy) {
            for (int dx = 0; dx < kScale; ++dx) {
              const int px = x + col * kScale + dx;
              const int py = y0 + row * kScale + dy;
              if (px < 0 || px >= kWidth || py < 0 || py >= kHeight)
                continue;
              unsigned char* p = &(*rgb)[static_cast<std::size_t>((py * kWidth + px) * 3)];
              p[0] = p[1] = p[2] = 255;
            }
          }
        }
      }
    }
    x += 6 * kScale;
  }
}

}  // namespace

std::string SnapshotJpeg(const std::string& address, const std::string& time_text) {
  // Colour bars, then a dark band for the text.
  static const unsigned char kBars[8][3] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192},
                                            {0, 192, 0},     {192, 0, 192}, {192, 0, 0},
                                            {0, 0, 192},     {16, 16, 16}};
  std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth * kHeight * 3));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const unsigned char* bar = y > 150 ? kBars[7] : kBars[x * 8 / kWidth];
      std::copy(bar, bar + 3, &rgb[static_cast<std::size_t>((y * kWidth + x) * 3)]);
    }
  }
  DrawText(&rgb, 8, 160, address);
  DrawText(&rgb, 8, 200, time_text);

  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[static_cast<std::size_t>(cinfo.next_scanline * kWidth * 3)];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}

}  // namespace vdz::devsim
