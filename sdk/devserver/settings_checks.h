// How a device judges the settings documents it receives, as a device firmware does: the
// document must be well-formed XML with the root element its command expects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdz::devserver {

// The root element a configuration command expects; nullptr for commands the device stores
// without looking (configuration import and the like).
const char* ExpectedConfigRoot(int command);
// The same for system commands that carry a request (time sync, output port, image).
const char* ExpectedSystemRoot(int command);

// Well-formed and rooted at root.
bool DocumentHasRoot(std::string_view text, const char* root);

// Some element of the document carries attribute = value (how a firmware refuses a value it
// cannot take, such as a frame rate its sensor does not reach).
bool DocumentHasValue(std::string_view text, const std::string& attribute,
                      const std::string& value);

// The new password of the admin account in a UserConfig document.
std::optional<std::string> AdminPasswordIn(std::string_view text);

// Seconds since the epoch of the Time attribute ("YYYYMMDD HH:MM:SS", read as UTC) of a time
// sync request.
std::optional<std::int64_t> TimeSyncSeconds(std::string_view text);

}  // namespace vdz::devserver
