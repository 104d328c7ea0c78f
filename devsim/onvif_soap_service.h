// The device and media services of a simulated ONVIF camera: reads a SOAP request by local
// names, checks its login, answers it and says what the camera must do afterwards (reboot,
// move to a new address), which the site carries out once the answer is on its way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "onvif_auth.h"
#include "onvif_camera.h"
#include "onvif_http_server.h"

namespace vdz::devsim {

struct SoapCall {
  std::string action;  // local name of the Body's element, or "GET" for the snapshot
  std::string result;  // ok[:token|:digest-MD5|:digest-SHA-256], not-authorized:<why>, fault:<x>
  bool reboot = false;
  std::optional<NetSettings> move_to;
};

class OnvifSoapService {
 public:
  // wall_ms is the true time; the camera answers with its own clock.
  HttpReply Handle(const HttpRequest& request, OnvifCamera& camera, int64_t wall_ms,
                   SoapCall* call);

 private:
  DigestAuth digest_;
};

}  // namespace vdz::devsim
