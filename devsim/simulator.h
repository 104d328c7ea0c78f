// A site of simulated devices on the discovery port of the device namespace: holds their
// addresses on the interfaces, answers searches and acts on codes 2, 5 and 7. Each device
// also serves the SDK on its control port; that server moves, restores and reboots with it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "answer_sender.h"
#include "device_server_host.h"
#include "netlink_addresses.h"
#include "onvif_site.h"
#include "protocol/protocol_numbers.h"
#include "request_log.h"
#include "request_reader.h"
#include "rtsp_site.h"
#include "site.h"
#include "terminal_server.h"
#include "web_server.h"

namespace vdz::devsim {

struct SimulatorOptions {
  int port = proto::kDiscoveryPort;
  std::string default_iface;    // empty: first interface with an IPv4 address, by name
  std::set<uint32_t> reserved;  // never given to a device (the workstation's addresses)
  int reboot_silence_ms = 5000;
  int answer_rate = 5000;
  int answer_burst = 16;
  // Every device answers at once: answers are written when the request comes in and leave
  // back to back, unpaced, as a real site's do.
  bool burst_mode = false;
  uint32_t seed = 1;
  // Each device's camera serves RTSP on its video port (off: discovery and SDK only).
  bool rtsp = true;
  RtspStreamSizes rtsp_sizes;
};

class Simulator {
 public:
  explicit Simulator(SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool Init(std::string* error);
  // Replaces every device and host with the site's; the site's config lines apply too.
  bool LoadSite(Site site, std::string* error);
  // Removes every address the simulator added.
  void RemoveAll();

  int udp_fd() const { return udp_fd_; }
  // Reads every waiting datagram.
  void OnReadable(int64_t now_us);
  // Pumps the answer queue; returns microseconds until it wants to run again or -1.
  int64_t Pump(int64_t now_us, bool* want_writable) { return sender_.Pump(now_us, want_writable); }

  // The SDK servers: watch sdk_fd() for readability and call ServiceSdk then, and at least
  // every 100 ms for the timers and reboot ends.
  int sdk_fd() const { return sdk_.Fd(); }
  void ServiceSdk(int64_t now_us);

  // One control line; the reply's lines end with "OK" or "ERR ...". *shutdown is set by
  // the shutdown command.
  std::string Command(const std::string& line, bool* shutdown);

  // The ONVIF cameras: watch onvif_fd() and call ServiceOnvif then and at least every 50 ms;
  // it returns microseconds until it wants to run again, or -1.
  int onvif_fd() const { return onvif_->fd(); }
  int64_t ServiceOnvif(int64_t now_us) { return onvif_->Service(now_us); }
  const std::vector<OnvifCamera>& onvif_cameras() const { return onvif_->cameras(); }

  const std::vector<SimDevice>& devices() const { return devices_; }
  RequestLog& log() { return log_; }

 private:
  void HandleDatagram(const char* data, std::size_t len, bool truncated, const sockaddr_in& from,
                      int ifindex, uint32_t dst, int64_t now_us);
  std::string Search(const std::vector<std::size_t>& hearing, const sockaddr_in& from,
                     int64_t now_us);
  std::string SetParameters(SimDevice& d, const DiscoveryRequest& r);
  std::string MoveDevice(SimDevice& d, const NetSettings& to);
  bool AddressTaken(uint32_t ip, const SimDevice* except, bool cameras = true) const;
  bool ResolveIface(SimDevice* d, std::string* error);
  uint32_t LabAddress(int ifindex) const;
  std::string DeviceLine(const SimDevice& d, int64_t now_ms) const;
  bool AddDevice(SimDevice d, std::string* error);
  RtspCameraConfig CameraConfig(const SimDevice& d) const;
  bool StartCamera(const SimDevice& d, std::string* error);
  void StopCamera(const SimDevice& d);
  std::string MediaCommand(const std::string& verb, KvLine& args);
  void RemoveDevice(std::size_t index);
  void ResetDevice(SimDevice& d);
  std::string HostCommand(const KvLine& args);
  std::string ConfigCommand(const KvLine& args);
  bool ApplyConfig(const KvLine& args, std::string* error);
  void ConfigureSender();
  void SetSdkMisbehaviour(SimDevice& d, devserver::Misbehaviour m);
  std::string SdkCommand(const std::string& verb, KvLine& args);
  std::string TalkCommand(const std::string& verb, KvLine& args);
  std::string SdkSettingsCommand(const std::string& verb, KvLine& args);
  std::string TerminalCommand(const std::string& verb, KvLine& args);
  std::string SnapshotCommand(KvLine& args);
  void ServiceSnapshots(int64_t now_ms);
  void MakeOnvifSite();

  SimulatorOptions options_;
  Site initial_site_;
  bool have_initial_ = false;
  int udp_fd_ = -1;
  NetlinkAddresses netlink_;
  AnswerSender sender_;
  RequestLog log_;
  std::mt19937 rng_;
  devserver::DeviceServerHost sdk_;
  std::unique_ptr<RtspSite> rtsp_;
  std::unique_ptr<OnvifSite> onvif_;
  TerminalServer terminal_;
  WebServer web_;
  // Snapshot requests each device has seen and the announcements it still owes.
  struct SnapshotState {
    std::string fault = "none";  // none, never, late, refuse, hostile-path
    int seen = 0;
    int taken = 0;
    std::vector<int64_t> due_ms;
  };
  std::map<std::string, SnapshotState> snapshots_;
  int64_t last_sdk_tick_ms_ = 0;
  std::vector<SimDevice> devices_;
  std::map<std::string, std::size_t> by_serial_;
  std::map<uint32_t, std::pair<int, std::string>> hosts_;  // ip -> ifindex, interface name
  struct LabSubnet {
    std::string iface;
    int ifindex = 0;
    uint32_t ip = 0;
    uint32_t mask = 0;
  };
  // Addresses the namespace had before any device: the lab's own hosts and subnets.
  std::vector<LabSubnet> lab_addresses_;
};

int64_t MonotonicUs();
int64_t WallMs();

}  // namespace vdz::devsim
