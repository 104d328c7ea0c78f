// Auxiliary responses of the device library, waited for by (login, command).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace vdz::remoteconfig {

class AuxWaiter {
 public:
  static AuxWaiter& Instance();
  // Forget an older answer before asking again, so a late one is not taken for the new.
  void Expect(int login, int command);
  void Deliver(int login, int command, const char* text);
  // Gives up early once *cancelled is set and WakeAll has been called.
  std::optional<std::string> Wait(int login, int command, std::chrono::milliseconds limit,
                                  const std::atomic<bool>* cancelled = nullptr);
  void WakeAll();
  void Forget(int login);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::map<std::pair<int, int>, std::optional<std::string>> slots_;
};

}  // namespace vdz::remoteconfig
