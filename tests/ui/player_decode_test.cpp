// Decoding into a render window: frames made here with libavcodec's MPEG-4 encoder, so the
// test needs no stream and knows what the picture must show.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <cstring>
#include <vector>

#include "player/qm_player.h"
#include "rtspclient/qm_rtsp_client.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Left half red, right half blue.
std::vector<std::vector<uint8_t>> EncodeRedBlue(int count) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = kWidth;
  ctx->height = kHeight;
  ctx->time_base = AVRational{1, 25};
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->gop_size = 10;
  ctx->bit_rate = 400000;
  std::vector<std::vector<uint8_t>> out;
  if (avcodec_open2(ctx, codec, nullptr) != 0)
    return out;
  AVFrame* frame = av_frame_alloc();
  frame->format = ctx->pix_fmt;
  frame->width = kWidth;
  frame->height = kHeight;
  av_frame_get_buffer(frame, 0);
  AVPacket* packet = av_packet_alloc();
  for (int i = 0; i <= count; ++i) {
    if (i < count) {
      av_frame_make_writable(frame);
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
          frame->data[0][y * frame->linesize[0] + x] = x < kWidth / 2 ? 81 : 41;
      }
      for (int y = 0; y < kHeight / 2; ++y) {
        for (int x = 0; x < kWidth / 2; ++x) {
          const bool left = x < kWidth / 4;
          frame->data[1][y * frame->linesize[1] + x] = left ? 90 : 240;
          frame->data[2][y * frame->linesize[2] + x] = left ? 240 : 110;
        }
      }
      frame->pts = i;
    }
    avcodec_send_frame(ctx, i < count ? frame : nullptr);
    while (avcodec_receive_packet(ctx, packet) == 0) {
      out.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
  }
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return out;
}

int g_painted = 0;
void OnPainted(int, const uint32_t*, int, int, int, int64_t, int64_t, void*) {
  ++g_painted;
}

TEST(PlayerDecode, PicturesReachTheWindowScaledToIt) {
  ASSERT_EQ(QM_PLAYER_Init(), 0);
  QWidget surface;
  surface.resize(64, 48);
  const int port = QM_PLAYER_CreatePlayer(&surface);
  ASSERT_GE(port, 1);
  ASSERT_EQ(QM_PLAYER_SetDisplayCallback(port, OnPainted, nullptr), 0);
  QM_RTSP_VIDEO_HEADER header{};
  header.codec = QM_RTSP_CODEC_MPEG4;
  ASSERT_EQ(QM_PLAYER_SetupDecoder(port, QM_PLAYER_STREAM_VIDEO,
                                   reinterpret_cast<const unsigned char*>(&header), sizeof header),
            0);
  const auto frames = EncodeRedBlue(12);
  ASSERT_GE(frames.size(), 10u);
  unsigned char info[16] = {};
  for (const auto& f : frames) {
    EXPECT_EQ(QM_PLAYER_DecodeFrame(port, QM_PLAYER_STREAM_VIDEO, f.data(),
                                    static_cast<int>(f.size()), info, 16),
              0);
  }
  QM_PLAYER_STATS stats{};
  ASSERT_EQ(QM_PLAYER_GetStats(port, &stats), 0);
  EXPECT_GE(stats.video_frames, 10);
  EXPECT_EQ(stats.width, kWidth);

  // The painting happens on this thread once the queued hand-over is processed.
  QApplication::processEvents();
  const QImage shown = surface.grab().toImage();
  EXPECT_GT(g_painted, 0);
  const QColor left = shown.pixelColor(8, 24);
  const QColor right = shown.pixelColor(56, 24);
  EXPECT_GT(left.red(), 180) << left.name().toStdString();
  EXPECT_LT(left.blue(), 80);
  EXPECT_GT(right.blue(), 180) << right.name().toStdString();
  EXPECT_LT(right.red(), 80);

  int w = 0;
  int h = 0;
  EXPECT_EQ(QM_PLAYER_GetLastPicture(port, nullptr, 0, &w, &h), -2);
  ASSERT_EQ(w, kWidth);
  std::vector<uint32_t> full(static_cast<std::size_t>(w * h));
  ASSERT_EQ(QM_PLAYER_GetLastPicture(port, full.data(), static_cast<int64_t>(full.size()), &w, &h),
            0);
  EXPECT_GT((full[static_cast<std::size_t>(60 * w + 10)] >> 16) & 0xff, 180u);

  EXPECT_EQ(QM_PLAYER_CloseDecoder(port, QM_PLAYER_STREAM_VIDEO), 0);
  EXPECT_EQ(QM_PLAYER_CloseDecoder(port, QM_PLAYER_STREAM_VIDEO), -1);
  EXPECT_EQ(QM_PLAYER_DecodeFrame(port, QM_PLAYER_STREAM_VIDEO, frames[0].data(),
                                  static_cast<int>(frames[0].size()), info, 16),
            -1);
  QM_PLAYER_ReleaseAll();
}

TEST(PlayerDecode, RefusesUnknownCodecsAndShortHeaders) {
  QM_RTSP_VIDEO_HEADER video{};
  video.codec = 99;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&video);
  EXPECT_EQ(QM_PLAYER_SetupDecoder(1000, QM_PLAYER_STREAM_VIDEO, bytes, sizeof video), -2);
  EXPECT_EQ(QM_PLAYER_SetupDecoder(1000, QM_PLAYER_STREAM_VIDEO, bytes, 100), -1);
  QM_RTSP_AUDIO_HEADER audio{};
  audio.codec = QM_RTSP_CODEC_PCMA;
  audio.sample_rate = 8000;
  audio.channels = 1;
  ASSERT_EQ(QM_PLAYER_SetupDecoder(1000, QM_PLAYER_STREAM_AUDIO,
                                   reinterpret_cast<const unsigned char*>(&audio), sizeof audio),
            0);
  // Sound on without a sound server: decoding goes on, nothing blocks.
  EXPECT_EQ(QM_PLAYER_SetAudioOn(1000), 0);
  std::vector<unsigned char> alaw(160, 0xd5);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(QM_PLAYER_DecodeFrame(1000, QM_PLAYER_STREAM_AUDIO, alaw.data(), 160, nullptr, 0), 0);
  QM_PLAYER_STATS stats{};
  ASSERT_EQ(QM_PLAYER_GetStats(1000, &stats), 0);
  EXPECT_EQ(stats.audio_frames, 50);
  EXPECT_EQ(QM_PLAYER_SetAudioOff(), 0);
  QM_PLAYER_ReleaseAll();
}

}  // namespace
