// A window that touches no network: the fake device library, fixed adapters and a prober
// that never sends, with the test's prompter in place of message boxes.
#pragma once

#include <memory>

#include "app/main_window.h"
#include "discovery/readdress_fakes.h"
#include "support/fake_device_list.h"

namespace vdz::test {

inline MainWindowOptions OfflineWindowOptions(Prompter& prompter) {
  MainWindowOptions options;
  options.prompter = &prompter;
  options.sdk = std::make_shared<FakeSdk>();
  options.network = std::make_shared<FixedNetwork>();
  options.prober = std::make_shared<FakeProber>();
  return options;
}

}  // namespace vdz::test
