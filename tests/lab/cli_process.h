// Runs the command-line tool as an installer would from a shell: standard output captured,
// standard error dropped, no standard input.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace vdz::lab {

struct CliRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
};

inline CliRun RunShell(const std::string& command) {
  CliRun r;
  FILE* p = ::popen((command + " 2>/dev/null </dev/null").c_str(), "r");
  if (p == nullptr)
    return r;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
    r.out.append(buf, n);
  const int w = ::pclose(p);
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  return r;
}

#ifdef VDZ_CLI
// viduzaver-cli with these arguments.
inline CliRun Cli(const std::string& args) {
  return RunShell(std::string(VDZ_CLI) + " " + args);
}
#endif

}  // namespace vdz::lab
