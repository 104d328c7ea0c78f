// Hands decoded pictures from a stream's thread to the window thread and paints them over the
// render window. The window is only touched on its own thread.
#pragma once

#include <QObject>
#include <QWidget>
#include <memory>
#include <mutex>
#include <vector>

#include "player/decoded_frame.h"
#include "player/frame_painter.h"
#include "player/qm_player.h"

namespace vdz::player {

class RenderPainter;

// Shared between the decoding side and the painter; outlives either.
class RenderSink {
 public:
  // Any thread. Keeps only the newest picture: the window paints what is current, and a
  // picture it had no time for is dropped (its planes go back to the decoder).
  void Present(std::unique_ptr<DecodedFrame> frame);
  // Any thread. A holder to take the next picture, made when none is spare; give it back with
  // Recycle when no picture came of it.
  std::unique_ptr<DecodedFrame> TakeSpare();
  void Recycle(std::unique_ptr<DecodedFrame> frame);
  void SetDisplayCallback(QM_PLAYER_DISPLAY_CALLBACK callback, void* user);

 private:
  friend class RenderPainter;
  std::mutex mutex_;
  RenderPainter* painter_ = nullptr;       // null once the window or the port is gone
  std::unique_ptr<DecodedFrame> pending_;  // newest, not painted yet
  // Empty holders. Pictures stay in the decoder's planes, so a holder keeps none of them
  // once spare: what the port holds is at most the shown and the pending picture.
  std::vector<std::unique_ptr<DecodedFrame>> spare_;
  void KeepSpare(std::unique_ptr<DecodedFrame> frame);
  bool update_posted_ = false;
  QM_PLAYER_DISPLAY_CALLBACK callback_ = nullptr;
  void* callback_user_ = nullptr;
};

// Lives on the window's thread as a child of the render window and paints for it.
class RenderPainter : public QObject {
 public:
  RenderPainter(QWidget* window, int port, std::shared_ptr<RenderSink> sink);
  ~RenderPainter() override;
  // Window thread: the port was released; paint nothing more.
  void Detach();
  // Window thread: the stream ended; the window goes back to what it paints itself.
  void Clear();
  void RequestUpdate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  int port_;
  std::shared_ptr<RenderSink> sink_;
  // Window thread only: the picture on screen, kept for repaints.
  std::unique_ptr<DecodedFrame> shown_;
  FramePainter frame_painter_;
  // Whether the window painted itself opaquely before a picture covered it.
  bool window_was_opaque_ = false;
};

}  // namespace vdz::player
