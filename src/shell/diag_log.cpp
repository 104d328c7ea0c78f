#include "shell/diag_log.h"

#include <cstdio>
#include <mutex>

namespace vdz {

struct DiagnosticLog::State {
  std::mutex observer_mutex;
  Observer observer;
};

DiagnosticLog::DiagnosticLog() : state_(new State) {}
DiagnosticLog::~DiagnosticLog() { delete state_; }

DiagnosticLog& DiagnosticLog::Instance() {
  static DiagnosticLog instance;
  return instance;
}

DiagLogOptions DefaultDiagLogOptions() { return {}; }

void DiagnosticLog::Initialise(const DiagLogOptions&) {}
void DiagnosticLog::Shutdown() {}

void DiagnosticLog::SetObserver(Observer observer) {
  std::lock_guard lock(state_->observer_mutex);
  state_->observer = std::move(observer);
}

int DiagnosticLog::Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogV(format, args);
  va_end(args);
  return result;
}

int DiagnosticLog::LogV(const char* format, va_list args) {
  char message[10240];
  std::vsnprintf(message, sizeof message, format, args);
  std::lock_guard lock(state_->observer_mutex);
  if (state_->observer) state_->observer(message);
  return 0;
}

int DiagLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = DiagnosticLog::Instance().LogV(format, args);
  va_end(args);
  return result;
}

}  // namespace vdz
