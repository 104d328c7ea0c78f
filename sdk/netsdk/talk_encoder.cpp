#include "talk_encoder.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

namespace vdz::netsdk {

namespace {

using sdkproto::TalkCodec;

// RTP carries L16 in network order.
class PcmEncoder final : public TalkEncoder {
 public:
  explicit PcmEncoder(int channels) : frame_bytes_(2 * static_cast<std::size_t>(channels)) {}
  void Input(const char* data, std::size_t bytes, const PacketSink& sink) override {
    const std::size_t per_packet = sdkproto::kRtpMaxPayload / frame_bytes_ * frame_bytes_;
    bytes -= bytes % frame_bytes_;
    for (std::size_t off = 0; off < bytes; off += per_packet) {
      const std::size_t n = std::min(per_packet, bytes - off);
      swapped_.resize(n);
      for (std::size_t i = 0; i + 1 < n; i += 2) {
        swapped_[i] = data[off + i + 1];
        swapped_[i + 1] = data[off + i];
      }
      sink(swapped_, timestamp_);
      timestamp_ += static_cast<std::uint32_t>(n / frame_bytes_);
    }
  }

 private:
  const std::size_t frame_bytes_;
  std::uint32_t timestamp_ = 0;
  std::string swapped_;
};

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// G.711 µ-law and AAC through libavcodec.
class AvEncoder final : public TalkEncoder {
 public:
  bool Open(TalkCodec codec, int sample_rate, int channels) {
    codec_ = codec;
    channels_ = channels;
    const AVCodec* c =
        avcodec_find_encoder(codec == TalkCodec::kAac ? AV_CODEC_ID_AAC : AV_CODEC_ID_PCM_MULAW);
    if (c == nullptr)
      return false;
    ctx_.reset(avcodec_alloc_context3(c));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!ctx_ || !frame_ || !packet_)
      return false;
    ctx_->sample_rate = sample_rate;
    av_channel_layout_default(&ctx_->ch_layout, channels);
    ctx_->time_base = AVRational{1, sample_rate};
    if (codec == TalkCodec::kAac) {
      ctx_->sample_fmt = AV_SAMPLE_FMT_FLTP;
      ctx_->bit_rate = 64000 * channels;
      ctx_->profile = FF_PROFILE_AAC_LOW;
    } else {
      ctx_->sample_fmt = AV_SAMPLE_FMT_S16;
    }
    if (avcodec_open2(ctx_.get(), c, nullptr) < 0)
      return false;
    frame_samples_ = ctx_->frame_size > 0 ? ctx_->frame_size : 0;
    return true;
  }

  void Input(const char* data, std::size_t bytes, const PacketSink& sink) override {
    const std::size_t frame_bytes = 2 * static_cast<std::size_t>(channels_);
    const std::size_t frames = bytes / frame_bytes;
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < frames * static_cast<std::size_t>(channels_); ++i)
      pending_.push_back(static_cast<std::int16_t>(s[2 * i] | (s[2 * i + 1] << 8)));
    const std::size_t per_frame =
        frame_samples_ > 0 ? static_cast<std::size_t>(frame_samples_)
                           : sdkproto::kRtpMaxPayload / static_cast<std::size_t>(channels_);
    std::size_t used = 0;
    while ((pending_.size() - used) / channels_ >= per_frame ||
           (frame_samples_ == 0 && pending_.size() > used)) {
      const std::size_t n =
          std::min(per_frame, (pending_.size() - used) / static_cast<std::size_t>(channels_));
      Encode(pending_.data() + used, n, sink);
      used += n * static_cast<std::size_t>(channels_);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
  }

 private:
  void Encode(const std::int16_t* samples, std::size_t n, const PacketSink& sink) {
    AVFrame* f = frame_.get();
    av_frame_unref(f);
    f->nb_samples = static_cast<int>(n);
    f->format = ctx_->sample_fmt;
    f->sample_rate = ctx_->sample_rate;
    av_channel_layout_copy(&f->ch_layout, &ctx_->ch_layout);
    if (av_frame_get_buffer(f, 0) < 0)
      return;
    if (codec_ == TalkCodec::kAac) {
      for (int c = 0; c < channels_; ++c) {
        auto* plane = reinterpret_cast<float*>(f->data[c]);
        for (std::size_t i = 0; i < n; ++i)
          plane[i] = samples[i * static_cast<std::size_t>(channels_) + c] / 32768.0f;
      }
    } else {
      std::memcpy(f->data[0], samples, n * 2 * static_cast<std::size_t>(channels_));
    }
    f->pts = next_pts_;
    next_pts_ += static_cast<std::int64_t>(n);
    if (avcodec_send_frame(ctx_.get(), f) < 0)
      return;
    while (avcodec_receive_packet(ctx_.get(), packet_.get()) == 0) {
      const std::string_view bytes(reinterpret_cast<const char*>(packet_->data),
                                   static_cast<std::size_t>(packet_->size));
      const auto ts = static_cast<std::uint32_t>(packet_->pts);
      if (codec_ == TalkCodec::kAac) {
        au_.clear();
        sdkproto::AppendAacAuHeader(au_, bytes.size());
        au_.append(bytes);
        sink(au_, ts);
      } else {
        sink(bytes, ts);
      }
      av_packet_unref(packet_.get());
    }
  }

  TalkCodec codec_ = TalkCodec::kG711u;
  int channels_ = 1;
  int frame_samples_ = 0;
  std::int64_t next_pts_ = 0;
  std::unique_ptr<AVCodecContext, CodecContextFree> ctx_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
  std::vector<std::int16_t> pending_;
  std::string au_;
};

}  // namespace

std::unique_ptr<TalkEncoder> TalkEncoder::Create(TalkCodec codec, int sample_rate, int channels) {
  if (codec == TalkCodec::kPcm)
    return std::make_unique<PcmEncoder>(channels);
  auto e = std::make_unique<AvEncoder>();
  if (!e->Open(codec, sample_rate, channels))
    return nullptr;
  return e;
}

}  // namespace vdz::netsdk
