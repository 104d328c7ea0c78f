// The site's ONVIF cameras: their addresses, WS-Discovery answers, SOAP services and RTSP
// streams, driven from the simulator's single loop. The simulator lends what it owns (the
// addresses of the namespace, the RTSP servers, the request log) through Host.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kv_line.h"
#include "onvif_camera.h"
#include "onvif_http_server.h"
#include "onvif_soap_service.h"
#include "request_log.h"
#include "rtsp_site.h"
#include "wsd_responder.h"

namespace vdz::devsim {

class OnvifSite {
 public:
  struct Host {
    // Fills iface/ifindex from the camera's address (as for a device); false with *error.
    std::function<bool(OnvifCamera*, std::string*)> resolve_iface;
    // Held by a device, a lab host, a reserved or lab address.
    std::function<bool(uint32_t)> address_taken;
    std::function<int(int ifindex, uint32_t ip)> add_address;  // 0 or -errno
    std::function<void(int ifindex, uint32_t ip)> remove_address;
    // Null when the simulator runs without cameras' streams.
    std::function<bool(const RtspCameraConfig&, std::string*)> start_stream;
    std::function<void(const std::string& key)> stop_stream;
    RequestLog* log = nullptr;
    std::function<int()> reboot_silence_ms;
    uint32_t seed = 1;
  };

  explicit OnvifSite(Host host);
  ~OnvifSite();
  OnvifSite(const OnvifSite&) = delete;
  OnvifSite& operator=(const OnvifSite&) = delete;

  bool AddCamera(OnvifCamera camera, std::string* error);
  // Misbehaviour words for a serial or "all"; false when no camera matched.
  bool Misbehave(const std::string& target, const std::string& words, std::string* error);
  void RemoveAll();
  bool Holds(uint32_t ip) const;
  const std::vector<OnvifCamera>& cameras() const { return cameras_; }

  // Readable when Service has work; call Service then and at least every 50 ms.
  int fd() const { return epoll_fd_; }
  // Returns microseconds until it wants to run again, or -1.
  int64_t Service(int64_t now_us);

  // onvif-cameras, onvif-misbehave, onvif-add; nothing when the verb is not one of them.
  std::optional<std::string> Command(const std::string& verb, const KvLine& args);

 private:
  bool Open(std::string* error);
  void HandleProbe(const WsdResponder::Datagram& d, int64_t now_us);
  HttpReply HandleHttp(const HttpRequest& request);
  void Reboot(OnvifCamera& c, int64_t now_ms);
  std::string Move(OnvifCamera& c, const NetSettings& to);
  bool StartStream(const OnvifCamera& c, std::string* error);
  std::string CameraLine(const OnvifCamera& c, int64_t now_ms, int64_t wall_ms) const;
  OnvifCamera* ByIp(const std::string& ip);

  Host host_;
  int epoll_fd_ = -1;
  bool open_ = false;
  WsdResponder wsd_;
  OnvifHttpServer http_;
  OnvifSoapService soap_;
  std::mt19937 rng_;
  uint64_t message_number_ = 0;
  std::vector<OnvifCamera> cameras_;
  // Effects of a call, carried out a moment after its answer left.
  struct Pending {
    int64_t due_ms;
    std::string serial;
    bool reboot = false;
    NetSettings to;
  };
  std::vector<Pending> pending_;
  std::vector<std::string> waking_;  // serials whose reboot has not yet ended
};

}  // namespace vdz::devsim
