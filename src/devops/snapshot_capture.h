// Snapshots: each device is asked for a still picture, announces it with an alarm event and
// the picture is then fetched into the snapshot folder, one subfolder per device address.
// Devices that never announce are released by a watch on a 5-second tick.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devops/batch_runner.h"
#include "devops/device_sdk.h"
#include "devops/onvif_actions.h"
#include "devops/sdk_event.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

inline constexpr const char* kSnapshotRequestPayload =
    "<REQUEST_PARAM Stream=\"0\"Quality=\"100\"/>\n";
inline constexpr int64_t kSnapshotTimeoutSeconds = 5;
inline constexpr int kSnapshotWatchMs = 5000;

// DocumentsFolder() + "/snap".
std::string DefaultSnapshotFolder();

// The device's subfolder, or empty when the address is not a dotted IPv4 address (a device
// must not be able to name a folder outside the snapshot folder).
std::string SnapshotDeviceFolder(const std::string& snapshot_folder, const std::string& ip);

// Saves a picture fetched whole (another maker's camera) as <device folder>/YYYYMMDDhhmmss.jpg
// by the local time `when`, with -1, -2... when that name is taken: written to a temporary
// file, then renamed without replacing anything. The saved path, or empty with *error set.
std::string SaveSnapshotPicture(const std::string& snapshot_folder, const std::string& ip,
                                std::string_view jpeg, int64_t when, std::string* error);

// The file name the picture will have locally (the last element of the device's path), or
// empty when that name is unusable: empty, "." or "..", or holding control characters.
std::string SnapshotLocalName(std::string_view device_path);

class SnapshotCapture {
 public:
  using Clock = std::function<int64_t()>;  // whole seconds since 1970

  SnapshotCapture(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                  std::string folder = DefaultSnapshotFolder(), Clock clock = {});

  // The requests run as a job; done (may be empty) once every device answered or timed out.
  // The request for one row (menu item 32790).
  void RequestRow(int position, BatchDone done = {});
  // Every checked row (button 19).
  void RequestChecked(BatchDone done = {});
  // Status event 23 with the snapshot kind for a row with a snapshot pending.
  void OnSnapshotEvent(int position, DeviceRow& row, const SdkEventRecord& event);
  // The 5-second watch.
  void OnWatchTick();
  // Creates the folder when missing; false when that fails.
  bool EnsureFolder() const;
  // Other makers' cameras: their picture is fetched and saved within the job. None: they are
  // skipped as not supported.
  void SetOnvifActions(std::optional<OnvifActions> actions) { onvif_ = std::move(actions); }

  const std::string& folder() const { return folder_; }
  int requested() const { return requested_; }
  // The file last saved within a job, by device address.
  const std::map<std::string, std::string>& saved() const { return saved_; }

 private:
  void Request(const char* kind, const std::vector<int>& positions, BatchDone done);

  DeviceJobRunner& jobs_;
  DeviceSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  std::string folder_;
  Clock clock_;
  int requested_ = 0;
  std::optional<OnvifActions> onvif_;
  std::map<std::string, std::string> saved_;
};

}  // namespace vdz
