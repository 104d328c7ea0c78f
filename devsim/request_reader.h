// The device side's reading of a discovery request: code, target serial and the blocks a
// device acts on. Deliberately independent of the application's document readers.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vdz::devsim {

struct LanChange {
  std::optional<std::string> dhcp, ip, mask, gateway, dns1, dns2, mac;
};

struct DiscoveryRequest {
  int code = -1;            // Msg_code read like the firmware does: leading digits, else 0
  std::string code_text;    // as received
  std::string root;         // XML_VORTAN or XML_LUMERIANT
  bool has_serial = false;  // an IPC_SERIALNUMBER element with a SerialNumber attribute
  std::string serial;
  std::optional<LanChange> lan;
  std::optional<std::array<std::string, 7>> rk;  // RK_CONFIG/SYSTEM fields, absent ones empty
};

// Returns nothing and a short reason in *why when the text is not a request a device can
// read: not XML, no known root, or no MESSAGE_HEADER with a Msg_code.
std::optional<DiscoveryRequest> ReadDiscoveryRequest(std::string_view text, std::string* why);

}  // namespace vdz::devsim
