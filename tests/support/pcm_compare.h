// Audio checks shared by decoder, SDK and lab tests: tone files, external encoders and
// decoders, and the similarity of two PCM signals.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vdz::testing {

// Two tones under a slow envelope: not periodic over short lags, so alignment is unambiguous.
inline std::vector<int16_t> ToneSamples(int rate, int channels, double seconds) {
  const int frames = static_cast<int>(rate * seconds);
  std::vector<int16_t> out;
  out.reserve(static_cast<std::size_t>(frames * channels));
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double env = 0.5 + 0.4 * std::sin(2 * M_PI * 1.3 * t);
    const double a =
        env * (0.6 * std::sin(2 * M_PI * 330 * t) + 0.3 * std::sin(2 * M_PI * 770 * t));
    for (int c = 0; c < channels; ++c) {
      const double v = c == 0 ? a : env * 0.7 * std::sin(2 * M_PI * 550 * t);
      out.push_back(static_cast<int16_t>(std::lround(v * 20000)));
    }
  }
  return out;
}

inline void WriteU32(std::ofstream& f, uint32_t v) {
  f.write(reinterpret_cast<const char*>(&v), 4);
}
inline void WriteU16(std::ofstream& f, uint16_t v) {
  f.write(reinterpret_cast<const char*>(&v), 2);
}

inline void WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int rate,
                     int channels) {
  std::ofstream f(path, std::ios::binary);
  const uint32_t bytes = static_cast<uint32_t>(pcm.size() * 2);
  f.write("RIFF", 4);
  WriteU32(f, 36 + bytes);
  f.write("WAVEfmt ", 8);
  WriteU32(f, 16);
  WriteU16(f, 1);
  WriteU16(f, static_cast<uint16_t>(channels));
  WriteU32(f, static_cast<uint32_t>(rate));
  WriteU32(f, static_cast<uint32_t>(rate * channels * 2));
  WriteU16(f, static_cast<uint16_t>(channels * 2));
  WriteU16(f, 16);
  f.write("data", 4);
  WriteU32(f, bytes);
  f.write(reinterpret_cast<const char*>(pcm.data()), bytes);
}

inline bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline std::vector<int16_t> AsSamples(const char* data, std::size_t bytes) {
  std::vector<int16_t> out(bytes / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>(static_cast<uint8_t>(data[2 * i]) |
                                  (static_cast<uint8_t>(data[2 * i + 1]) << 8));
  return out;
}

// A tone MP3 made by LAME (without its info frame, so every decoder yields the same frames).
inline bool MakeToneMp3(const std::string& dir, const std::string& name, int rate, int channels,
                        double seconds, const std::string& extra = "") {
  const std::string wav = dir + "/" + name + ".wav";
  WriteWav(wav, ToneSamples(rate, channels, seconds), rate, channels);
  const int kbps = rate <= 16000 ? 64 : 128;
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "lame --quiet -t -b %d -m %s --resample %g %s '%s' '%s/%s'", kbps,
                channels == 2 ? "s" : "m", rate / 1000.0, extra.c_str(), wav.c_str(), dir.c_str(),
                name.c_str());
  return Run(cmd);
}

// FFmpeg's own decode of `file` into signed 16-bit PCM of the given format.
inline std::vector<int16_t> FfmpegDecode(const std::string& file, int rate, int channels,
                                         const std::string& scratch) {
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "ffmpeg -nostdin -v error -y -i '%s' -f s16le -ac %d -ar %d '%s'",
                file.c_str(), channels, rate, scratch.c_str());
  if (!Run(cmd))
    return {};
  const std::string raw = ReadFile(scratch);
  return AsSamples(raw.data(), raw.size());
}

// Best normalised correlation of channel 0 of `a` against `b` over lags up to `max_lag`
// frames either way.
inline double AlignedCorrelation(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                                 int channels, int max_lag) {
  const long na = static_cast<long>(a.size()) / channels;
  const long nb = static_cast<long>(b.size()) / channels;
  double best = -1;
  for (int lag = -max_lag; lag <= max_lag; ++lag) {
    double sab = 0, saa = 0, sbb = 0;
    for (long i = 0; i < na; i += 1) {
      const long j = i + lag;
      if (j < 0 || j >= nb)
        continue;
      const double x = a[static_cast<std::size_t>(i * channels)];
      const double y = b[static_cast<std::size_t>(j * channels)];
      sab += x * y;
      saa += x * x;
      sbb += y * y;
    }
    if (saa > 0 && sbb > 0)
      best = std::max(best, sab / std::sqrt(saa * sbb));
  }
  return best;
}

}  // namespace vdz::testing
