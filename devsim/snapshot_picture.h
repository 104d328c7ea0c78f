// The picture a simulated device takes on a snapshot request: a test pattern with the
// device's address and the time drawn on it, encoded as a real JPEG.
#pragma once

#include <string>

namespace vdz::devsim {

// JPEG bytes of a 320x240 picture; empty when encoding fails.
std::string SnapshotJpeg(const std::string& address, const std::string& time_text);

}  // namespace vdz::devsim
