// Time bounds of the client side; the defaults are the ones the protocol document states.
#pragma once

namespace vdz::netsdk {

struct SdkTiming {
  int login_ms = 3000;
  int request_ms = 5000;
  int keepalive_ms = 5000;
  int dead_peer_ms = 15000;
  int reconnect_ms = 1000;
  int reconnect_max_ms = 8000;
};

}  // namespace vdz::netsdk
