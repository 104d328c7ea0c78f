// WS-Discovery (2005/04) for the simulated ONVIF cameras: one socket on UDP 3702 that has
// joined 239.255.255.250 on every lab interface, reads Probes and sends each camera's
// ProbeMatches unicast from the camera's own address to the port the Probe left from.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "onvif_camera.h"

namespace vdz::devsim {

inline constexpr const char* kWsdGroup = "239.255.255.250";
inline constexpr int kWsdPort = 3702;
inline constexpr const char* kWsdNs = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char* kOnvifNetworkNs = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char* kOnvifDeviceNs = "http://www.onvif.org/ver10/device/wsdl";

struct WsdProbe {
  std::string message_id;
  bool soap11 = false;
  // Types as (namespace, local name); a prefix nobody declared leaves the namespace empty.
  std::vector<std::pair<std::string, std::string>> types;
  std::vector<std::string> scopes;
};

// A Probe, or nothing with *why set (not XML, another action, no MessageID).
std::optional<WsdProbe> ReadProbe(std::string_view datagram, std::string* why);

// Whether the camera answers: every Type named must be one of its own, every Scope a prefix
// of one of its scopes; a Probe without Types matches unless the camera is no-typeless.
bool ProbeMatchesCamera(const WsdProbe& probe, const OnvifCamera& camera);

std::vector<std::string> CameraScopes(const OnvifCamera& camera);
// The whole ProbeMatches envelope the camera sends for the probe.
std::string BuildProbeMatches(const WsdProbe& probe, const OnvifCamera& camera,
                              uint64_t message_number);

class WsdResponder {
 public:
  WsdResponder() = default;
  ~WsdResponder();
  WsdResponder(const WsdResponder&) = delete;
  WsdResponder& operator=(const WsdResponder&) = delete;

  // Binds the port and joins the group on every interface with an IPv4 address but lo.
  bool Open(std::string* error);
  int fd() const { return fd_; }

  struct Datagram {
    std::string data;
    sockaddr_in from{};
    int ifindex = 0;
    uint32_t destination = 0;  // host order
    bool truncated = false;
  };
  // The next waiting datagram, or nothing.
  std::optional<Datagram> Receive();

  // Sends payload from source (host order) to `to` once due_us has come.
  void Enqueue(int64_t due_us, uint32_t source, const sockaddr_in& to, std::string payload);
  // Sends what is due; returns microseconds until the next, or -1.
  int64_t Pump(int64_t now_us);
  std::size_t queued() const { return queue_.size(); }
  uint64_t sent() const { return sent_; }
  uint64_t errors() const { return errors_; }

 private:
  struct Pending {
    int64_t due_us;
    uint32_t source;
    sockaddr_in to;
    std::string payload;
  };
  int fd_ = -1;
  std::deque<Pending> queue_;  // kept sorted by due time
  uint64_t sent_ = 0;
  uint64_t errors_ = 0;
};

}  // namespace vdz::devsim
