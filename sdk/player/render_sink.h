// Hands decoded pictures from a stream's thread to the window thread and paints them over the
// render window. The window is only touched on its own thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "player/picture.h"
#include "player/qm_player.h"

namespace vdz::player {

class RenderPainter;

// Shared between the decoding side and the painter; outlives either.
class RenderSink {
 public:
  // Any thread. Keeps only the newest picture: the window paints what is current, and a
  // picture it had no time for is dropped (its buffer is drawn over next).
  void Present(std::unique_ptr<Picture> picture);
  // Any thread. A buffer to draw the next picture into, or null; give it back with Recycle
  // when no picture came of it. Buffers go round instead of 8 MB being allocated per frame.
  std::unique_ptr<Picture> TakeSpare();
  void Recycle(std::unique_ptr<Picture> picture);
  TargetSize Size() const { return TargetSize{width_.load(), height_.load()}; }
  void SetDisplayCallback(QM_PLAYER_DISPLAY_CALLBACK callback, void* user);

 private:
  friend class RenderPainter;
  std::mutex mutex_;
  RenderPainter* painter_ = nullptr;  // null once the window or the port is gone
  std::unique_ptr<Picture> pending_;  // newest, not painted yet
  // Buffers not in use. One is made only when this is empty, so at most three exist (shown,
  // pending, being drawn) and none is freed and made again while the window lags.
  std::vector<std::unique_ptr<Picture>> spare_;
  void KeepSpare(std::unique_ptr<Picture> picture);
  bool update_posted_ = false;
  QM_PLAYER_DISPLAY_CALLBACK callback_ = nullptr;
  void* callback_user_ = nullptr;
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
};

// Lives on the window's thread as a child of the render window and paints for it.
class RenderPainter : public QObject {
 public:
  RenderPainter(QWidget* window, int port, std::shared_ptr<RenderSink> sink);
  ~RenderPainter() override;
  // Window thread: the port was released; paint nothing more.
  void Detach();
  void RequestUpdate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  int port_;
  std::shared_ptr<RenderSink> sink_;
  // Window thread only: the picture on screen, kept for repaints.
  std::unique_ptr<Picture> shown_;
  // Whether the window painted itself opaquely before a picture covered it.
  bool window_was_opaque_ = false;
};

}  // namespace vdz::player
