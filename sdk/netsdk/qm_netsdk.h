/* Device SDK: log in to devices and read or write their configuration (QM_NETSDK_IPC_*).
 * Plain C; every function returns without throwing. Results: 0 success and negative
 * QM_NETSDK_ERR_* failures, except Login (a handle > 0) and GetUpgradeProgress (a percent).
 * Callbacks run on the library's I/O thread: copy what you need and return quickly; a
 * blocking call made from inside a callback fails with QM_NETSDK_ERR_WRONG_THREAD. */
#ifndef VDZ_QM_NETSDK_H
#define VDZ_QM_NETSDK_H

#ifdef __cplusplus
extern "C" {
#endif

#define QM_NETSDK_API __attribute__((visibility("default")))

#define QM_NETSDK_OK 0
#define QM_NETSDK_ERR_NOT_INIT (-1)       /* QM_NETSDK_IPC_Init not called */
#define QM_NETSDK_ERR_INVALID_ARG (-2)    /* bad address, null text, negative length */
#define QM_NETSDK_ERR_INVALID_HANDLE (-3) /* no such login */
#define QM_NETSDK_ERR_CONNECT (-4)        /* TCP connection refused or failed */
#define QM_NETSDK_ERR_TIMEOUT (-5)        /* no answer within the time bound */
#define QM_NETSDK_ERR_AUTH (-6)           /* the device refused the account */
#define QM_NETSDK_ERR_NOT_CONNECTED (-7)  /* the session is down (reconnecting or lost) */
#define QM_NETSDK_ERR_PROTOCOL (-8)       /* the device sent something malformed */
#define QM_NETSDK_ERR_DEVICE (-9)         /* the device answered with a failure */
#define QM_NETSDK_ERR_NOT_SUPPORTED (-10) /* feature not implemented in this library yet */
#define QM_NETSDK_ERR_WRONG_THREAD (-11)  /* blocking call from a library callback */
#define QM_NETSDK_ERR_RESOURCE (-12)      /* out of memory, descriptors or threads */
#define QM_NETSDK_ERR_BUSY (-13)          /* an upgrade of this login is still running */

/* Status events the library itself produces (the device pushes the others). */
#define QM_NETSDK_EVENT_SESSION_UP 4        /* after Login returned, and after each reconnection */
#define QM_NETSDK_EVENT_DISCONNECTED 60     /* the connection was lost */
#define QM_NETSDK_EVENT_RECONNECT_FAILED 61 /* one reconnection attempt failed */

/* data: NUL-terminated, zero-filled to at least QM_NETSDK_EVENT_DATA_MIN bytes. */
#define QM_NETSDK_EVENT_DATA_MIN 1361
typedef int (*QM_NETSDK_StatusEventCallBack)(int login_handle, int event_type, const char* data,
                                             void* owner);
/* text: NUL-terminated. */
typedef int (*QM_NETSDK_AUXResponseCallBack)(int login_handle, int command, const char* text,
                                             void* owner);
typedef int (*QM_NETSDK_AudioCaptureCallBack)(const char* data, int length, void* owner);

QM_NETSDK_API int QM_NETSDK_IPC_Init(void);
/* Our addition: stops the I/O thread and closes every login. Init may follow again. */
QM_NETSDK_API int QM_NETSDK_IPC_Cleanup(void);
/* Our addition: time bounds in ms (0 keeps a value): login (connect + authentication),
 * keep-alive interval, dead-peer timeout, first reconnect interval. */
QM_NETSDK_API int QM_NETSDK_IPC_SetTimeouts(int login_ms, int keepalive_ms, int dead_peer_ms,
                                            int reconnect_ms);

/* Our addition: bytes currently held in per-connection buffers (refreshed every 50 ms). */
QM_NETSDK_API long long QM_NETSDK_IPC_DebugBufferedBytes(void);

/* Replacing a callback (nullptr unregisters it) is quiescent: when the call returns, the
 * previous callback is not running and will not run again, so its owner may be destroyed.
 * Called from inside a callback it does not wait (the running callback is the caller). */
QM_NETSDK_API int QM_NETSDK_IPC_SetStatusEventCallBack(QM_NETSDK_StatusEventCallBack callback,
                                                       void* owner);
QM_NETSDK_API int QM_NETSDK_IPC_SetAUXResponseCallBack(QM_NETSDK_AUXResponseCallBack callback,
                                                       void* owner);
/* handle 0 sets the default for later logins. */
QM_NETSDK_API int QM_NETSDK_IPC_SetAutoReconnect(int login_handle, int enable);

/* Blocks at most the login time bound (3 s by default). Returns a handle > 0, or a
 * negative QM_NETSDK_ERR_*; event 4 follows on the status callback. ip: dotted IPv4. */
QM_NETSDK_API int QM_NETSDK_IPC_Login(const char* ip, unsigned short port, const char* user,
                                      const char* password, int reserved);
/* No callback for the handle runs after Logout returns (unless called from a callback). */
QM_NETSDK_API int QM_NETSDK_IPC_Logout(int login_handle);

QM_NETSDK_API int QM_NETSDK_IPC_SetDVRConfig(int login_handle, int command, int channel,
                                             const char* xml, int length);
/* The answer arrives as an auxiliary response with the same command; the three trailing
 * arguments are reserved (pass "", 0, 0). */
QM_NETSDK_API int QM_NETSDK_IPC_GetDVRConfig(int login_handle, int command, int channel,
                                             const char* reserved_text, int reserved_length,
                                             int* reserved_out);
QM_NETSDK_API int QM_NETSDK_IPC_SystemControl(int login_handle, int command, int channel,
                                              const char* parameter);
QM_NETSDK_API int QM_NETSDK_IPC_RebootDVR(int login_handle);
QM_NETSDK_API int QM_NETSDK_IPC_PTZPreset(int login_handle, int command, int preset);
QM_NETSDK_API int QM_NETSDK_IPC_PTZControl(int login_handle, int command, int pan_speed,
                                           int tilt_speed);
QM_NETSDK_API int QM_NETSDK_IPC_CreateIFrame(int login_handle, int stream);

/* File transfer on the login connection; paths are the file system's own bytes.
 * Upgrade returns once the transfer is handed to the library (0) or could not start; then
 * status events 54 (percent sent) and 55 (percent written by the device), and one end:
 * 2 done (the device restarts), 3 the device failed to write, 5 image refused (another model,
 * damaged or truncated), 34 the transfer broke off. */
QM_NETSDK_API int QM_NETSDK_IPC_Upgrade(int login_handle, const char* firmware_path);
/* Percent of the running or last upgrade of the login (0 when none). */
QM_NETSDK_API int QM_NETSDK_IPC_GetUpgradeProgress(int login_handle);
/* Blocking: the device's configuration written to local_path (complete or not at all). */
QM_NETSDK_API int QM_NETSDK_IPC_GetConfigFile(int login_handle, const char* local_path);
/* Blocking: 0 once the device has applied the file; QM_NETSDK_ERR_DEVICE when it refused it. */
QM_NETSDK_API int QM_NETSDK_IPC_SetConfigFile(int login_handle, const char* local_path);
/* 0 = download started; the file appears in local_folder under the device file's last path
 * element once complete (nothing else reports the end). */
QM_NETSDK_API int QM_NETSDK_IPC_GetFileByName(int login_handle, int file_type,
                                              const char* device_file, const char* local_folder);
/* 0 = started; event 14 when the device stored it, 15 when not. */
QM_NETSDK_API int QM_NETSDK_IPC_UploadOEMAppFile(int login_handle, const char* local_path);

/* Talk: one talk at a time, to any number of devices. StartTalk fixes its format
 * (transport 0 UDP, 1 TCP, 2 multicast; codec 0 G.711 mu-law, 1 AAC, 2 PCM; 8000, 16000,
 * 32000 or 48000 Hz; 16 bits; 1 or 2 channels). StartVoiceCom asks a device to join: it
 * answers with event 6 (then AddTalk sends it the audio), 35 busy, 36 format refused or 37 no
 * talk. InputAudioData takes interleaved 16-bit little-endian PCM of the talk's format, encodes
 * it once and sends it to every added device as RTP (see docs/sdk-protocol.md). */
QM_NETSDK_API int QM_NETSDK_IPC_StartTalk(int transport, int codec, int sample_rate,
                                          int bits_per_sample, int channels);
QM_NETSDK_API int QM_NETSDK_IPC_StopTalk(void);
QM_NETSDK_API int QM_NETSDK_IPC_AddTalk(int login_handle);
QM_NETSDK_API int QM_NETSDK_IPC_RemoveTalk(int login_handle);
QM_NETSDK_API int QM_NETSDK_IPC_StartVoiceCom(int login_handle, int channel, int mode,
                                              int reserved1, int reserved2);
QM_NETSDK_API int QM_NETSDK_IPC_StopVoiceCom(int login_handle);
QM_NETSDK_API int QM_NETSDK_IPC_StartAudioCapture(int sample_rate, int bits_per_sample,
                                                  int channels,
                                                  QM_NETSDK_AudioCaptureCallBack callback,
                                                  void* owner);
QM_NETSDK_API int QM_NETSDK_IPC_StopAudioCapture(void);
/* Our addition: 1 while the microphone is captured, 0 while silence stands in for it (no
 * sound server or no capture device; the reason is copied to `reason`), -1 when no capture
 * runs. */
QM_NETSDK_API int QM_NETSDK_IPC_GetAudioCaptureState(char* reason, int reason_size);
QM_NETSDK_API int QM_NETSDK_IPC_InputAudioData(int data_type, const char* data, int length);
/* 0 = started; event 14 when the device stored it, 15 when not. */
QM_NETSDK_API int QM_NETSDK_IPC_UploadOEMMp3File(int login_handle, const char* local_path);
/* The page arrives as auxiliary response 1021. */
QM_NETSDK_API int QM_NETSDK_IPC_SearchOEMMp3File(int login_handle, int page);
QM_NETSDK_API int QM_NETSDK_IPC_PlayMp3File(int login_handle, const char* device_file, int mode);
QM_NETSDK_API int QM_NETSDK_IPC_StopPlayMp3File(int login_handle);
/* record: 24 bytes (audio) or 176 bytes (video), zero-filled by the caller. */
QM_NETSDK_API int QM_NETSDK_IPC_Media_getAudioCaptureByXml(void* record, const char* xml);
QM_NETSDK_API int QM_NETSDK_IPC_Media_getVideoCaptureByXml(void* record, const char* xml);
/* Returned texts are freed with QM_NETSDK_IPC_XMLGET_SAFE_FREE. */
QM_NETSDK_API char* QM_NETSDK_IPC_XMLGET_AudioCaptureConfig(const void* record);
QM_NETSDK_API char* QM_NETSDK_IPC_XMLGET_VideoCaptureConfig(const void* record);
QM_NETSDK_API int QM_NETSDK_IPC_XMLGET_SAFE_FREE(char* text);

#ifdef __cplusplus
}
#endif

#endif
