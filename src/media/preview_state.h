// The one live preview of the main window: what the stream's thread reads and the window's
// thread changes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "discovery/device_row.h"

namespace vdz {

struct PreviewState {
  // Read by the stream's thread while the window's thread changes them under the lock;
  // atomic so that the reads need no lock.
  std::atomic<int> stream_handle{0};
  std::atomic<int> player_port{0};
  int cell = 0;
  std::atomic<int> audio_on{0};
  int stream_number = 0;
  std::atomic<uint8_t> sound_wanted{0};
  // Written before the stream starts and not while it runs.
  DeviceRow device{};
  std::atomic<int> frame_count{0};
  int64_t start_time = 0;
  std::atomic<int> announced_frame_rate{0};
  // Set while RealPlay runs: its stream may deliver before the handle is stored.
  std::atomic<bool> starting{false};
};

}  // namespace vdz
