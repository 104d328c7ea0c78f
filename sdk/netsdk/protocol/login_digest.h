// Account proof for the login exchange: keeps the password off the wire, nothing more.
#pragma once

#include <cstdint>
#include <string_view>

namespace vdz::sdkproto {

std::uint64_t LoginDigest(std::string_view nonce, std::string_view user, std::string_view password);

}  // namespace vdz::sdkproto
