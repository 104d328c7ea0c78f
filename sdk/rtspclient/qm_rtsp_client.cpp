#include "rtspclient/qm_rtsp_client.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rtspclient/rtsp_url.h"

static_assert(sizeof(QM_RTSP_VIDEO_HEADER) == QM_RTSP_VIDEO_HEADER_SIZE);
static_assert(sizeof(QM_RTSP_AUDIO_HEADER) == QM_RTSP_AUDIO_HEADER_SIZE);
static_assert(sizeof(QM_RTSP_STREAM_HEADER) == QM_RTSP_STREAM_HEADER_SIZE);
static_assert(offsetof(QM_RTSP_STREAM_HEADER, video_present) == QM_RTSP_VIDEO_FLAG_OFFSET);
static_assert(offsetof(QM_RTSP_STREAM_HEADER, audio_present) == QM_RTSP_AUDIO_FLAG_OFFSET);
static_assert(offsetof(QM_RTSP_STREAM_HEADER, video) == QM_RTSP_VIDEO_HEADER_OFFSET);
static_assert(offsetof(QM_RTSP_STREAM_HEADER, audio) == QM_RTSP_AUDIO_HEADER_OFFSET);
static_assert(offsetof(QM_RTSP_FRAME_INFO, timestamp_us) == 8);

namespace {

struct Settings {
  std::map<int, std::string> paths{{0, vdz::rtsp::DefaultStreamPath(0)},
                                   {1, vdz::rtsp::DefaultStreamPath(1)}};
  bool tcp = true;
  int timeout_s = 10;
};

struct Stream {
  int handle = 0;
  int stream_number = 0;
  std::string url;
  std::string shown_url;  // without the password, for log lines
  bool tcp = true;
  int timeout_s = 10;
  QM_RTSP_FRAME_CALLBACK callback = nullptr;
  void* user = nullptr;
  std::atomic<bool> stop{false};
  std::atomic<bool> playing{true};
  std::atomic<int64_t> last_data_us{0};
  std::thread thread;
};

std::mutex g_mutex;
bool g_initialised = false;
Settings g_settings;
std::map<int, std::shared_ptr<Stream>> g_streams;
int g_next_handle = 1;
std::atomic<QM_RTSP_LOG_CALLBACK> g_log{nullptr};

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (QM_RTSP_LOG_CALLBACK log = g_log.load())
    log(line);
  else
    std::fprintf(stderr, "%s\n", line);
}

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int64_t RealtimeUs() {
  return av_gettime();
}

// Blocking reads give up when the stream is stopped or has been silent too long, so that
// neither a stop nor a camera that stops sending can hold the thread.
int Interrupt(void* opaque) {
  auto* s = static_cast<Stream*>(opaque);
  if (s->stop.load())
    return 1;
  return av_gettime_relative() - s->last_data_us.load() > int64_t{s->timeout_s} * 1000000 ? 1 : 0;
}

uint32_t CodecNumber(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_H264:
      return QM_RTSP_CODEC_H264;
    case AV_CODEC_ID_HEVC:
      return QM_RTSP_CODEC_H265;
    case AV_CODEC_ID_MJPEG:
      return QM_RTSP_CODEC_MJPEG;
    case AV_CODEC_ID_MPEG4:
      return QM_RTSP_CODEC_MPEG4;
    case AV_CODEC_ID_PCM_ALAW:
      return QM_RTSP_CODEC_PCMA;
    case AV_CODEC_ID_PCM_MULAW:
      return QM_RTSP_CODEC_PCMU;
    case AV_CODEC_ID_AAC:
      return QM_RTSP_CODEC_AAC;
    case AV_CODEC_ID_ADPCM_G726:
    case AV_CODEC_ID_ADPCM_G726LE:
      return QM_RTSP_CODEC_G726;
    case AV_CODEC_ID_OPUS:
      return QM_RTSP_CODEC_OPUS;
    case AV_CODEC_ID_PCM_S16BE:
      return QM_RTSP_CODEC_L16;
    default:
      return QM_RTSP_CODEC_NONE;
  }
}

void FillVideoHeader(const AVStream& st, QM_RTSP_VIDEO_HEADER* h) {
  const AVCodecParameters& p = *st.codecpar;
  h->codec = CodecNumber(p.codec_id);
  h->width = static_cast<uint32_t>(std::max(p.width, 0));
  h->height = static_cast<uint32_t>(std::max(p.height, 0));
  if (st.avg_frame_rate.num > 0 && st.avg_frame_rate.den > 0) {
    h->frame_rate_num = static_cast<uint32_t>(st.avg_frame_rate.num);
    h->frame_rate_den = static_cast<uint32_t>(st.avg_frame_rate.den);
  }
  // Longer parameter sets than the header holds are left out: the decoder then takes them
  // from the first key frame, which carries them in-band on every camera we know.
  if (p.extradata != nullptr && p.extradata_size > 0 &&
      static_cast<std::size_t>(p.extradata_size) <= sizeof h->extradata) {
    std::memcpy(h->extradata, p.extradata, static_cast<std::size_t>(p.extradata_size));
    h->extradata_size = static_cast<uint32_t>(p.extradata_size);
  }
}

void FillAudioHeader(const AVStream& st, QM_RTSP_AUDIO_HEADER* h) {
  const AVCodecParameters& p = *st.codecpar;
  h->codec = CodecNumber(p.codec_id);
  h->sample_rate = static_cast<uint32_t>(std::max(p.sample_rate, 0));
  h->channels = static_cast<uint32_t>(std::max(p.ch_layout.nb_channels, 0));
  h->bits_per_sample = static_cast<uint32_t>(std::max(p.bits_per_coded_sample, 0));
  if (p.extradata != nullptr && p.extradata_size > 0 &&
      static_cast<std::size_t>(p.extradata_size) <= sizeof h->extradata) {
    std::memcpy(h->extradata, p.extradata, static_cast<std::size_t>(p.extradata_size));
    h->extradata_size = static_cast<uint32_t>(p.extradata_size);
  }
}

void Run(const std::shared_ptr<Stream>& s) {
  s->last_data_us = av_gettime_relative();
  AVFormatContext* ctx = avformat_alloc_context();
  if (ctx == nullptr) {
    Log("rtsp %d: %s: out of memory", s->handle, s->shown_url.c_str());
    s->playing = false;
    return;
  }
  ctx->interrupt_callback.callback = Interrupt;
  ctx->interrupt_callback.opaque = s.get();
  AVDictionary* options = nullptr;
  av_dict_set(&options, "rtsp_transport", s->tcp ? "tcp" : "udp", 0);
  av_dict_set_int(&options, "timeout", int64_t{s->timeout_s} * 1000000, 0);
  // A live picture wants the newest frame, not a deep reorder buffer.
  av_dict_set(&options, "fflags", "nobuffer", 0);
  av_dict_set_int(&options, "reorder_queue_size", 16, 0);
  const int64_t started = RealtimeUs();
  int rc = avformat_open_input(&ctx, s->url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) {
    if (!s->stop)
      Log("rtsp %d: %s: cannot open: %s", s->handle, s->shown_url.c_str(), ErrorText(rc).c_str());
    s->playing = false;
    return;
  }
  int video = -1;
  int audio = -1;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVMediaType type = ctx->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && video < 0 &&
        CodecNumber(ctx->streams[i]->codecpar->codec_id) != QM_RTSP_CODEC_NONE) {
      video = static_cast<int>(i);
    } else if (type == AVMEDIA_TYPE_AUDIO && audio < 0 &&
               CodecNumber(ctx->streams[i]->codecpar->codec_id) != QM_RTSP_CODEC_NONE) {
      audio = static_cast<int>(i);
    } else {
      ctx->streams[i]->discard = AVDISCARD_ALL;
    }
  }
  QM_RTSP_STREAM_HEADER header{};
  std::memcpy(header.magic, "QMRTSPH1", 8);
  header.header_size = sizeof header;
  header.stream_number = s->stream_number;
  int frame_rate = 0;
  if (video >= 0) {
    header.video_present = 1;
    FillVideoHeader(*ctx->streams[video], &header.video);
    if (header.video.frame_rate_den > 0)
      frame_rate =
          static_cast<int>((header.video.frame_rate_num + header.video.frame_rate_den / 2) /
                           header.video.frame_rate_den);
  }
  if (audio >= 0) {
    header.audio_present = 1;
    FillAudioHeader(*ctx->streams[audio], &header.audio);
  }
  Log("rtsp %d: %s: open in %lld ms, video %u, audio %u, %d fps announced", s->handle,
      s->shown_url.c_str(), static_cast<long long>((RealtimeUs() - started) / 1000),
      header.video.codec, header.audio.codec, frame_rate);
  if (!s->stop) {
    QM_RTSP_FRAME_INFO info{};
    info.user = s->user;
    info.frame_rate = frame_rate;
    info.stream_number = s->stream_number;
    info.received_us = RealtimeUs();
    s->callback(s->handle, QM_RTSP_FRAME_HEADER, reinterpret_cast<const unsigned char*>(&header),
                static_cast<int>(sizeof header), &info);
  }

  AVPacket* packet = av_packet_alloc();
  int64_t first_pts[2] = {AV_NOPTS_VALUE, AV_NOPTS_VALUE};
  while (!s->stop && packet != nullptr) {
    rc = av_read_frame(ctx, packet);
    if (rc < 0) {
      if (!s->stop) {
        const bool silent = Interrupt(s.get()) != 0;
        Log("rtsp %d: %s: stream ended: %s", s->handle, s->shown_url.c_str(),
            silent ? "no data from the camera" : ErrorText(rc).c_str());
      }
      break;
    }
    s->last_data_us = av_gettime_relative();
    const int kind = packet->stream_index == video ? 0 : packet->stream_index == audio ? 1 : -1;
    if (kind >= 0 && packet->size > 0) {
      const AVStream& st = *ctx->streams[packet->stream_index];
      QM_RTSP_FRAME_INFO info{};
      info.flags = (packet->flags & AV_PKT_FLAG_KEY) ? QM_RTSP_FRAME_FLAG_KEY : 0u;
      const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (pts != AV_NOPTS_VALUE) {
        if (first_pts[kind] == AV_NOPTS_VALUE)
          first_pts[kind] = pts;
        info.timestamp_us =
            av_rescale_q(pts - first_pts[kind], st.time_base, AVRational{1, 1000000});
      }
      info.user = s->user;
      info.frame_rate = frame_rate;
      info.stream_number = s->stream_number;
      info.received_us = RealtimeUs();
      s->callback(s->handle, kind == 0 ? QM_RTSP_FRAME_VIDEO : QM_RTSP_FRAME_AUDIO, packet->data,
                  packet->size, &info);
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&ctx);
  s->playing = false;
}

void Finish(const std::shared_ptr<Stream>& s) {
  s->stop = true;
  if (!s->thread.joinable())
    return;
  if (s->thread.get_id() == std::this_thread::get_id()) {
    // The stream's own callback ends it: the thread sees the flag after the callback returns.
    s->thread.detach();
  } else {
    s->thread.join();
  }
}

}  // namespace

extern "C" int QM_RTSP_CLINET_LIB_InitLib(void) {
  std::lock_guard lock(g_mutex);
  if (!g_initialised) {
    avformat_network_init();
    av_log_set_level(AV_LOG_ERROR);
    g_initialised = true;
  }
  return 0;
}

extern "C" int QM_RTSP_CLINET_LIB_ReleaseLib(void) {
  std::map<int, std::shared_ptr<Stream>> streams;
  bool was_initialised = false;
  {
    std::lock_guard lock(g_mutex);
    streams.swap(g_streams);
    was_initialised = g_initialised;
    g_initialised = false;
  }
  // The network goes only after the last stream thread is done with it.
  for (auto& [handle, s] : streams)
    Finish(s);
  if (was_initialised)
    avformat_network_deinit();
  return 0;
}

namespace {

// Starts a stream of the given address; the handle, or 0 when the library is not initialised.
int StartStream(std::string url, std::string shown_url, int stream_number,
                QM_RTSP_FRAME_CALLBACK callback, void* user_pointer) {
  auto s = std::make_shared<Stream>();
  std::lock_guard lock(g_mutex);
  if (!g_initialised)
    return 0;
  s->url = std::move(url);
  s->shown_url = std::move(shown_url);
  s->tcp = g_settings.tcp;
  s->timeout_s = g_settings.timeout_s;
  s->stream_number = stream_number;
  s->callback = callback;
  s->user = user_pointer;
  s->handle = g_next_handle;
  g_next_handle = g_next_handle >= 0x7ffffff0 ? 1 : g_next_handle + 1;
  g_streams[s->handle] = s;
  // Started under the lock, so a StopRealPlay racing with this call finds a joinable thread.
  s->thread = std::thread([s] { Run(s); });
  return s->handle;
}

}  // namespace

extern "C" int QM_RTSP_CLINET_LIB_RealPlay(int stream_number, const char* ip, const char* user,
                                           const char* password, int /*channel*/, int port,
                                           QM_RTSP_FRAME_CALLBACK callback, void* user_pointer) {
  if (ip == nullptr || *ip == '\0' || callback == nullptr || port < 1 || port > 65535)
    return 0;
  std::string url_path;
  {
    std::lock_guard lock(g_mutex);
    auto path = g_settings.paths.find(stream_number);
    url_path =
        path != g_settings.paths.end() ? path->second : vdz::rtsp::DefaultStreamPath(stream_number);
  }
  return StartStream(vdz::rtsp::BuildUrl(ip, port, user, password, url_path, true),
                     vdz::rtsp::BuildUrl(ip, port, user, password, url_path, false), stream_number,
                     callback, user_pointer);
}

extern "C" int QM_RTSP_CLINET_LIB_RealPlayUrl(const char* url, const char* user,
                                              const char* password, QM_RTSP_FRAME_CALLBACK callback,
                                              void* user_pointer) {
  if (url == nullptr || callback == nullptr)
    return 0;
  std::string full = vdz::rtsp::UrlWithAccount(url, user, password, true);
  if (full.empty())
    return 0;
  return StartStream(std::move(full), vdz::rtsp::UrlWithAccount(url, user, password, false), 0,
                     callback, user_pointer);
}

extern "C" int QM_RTSP_CLINET_LIB_StopRealPlay(int handle) {
  std::shared_ptr<Stream> s;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_streams.find(handle);
    if (it == g_streams.end())
      return -1;
    s = std::move(it->second);
    g_streams.erase(it);
  }
  Finish(s);
  return 0;
}

extern "C" int QM_RTSP_CLINET_LIB_IsPlaying(int handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_streams.find(handle);
  return it != g_streams.end() && it->second->playing ? 1 : 0;
}

extern "C" int QM_RTSP_CLINET_LIB_SetStreamPath(int stream_number, const char* path) {
  if (path == nullptr || path[0] != '/' || std::strlen(path) > 512)
    return -1;
  std::lock_guard lock(g_mutex);
  g_settings.paths[stream_number] = path;
  return 0;
}

extern "C" int QM_RTSP_CLINET_LIB_SetTransportTcp(int tcp) {
  std::lock_guard lock(g_mutex);
  g_settings.tcp = tcp != 0;
  return 0;
}

extern "C" int QM_RTSP_CLINET_LIB_SetTimeout(int seconds) {
  if (seconds < 1 || seconds > 3600)
    return -1;
  std::lock_guard lock(g_mutex);
  g_settings.timeout_s = seconds;
  return 0;
}

extern "C" void QM_RTSP_CLINET_LIB_SetLogCallback(QM_RTSP_LOG_CALLBACK callback) {
  g_log = callback;
}
