// Decoding into a render window: frames made here with libavcodec's MPEG-4 encoder, so the
// test needs no stream and knows what the picture must show.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "player/qm_player.h"
#include "rtspclient/qm_rtsp_client.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Left half red, right half blue.
// The pictures EncodeRedBlue makes are MPEG-4 part 2.
int SetupMpeg4Decoder(int port) {
  QM_RTSP_VIDEO_HEADER header{};
  header.codec = QM_RTSP_CODEC_MPEG4;
  return QM_PLAYER_SetupDecoder(port, QM_PLAYER_STREAM_VIDEO,
                                reinterpret_cast<const unsigned char*>(&header), sizeof header);
}

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
  ASSERT_EQ(SetupMpeg4Decoder(port), 0);
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

// Each paint as the display callback saw it: where the pixels lay and a copy of them.
struct Painting {
  const uint32_t* pixels = nullptr;
  QImage image;
};

void KeepPainting(int, const uint32_t* pixels, int width, int height, int stride, int64_t, int64_t,
                  void* user) {
  QImage copy(reinterpret_cast<const uchar*>(pixels), width, height, stride * 4,
              QImage::Format_RGB32);
  static_cast<std::vector<Painting>*>(user)->push_back({pixels, copy.copy()});
}

struct SurfaceCase {
  int width;
  int height;
};

class PlayerPaint : public ::testing::TestWithParam<SurfaceCase> {};

// A picture is converted straight into the window's store where it can be; a grab paints the
// same widget through a buffer of its own. Both must show the same pixels, and nothing beside
// the surface may be touched (libswscale writes rows in groups of 8 pixels).
TEST_P(PlayerPaint, StoreAndBufferPaintTheSamePixels) {
  const SurfaceCase c = GetParam();
  // Other platforms may give the window a scaled or non-raster store, which takes the buffer.
  if (QGuiApplication::platformName() != QLatin1String("offscreen"))
    GTEST_SKIP() << "the store is known only on the offscreen platform";
  ASSERT_EQ(QM_PLAYER_Init(), 0);
  const QColor background(10, 200, 30);
  QWidget top;
  top.resize(c.width + 40, c.height + 20);
  QPalette palette = top.palette();
  palette.setColor(QPalette::Window, background);
  top.setPalette(palette);
  top.setAutoFillBackground(true);
  QWidget surface(&top);
  surface.setGeometry(10, 6, c.width, c.height);
  top.show();
  const int port = QM_PLAYER_CreatePlayer(&surface);
  ASSERT_GE(port, 1);
  std::vector<Painting> paintings;
  ASSERT_EQ(QM_PLAYER_SetDisplayCallback(port, KeepPainting, &paintings), 0);
  ASSERT_EQ(SetupMpeg4Decoder(port), 0);
  const auto frames = EncodeRedBlue(3);
  ASSERT_FALSE(frames.empty());
  unsigned char info[16] = {};
  for (const auto& f : frames)
    QM_PLAYER_DecodeFrame(port, QM_PLAYER_STREAM_VIDEO, f.data(), static_cast<int>(f.size()), info,
                          16);
  QElapsedTimer waited;
  waited.start();
  while (paintings.empty() && waited.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_FALSE(paintings.empty());

  const auto* store = dynamic_cast<QImage*>(top.backingStore()->paintDevice());
  ASSERT_NE(store, nullptr);
  const auto* first = reinterpret_cast<const uint32_t*>(store->constBits());
  const Painting direct = paintings.back();
  EXPECT_EQ(direct.pixels, first + 6 * (store->bytesPerLine() / 4) + 10)
      << "not converted into the store";
  for (int y = 0; y < c.height; ++y) {
    for (int x = c.width + 10; x < std::min(store->width(), c.width + 10 + 8); ++x)
      ASSERT_EQ(store->pixelColor(x, y + 6).name().toStdString(), background.name().toStdString())
          << x << "," << y + 6;
  }

  const QImage grabbed = surface.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(paintings.size(), 2u);
  EXPECT_NE(paintings.back().pixels, direct.pixels);
  ASSERT_EQ(direct.image.size(), QSize(c.width, c.height));
  EXPECT_EQ(grabbed, direct.image);
  EXPECT_EQ(paintings.back().image, direct.image);
  EXPECT_GT(direct.image.pixelColor(c.width / 8, c.height / 2).red(), 180);
  EXPECT_GT(direct.image.pixelColor(c.width * 7 / 8, c.height / 2).blue(), 180);
  QM_PLAYER_ReleaseAll();
}

// At the stream's own size, scaled down with a width a multiple of 8, and with one that is not.
INSTANTIATE_TEST_SUITE_P(Sizes, PlayerPaint,
                         ::testing::Values(SurfaceCase{kWidth, kHeight}, SurfaceCase{88, 66},
                                           SurfaceCase{90, 50}),
                         [](const ::testing::TestParamInfo<SurfaceCase>& p) {
                           return std::to_string(p.param.width) + "x" +
                                  std::to_string(p.param.height);
                         });

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
