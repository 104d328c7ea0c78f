// Player library: decodes the frames of a stream and draws the pictures into a render window,
// scaled to it; plays the sound through the sound server.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Ports handed out for render windows lie in 1..QM_PLAYER_MAX_WINDOW_PORT; the preview takes
// window-less decoder ports from its own counter starting at 1000, so the ranges never meet.
#define QM_PLAYER_MAX_WINDOW_PORT 999

#define QM_PLAYER_STREAM_AUDIO 0
#define QM_PLAYER_STREAM_VIDEO 1

// Resets the port table. 0 on success.
int QM_PLAYER_Init(void);

// Binds a new player port to a render window (a QWidget* of the caller's render surface,
// on the window thread). Pictures decoded for the port are handed to that thread and painted
// over the whole widget. Returns the port (1 or more), or -1 when the window is null or every
// port is taken.
int QM_PLAYER_CreatePlayer(void* render_window);

// The render window bound to a port, or null when the port is not in use.
void* QM_PLAYER_GetPlayerWindow(int port);

// Frees one port (its decoders too). 0 on success, -1 when the port is not in use.
int QM_PLAYER_ReleasePlayer(int port);

// Frees every port and decoder and stops the sound. 0 on success.
int QM_PLAYER_ReleaseAll(void);

// A decoder for the port from a codec header of the RTSP client library: stream 1 with the
// 536-byte video header, 0 with the 276-byte audio header. Any port number above 0 works; one
// without a window decodes without drawing. 0 = ready, -1 bad arguments, -2 unsupported codec,
// -3 the decoder could not be opened.
int QM_PLAYER_SetupDecoder(int port, int stream, const unsigned char* header, int length);

// Decodes one frame. `info` is the 16-byte frame record: a 32-bit value (bit 0 key frame),
// 4 unused bytes, the 64-bit time stamp in microseconds. 0 when accepted (a picture may come
// later), -1 bad arguments or no decoder, -2 the data did not decode.
int QM_PLAYER_DecodeFrame(int port, int stream, const unsigned char* data, int length,
                          const void* info, int info_length);

// The port's sound goes to the sound server (only one port is heard at a time). Without a
// sound server the sound is dropped quietly. 0, or -1 for a bad port.
int QM_PLAYER_SetAudioOn(int port);
int QM_PLAYER_SetAudioOff(void);

// 0: real time (every picture is shown as soon as it is decoded). 0, or -1.
int QM_PLAYER_SetPlayMode(int port, int mode);

// Releases the port's decoder of that stream. 0, or -1 when it had none.
int QM_PLAYER_CloseDecoder(int port, int stream);

typedef struct QM_PLAYER_STATS {
  int64_t video_frames;  // pictures decoded
  int64_t video_errors;  // frames that did not decode
  int64_t audio_frames;  // audio frames decoded
  int32_t width;         // of the last picture, 0 before the first
  int32_t height;
} QM_PLAYER_STATS;

// 0, or -1 when the port has no decoder.
int QM_PLAYER_GetStats(int port, QM_PLAYER_STATS* stats);

// The last decoded picture at its own size as 32-bit pixels 0xffRRGGBB, rows without gaps.
// With buffer null (or too small) only *width and *height are set. 0 when written, -1 no
// picture yet, -2 buffer too small.
int QM_PLAYER_GetLastPicture(int port, uint32_t* buffer, int64_t capacity, int* width, int* height);

// Runs on the window thread each time a picture of the port is painted: 32-bit pixels
// 0xffRRGGBB as painted (scaled to the window; rows stride_pixels apart, which may be wider
// than the picture, as the pixels may lie in the window's own store), the frame's time stamp
// and the CLOCK_REALTIME microseconds at which its data arrived. The pixels are valid only
// during the call. Null removes it. 0, or -1 for a bad port.
typedef void (*QM_PLAYER_DISPLAY_CALLBACK)(int port, const uint32_t* pixels, int width, int height,
                                           int stride_pixels, int64_t timestamp_us,
                                           int64_t received_us, void* user);
int QM_PLAYER_SetDisplayCallback(int port, QM_PLAYER_DISPLAY_CALLBACK callback, void* user);

#ifdef __cplusplus
}
#endif
