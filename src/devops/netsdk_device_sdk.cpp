#include "devops/device_sdk.h"
#include "qm_netsdk.h"

namespace vdz {

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
  int GetDVRConfig(int handle, int command, int channel) override {
    return QM_NETSDK_IPC_GetDVRConfig(handle, command, channel, "", 0, nullptr);
  }
  int RebootDVR(int handle) override { return QM_NETSDK_IPC_RebootDVR(handle); }
};

}  // namespace

std::unique_ptr<DeviceSdk> MakeNetSdkDeviceSdk() {
  return std::make_unique<NetSdkDeviceSdk>();
}

}  // namespace vdz
