// main() of every unit test binary: the same time zone, locale and Qt platform everywhere,
// however the binary is started (ctest, by hand, a debugger).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "UTC", 1);
  tzset();
  setenv("LC_ALL", "C", 1);
  std::setlocale(LC_ALL, "C");
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("VDZ_DATA_DIR", VDZ_BUILD_LANGUAGE_DIR, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
