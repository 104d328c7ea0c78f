// The simulated cameras' RTSP servers: one server per camera on its address and video port,
// each with a main and a sub stream. A stream's pipeline exists only while someone watches,
// so a large site costs nothing until a camera is previewed. Runs its own GLib main loop on a
// thread; every method is thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vdz::devsim {

struct RtspCameraConfig {
  std::string key;      // the device's serial number
  std::string address;  // where it listens
  int port = 554;
  std::vector<std::pair<std::string, std::string>> accounts;  // user, password
  std::string label;  // drawn into the picture (the device's address)
  // Stream sizes of this camera; 0 takes the site's.
  int main_width = 0, main_height = 0, sub_width = 0, sub_height = 0;
};

struct RtspStreamSizes {
  int main_width = 1280, main_height = 720;
  int sub_width = 640, sub_height = 360;
  int frame_rate = 25;
};

class RtspSite {
 public:
  explicit RtspSite(RtspStreamSizes sizes = {});
  ~RtspSite();
  RtspSite(const RtspSite&) = delete;
  RtspSite& operator=(const RtspSite&) = delete;

  // False with *error when the server could not listen. A camera with the key is replaced.
  bool AddCamera(const RtspCameraConfig& config, std::string* error);
  void RemoveCamera(const std::string& key);
  void RemoveAll();
  // Pipelines that exist now, over the whole site.
  int ActiveMedia() const;
  int CameraCount() const;
  // Media made since the start, and clients refused for their account.
  int64_t MediaMade() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vdz::devsim
