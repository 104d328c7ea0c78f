// Video decoding of one port with libavcodec, and scaling to the window with libswscale.
#pragma once

#include <cstdint>
#include <memory>

#include "player/picture.h"
#include "rtspclient/qm_rtsp_client.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace vdz::player {

class VideoDecoder {
 public:
  VideoDecoder() = default;
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // 0, -2 unsupported codec, -3 the decoder did not open.
  int Setup(const QM_RTSP_VIDEO_HEADER& header);
  // Decodes one access unit. When a picture is finished and target has a size, it is scaled
  // to that size into *out (reusing the buffer of a picture already there) and *drawn is set.
  // 0 accepted, -2 the data did not decode.
  int Decode(const uint8_t* data, int length, int64_t timestamp_us, int64_t received_us,
             TargetSize target, std::unique_ptr<Picture>* out, bool* drawn);
  // The last picture at its own size, or null.
  std::unique_ptr<Picture> LastPicture();

  int64_t frames() const { return frames_; }
  int64_t errors() const { return errors_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  // Scales into *picture (made or resized as needed); false when nothing could be drawn.
  static bool Convert(const AVFrame& frame, TargetSize size, SwsContext** sws,
                      std::unique_ptr<Picture>* picture);

  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* last_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* sws_ = nullptr;
  SwsContext* snapshot_sws_ = nullptr;
  int64_t frames_ = 0;
  int64_t errors_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace vdz::player
