// The device SDK calls the operations make, behind an interface so that the batch logic can
// be tested without devices. NetSdkDeviceSdk forwards to the QM_NETSDK_IPC_ library.
#pragma once

#include <cstdint>
#include <memory>

namespace vdz {

// A call that got no answer within its time bound (the library's own code for it): the device
// neither refused nor failed, it was slow or the workstation was busy.
inline constexpr int kSdkTimedOut = -5;

class DeviceSdk {
 public:
  virtual ~DeviceSdk() = default;
  virtual int Login(const char* ip, uint16_t port, const char* user, const char* password) = 0;
  virtual int SetAutoReconnect(int handle, int enable) = 0;
  virtual int Logout(int handle) = 0;
  virtual int SystemControl(int handle, int command, int channel, const char* parameter) = 0;
  virtual int SetDVRConfig(int handle, int command, int channel, const char* xml, int length) = 0;
  virtual int GetDVRConfig(int handle, int command, int channel) = 0;
  virtual int RebootDVR(int handle) = 0;
  // File operations; a fake without files says it has none.
  virtual int Upgrade(int handle, const char* path);
  virtual int GetUpgradeProgress(int handle);
  virtual int GetConfigFile(int handle, const char* path);
  virtual int SetConfigFile(int handle, const char* path);
  virtual int UploadOEMAppFile(int handle, const char* path);
  // Live preview: a key frame at once, and pan/tilt/zoom.
  virtual int CreateIFrame(int handle, int stream);
  virtual int PTZControl(int handle, int command, int pan_speed, int tilt_speed);
  // Preset commands; a fake without a camera head says it has none.
  virtual int PTZPreset(int handle, int command, int preset);
  virtual int GetFileByName(int handle, int file_type, const char* device_file,
                            const char* local_folder);
};

std::unique_ptr<DeviceSdk> MakeNetSdkDeviceSdk();

}  // namespace vdz
