// Writing a whole buffer to a file descriptor: write(2) may take only part of it.
#pragma once

#include <string_view>

namespace vdz {

// Every byte written, retrying after signals; false on the first error (errno tells which).
bool WriteAllBytes(int fd, std::string_view bytes);

}  // namespace vdz
