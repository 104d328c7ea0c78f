#include "media/media_runtime.h"

#include "player/qm_player.h"
#include "rtspclient/qm_rtsp_client.h"

namespace vdz {

std::unique_ptr<MediaRuntime> MediaRuntime::Start(LogLine log) {
  QM_RTSP_CLINET_LIB_SetLogCallback(log);
  QM_RTSP_CLINET_LIB_InitLib();
  QM_PLAYER_Init();
  return std::unique_ptr<MediaRuntime>(new MediaRuntime);
}

MediaRuntime::~MediaRuntime() {
  QM_PLAYER_ReleaseAll();
  QM_RTSP_CLINET_LIB_ReleaseLib();
}

std::optional<DecodedPicture> MediaRuntime::LastPicture(int port, int64_t min_frames) const {
  QM_PLAYER_STATS stats{};
  if (port <= 0 || QM_PLAYER_GetStats(port, &stats) != 0 || stats.video_frames < min_frames)
    return std::nullopt;
  DecodedPicture picture;
  // Asked without a buffer, the player tells the size (-2).
  if (QM_PLAYER_GetLastPicture(port, nullptr, 0, &picture.width, &picture.height) != -2 ||
      picture.width < 1 || picture.height < 1)
    return std::nullopt;
  const int width = picture.width;
  const int height = picture.height;
  picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (QM_PLAYER_GetLastPicture(port, picture.pixels.data(),
                               static_cast<int64_t>(picture.pixels.size()), &picture.width,
                               &picture.height) != 0 ||
      picture.width != width || picture.height != height)
    return std::nullopt;
  return picture;
}

}  // namespace vdz
