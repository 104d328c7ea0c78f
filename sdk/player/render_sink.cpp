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
  current_ = std::move(picture);
  if (update_posted_)
    return;
  update_posted_ = true;
  RenderPainter* painter = painter_;
  // Queued to the painter's thread; dropped by Qt if the painter is deleted first.
  QMetaObject::invokeMethod(
      painter, [painter] { painter->RequestUpdate(); }, Qt::QueuedConnection);
}

void RenderSink::SetDisplayCallback(QM_PLAYER_DISPLAY_CALLBACK callback, void* user) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
  callback_user_ = user;
}

RenderPainter::RenderPainter(QWidget* window, int port, std::shared_ptr<RenderSink> sink)
    : QObject(window), window_(window), port_(port), sink_(std::move(sink)) {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->painter_ = this;
  }
  sink_->width_ = window->width();
  sink_->height_ = window->height();
  window->installEventFilter(this);
}

RenderPainter::~RenderPainter() {
  Detach();
}

void RenderPainter::Detach() {
  std::lock_guard lock(sink_->mutex_);
  if (sink_->painter_ == this)
    sink_->painter_ = nullptr;
  sink_->current_.reset();
}

void RenderPainter::RequestUpdate() {
  {
    std::lock_guard lock(sink_->mutex_);
    sink_->update_posted_ = false;
  }
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
  std::shared_ptr<const Picture> picture;
  QM_PLAYER_DISPLAY_CALLBACK callback = nullptr;
  void* user = nullptr;
  {
    std::lock_guard lock(sink_->mutex_);
    if (sink_->painter_ == this)
      picture = sink_->current_;
    callback = sink_->callback_;
    user = sink_->callback_user_;
  }
  if (!picture)
    return false;  // an idle surface paints as it always did
  const QImage image(reinterpret_cast<const uchar*>(picture->pixels.data()), picture->width,
                     picture->height, picture->width * 4, QImage::Format_RGB32);
  QPainter painter(window_);
  painter.drawImage(window_->rect(), image);
  if (callback != nullptr)
    callback(port_, picture->pixels.data(), picture->width, picture->height, picture->width,
             picture->timestamp_us, picture->received_us, user);
  return true;
}

}  // namespace vdz::player
