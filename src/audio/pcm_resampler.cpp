#include "audio/pcm_resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace vdz::audio {

bool PcmResampler::Open(int out_channels, int in_channels, int out_rate, int in_rate) {
  Close();
  if (out_channels < 1 || out_channels > 2 || in_channels < 1 || in_channels > 2 || out_rate <= 0 ||
      in_rate <= 0)
    return false;
  AVChannelLayout out_layout{};
  AVChannelLayout in_layout{};
  av_channel_layout_default(&out_layout, out_channels);
  av_channel_layout_default(&in_layout, in_channels);
  SwrContext* ctx = nullptr;
  int rc = swr_alloc_set_opts2(&ctx, &out_layout, AV_SAMPLE_FMT_S16, out_rate, &in_layout,
                               AV_SAMPLE_FMT_S16, in_rate, 0, nullptr);
  av_channel_layout_uninit(&out_layout);
  av_channel_layout_uninit(&in_layout);
  if (rc < 0 || ctx == nullptr || swr_init(ctx) < 0) {
    swr_free(&ctx);
    return false;
  }
  ctx_ = ctx;
  out_channels_ = out_channels;
  in_channels_ = in_channels;
  return true;
}

void PcmResampler::Close() {
  if (ctx_ != nullptr)
    swr_free(&ctx_);
}

int PcmResampler::Convert(const short* in, int in_samples, char* out, std::size_t out_bytes) {
  if (ctx_ == nullptr)
    return -1;
  const int out_capacity =
      static_cast<int>(out_bytes / (2u * static_cast<unsigned>(out_channels_)));
  auto* out_planes = reinterpret_cast<uint8_t*>(out);
  const auto* in_planes = reinterpret_cast<const uint8_t*>(in);
  const int got =
      swr_convert(ctx_, &out_planes, out_capacity, in ? &in_planes : nullptr, in ? in_samples : 0);
  if (got < 0)
    return -1;
  return got * 2 * out_channels_;
}

}  // namespace vdz::audio
