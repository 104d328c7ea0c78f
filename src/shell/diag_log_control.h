// What the diagnostic log's control file switches on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vdz {

struct DiagLogControl {
  bool file_output = false;
  bool network_output = false;
  std::string monitor_address;  // empty: the loop-back address
};

// Values run from behind "key=" to the next ';'. A longer value than this is cut to it, so a
// runaway line can neither overflow anything nor turn an output on by its tail.
inline constexpr std::size_t kDiagLogControlValueMax = 255;

// Settings may stand anywhere in the text ("file=1;network=1;monitor_ip=10.0.0.5;");
// a key without a ';' behind it counts as absent. Other text is ignored.
DiagLogControl ParseDiagLogControl(std::string_view text);

}  // namespace vdz
