#include "player/render_sink.h"

#include <QEvent>
#include <QPaintEvent>

namespace vdz::player {

void RenderSink::Present(std::unique_ptr<DecodedFrame> frame) {
  std::lock_guard lock(mutex_);
  if (painter_ == nullptr)
    return;
  if (pending_)
    KeepSpare(std::move(pending_));
  pending_ = std::move(frame);
  if (update_posted_)
    return;
  update_posted_ = true;
  RenderPainter* painter = painter_;
  // Queued to the painter's thread; dropped by Qt if the painter is deleted first.
  QMetaObject::invokeMethod(
      painter, [painter] { painter->RequestUpdate(); }, Qt::QueuedConnection);
}

std::unique_ptr<DecodedFrame> RenderSink::TakeSpare() {
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      std::unique_ptr<DecodedFrame> frame = std::move(spare_.back());
      spare_.pop_back();
      return frame;
    }
  }
  return std::make_unique<DecodedFrame>();
}

void RenderSink::Recycle(std::unique_ptr<DecodedFrame> frame) {
  std::lock_guard lock(mutex_);
  if (painter_ != nullptr)
    KeepSpare(std::move(frame));
}

// Under the lock.
void RenderSink::KeepSpare(std::unique_ptr<DecodedFrame> frame) {
  constexpr std::size_t kMostSpares = 3;
  if (!frame)
    return;
  frame->Release();
  if (spare_.size() < kMostSpares)
    spare_.push_back(std::move(frame));
}

void RenderSink::SetDisplayCallback(QM_PLAYER_DISPLAY_CALLBACK callback, void* user) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
  callback_user_ = user;
}

RenderPainter::RenderPainter(QWidget* window, int port, std::shared_ptr<RenderSink> sink)
    : QObject(window),
      window_(window),
      port_(port),
      sink_(std::move(sink)),
      window_was_opaque_(window->testAttribute(Qt::WA_OpaquePaintEvent)) {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->painter_ = this;
  }
  window->installEventFilter(this);
}

RenderPainter::~RenderPainter() {
  // The window may be half destroyed here: only the shared state is let go.
  std::lock_guard lock(sink_->mutex_);
  if (sink_->painter_ == this)
    sink_->painter_ = nullptr;
  sink_->pending_.reset();
  sink_->spare_.clear();
}

void RenderPainter::Detach() {
  {
    std::lock_guard lock(sink_->mutex_);
    if (sink_->painter_ == this)
      sink_->painter_ = nullptr;
    sink_->pending_.reset();
    sink_->spare_.clear();
  }
  shown_.reset();
  // Idle again: the window's own background shows until something else paints it.
  if (!window_was_opaque_)
    window_->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void RenderPainter::Clear() {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->KeepSpare(std::move(sink_->pending_));
  }
  shown_.reset();
  if (!window_was_opaque_)
    window_->setAttribute(Qt::WA_OpaquePaintEvent, false);
  window_->update();
}

void RenderPainter::RequestUpdate() {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->update_posted_ = false;
    // A notice that arrives after Clear finds no picture: the window stays as it paints itself.
    if (sink_->painter_ != this || (!sink_->pending_ && !shown_))
      return;
  }
  // Every picture covers the whole window, so neither the window's background nor what lies
  // under it needs painting first: at 1080p that saves filling 8 MB per picture.
  window_->setAttribute(Qt::WA_OpaquePaintEvent, true);
  window_->update();
}

bool RenderPainter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_)
    return false;
  if (event->type() != QEvent::Paint)
    return false;
  QM_PLAYER_DISPLAY_CALLBACK callback = nullptr;
  void* user = nullptr;
  {
    std::lock_guard lock(sink_->mutex_);
    if (sink_->painter_ != this)
      return false;
    if (sink_->pending_) {
      // The planes of the picture it replaces go back to the decoder at once, before the
      // decoder needs a buffer while this one paints.
      sink_->KeepSpare(std::move(shown_));
      shown_ = std::move(sink_->pending_);
    }
    callback = sink_->callback_;
    user = sink_->callback_user_;
  }
  if (!shown_ || shown_->empty())
    return false;  // an idle surface paints as it always did
  PaintedPixels painted;
  if (!frame_painter_.Paint(window_, static_cast<QPaintEvent*>(event)->region(), shown_->frame(),
                            &painted))
    return false;
  if (callback != nullptr)
    callback(port_, painted.pixels, painted.width, painted.height, painted.stride_pixels,
             shown_->timestamp_us(), shown_->received_us(), user);
  return true;
}

}  // namespace vdz::player
