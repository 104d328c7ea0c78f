#include "player/yuv_to_argb.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VDZ_YUV_AVX512 1
#endif

namespace vdz::player {

#ifdef VDZ_YUV_AVX512

namespace {

// In units of 1/64, as libyuv has them: the luma scale is applied to y * 0x0101 as the high
// half of a 16-bit product, then the bias (which carries the rounding) is added.
struct Coefficients {
  int16_t luma_scale;
  int16_t luma_bias;
  int16_t u_to_blue;
  int16_t u_to_green;
  int16_t v_to_green;
  int16_t v_to_red;
};

constexpr Coefficients kLimitedRange{18997, -1160, 128, 25, 52, 102};
constexpr Coefficients kFullRange{16320, 32, 113, 22, 46, 90};

constexpr int kGroup = 64;  // pixels converted per step: four 64-byte lines

#define VDZ_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))

VDZ_AVX512 inline __m512i Clamp(__m512i value) {
  return _mm512_min_epi16(_mm512_max_epi16(value, _mm512_setzero_si512()), _mm512_set1_epi16(255));
}

VDZ_AVX512 inline __mmask16 FirstLanes(int count) {
  return count >= 16 ? __mmask16{0xffff}
                     : static_cast<__mmask16>(count <= 0 ? 0u : (1u << count) - 1);
}

// 32 pixels from their luma words and the chroma terms spread to them: BGRA pixels 0-15 in
// *first and 16-31 in *second.
VDZ_AVX512 inline void ConvertHalf(__m512i luma, __m512i blue_term, __m512i green_term,
                                   __m512i red_term, const Coefficients& k, __m512i* first,
                                   __m512i* second) {
  const __m512i scaled =
      _mm512_add_epi16(_mm512_mulhi_epu16(_mm512_or_si512(luma, _mm512_slli_epi16(luma, 8)),
                                          _mm512_set1_epi16(k.luma_scale)),
                       _mm512_set1_epi16(k.luma_bias));
  const __m512i blue = Clamp(_mm512_srai_epi16(_mm512_adds_epi16(scaled, blue_term), 6));
  const __m512i green = Clamp(_mm512_srai_epi16(_mm512_subs_epi16(scaled, green_term), 6));
  const __m512i red = Clamp(_mm512_srai_epi16(_mm512_adds_epi16(scaled, red_term), 6));
  // Words B|G<<8 and R|0xff00 interleave into BGRA pixels; the unpacks work within 128-bit
  // lanes, so the two results are put back in pixel order afterwards.
  const __m512i blue_green = _mm512_or_si512(blue, _mm512_slli_epi16(green, 8));
  const __m512i red_alpha = _mm512_or_si512(red, _mm512_set1_epi16(static_cast<int16_t>(0xff00)));
  const __m512i low = _mm512_unpacklo_epi16(blue_green, red_alpha);
  const __m512i high = _mm512_unpackhi_epi16(blue_green, red_alpha);
  *first = _mm512_permutex2var_epi64(low, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), high);
  *second = _mm512_permutex2var_epi64(low, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), high);
}

// Converts the 64 pixels starting at an even pixel of a row, of which the first `count`
// (1..64) exist; u and v point at its chroma sample. Only the existing pixels' bytes are read.
VDZ_AVX512 inline void ConvertGroup(const uint8_t* y, const uint8_t* u, const uint8_t* v, int count,
                                    const Coefficients& k, __m512i pixels[4]) {
  const auto first_lanes = [](int n) {
    return n >= 32 ? ~__mmask32{0} : n <= 0 ? __mmask32{0} : (__mmask32{1} << n) - 1;
  };
  const int chroma_count = (count + 1) / 2;
  const __mmask32 chroma_mask = first_lanes(chroma_count);
  const __m512i half = _mm512_set1_epi16(128);
  const __m512i u16 =
      _mm512_sub_epi16(_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(chroma_mask, u)), half);
  const __m512i v16 =
      _mm512_sub_epi16(_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(chroma_mask, v)), half);
  const __m512i blue_term = _mm512_mullo_epi16(u16, _mm512_set1_epi16(k.u_to_blue));
  const __m512i green_term =
      _mm512_add_epi16(_mm512_mullo_epi16(u16, _mm512_set1_epi16(k.u_to_green)),
                       _mm512_mullo_epi16(v16, _mm512_set1_epi16(k.v_to_green)));
  const __m512i red_term = _mm512_mullo_epi16(v16, _mm512_set1_epi16(k.v_to_red));

  // Each chroma term serves two neighbouring pixels.
  const __m512i spread_low = _mm512_set_epi16(15, 15, 14, 14, 13, 13, 12, 12, 11, 11, 10, 10, 9, 9,
                                              8, 8, 7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0);
  const __m512i spread_high = _mm512_add_epi16(spread_low, _mm512_set1_epi16(16));
  ConvertHalf(_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(first_lanes(count), y)),
              _mm512_permutexvar_epi16(spread_low, blue_term),
              _mm512_permutexvar_epi16(spread_low, green_term),
              _mm512_permutexvar_epi16(spread_low, red_term), k, &pixels[0], &pixels[1]);
  ConvertHalf(_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(first_lanes(count - 32), y + 32)),
              _mm512_permutexvar_epi16(spread_high, blue_term),
              _mm512_permutexvar_epi16(spread_high, green_term),
              _mm512_permutexvar_epi16(spread_high, red_term), k, &pixels[2], &pixels[3]);
}

// Takes a row's pixels 16 at a time, in order, and writes them as whole 64-byte lines with
// non-temporal stores wherever the row covers a whole line; the row's first and last partial
// lines get plain stores. The row may start anywhere in a line: each line is put together
// from two neighbouring groups of 16, so the source is read at its own alignment.
class LineStreamer {
 public:
  VDZ_AVX512 LineStreamer(uint32_t* out, int width) : out_(out), width_(width) {
    head_ = static_cast<int>((64 - (reinterpret_cast<std::uintptr_t>(out) & 63)) & 63) / 4;
    head_ = std::min(head_, width);
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    line_index_ = _mm512_add_epi32(lanes, _mm512_set1_epi32(head_));
  }

  VDZ_AVX512 void Add(__m512i pixels) {
    if (added_ == 0) {
      _mm512_mask_storeu_epi32(out_, FirstLanes(head_), pixels);
    } else {
      WriteLine(added_ - 1, _mm512_permutex2var_epi32(previous_, line_index_, pixels));
    }
    previous_ = pixels;
    ++added_;
  }

  // After the row's last group of 16.
  VDZ_AVX512 void Finish() {
    if (added_ > 0)
      WriteLine(added_ - 1,
                _mm512_permutex2var_epi32(previous_, line_index_, _mm512_setzero_si512()));
  }

 private:
  // Line n holds pixels head + 16n onwards.
  VDZ_AVX512 void WriteLine(int n, __m512i line) {
    const int start = head_ + 16 * n;
    if (start >= width_)
      return;
    if (start + 16 <= width_)
      _mm512_stream_si512(reinterpret_cast<__m512i*>(out_ + start), line);
    else
      _mm512_mask_storeu_epi32(out_ + start, FirstLanes(width_ - start), line);
  }

  uint32_t* out_;
  int width_;
  int head_ = 0;
  int added_ = 0;
  __m512i line_index_;
  __m512i previous_ = _mm512_setzero_si512();
};

VDZ_AVX512 void ConvertRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                           const Coefficients& k, uint32_t* out, bool stream) {
  __m512i pixels[4];
  if (!stream) {
    for (int x = 0; x < width; x += kGroup) {
      ConvertGroup(y + x, u + x / 2, v + x / 2, std::min(kGroup, width - x), k, pixels);
      for (int i = 0; i < 4; ++i)
        _mm512_mask_storeu_epi32(out + x + 16 * i, FirstLanes(width - x - 16 * i), pixels[i]);
    }
    return;
  }
  LineStreamer lines(out, width);
  for (int x = 0; x < width; x += kGroup) {
    const int count = std::min(kGroup, width - x);
    ConvertGroup(y + x, u + x / 2, v + x / 2, count, k, pixels);
    for (int i = 0; 16 * i < count; ++i)
      lines.Add(pixels[i]);
  }
  lines.Finish();
}

}  // namespace

bool CanConvertYuvWithAvx512() {
  static const bool ok = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                         __builtin_cpu_supports("avx512vl");
  return ok;
}

VDZ_AVX512 void ConvertYuvToArgbAvx512(const YuvPlanes& planes, int width, int height,
                                       bool full_range, uint32_t* out, int stride_pixels,
                                       bool stream) {
  const Coefficients& k = full_range ? kFullRange : kLimitedRange;
  for (int row = 0; row < height; ++row) {
    const int chroma_row = row / 2;
    ConvertRow(planes.y + static_cast<std::ptrdiff_t>(row) * planes.y_stride,
               planes.u + static_cast<std::ptrdiff_t>(chroma_row) * planes.u_stride,
               planes.v + static_cast<std::ptrdiff_t>(chroma_row) * planes.v_stride, width, k,
               out + static_cast<std::ptrdiff_t>(row) * stride_pixels, stream);
  }
  // The streamed stores are seen before the pixels are handed on.
  if (stream)
    _mm_sfence();
}

#else

bool CanConvertYuvWithAvx512() {
  return false;
}

void ConvertYuvToArgbAvx512(const YuvPlanes&, int, int, bool, uint32_t*, int, bool) {}

#endif

}  // namespace vdz::player
