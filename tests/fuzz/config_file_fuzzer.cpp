// Feeds arbitrary file contents through the readers of files: a device's configuration
// file (import), the settings file, the diagnostic log's control file, and the requests a
// simulated device reads from a client. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device_config_file.h"
#include "device_file_list.h"
#include "settings_checks.h"
#include "shell/diag_log_control.h"
#include "shell/ini_file.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

void ReadDeviceConfigFile(std::string_view text) {
  const auto documents = vdz::devserver::ReadConfigFile(text);
  if (!documents)
    return;
  // The documents a file carries, exported again, come back as they were.
  vdz::devserver::DeviceConfig config;
  config.documents = *documents;
  const auto again = vdz::devserver::ReadConfigFile(vdz::devserver::ConfigFileDocument(config));
  Expect(again && *again == *documents);
}

std::string_view Piece(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  const std::string_view piece = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return piece;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// The settings file, then "section\0key\0value" to set in it.
void ReadSettingsFile(std::string_view input) {
  const std::string_view text = Piece(input);
  const std::string_view section = Piece(input);
  const std::string_view key = Piece(input);
  const std::string_view value = input;

  vdz::IniFile ini = vdz::IniFile::Parse(text);
  const std::string before = ini.Text();
  ini.Get(section, key);
  if (!ini.Set(section, key, value)) {
    Expect(ini.Text() == before);
    return;
  }
  // What was set reads back, also once saved and loaded again.
  Expect(ini.Get(Trim(section), Trim(key)) == std::string(Trim(value)));
  const vdz::IniFile loaded = vdz::IniFile::Parse(ini.Text());
  Expect(loaded.Get(Trim(section), Trim(key)) == std::string(Trim(value)));
}

void ReadLogControl(std::string_view text) {
  const vdz::DiagLogControl control = vdz::ParseDiagLogControl(text);
  Expect(control.monitor_address.size() <= vdz::kDiagLogControlValueMax);
}

void ReadClientRequest(std::string_view text) {
  namespace ds = vdz::devserver;
  ds::ParseFileListQuery(text);
  ds::DeleteRequestName(text);
  ds::AdminPasswordIn(text);
  ds::TimeSyncSeconds(text);
  ds::DocumentHasRoot(text, "REQUEST_PARAM");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      ReadDeviceConfigFile(text);
      break;
    case 1:
      ReadSettingsFile(text);
      break;
    case 2:
      ReadLogControl(text);
      break;
    default:
      ReadClientRequest(text);
      break;
  }
  return 0;
}
