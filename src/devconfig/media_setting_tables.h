// The fixed tables of the image, encoding and motion settings: gains, detection grids and the
// encoder limits per resolution, format and stream.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vdz {

struct GainEntry {
  const char* name;
  int value;  // decibels; -1 leaves the gain alone
};
std::span<const GainEntry> GainTable();
inline constexpr int kDefaultGainValue = 30;  // ISO_3200

struct MotionGridEntry {
  const char* name;
  int columns;
  int rows;
};
std::span<const MotionGridEntry> MotionGridTable();
inline constexpr int kDefaultMotionGrid = 4;  // 4X3
// Columns and rows of a grid row's item data; 4 x 3 for anything outside the table.
MotionGridEntry MotionGridAt(int index);

struct EncodeCapability {
  std::string resolution;
  std::string format;  // "H264", "H265"
  int stream = 0;      // 0 main, 1 sub
  int default_kbps = 0, min_kbps = 0, max_kbps = 0;
  int default_fps = 0, min_fps = 0, max_fps = 0;
  bool stream_default = false;
};

// The dialog's records: the fixed rows in order, then each again written for H265, so a row
// made for H265 is found before the copy. At most 128 records.
std::vector<EncodeCapability> EncodeCapabilities();

// The first record for resolution and stream whose format matches (any format when format is
// empty); nullptr when none does.
const EncodeCapability* FindCapability(const std::vector<EncodeCapability>& records,
                                       std::string_view resolution, int stream,
                                       std::string_view format);
// The record marked as the stream's default resolution.
const EncodeCapability* DefaultCapability(const std::vector<EncodeCapability>& records, int stream);
// Distinct resolutions of a stream, in table order.
std::vector<std::string> StreamResolutions(const std::vector<EncodeCapability>& records,
                                           int stream);

}  // namespace vdz
