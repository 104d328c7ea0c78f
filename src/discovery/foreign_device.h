// Devices another protocol's search finds (other makers' ONVIF cameras) share the registry
// and the list with ours; this is what sets them apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/language_table.h"

namespace vdz {

enum DeviceProtocol : uint8_t { kProtocolOurs = 0, kProtocolOnvif = 1 };

// "ours", "onvif": the names the command line and the list exports use.
inline std::string_view ProtocolName(uint8_t protocol) {
  return protocol == kProtocolOnvif ? "onvif" : "ours";
}

struct ForeignDetails {
  uint8_t protocol = kProtocolOurs;
  std::string maker;
  // What the row's state cell shows: how far identifying the device got, or why it failed.
  std::string state;
  bool operator==(const ForeignDetails&) const = default;
};

// The state cell's text: the state's language text, then the reason when one was given
// ("KEY\treason").
inline std::string ForeignStateText(std::string_view state) {
  const std::size_t tab = state.find('\t');
  std::string text = LookupText(std::string(state.substr(0, tab)).c_str());
  if (tab != std::string_view::npos)
    text.append(" (").append(state.substr(tab + 1)).append(")");
  return text;
}

}  // namespace vdz
