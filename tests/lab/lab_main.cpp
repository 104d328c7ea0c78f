// main() of every lab test binary: refuses to run a single test outside the lab.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "lab/lab_guard.h"

int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
      listing = true;
  }
  std::string why;
  if (!listing && !vdz::lab::InsideLabNamespace(&why)) {
    std::fprintf(stderr,
                 "lab test refused: %s\n"
                 "Lab tests send real network traffic and run only inside the private lab:\n"
                 "  scripts/lab run --adapters 1 --devices 20 -- %s\n",
                 why.c_str(), argv[0]);
    return 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
