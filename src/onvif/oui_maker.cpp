#include "onvif/oui_maker.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace vdz::onvif {

namespace {

using OuiTable = std::unordered_map<std::uint32_t, std::string>;

int Hex(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The first three octets, separators ':', '-', '.' or none.
std::optional<std::uint32_t> OuiOf(std::string_view mac) {
  std::uint32_t value = 0;
  int digits = 0;
  for (char c : mac) {
    if (digits == 6)
      break;
    const int h = Hex(c);
    if (h >= 0) {
      value = value << 4 | static_cast<std::uint32_t>(h);
      ++digits;
    } else if (c != ':' && c != '-' && c != '.' && c != ' ') {
      return std::nullopt;
    }
  }
  if (digits != 6)
    return std::nullopt;
  return value;
}

// "XX-XX-XX   (hex)\t\tOrganisation" lines; the rest of the register is addresses.
OuiTable Load(const std::string& path) {
  OuiTable table;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t hex = line.find("(hex)");
    if (hex == std::string::npos || hex < 8 || line[2] != '-' || line[5] != '-')
      continue;
    const std::optional<std::uint32_t> oui = OuiOf(std::string_view(line).substr(0, 8));
    if (!oui)
      continue;
    std::size_t start = hex + 5;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
      ++start;
    std::size_t end = line.size();
    while (end > start && (line[end - 1] == '\r' || line[end - 1] == ' '))
      --end;
    table.emplace(*oui, line.substr(start, end - start));
  }
  return table;
}

std::string Find(const OuiTable& table, std::string_view mac) {
  const std::optional<std::uint32_t> oui = OuiOf(mac);
  if (!oui)
    return {};
  const auto it = table.find(*oui);
  return it == table.end() ? std::string() : it->second;
}

}  // namespace

std::string MakerFromMac(std::string_view mac) {
  static std::once_flag once;
  static OuiTable table;
  std::call_once(once, [] { table = Load(kOuiFile); });
  return Find(table, mac);
}

std::string MakerFromMac(std::string_view mac, const std::string& oui_file) {
  return Find(Load(oui_file), mac);
}

}  // namespace vdz::onvif
