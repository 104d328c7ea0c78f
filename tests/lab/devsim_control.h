// Client for the simulator's control socket, for lab tests.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vdz::lab {

// One line of the request log.
struct DevsimRequest {
  uint64_t seq = 0;
  double time = 0;  // wall-clock seconds
  std::string source_ip;
  int source_port = 0;
  std::string iface;
  std::string destination;
  std::size_t length = 0;
  int code = -1;
  std::string serial;  // empty when none was named
  std::string result;
  std::string action;  // ONVIF requests: the SOAP call or "Probe"
};

// One device as the simulator holds it now.
struct DevsimDevice {
  std::string serial, ip, mask, gateway, dns1, dns2, factory_ip, iface, mac, type, root, state,
      misbehave, version, sdk_misbehave;
  bool dhcp = false;
  int sdk_port = 0;      // 0 while its SDK server is closed (rebooting)
  int sdk_sessions = 0;  // logged-in SDK connections
  int sdk_reboots = 0;   // restarts through the SDK so far
  long long runtime = 0;
  int ptz_port = 0;
};

// key=value words of a reply line (quoted values unquoted); the first bare word under "".
std::map<std::string, std::string> ParseReplyLine(const std::string& line);

class DevsimControl {
 public:
  explicit DevsimControl(std::string socket_path) : path_(std::move(socket_path)) {}
  // The lab's simulator (VDZ_DEVSIM_CONTROL).
  static DevsimControl FromEnvironment();

  // Sends one command. True when the reply ended in OK; *lines gets the reply's other
  // lines, *error the ERR text or what went wrong with the socket.
  bool Send(const std::string& command, std::vector<std::string>* lines = nullptr,
            std::string* error = nullptr) const;

  std::vector<DevsimRequest> RequestLog(uint64_t since_seq = 0) const;
  bool ClearRequestLog() const { return Send("log clear"); }
  std::vector<DevsimDevice> Devices() const;
  std::optional<DevsimDevice> Device(const std::string& serial) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vdz::lab
