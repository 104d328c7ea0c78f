// One decoded picture ready to paint: 32-bit pixels 0xffRRGGBB.
#pragma once

#include <cstdint>
#include <vector>

namespace vdz::player {

struct Picture {
  int width = 0;
  int height = 0;
  // width * height, no row gaps, then room for the scaler's overrun (picture_scaler.h)
  std::vector<uint32_t> pixels;
  int64_t timestamp_us = 0;
  int64_t received_us = 0;
};

}  // namespace vdz::player
