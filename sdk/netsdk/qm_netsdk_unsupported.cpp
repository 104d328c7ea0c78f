// Entry points whose features (talk and audio) are not built yet. They say
// so with QM_NETSDK_ERR_NOT_SUPPORTED rather than pretend to work.
#include <cstdlib>

#include "qm_netsdk.h"

extern "C" {

int QM_NETSDK_IPC_StartTalk(int, int, int, int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StopTalk(void) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_AddTalk(int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_RemoveTalk(int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StartVoiceCom(int, int, int, int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StopVoiceCom(int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StartAudioCapture(int, int, int, QM_NETSDK_AudioCaptureCallBack, void*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StopAudioCapture(void) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_InputAudioData(int, const char*, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_UploadOEMMp3File(int, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_SearchOEMMp3File(int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_PlayMp3File(int, const char*, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_StopPlayMp3File(int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_Media_getAudioCaptureByXml(void*, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int QM_NETSDK_IPC_Media_getVideoCaptureByXml(void*, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
char* QM_NETSDK_IPC_XMLGET_AudioCaptureConfig(const void*) {
  return nullptr;
}
char* QM_NETSDK_IPC_XMLGET_VideoCaptureConfig(const void*) {
  return nullptr;
}
// Texts from the renderers are malloc'ed; freeing NULL is allowed.
int QM_NETSDK_IPC_XMLGET_SAFE_FREE(char* text) {
  std::free(text);
  return QM_NETSDK_OK;
}

}  // extern "C"
