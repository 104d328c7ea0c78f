// Video decoding of one port with libavcodec; pictures leave it by reference, unconverted.
#pragma once

#include <cstdint>
#include <memory>

#include "player/decoded_frame.h"
#include "player/picture.h"
#include "player/picture_scaler.h"
#include "rtspclient/qm_rtsp_client.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace vdz::player {

class VideoDecoder {
 public:
  VideoDecoder() = default;
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // 0, -2 unsupported codec, -3 the decoder did not open.
  int Setup(const QM_RTSP_VIDEO_HEADER& header);
  // Decodes one access unit. When a picture is finished and out is given, *out refers to the
  // newest one and *decoded is set. 0 accepted, -2 the data did not decode.
  int Decode(const uint8_t* data, int length, int64_t timestamp_us, int64_t received_us,
             DecodedFrame* out, bool* decoded);
  // The last picture at its own size, or null.
  std::unique_ptr<Picture> LastPicture();

  int64_t frames() const { return frames_; }
  int64_t errors() const { return errors_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* last_ = nullptr;
  AVPacket* packet_ = nullptr;
  PictureScaler snapshot_scaler_;
  int64_t frames_ = 0;
  int64_t errors_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace vdz::player
