#include "devops/device_sdk.h"
#include "qm_netsdk.h"

namespace vdz {

int DeviceSdk::Upgrade(int, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::GetUpgradeProgress(int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::GetConfigFile(int, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::SetConfigFile(int, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::UploadOEMAppFile(int, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::CreateIFrame(int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::PTZControl(int, int, int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::PTZPreset(int, int, int) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}
int DeviceSdk::GetFileByName(int, int, const char*, const char*) {
  return QM_NETSDK_ERR_NOT_SUPPORTED;
}

namespace {

class NetSdkDeviceSdk final : public DeviceSdk {
 public:
  int Login(const char* ip, uint16_t port, const char* user, const char* password) override {
    return QM_NETSDK_IPC_Login(ip, port, user, password, 0);
  }
  int SetAutoReconnect(int handle, int enable) override {
    return QM_NETSDK_IPC_SetAutoReconnect(handle, enable);
  }
  int Logout(int handle) override { return QM_NETSDK_IPC_Logout(handle); }
  int SystemControl(int handle, int command, int channel, const char* parameter) override {
    return QM_NETSDK_IPC_SystemControl(handle, command, channel, parameter);
  }
  int SetDVRConfig(int handle, int command, int channel, const char* xml, int length) override {
    return QM_NETSDK_IPC_SetDVRConfig(handle, command, channel, xml, length);
  }
  int PTZPreset(int handle, int command, int preset) override {
    return QM_NETSDK_IPC_PTZPreset(handle, command, preset);
  }
  int GetDVRConfig(int handle, int command, int channel) override {
    return QM_NETSDK_IPC_GetDVRConfig(handle, command, channel, "", 0, nullptr);
  }
  int RebootDVR(int handle) override { return QM_NETSDK_IPC_RebootDVR(handle); }
  int Upgrade(int handle, const char* path) override { return QM_NETSDK_IPC_Upgrade(handle, path); }
  int GetUpgradeProgress(int handle) override { return QM_NETSDK_IPC_GetUpgradeProgress(handle); }
  int GetConfigFile(int handle, const char* path) override {
    return QM_NETSDK_IPC_GetConfigFile(handle, path);
  }
  int SetConfigFile(int handle, const char* path) override {
    return QM_NETSDK_IPC_SetConfigFile(handle, path);
  }
  int UploadOEMAppFile(int handle, const char* path) override {
    return QM_NETSDK_IPC_UploadOEMAppFile(handle, path);
  }
  int CreateIFrame(int handle, int stream) override {
    return QM_NETSDK_IPC_CreateIFrame(handle, stream);
  }
  int PTZControl(int handle, int command, int pan_speed, int tilt_speed) override {
    return QM_NETSDK_IPC_PTZControl(handle, command, pan_speed, tilt_speed);
  }
  int GetFileByName(int handle, int file_type, const char* device_file,
                    const char* local_folder) override {
    return QM_NETSDK_IPC_GetFileByName(handle, file_type, device_file, local_folder);
  }
};

}  // namespace

std::unique_ptr<DeviceSdk> MakeNetSdkDeviceSdk() {
  return std::make_unique<NetSdkDeviceSdk>();
}

}  // namespace vdz
