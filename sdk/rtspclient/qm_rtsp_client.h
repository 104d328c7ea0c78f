/* RTSP client library: live streams of a camera, delivered frame by frame to a callback on a
 * thread of the library. Any standard RTSP camera can be watched: the path per stream number
 * and the transport are settings. The structures below are the byte layouts of the stream
 * header (frame type 2), of the codec headers inside it and of the frame information. */
#ifndef QM_RTSP_CLIENT_H
#define QM_RTSP_CLIENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QM_RTSP_FRAME_VIDEO 0
#define QM_RTSP_FRAME_AUDIO 1
#define QM_RTSP_FRAME_HEADER 2

/* Codec numbers inside the codec headers. */
#define QM_RTSP_CODEC_NONE 0
#define QM_RTSP_CODEC_H264 1
#define QM_RTSP_CODEC_H265 2
#define QM_RTSP_CODEC_MJPEG 3
#define QM_RTSP_CODEC_MPEG4 4
#define QM_RTSP_CODEC_PCMA 16
#define QM_RTSP_CODEC_PCMU 17
#define QM_RTSP_CODEC_AAC 18
#define QM_RTSP_CODEC_G726 19
#define QM_RTSP_CODEC_OPUS 20
#define QM_RTSP_CODEC_L16 21

#define QM_RTSP_STREAM_HEADER_SIZE 848
#define QM_RTSP_VIDEO_HEADER_OFFSET 36
#define QM_RTSP_VIDEO_HEADER_SIZE 536
#define QM_RTSP_AUDIO_HEADER_OFFSET 572
#define QM_RTSP_AUDIO_HEADER_SIZE 276
#define QM_RTSP_VIDEO_FLAG_OFFSET 32
#define QM_RTSP_AUDIO_FLAG_OFFSET 34

/* 536 bytes, little-endian as the host writes it. */
typedef struct QM_RTSP_VIDEO_HEADER {
  uint32_t codec; /* QM_RTSP_CODEC_* */
  uint32_t width; /* 0 when the session description does not say */
  uint32_t height;
  uint32_t frame_rate_num; /* announced rate; 0/0 when unknown */
  uint32_t frame_rate_den;
  uint32_t extradata_size; /* bytes used in extradata (H.264/H.265: Annex B parameter sets) */
  uint8_t extradata[512];
} QM_RTSP_VIDEO_HEADER;

/* 276 bytes. */
typedef struct QM_RTSP_AUDIO_HEADER {
  uint32_t codec;
  uint32_t sample_rate;
  uint32_t channels;
  uint32_t bits_per_sample; /* of the coded samples where the codec has a fixed size, else 0 */
  uint32_t extradata_size;
  uint8_t extradata[256];
} QM_RTSP_AUDIO_HEADER;

/* 848 bytes: what the stream carries, delivered once as frame type 2 before the first frame. */
typedef struct QM_RTSP_STREAM_HEADER {
  char magic[8];        /* "QMRTSPH1" */
  uint32_t header_size; /* 848 */
  int32_t stream_number;
  uint8_t reserved[16];
  uint16_t video_present;     /* offset 32 */
  uint16_t audio_present;     /* offset 34 */
  QM_RTSP_VIDEO_HEADER video; /* offset 36 */
  QM_RTSP_AUDIO_HEADER audio; /* offset 572 */
} QM_RTSP_STREAM_HEADER;

/* Handed with every frame. The first 16 bytes are what a player needs; the rest is ours. */
typedef struct QM_RTSP_FRAME_INFO {
  uint32_t flags; /* bit 0: key frame */
  uint32_t reserved;
  int64_t timestamp_us; /* presentation time of the frame, microseconds from stream start */
  void* user;           /* the user pointer given to RealPlay */
  int32_t frame_rate;   /* announced video frames per second, 0 when unknown */
  int32_t stream_number;
  int64_t received_us; /* CLOCK_REALTIME when the frame left the network, microseconds */
} QM_RTSP_FRAME_INFO;

#define QM_RTSP_FRAME_FLAG_KEY 1u

/* (library handle, frame type, data, length, frame information; the stream header gets one
 * too, with its user pointer). Runs on the stream's own thread; the return value is ignored. */
typedef int (*QM_RTSP_FRAME_CALLBACK)(int handle, int frame_type, const unsigned char* data,
                                      int length, const QM_RTSP_FRAME_INFO* info);

/* One line per notable event of a stream (connect failures, end of stream), without newline. */
typedef void (*QM_RTSP_LOG_CALLBACK)(const char* line);

int QM_RTSP_CLINET_LIB_InitLib(void);
/* Stops every stream still playing; no callback comes once it returns. */
int QM_RTSP_CLINET_LIB_ReleaseLib(void);

/* Opens rtsp://user:password@ip:port/<path of stream number> on a thread of its own and
 * returns a handle (> 0) at once, or 0 when the arguments are unusable or the library is not
 * initialised. Connection failures end the stream later with a log line; the handle stays
 * valid until StopRealPlay. `channel` is accepted for compatibility and must be 1. */
int QM_RTSP_CLINET_LIB_RealPlay(int stream_number, const char* ip, const char* user,
                                const char* password, int channel, int port,
                                QM_RTSP_FRAME_CALLBACK callback, void* user_pointer);

/* Our addition: the same for a device that names its own stream address (an ONVIF profile's
 * rtsp:// address); the account goes into its user part. */
int QM_RTSP_CLINET_LIB_RealPlayUrl(const char* url, const char* user, const char* password,
                                   QM_RTSP_FRAME_CALLBACK callback, void* user_pointer);

/* Ends a stream. When it returns, no callback of that stream is running or will run (called
 * from the stream's own callback it only asks the stream to end). 0, or -1 for an unknown
 * handle. */
int QM_RTSP_CLINET_LIB_StopRealPlay(int handle);

/* 1 while the stream's thread still receives, 0 when it ended (or the handle is unknown). */
int QM_RTSP_CLINET_LIB_IsPlaying(int handle);

/* The URL path of a stream number, e.g. "/0" and "/1" (the default of our devices) or
 * "/Streaming/Channels/101" of another camera; applies to later RealPlay calls. 0 or -1. */
int QM_RTSP_CLINET_LIB_SetStreamPath(int stream_number, const char* path);

/* 1: RTSP interleaved over TCP (the default), 0: RTP over UDP. */
int QM_RTSP_CLINET_LIB_SetTransportTcp(int tcp);

/* Seconds without data before a stream is given up (default 10). */
int QM_RTSP_CLINET_LIB_SetTimeout(int seconds);

void QM_RTSP_CLINET_LIB_SetLogCallback(QM_RTSP_LOG_CALLBACK callback);

#ifdef __cplusplus
}
#endif

#endif
