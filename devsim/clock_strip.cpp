#include "clock_strip.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace vdz::devsim {

namespace {

constexpr int kBits = 40;
constexpr int kCheckBits = 4;
constexpr int kColumns = 64;  // block width = width / 64
constexpr int kRows = 40;     // block height = height / 40
constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;

// 5 x 7 glyphs, one byte per row, bit 4 leftmost.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
    {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}},
    {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}},
    {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}},
    {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}},
    {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c}},
    {':', {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x0c, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}},
};

const Glyph* Find(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c)
      return &g;
  }
  return nullptr;
}

void FillY(const I420Picture& p, int x, int y, int w, int h, uint8_t value) {
  const int x0 = std::clamp(x, 0, p.width);
  const int x1 = std::clamp(x + w, 0, p.width);
  const int y0 = std::clamp(y, 0, p.height);
  const int y1 = std::clamp(y + h, 0, p.height);
  for (int row = y0; row < y1; ++row)
    std::fill(p.y + row * p.y_stride + x0, p.y + row * p.y_stride + x1, value);
}

// Grey in the chroma planes, so the blocks and text are black and white.
void Neutral(const I420Picture& p, int x, int y, int w, int h) {
  const int x0 = std::clamp(x / 2, 0, p.width / 2);
  const int x1 = std::clamp((x + w + 1) / 2, 0, p.width / 2);
  const int y0 = std::clamp(y / 2, 0, p.height / 2);
  const int y1 = std::clamp((y + h + 1) / 2, 0, p.height / 2);
  for (int row = y0; row < y1; ++row) {
    std::fill(p.u + row * p.uv_stride + x0, p.u + row * p.uv_stride + x1, uint8_t{128});
    std::fill(p.v + row * p.uv_stride + x0, p.v + row * p.uv_stride + x1, uint8_t{128});
  }
}

void DrawText(const I420Picture& p, int x, int y, int scale, const std::string& text) {
  const int w = static_cast<int>(text.size()) * 6 * scale + scale;
  const int h = 9 * scale;
  FillY(p, x, y, w, h, kBlack);
  Neutral(p, x, y, w, h);
  int cx = x + scale;
  for (char c : text) {
    if (const Glyph* g = Find(c)) {
      for (int r = 0; r < 7; ++r) {
        for (int b = 0; b < 5; ++b) {
          if (g->rows[r] & (0x10 >> b))
            FillY(p, cx + b * scale, y + scale + r * scale, scale, scale, kWhite);
        }
      }
    }
    cx += 6 * scale;
  }
}

uint64_t Checksum(uint64_t value) {
  return static_cast<uint64_t>(__builtin_popcountll(value)) & ((1u << kCheckBits) - 1);
}

}  // namespace

LabelBox LabelRegion() {
  return {0.05, 0.80, 0.5, 0.12};
}

void DrawCameraOverlay(const I420Picture& p, int64_t wall_ms, const std::string& label) {
  if (p.width < kColumns || p.height < kRows)
    return;
  const int bw = p.width / kColumns;
  const int bh = p.height / kRows;
  const uint64_t value = static_cast<uint64_t>(wall_ms) & ((uint64_t{1} << kBits) - 1);
  const uint64_t word = (value << kCheckBits) | Checksum(value);
  const int total = kBits + kCheckBits;
  FillY(p, 0, 0, (total + 2) * bw, 3 * bh, kBlack);
  Neutral(p, 0, 0, (total + 2) * bw, 3 * bh);
  for (int i = 0; i < total; ++i) {
    const bool one = (word >> (total - 1 - i)) & 1u;
    FillY(p, (1 + i) * bw, bh, bw, bh, one ? kWhite : kBlack);
  }
  const int scale = std::max(1, p.height / 90);
  const std::time_t seconds = static_cast<std::time_t>(wall_ms / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(wall_ms % 1000));
  DrawText(p, bw, 4 * bh, scale, clock);
  const LabelBox box = LabelRegion();
  DrawText(p, static_cast<int>(box.x * p.width), static_cast<int>(box.y * p.height), scale, label);
}

bool ReadClockStrip(const uint32_t* pixels, int width, int height, int stride, int64_t* wall_ms) {
  if (pixels == nullptr || width < kColumns || height < kRows)
    return false;
  const double bw = static_cast<double>(width) / kColumns;
  const double bh = static_cast<double>(height) / kRows;
  const int total = kBits + kCheckBits;
  uint64_t word = 0;
  const int y = static_cast<int>(bh * 1.5);
  for (int i = 0; i < total; ++i) {
    const int x = static_cast<int>(bw * (1.5 + i));
    const uint32_t px = pixels[y * stride + x];
    const int g = static_cast<int>((px >> 8) & 0xff);
    word = (word << 1) | (g > 128 ? 1u : 0u);
  }
  const uint64_t value = word >> kCheckBits;
  if ((word & ((1u << kCheckBits) - 1)) != Checksum(value) || value == 0)
    return false;
  *wall_ms = static_cast<int64_t>(value);
  return true;
}

}  // namespace vdz::devsim
