#include "player/decoded_frame.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace vdz::player {

DecodedFrame::~DecodedFrame() {
  av_frame_free(&frame_);
}

bool DecodedFrame::Refer(const AVFrame& source, int64_t received_us) {
  if (frame_ == nullptr)
    frame_ = av_frame_alloc();
  if (frame_ == nullptr)
    return false;
  av_frame_unref(frame_);
  received_us_ = received_us;
  return av_frame_ref(frame_, &source) == 0;
}

void DecodedFrame::Release() {
  if (frame_ != nullptr)
    av_frame_unref(frame_);
  received_us_ = 0;
}

bool DecodedFrame::empty() const {
  return frame_ == nullptr || frame_->width < 1 || frame_->height < 1 || frame_->data[0] == nullptr;
}

int64_t DecodedFrame::timestamp_us() const {
  return frame_ == nullptr ? 0 : frame_->pts;
}

}  // namespace vdz::player
