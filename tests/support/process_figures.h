// Figures of this process from /proc, for memory and thread bounds in lab tests and benches.
#pragma once

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace vdz::test {

// VmRSS of this process in KiB, -1 when unreadable.
inline long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0)
      return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Threads of this process whose name starts with prefix (as set by pthread_setname_np; all
// of them for ""), -1 when unreadable.
inline int ThreadCountNamed(const std::string& prefix) {
  int n = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr)
    return -1;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.')
      continue;
    std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    n += name.rfind(prefix, 0) == 0;
  }
  closedir(dir);
  return n;
}

inline int ThreadCount() {
  return ThreadCountNamed("");
}

}  // namespace vdz::test
