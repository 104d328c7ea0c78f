// The device-SDK calls of talk and broadcast, behind an interface so that the console can be
// tested without devices. MakeNetSdkTalkSdk forwards to the QM_NETSDK_IPC_ library.
#pragma once

#include <memory>

namespace vdz {

// A device's file list is read page by page; one that never sends an empty page is cut off.
inline constexpr int kMaxFileListPages = 1000;

class TalkSdk {
 public:
  using CaptureSink = int (*)(const char* data, int length, void* owner);
  virtual ~TalkSdk() = default;
  virtual int StartTalk(int transport, int codec, int rate, int bits, int channels) = 0;
  virtual int StopTalk() = 0;
  virtual int AddTalk(int handle) = 0;
  virtual int RemoveTalk(int handle) = 0;
  virtual int StartVoiceCom(int handle) = 0;
  virtual int StopVoiceCom(int handle) = 0;
  virtual int StartAudioCapture(int rate, int bits, int channels, CaptureSink sink,
                                void* owner) = 0;
  virtual int StopAudioCapture() = 0;
  // 1 microphone, 0 silence instead (reason in `why`), -1 none.
  virtual int AudioCaptureState(char* why, int size) = 0;
  virtual int InputAudioData(int type, const char* data, int length) = 0;
  virtual int GetDVRConfig(int handle, int command) = 0;
  virtual int SetDVRConfig(int handle, int command, const char* xml, int length) = 0;
  virtual int SystemControl(int handle, int command, const char* text) = 0;
  virtual int UploadOEMMp3File(int handle, const char* path) = 0;
  virtual int UploadOEMAppFile(int handle, const char* path) = 0;
  virtual int SearchOEMMp3File(int handle, int page) = 0;
  virtual int PlayMp3File(int handle, const char* path, int mode) = 0;
  virtual int StopPlayMp3File(int handle) = 0;
  virtual int GetFileByName(int handle, const char* device_file, const char* folder) = 0;
  virtual int AudioRecordFromXml(void* record, const char* xml) = 0;
  virtual int VideoRecordFromXml(void* record, const char* xml) = 0;
  // Rendered texts; free them with FreeText.
  virtual char* AudioRecordXml(const void* record) = 0;
  virtual char* VideoRecordXml(const void* record) = 0;
  virtual void FreeText(char* text) = 0;
};

std::unique_ptr<TalkSdk> MakeNetSdkTalkSdk();

}  // namespace vdz
