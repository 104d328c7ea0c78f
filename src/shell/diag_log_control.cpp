#include "shell/diag_log_control.h"

namespace vdz {
namespace {

// Empty when the key is absent or has no ';' behind it.
std::string_view ValueOf(std::string_view text, std::string_view key, bool* found) {
  *found = false;
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos)
    return {};
  const std::size_t start = at + key.size();
  const std::size_t end = text.find(';', start);
  if (end == std::string_view::npos)
    return {};
  *found = true;
  std::string_view value = text.substr(start, end - start);
  if (value.size() > kDiagLogControlValueMax)
    value = value.substr(0, kDiagLogControlValueMax);
  return value;
}

// Read like atoi, without its overflow: leading blanks, an optional sign, then digits. Any
// non-zero digit makes the number non-zero, however long it is.
bool IsNonZeroInteger(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() &&
         (value[i] == ' ' || value[i] == '\t' || value[i] == '\r' || value[i] == '\n')) {
    ++i;
  }
  if (i < value.size() && (value[i] == '+' || value[i] == '-'))
    ++i;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (value[i] != '0')
      return true;
  }
  return false;
}

}  // namespace

DiagLogControl ParseDiagLogControl(std::string_view text) {
  DiagLogControl control;
  bool found = false;
  std::string_view value = ValueOf(text, "file=", &found);
  control.file_output = found && IsNonZeroInteger(value);
  value = ValueOf(text, "network=", &found);
  control.network_output = found && IsNonZeroInteger(value);
  value = ValueOf(text, "monitor_ip=", &found);
  if (found)
    control.monitor_address.assign(value);
  return control;
}

}  // namespace vdz
