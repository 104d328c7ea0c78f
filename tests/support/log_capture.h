// Collects diagnostic log messages for the lifetime of one test.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "shell/diag_log.h"

namespace vdz::test {

class LogCapture {
 public:
  LogCapture() {
    DiagnosticLog::Instance().SetObserver([this](std::string_view message) {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(message);
    });
  }
  ~LogCapture() { DiagnosticLog::Instance().SetObserver(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool Contains(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  }
  int Count(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace vdz::test
