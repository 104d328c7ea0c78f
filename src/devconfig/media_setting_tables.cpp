#include "devconfig/media_setting_tables.h"

namespace vdz {
namespace {

constexpr GainEntry kGains[] = {
    {"DO NOT SET", -1}, {"ISO_100", 0},    {"ISO_150", 3},     {"ISO_200", 6},
    {"ISO_300", 9},     {"ISO_400", 12},   {"ISO_600", 15},    {"ISO_800", 18},
    {"ISO_1600", 24},   {"ISO_3200", 30},  {"ISO_6400", 36},   {"ISO_12800", 42},
    {"ISO_25600", 48},  {"ISO_51200", 54}, {"ISO_102400", 60}, {"ISO_204800", 66},
    {"ISO_409600", 72},
};

constexpr MotionGridEntry kGrids[] = {
    {"1X1", 1, 1}, {"2X2", 2, 2}, {"3X2", 3, 2},     {"3X3", 3, 3},     {"4X3", 4, 3},
    {"4X4", 4, 4}, {"8X8", 8, 8}, {"16X16", 16, 16}, {"22X18", 22, 18},
};

struct CapabilityRow {
  const char* resolution;
  const char* format;
  int stream, default_kbps, min_kbps, max_kbps, default_fps, min_fps, max_fps;
  bool stream_default;
};

constexpr CapabilityRow kCapabilities[] = {
    {"5MP", "H264", 0, 6000, 500, 10000, 25, 1, 30, false},
    {"2592X1944", "H264", 0, 6000, 500, 8000, 25, 1, 30, false},
    {"2592X1520", "H264", 0, 6000, 500, 8000, 25, 1, 30, true},
    {"2560X1440", "H264", 0, 6000, 500, 10000, 25, 1, 30, false},
    {"2048X1520", "H264", 0, 5500, 500, 8000, 25, 1, 30, false},
    {"2048X1512", "H264", 0, 6000, 500, 8000, 25, 1, 30, false},
    {"2304X1296", "H264", 0, 5500, 500, 8000, 25, 1, 30, false},
    {"1080P", "H264", 0, 4000, 500, 6000, 25, 1, 30, false},
    {"720P", "H264", 0, 2500, 500, 2500, 25, 1, 30, false},
    {"2592X1944", "H265", 0, 3500, 500, 6000, 25, 1, 30, false},
    {"2592X1520", "H265", 0, 3500, 500, 6000, 25, 1, 20, false},
    {"2048X1520", "H265", 0, 3000, 500, 6000, 25, 1, 30, false},
    {"2304X1296", "H265", 0, 3000, 500, 6000, 25, 1, 30, false},
    {"1080P", "H265", 0, 2500, 500, 4000, 25, 1, 30, false},
    {"720P", "H265", 0, 1500, 100, 1500, 25, 1, 30, false},
    {"720X480", "H264", 1, 500, 50, 2000, 25, 1, 30, false},
    {"VGA", "H264", 1, 450, 50, 2000, 25, 1, 30, false},
    {"640X360", "H264", 1, 350, 50, 2000, 25, 1, 30, true},
    {"480X360", "H264", 1, 300, 50, 2000, 25, 1, 30, false},
    {"480X270", "H264", 1, 300, 50, 2000, 25, 1, 30, false},
    {"CIF", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"QVGA", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"352X192", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"320X192", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"288X192", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"256X192", "H264", 1, 200, 50, 2000, 25, 1, 30, false},
    {"VGA", "H265", 1, 250, 50, 2000, 25, 1, 30, false},
    {"640X360", "H265", 1, 200, 50, 2000, 25, 1, 30, false},
    {"480X360", "H265", 1, 200, 50, 2000, 25, 1, 30, false},
    {"CIF", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
    {"QVGA", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
    {"352X192", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
    {"320X192", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
    {"288X192", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
    {"256X192", "H265", 1, 100, 50, 2000, 25, 1, 30, false},
};

constexpr std::size_t kMaxCapabilityRecords = 128;

}  // namespace

std::span<const GainEntry> GainTable() {
  return kGains;
}

std::span<const MotionGridEntry> MotionGridTable() {
  return kGrids;
}

MotionGridEntry MotionGridAt(int index) {
  if (index >= 0 && index < static_cast<int>(std::size(kGrids)))
    return kGrids[index];
  return kGrids[kDefaultMotionGrid];
}

std::vector<EncodeCapability> EncodeCapabilities() {
  std::vector<EncodeCapability> records;
  for (int pass = 0; pass < 2; ++pass) {
    for (const CapabilityRow& r : kCapabilities) {
      if (records.size() >= kMaxCapabilityRecords)
        return records;
      records.push_back({r.resolution, pass == 0 ? r.format : "H265", r.stream, r.default_kbps,
                         r.min_kbps, r.max_kbps, r.default_fps, r.min_fps, r.max_fps,
                         r.stream_default});
    }
  }
  return records;
}

const EncodeCapability* FindCapability(const std::vector<EncodeCapability>& records,
                                       std::string_view resolution, int stream,
                                       std::string_view format) {
  for (const EncodeCapability& r : records) {
    if (r.resolution == resolution && r.stream == stream && (format.empty() || r.format == format))
      return &r;
  }
  return nullptr;
}

const EncodeCapability* DefaultCapability(const std::vector<EncodeCapability>& records,
                                          int stream) {
  for (const EncodeCapability& r : records) {
    if (r.stream == stream && r.stream_default)
      return &r;
  }
  return nullptr;
}

std::vector<std::string> StreamResolutions(const std::vector<EncodeCapability>& records,
                                           int stream) {
  std::vector<std::string> names;
  for (const EncodeCapability& r : records) {
    if (r.stream != stream)
      continue;
    bool seen = false;
    for (const std::string& n : names)
      seen = seen || n == r.resolution;
    if (!seen)
      names.push_back(r.resolution);
  }
  return names;
}

}  // namespace vdz
