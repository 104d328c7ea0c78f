#include "player/render_sink.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

namespace vdz::player {

void RenderSink::Present(std::unique_ptr<Picture> picture) {
  std::lock_guard lock(mutex_);
  if (painter_ == nullptr)
    return;
  if (pending_)
    KeepSpare(std::move(pending_));
  pending_ = std::move(picture);
  if (update_posted_)
    return;
  update_posted_ = true;
  RenderPainter* painter = painter_;
  // Queued to the painter's thread; dropped by Qt if the painter is deleted first.
  QMetaObject::invokeMethod(
      painter, [painter] { painter->RequestUpdate(); }, Qt::QueuedConnection);
}

std::unique_ptr<Picture> RenderSink::TakeSpare() {
  std::lock_guard lock(mutex_);
  if (spare_.empty())
    return nullptr;
  std::unique_ptr<Picture> picture = std::move(spare_.back());
  spare_.pop_back();
  return picture;
}

void RenderSink::Recycle(std::unique_ptr<Picture> picture) {
  std::lock_guard lock(mutex_);
  if (painter_ != nullptr)
    KeepSpare(std::move(picture));
}

// Under the lock.
void RenderSink::KeepSpare(std::unique_ptr<Picture> picture) {
  constexpr std::size_t kMostSpares = 3;
  if (picture && spare_.size() < kMostSpares)
    spare_.push_back(std::move(picture));
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
  sink_->width_ = window->width();
  sink_->height_ = window->height();
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

void RenderPainter::RequestUpdate() {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->update_posted_ = false;
    if (sink_->painter_ != this)
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
  if (event->type() == QEvent::Resize) {
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    sink_->width_ = size.width();
    sink_->height_ = size.height();
    return false;
  }
  if (event->type() != QEvent::Paint)
    return false;
  QM_PLAYER_DISPLAY_CALLBACK callback = nullptr;
  void* user = nullptr;
  {
    std::lock_guard lock(sink_->mutex_);
    if (sink_->painter_ != this)
      return false;
    if (sink_->pending_) {
      // The picture it replaces is free at once, before the decoder asks for a buffer while
      // this one paints.
      sink_->KeepSpare(std::move(shown_));
      shown_ = std::move(sink_->pending_);
    }
    callback = sink_->callback_;
    user = sink_->callback_user_;
  }
  if (!shown_)
    return false;  // an idle surface paints as it always did
  const Picture& picture = *shown_;
  const QImage image(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                     picture.height, picture.width * 4, QImage::Format_RGB32);
  {
    QPainter painter(window_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (image.size() == window_->size())
      painter.drawImage(0, 0, image);  // a plain copy, no scaling
    else
      painter.drawImage(window_->rect(), image);  // the window was resized meanwhile
  }
  if (callback != nullptr)
    callback(port_, picture.pixels.data(), picture.width, picture.height, picture.width,
             picture.timestamp_us, picture.received_us, user);
  return true;
}

}  // namespace vdz::player
