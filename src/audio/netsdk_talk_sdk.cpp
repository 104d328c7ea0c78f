#include "audio/talk_sdk.h"
#include "qm_netsdk.h"

namespace vdz {

namespace {

class NetSdkTalkSdk final : public TalkSdk {
 public:
  int StartTalk(int transport, int codec, int rate, int bits, int channels) override {
    return QM_NETSDK_IPC_StartTalk(transport, codec, rate, bits, channels);
  }
  int StopTalk() override { return QM_NETSDK_IPC_StopTalk(); }
  int AddTalk(int handle) override { return QM_NETSDK_IPC_AddTalk(handle); }
  int RemoveTalk(int handle) override { return QM_NETSDK_IPC_RemoveTalk(handle); }
  int StartVoiceCom(int handle) override { return QM_NETSDK_IPC_StartVoiceCom(handle, 0, 1, 0, 0); }
  int StopVoiceCom(int handle) override { return QM_NETSDK_IPC_StopVoiceCom(handle); }
  int StartAudioCapture(int rate, int bits, int channels, CaptureSink sink, void* owner) override {
    return QM_NETSDK_IPC_StartAudioCapture(rate, bits, channels, sink, owner);
  }
  int StopAudioCapture() override { return QM_NETSDK_IPC_StopAudioCapture(); }
  int AudioCaptureState(char* why, int size) override {
    return QM_NETSDK_IPC_GetAudioCaptureState(why, size);
  }
  int InputAudioData(int type, const char* data, int length) override {
    return QM_NETSDK_IPC_InputAudioData(type, data, length);
  }
  int GetDVRConfig(int handle, int command) override {
    return QM_NETSDK_IPC_GetDVRConfig(handle, command, 0, "", 0, nullptr);
  }
  int SetDVRConfig(int handle, int command, const char* xml, int length) override {
    return QM_NETSDK_IPC_SetDVRConfig(handle, command, 0, xml, length);
  }
  int SystemControl(int handle, int command, const char* text) override {
    return QM_NETSDK_IPC_SystemControl(handle, command, 0, text);
  }
  int UploadOEMMp3File(int handle, const char* path) override {
    return QM_NETSDK_IPC_UploadOEMMp3File(handle, path);
  }
  int UploadOEMAppFile(int handle, const char* path) override {
    return QM_NETSDK_IPC_UploadOEMAppFile(handle, path);
  }
  int SearchOEMMp3File(int handle, int page) override {
    return QM_NETSDK_IPC_SearchOEMMp3File(handle, page);
  }
  int PlayMp3File(int handle, const char* path, int mode) override {
    return QM_NETSDK_IPC_PlayMp3File(handle, path, mode);
  }
  int StopPlayMp3File(int handle) override { return QM_NETSDK_IPC_StopPlayMp3File(handle); }
  int GetFileByName(int handle, const char* device_file, const char* folder) override {
    return QM_NETSDK_IPC_GetFileByName(handle, 1, device_file, folder);
  }
  int AudioRecordFromXml(void* record, const char* xml) override {
    return QM_NETSDK_IPC_Media_getAudioCaptureByXml(record, xml);
  }
  int VideoRecordFromXml(void* record, const char* xml) override {
    return QM_NETSDK_IPC_Media_getVideoCaptureByXml(record, xml);
  }
  char* AudioRecordXml(const void* record) override {
    return QM_NETSDK_IPC_XMLGET_AudioCaptureConfig(record);
  }
  char* VideoRecordXml(const void* record) override {
    return QM_NETSDK_IPC_XMLGET_VideoCaptureConfig(record);
  }
  void FreeText(char* text) override { QM_NETSDK_IPC_XMLGET_SAFE_FREE(text); }
};

}  // namespace

std::unique_ptr<TalkSdk> MakeNetSdkTalkSdk() {
  return std::make_unique<NetSdkTalkSdk>();
}

}  // namespace vdz
