#include "lab/lab_guard.h"

#include <net/if.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vdz::lab {

namespace {

bool SameFile(const std::string& a, const std::string& b, bool* same, std::string* why) {
  struct stat sa {
  }, sb{};
  if (stat(a.c_str(), &sa) != 0) {
    *why = "cannot stat " + a + ": " + std::strerror(errno);
    return false;
  }
  if (stat(b.c_str(), &sb) != 0) {
    *why = "cannot stat " + b + ": " + std::strerror(errno);
    return false;
  }
  *same = sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return true;
}

std::string NamespaceLink() {
  char buf[64] = {};
  const ssize_t n = readlink("/proc/self/ns/net", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

bool InsideLabNamespace(std::string* why) {
  std::string scratch;
  if (!why)
    why = &scratch;
  const char* lab = std::getenv("VDZ_LAB");
  if (!lab || std::strcmp(lab, "1") != 0) {
    *why = "VDZ_LAB is not 1: not started by scripts/lab";
    return false;
  }
  bool same = false;
  // Where init's namespace cannot be looked at (a container), the lab script's own one,
  // noted before it left it, stands in for the machine's.
  std::string host_ns;
  if (!SameFile("/proc/self/ns/net", "/proc/1/ns/net", &same, why)) {
    const char* noted = std::getenv("VDZ_LAB_HOST_NETNS");
    if (!noted || !*noted)
      return false;
    host_ns = noted;
    same = NamespaceLink() == host_ns;
  }
  if (same) {
    *why = "this process shares the machine's network namespace";
    return false;
  }
  const char* ws = std::getenv("VDZ_LAB_WS_NS");
  if (!ws || !*ws || std::strchr(ws, '/')) {
    *why = "VDZ_LAB_WS_NS is not set";
    return false;
  }
  if (!SameFile("/proc/self/ns/net", std::string("/run/netns/") + ws, &same, why))
    return false;
  if (!same) {
    *why = std::string("not in the lab namespace ") + ws;
    return false;
  }
  struct if_nameindex* names = if_nameindex();
  if (!names) {
    *why = "cannot list interfaces";
    return false;
  }
  bool ok = true;
  for (struct if_nameindex* n = names; n->if_index != 0; ++n) {
    if (std::strcmp(n->if_name, "lo") != 0 && std::strncmp(n->if_name, "vdzlan", 6) != 0) {
      *why = std::string("interface ") + n->if_name + " is not a lab interface";
      ok = false;
      break;
    }
  }
  if_freenameindex(names);
  return ok;
}

bool BenchInsideLab(const char* name, const char* what, const char* run_line) {
  std::string why;
  if (InsideLabNamespace(&why))
    return true;
  std::fprintf(stderr, "%s refused: %s\n%s\n  %s\n", name, why.c_str(), what, run_line);
  return false;
}

void RaiseOpenFileLimit() {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace vdz::lab
