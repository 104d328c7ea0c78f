// The RTSP client and player libraries' life in this process, one owner for the window and
// the CLI: start-up before the first player port is made, the pictures a port has decoded,
// and the release of every player and then of the RTSP library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vdz {

// A decoded picture: 0xFFRRGGBB pixels, rows without gaps.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

class MediaRuntime {
 public:
  using LogLine = void (*)(const char* line);

  // Clears the player's ports (a player made before this is released) and starts the RTSP
  // library, whose lines go to log. One runtime at a time: both libraries are process-wide.
  static std::unique_ptr<MediaRuntime> Start(LogLine log);
  // Releases every player, then the RTSP library once its stream threads have ended. Streams
  // still open end here; stop a preview first to take its own stop path.
  ~MediaRuntime();
  MediaRuntime(const MediaRuntime&) = delete;
  MediaRuntime& operator=(const MediaRuntime&) = delete;

  // The last picture of the port once it has decoded at least min_frames pictures; nothing
  // before, or for a port without a picture.
  std::optional<DecodedPicture> LastPicture(int port, int64_t min_frames) const;

 private:
  MediaRuntime() = default;
};

}  // namespace vdz
