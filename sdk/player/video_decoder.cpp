#include "player/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace vdz::player {

namespace {

AVCodecID CodecId(uint32_t codec) {
  switch (codec) {
    case QM_RTSP_CODEC_H264:
      return AV_CODEC_ID_H264;
    case QM_RTSP_CODEC_H265:
      return AV_CODEC_ID_HEVC;
    case QM_RTSP_CODEC_MJPEG:
      return AV_CODEC_ID_MJPEG;
    case QM_RTSP_CODEC_MPEG4:
      return AV_CODEC_ID_MPEG4;
    default:
      return AV_CODEC_ID_NONE;
  }
}

}  // namespace

VideoDecoder::~VideoDecoder() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  av_frame_free(&last_);
  avcodec_free_context(&ctx_);
}

int VideoDecoder::Setup(const QM_RTSP_VIDEO_HEADER& header) {
  const AVCodec* codec = avcodec_find_decoder(CodecId(header.codec));
  if (codec == nullptr)
    return -2;
  ctx_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  last_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (ctx_ == nullptr || frame_ == nullptr || last_ == nullptr || packet_ == nullptr)
    return -3;
  const uint32_t extra = header.extradata_size;
  if (extra > 0 && extra <= sizeof header.extradata) {
    ctx_->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (ctx_->extradata == nullptr)
      return -3;
    std::memcpy(ctx_->extradata, header.extradata, extra);
    ctx_->extradata_size = static_cast<int>(extra);
  }
  // Slice threads add no delay; frame threads would hold back one picture per thread.
  ctx_->thread_count = 2;
  ctx_->thread_type = FF_THREAD_SLICE;
  ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
  return avcodec_open2(ctx_, codec, nullptr) == 0 ? 0 : -3;
}

int VideoDecoder::Decode(const uint8_t* data, int length, int64_t timestamp_us, int64_t received_us,
                         DecodedFrame* out, bool* decoded) {
  if (decoded != nullptr)
    *decoded = false;
  if (ctx_ == nullptr)
    return -1;
  // The data stays the caller's: the decoder copies what it keeps.
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = length;
  packet_->pts = timestamp_us;
  int rc = avcodec_send_packet(ctx_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  if (rc < 0 && rc != AVERROR(EAGAIN)) {
    ++errors_;
    return -2;
  }
  while (true) {
    rc = avcodec_receive_frame(ctx_, frame_);
    if (rc < 0)
      break;
    ++frames_;
    width_ = frame_->width;
    height_ = frame_->height;
    av_frame_unref(last_);
    av_frame_move_ref(last_, frame_);
    if (out != nullptr && decoded != nullptr)
      *decoded = out->Refer(*last_, received_us);
  }
  return 0;
}

std::unique_ptr<Picture> VideoDecoder::LastPicture() {
  if (last_ == nullptr || last_->width < 1)
    return nullptr;
  auto picture = std::make_unique<Picture>();
  picture->width = last_->width;
  picture->height = last_->height;
  picture->pixels.resize(ScalerBufferPixels(last_->width, last_->height));
  if (!snapshot_scaler_.Scale(*last_, last_->width, last_->height, picture->pixels.data(),
                              last_->width))
    return nullptr;
  picture->timestamp_us = last_->pts;
  return picture;
}

}  // namespace vdz::player
