#include "player/qm_player.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "player/audio_decoder.h"
#include "player/pulse_output.h"
#include "player/render_sink.h"
#include "player/video_decoder.h"
#include "rtspclient/qm_rtsp_client.h"

namespace {

using vdz::player::AudioDecoder;
using vdz::player::PcmBlock;
using vdz::player::Picture;
using vdz::player::PulseOutput;
using vdz::player::RenderPainter;
using vdz::player::RenderSink;
using vdz::player::VideoDecoder;

// What one port decodes. Its own lock, so that two streams never wait for each other.
struct Decoders {
  std::mutex mutex;
  std::unique_ptr<VideoDecoder> video;
  std::unique_ptr<AudioDecoder> audio;
  int play_mode = 0;
};

struct WindowSlot {
  void* window = nullptr;
  QPointer<RenderPainter> painter;
};

// Frame callbacks of the streaming library reach the player on their own threads.
std::mutex g_mutex;
std::array<WindowSlot, QM_PLAYER_MAX_WINDOW_PORT + 1> g_windows{};  // index = port; 0 unused
std::map<int, std::shared_ptr<RenderSink>> g_sinks;
std::map<int, std::shared_ptr<Decoders>> g_decoders;
int g_next_port = 1;
int g_audio_port = 0;

PulseOutput& Sound() {
  static PulseOutput output;
  return output;
}

std::shared_ptr<Decoders> DecodersOf(int port, bool create) {
  std::lock_guard lock(g_mutex);
  auto it = g_decoders.find(port);
  if (it != g_decoders.end())
    return it->second;
  if (!create)
    return nullptr;
  auto d = std::make_shared<Decoders>();
  g_decoders[port] = d;
  return d;
}

std::shared_ptr<RenderSink> SinkOf(int port) {
  std::lock_guard lock(g_mutex);
  auto it = g_sinks.find(port);
  return it == g_sinks.end() ? nullptr : it->second;
}

// Window thread, under g_mutex.
void ReleaseWindowLocked(int port) {
  WindowSlot& slot = g_windows[static_cast<std::size_t>(port)];
  if (slot.painter)
    slot.painter->Detach();
  delete slot.painter.data();
  slot = WindowSlot{};
  g_sinks.erase(port);
  g_decoders.erase(port);
}

}  // namespace

extern "C" int QM_PLAYER_Init(void) {
  QM_PLAYER_ReleaseAll();
  std::lock_guard lock(g_mutex);
  g_next_port = 1;
  return 0;
}

extern "C" int QM_PLAYER_CreatePlayer(void* render_window) {
  if (render_window == nullptr)
    return -1;
  std::lock_guard lock(g_mutex);
  // Round robin, so a port released a moment ago is not handed out again at once: a holder
  // of a stale port number then finds it unused instead of someone else's window.
  for (int tried = 0; tried < QM_PLAYER_MAX_WINDOW_PORT; ++tried) {
    const int port = g_next_port;
    g_next_port = port % QM_PLAYER_MAX_WINDOW_PORT + 1;
    WindowSlot& slot = g_windows[static_cast<std::size_t>(port)];
    if (slot.window == nullptr) {
      auto* widget = static_cast<QWidget*>(render_window);
      auto sink = std::make_shared<RenderSink>();
      slot.window = render_window;
      slot.painter = new RenderPainter(widget, port, sink);
      g_sinks[port] = std::move(sink);
      return port;
    }
  }
  return -1;
}

extern "C" void* QM_PLAYER_GetPlayerWindow(int port) {
  if (port < 1 || port > QM_PLAYER_MAX_WINDOW_PORT)
    return nullptr;
  std::lock_guard lock(g_mutex);
  return g_windows[static_cast<std::size_t>(port)].window;
}

extern "C" int QM_PLAYER_ReleasePlayer(int port) {
  if (port < 1 || port > QM_PLAYER_MAX_WINDOW_PORT)
    return -1;
  std::lock_guard lock(g_mutex);
  if (g_windows[static_cast<std::size_t>(port)].window == nullptr)
    return -1;
  ReleaseWindowLocked(port);
  if (g_audio_port == port)
    g_audio_port = 0;
  return 0;
}

extern "C" int QM_PLAYER_ReleaseAll(void) {
  {
    std::lock_guard lock(g_mutex);
    for (int port = 1; port <= QM_PLAYER_MAX_WINDOW_PORT; ++port) {
      if (g_windows[static_cast<std::size_t>(port)].window != nullptr)
        ReleaseWindowLocked(port);
    }
    g_sinks.clear();
    g_decoders.clear();
    g_audio_port = 0;
  }
  Sound().Stop();
  return 0;
}

extern "C" int QM_PLAYER_SetupDecoder(int port, int stream, const unsigned char* header,
                                      int length) {
  if (port < 1 || header == nullptr)
    return -1;
  if (stream == QM_PLAYER_STREAM_VIDEO) {
    if (length < QM_RTSP_VIDEO_HEADER_SIZE)
      return -1;
    QM_RTSP_VIDEO_HEADER h;
    std::memcpy(&h, header, sizeof h);
    auto decoder = std::make_unique<VideoDecoder>();
    const int rc = decoder->Setup(h);
    if (rc != 0)
      return rc;
    auto d = DecodersOf(port, true);
    std::lock_guard lock(d->mutex);
    d->video = std::move(decoder);
    return 0;
  }
  if (stream == QM_PLAYER_STREAM_AUDIO) {
    if (length < QM_RTSP_AUDIO_HEADER_SIZE)
      return -1;
    QM_RTSP_AUDIO_HEADER h;
    std::memcpy(&h, header, sizeof h);
    auto decoder = std::make_unique<AudioDecoder>();
    const int rc = decoder->Setup(h);
    if (rc != 0)
      return rc;
    auto d = DecodersOf(port, true);
    std::lock_guard lock(d->mutex);
    d->audio = std::move(decoder);
    return 0;
  }
  return -1;
}

extern "C" int QM_PLAYER_DecodeFrame(int port, int stream, const unsigned char* data, int length,
                                     const void* info, int info_length) {
  if (data == nullptr || length <= 0)
    return -1;
  auto d = DecodersOf(port, false);
  if (!d)
    return -1;
  int64_t timestamp_us = 0;
  if (info != nullptr && info_length >= 16)
    std::memcpy(&timestamp_us, static_cast<const unsigned char*>(info) + 8, sizeof timestamp_us);
  if (stream == QM_PLAYER_STREAM_VIDEO) {
    auto sink = SinkOf(port);
    std::unique_ptr<vdz::player::DecodedFrame> frame = sink ? sink->TakeSpare() : nullptr;
    bool decoded = false;
    int rc = 0;
    {
      std::lock_guard lock(d->mutex);
      if (!d->video)
        return -1;
      // The arrival time rides in the library's longer record when it is there.
      int64_t received_us = 0;
      if (info != nullptr && info_length >= static_cast<int>(sizeof(QM_RTSP_FRAME_INFO))) {
        QM_RTSP_FRAME_INFO full;
        std::memcpy(&full, info, sizeof full);
        received_us = full.received_us;
      }
      rc = d->video->Decode(data, length, timestamp_us, received_us, frame.get(), &decoded);
    }
    if (sink && decoded)
      sink->Present(std::move(frame));
    else if (sink && frame)
      sink->Recycle(std::move(frame));
    return rc;
  }
  if (stream == QM_PLAYER_STREAM_AUDIO) {
    PcmBlock block;
    {
      std::lock_guard lock(d->mutex);
      if (!d->audio)
        return -1;
      const int rc = d->audio->Decode(data, length, &block);
      if (rc != 0)
        return rc;
    }
    bool heard = false;
    {
      std::lock_guard lock(g_mutex);
      heard = g_audio_port == port;
    }
    if (heard)
      Sound().Play(std::move(block));
    return 0;
  }
  return -1;
}

extern "C" int QM_PLAYER_SetAudioOn(int port) {
  if (port < 1)
    return -1;
  std::lock_guard lock(g_mutex);
  g_audio_port = port;
  return 0;
}

extern "C" int QM_PLAYER_SetAudioOff(void) {
  {
    std::lock_guard lock(g_mutex);
    g_audio_port = 0;
  }
  Sound().Stop();
  return 0;
}

extern "C" int QM_PLAYER_SetPlayMode(int port, int mode) {
  if (port < 1 || mode != 0)
    return -1;
  auto d = DecodersOf(port, true);
  std::lock_guard lock(d->mutex);
  d->play_mode = mode;
  return 0;
}

extern "C" int QM_PLAYER_CloseDecoder(int port, int stream) {
  auto d = DecodersOf(port, false);
  if (!d)
    return -1;
  std::unique_lock lock(d->mutex);
  if (stream == QM_PLAYER_STREAM_VIDEO) {
    if (!d->video)
      return -1;
    d->video.reset();
    lock.unlock();
    // The last picture goes with its stream: a stopped window shows no frozen frame.
    QPointer<RenderPainter> painter;
    if (port >= 1 && port <= QM_PLAYER_MAX_WINDOW_PORT) {
      std::lock_guard windows(g_mutex);
      painter = g_windows[static_cast<std::size_t>(port)].painter;
    }
    if (painter)
      QMetaObject::invokeMethod(painter.data(), [painter] {
        if (painter)
          painter->Clear();
      });
    return 0;
  }
  if (stream == QM_PLAYER_STREAM_AUDIO) {
    if (!d->audio)
      return -1;
    d->audio.reset();
    return 0;
  }
  return -1;
}

extern "C" int QM_PLAYER_GetStats(int port, QM_PLAYER_STATS* stats) {
  auto d = DecodersOf(port, false);
  if (!d || stats == nullptr)
    return -1;
  std::lock_guard lock(d->mutex);
  if (!d->video && !d->audio)
    return -1;
  *stats = QM_PLAYER_STATS{};
  if (d->video) {
    stats->video_frames = d->video->frames();
    stats->video_errors = d->video->errors();
    stats->width = d->video->width();
    stats->height = d->video->height();
  }
  if (d->audio)
    stats->audio_frames = d->audio->frames();
  return 0;
}

extern "C" int QM_PLAYER_GetLastPicture(int port, uint32_t* buffer, int64_t capacity, int* width,
                                        int* height) {
  auto d = DecodersOf(port, false);
  if (!d)
    return -1;
  std::unique_ptr<Picture> picture;
  {
    std::lock_guard lock(d->mutex);
    if (d->video)
      picture = d->video->LastPicture();
  }
  if (!picture)
    return -1;
  if (width != nullptr)
    *width = picture->width;
  if (height != nullptr)
    *height = picture->height;
  const int64_t needed = int64_t{picture->width} * picture->height;
  if (buffer == nullptr || capacity < needed)
    return -2;
  std::copy_n(picture->pixels.begin(), needed, buffer);
  return 0;
}

extern "C" int QM_PLAYER_SetDisplayCallback(int port, QM_PLAYER_DISPLAY_CALLBACK callback,
                                            void* user) {
  auto sink = SinkOf(port);
  if (!sink)
    return -1;
  sink->SetDisplayCallback(callback, user);
  return 0;
}
