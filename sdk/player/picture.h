// One decoded picture ready to paint: 32-bit pixels 0xffRRGGBB.
#pragma once

#include <cstdint>
#include <vector>

namespace vdz::player {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height, no row gaps
  int64_t timestamp_us = 0;
  int64_t received_us = 0;
};

struct TargetSize {
  int width = 0;
  int height = 0;
};

}  // namespace vdz::player
