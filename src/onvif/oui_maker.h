// A device's maker from its MAC address, by the IEEE's OUI register as Debian's ieee-data
// package installs it. Without the file every lookup is empty.
#pragma once

#include <string>
#include <string_view>

namespace vdz::onvif {

inline constexpr char kOuiFile[] = "/usr/share/ieee-data/oui.txt";

// The organisation registered for the MAC's first three octets ("00:11:22:..",
// "00-11-22-..", "001122.."); empty when unknown, malformed, or the register is missing.
// The register is read once, on the first call, from kOuiFile.
std::string MakerFromMac(std::string_view mac);

// The same against a given register file, read at every call (tests).
std::string MakerFromMac(std::string_view mac, const std::string& oui_file);

}  // namespace vdz::onvif
