#include "player/audio_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vdz::player {

namespace {

AVCodecID CodecId(uint32_t codec) {
  switch (codec) {
    case QM_RTSP_CODEC_PCMA:
      return AV_CODEC_ID_PCM_ALAW;
    case QM_RTSP_CODEC_PCMU:
      return AV_CODEC_ID_PCM_MULAW;
    case QM_RTSP_CODEC_AAC:
      return AV_CODEC_ID_AAC;
    case QM_RTSP_CODEC_G726:
      return AV_CODEC_ID_ADPCM_G726;
    case QM_RTSP_CODEC_OPUS:
      return AV_CODEC_ID_OPUS;
    case QM_RTSP_CODEC_L16:
      return AV_CODEC_ID_PCM_S16BE;
    default:
      return AV_CODEC_ID_NONE;
  }
}

int16_t FromFloat(float v) {
  return static_cast<int16_t>(std::lrint(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

// Every sample format the decoders we open produce, turned into interleaved 16-bit.
void Append(const AVFrame& f, int channels, std::vector<int16_t>* out) {
  const int n = f.nb_samples;
  const auto format = static_cast<AVSampleFormat>(f.format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < channels; ++c) {
      const int plane = planar ? c : 0;
      const int index = planar ? i : i * channels + c;
      const uint8_t* base = f.extended_data[plane];
      switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16:
          out->push_back(reinterpret_cast<const int16_t*>(base)[index]);
          break;
        case AV_SAMPLE_FMT_S32:
          out->push_back(static_cast<int16_t>(reinterpret_cast<const int32_t*>(base)[index] >> 16));
          break;
        case AV_SAMPLE_FMT_FLT:
          out->push_back(FromFloat(reinterpret_cast<const float*>(base)[index]));
          break;
        case AV_SAMPLE_FMT_DBL:
          out->push_back(
              FromFloat(static_cast<float>(reinterpret_cast<const double*>(base)[index])));
          break;
        case AV_SAMPLE_FMT_U8:
          out->push_back(static_cast<int16_t>((base[index] - 128) << 8));
          break;
        default:
          out->push_back(0);
      }
    }
  }
}

}  // namespace

AudioDecoder::~AudioDecoder() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&ctx_);
}

int AudioDecoder::Setup(const QM_RTSP_AUDIO_HEADER& header) {
  const AVCodec* codec = avcodec_find_decoder(CodecId(header.codec));
  if (codec == nullptr)
    return -2;
  ctx_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (ctx_ == nullptr || frame_ == nullptr || packet_ == nullptr)
    return -3;
  ctx_->sample_rate = header.sample_rate > 0 && header.sample_rate <= 192000
                          ? static_cast<int>(header.sample_rate)
                          : 8000;
  const int channels =
      header.channels >= 1 && header.channels <= 8 ? static_cast<int>(header.channels) : 1;
  av_channel_layout_default(&ctx_->ch_layout, channels);
  if (header.bits_per_sample > 0 && header.bits_per_sample <= 32)
    ctx_->bits_per_coded_sample = static_cast<int>(header.bits_per_sample);
  else if (header.codec == QM_RTSP_CODEC_G726)
    ctx_->bits_per_coded_sample = 2;
  const uint32_t extra = header.extradata_size;
  if (extra > 0 && extra <= sizeof header.extradata) {
    ctx_->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (ctx_->extradata == nullptr)
      return -3;
    std::memcpy(ctx_->extradata, header.extradata, extra);
    ctx_->extradata_size = static_cast<int>(extra);
  }
  return avcodec_open2(ctx_, codec, nullptr) == 0 ? 0 : -3;
}

int AudioDecoder::Decode(const uint8_t* data, int length, PcmBlock* out) {
  if (ctx_ == nullptr)
    return -1;
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = length;
  int rc = avcodec_send_packet(ctx_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  if (rc < 0 && rc != AVERROR(EAGAIN))
    return -2;
  while (avcodec_receive_frame(ctx_, frame_) >= 0) {
    ++frames_;
    const int channels = std::max(frame_->ch_layout.nb_channels, 1);
    out->sample_rate = frame_->sample_rate;
    out->channels = channels;
    Append(*frame_, channels, &out->samples);
    av_frame_unref(frame_);
  }
  return 0;
}

}  // namespace vdz::player
