#include "devconfig/setting_validators.h"

#include <string>
#include <vector>

#include "devconfig/ipv4_text.h"

namespace vdz {

bool DecimalInRange(std::string_view text, int64_t minimum, int64_t maximum) {
  if (text.empty() || text.size() > 64)
    return false;
  // Saturates well above any range asked for, so 64 digits cannot overflow.
  constexpr int64_t kCeiling = int64_t{1} << 53;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    value = value >= kCeiling ? kCeiling : value * 10 + (c - '0');
  }
  return value >= minimum && value <= maximum;
}

bool Ipv4AddressAccepted(std::string_view text) {
  if (text.size() >= 100)
    return false;
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos)
      dot = text.size();
    if (dot > start)
      pieces.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  if (pieces.size() != 4)
    return false;
  int sum = 0;
  for (std::string_view piece : pieces) {
    if (!DecimalInRange(piece, 0, 255))
      return false;
    // Every digit zero exactly when the part is zero: the sum is 0 only for 0.0.0.0.
    for (char c : piece)
      sum += c - '0';
  }
  const std::string copy(text);
  if (InetAddrHostOrder(copy.c_str()) == 0xFFFFFFFFu)
    return false;
  return sum != 0;
}

bool HostNameAccepted(std::string_view text) {
  if (text.empty() || text.size() > 63)
    return false;
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower.front() == '-' || lower.back() == '-' || lower.back() == '.')
    return false;
  const std::size_t last_dot = lower.rfind('.');
  if (last_dot == std::string::npos)
    return false;
  const std::string_view last = std::string_view(lower).substr(last_dot + 1);
  if (last.size() < 2 || last.size() > 3)
    return false;
  for (char c : last) {
    if (c >= '0' && c <= '9')
      return false;
  }
  for (char c : lower) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '.';
    if (!ok)
      return false;
  }
  return true;
}

bool NtpServerAccepted(std::string_view text) {
  if (Ipv4AddressAccepted(text))
    return text != "255.255.255.0" && text != "255.0.0.0" && text != "255.255.0.0";
  return HostNameAccepted(text);
}

}  // namespace vdz
