// Lab tests open real sockets; they may do so only inside the private lab made by
// scripts/lab, never in the machine's own network namespace.
#pragma once

#include <string>

namespace vdz::lab {

// True when this process runs in the lab's workstation namespace: VDZ_LAB=1, a network
// namespace other than init's (or, where init's is hidden, the lab script's, VDZ_LAB_HOST_NETNS),
// the one named by VDZ_LAB_WS_NS, and only lab interfaces (lo and vdzlanN). Otherwise false and
// *why says which check failed.
bool InsideLabNamespace(std::string* why);

// For benchmarks: true inside the lab, else says on stderr why name refused, what it does
// (what) and how to run it (run_line), and returns false.
bool BenchInsideLab(const char* name, const char* what, const char* run_line);

// Lets one process hold a socket per simulated device of a large site.
void RaiseOpenFileLimit();

}  // namespace vdz::lab
