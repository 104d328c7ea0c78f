#include "shell/diag_log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <shared_mutex>
#include <system_error>

#include "shell/app_paths.h"
#include "shell/diag_log_control.h"

namespace vdz {
namespace {

constexpr char kTag[] = "ReVirErezi";
constexpr int kLinesPerFile = 20000;
constexpr std::size_t kMessageBuffer = 10240;

std::tm SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// Year, month and day in one number: a file is kept for a calendar date, not merely a day of
// the month, so a log left idle for exactly a month still starts a new file.
int DateKey(const std::tm& t) {
  return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  if (path.empty())
    return false;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

thread_local bool t_in_observer = false;

}  // namespace

struct DiagnosticLog::State {
  std::mutex observer_mutex;
  Observer observer;
  // Read without a lock on every call: with no observer and both outputs off (the usual
  // case) a line is not even formatted.
  std::atomic<bool> has_observer{false};
  std::atomic<bool> any_output{false};

  // Options and switches: shared while logging, exclusive in Initialise and Shutdown.
  mutable std::shared_mutex config_mutex;
  DiagLogOptions options;
  bool file_output = false;
  bool network_output = false;
  std::string monitor_address;
  char start_stamp[16] = "";

  // Also taken to read the clock, so lines reach the file in the order of their stamps.
  mutable std::mutex file_mutex;
  std::FILE* file = nullptr;
  std::string file_path;
  int line_count = 0;
  int file_index = 0;
  int file_date = 0;

  std::mutex socket_mutex;
  int socket_fd = -1;

  std::tm Now() const { return options.local_time ? options.local_time() : SystemLocalTime(); }

  void CloseFile() {
    if (file)
      std::fclose(file);
    file = nullptr;
    file_path.clear();
  }

  void CloseSocket() {
    if (socket_fd >= 0)
      ::close(socket_fd);
    socket_fd = -1;
  }

  // Caller holds file_mutex.
  void WriteFileLine(const std::tm& now, const std::string& line) {
    const int date = DateKey(now);
    if (date != file_date) {
      CloseFile();
      line_count = 0;
      file_index = 0;
    } else if (line_count >= kLinesPerFile) {
      CloseFile();
      line_count = 0;
      ++file_index;
    }
    file_date = date;
    if (!file) {
      std::error_code ec;
      std::filesystem::create_directories(options.log_folder, ec);
      char name[256];
      std::snprintf(name, sizeof name, "%s_%04d%02d%02d_%s_%d.log", kTag, now.tm_year + 1900,
                    now.tm_mon + 1, now.tm_mday, start_stamp, file_index);
      std::string path = JoinPath(options.log_folder, name);
      file = std::fopen(path.c_str(), "ae");
      if (!file)
        return;  // dropped; the next line tries again
      file_path = std::move(path);
    }
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
    ++line_count;
  }

  // Caller holds config_mutex (shared).
  int SendLine(const std::string& line) {
    std::lock_guard lock(socket_mutex);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options.udp_port);
    const char* address = monitor_address.empty() ? "127.0.0.1" : monitor_address.c_str();
    if (inet_pton(AF_INET, address, &to.sin_addr) != 1)
      return -1;
    if (socket_fd < 0) {
      socket_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      if (socket_fd < 0)
        return -1;
    }
    const ssize_t sent = ::sendto(socket_fd, line.data(), line.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0 || static_cast<std::size_t>(sent) < line.size()) {
      CloseSocket();
      return -1;
    }
    return 0;
  }
};

DiagnosticLog::DiagnosticLog() : state_(new State) {}

DiagnosticLog::~DiagnosticLog() {
  state_->CloseFile();
  state_->CloseSocket();
  delete state_;
}

DiagnosticLog& DiagnosticLog::Instance() {
  // Never destroyed: threads and other static objects may still log during exit. Lines are
  // flushed as they are written, so nothing is lost.
  static DiagnosticLog* instance = new DiagnosticLog;
  return *instance;
}

DiagLogOptions DefaultDiagLogOptions() {
  DiagLogOptions options;
  options.control_file = DebugControlFile();
  options.log_folder = LogFolder();
  options.local_time = SystemLocalTime;
  return options;
}

void DiagnosticLog::Initialise(const DiagLogOptions& options) {
  bool control_read = false;
  {
    std::unique_lock config(state_->config_mutex);
    {
      std::lock_guard file_lock(state_->file_mutex);
      state_->CloseFile();
      state_->line_count = 0;
      state_->file_index = 0;
      state_->file_date = 0;
    }
    {
      std::lock_guard socket_lock(state_->socket_mutex);
      state_->CloseSocket();
    }
    state_->options = options;
    state_->file_output = false;
    state_->network_output = false;
    state_->monitor_address.clear();
    const std::tm now = state_->Now();
    std::snprintf(state_->start_stamp, sizeof state_->start_stamp, "%02d%02d%02d", now.tm_hour,
                  now.tm_min, now.tm_sec);
    std::string text;
    if (ReadWholeFile(options.control_file, &text)) {
      control_read = true;
      DiagLogControl control = ParseDiagLogControl(text);
      state_->file_output = control.file_output;
      state_->network_output = control.network_output;
      state_->monitor_address = std::move(control.monitor_address);
    }
    state_->any_output = state_->file_output || state_->network_output;
  }
  // The build stamp of this library, so a log file tells which binary wrote it.
  if (control_read)
    Log("Build %s %s\n", __DATE__, __TIME__);
}

void DiagnosticLog::Shutdown() {
  std::unique_lock config(state_->config_mutex);
  state_->file_output = false;
  state_->network_output = false;
  state_->any_output = false;
  {
    std::lock_guard file_lock(state_->file_mutex);
    state_->CloseFile();
  }
  std::lock_guard socket_lock(state_->socket_mutex);
  state_->CloseSocket();
}

void DiagnosticLog::SetObserver(Observer observer) {
  std::lock_guard lock(state_->observer_mutex);
  state_->has_observer = static_cast<bool>(observer);
  state_->observer = std::move(observer);
}

DiagLogStatus DiagnosticLog::Status() const {
  std::shared_lock config(state_->config_mutex);
  std::lock_guard file_lock(state_->file_mutex);
  DiagLogStatus status;
  status.file_output = state_->file_output;
  status.network_output = state_->network_output;
  status.monitor_address = state_->monitor_address;
  status.start_stamp = state_->start_stamp;
  status.current_file = state_->file_path;
  status.line_count = state_->line_count;
  status.file_index = state_->file_index;
  return status;
}

int DiagnosticLog::Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogV(format, args);
  va_end(args);
  return result;
}

int DiagnosticLog::LogV(const char* format, va_list args) {
  if (!state_->has_observer.load(std::memory_order_relaxed) &&
      !state_->any_output.load(std::memory_order_relaxed))
    return 0;
  char message[kMessageBuffer];
  if (!format || std::vsnprintf(message, sizeof message, format, args) < 0)
    message[0] = '\0';

  if (!t_in_observer) {
    std::lock_guard lock(state_->observer_mutex);
    if (state_->observer) {
      struct Reentry {
        Reentry() { t_in_observer = true; }
        ~Reentry() { t_in_observer = false; }
      } reentry;
      state_->observer(message);
    }
  }

  std::shared_lock config(state_->config_mutex);
  if (!state_->file_output && !state_->network_output)
    return 0;

  std::string line;
  {
    std::lock_guard file_lock(state_->file_mutex);
    const std::tm now = state_->Now();
    char prefix[96];
    std::snprintf(prefix, sizeof prefix,
                  "%04d-%02d-%02d %02d:%02d:%02d: %08x: ", now.tm_year + 1900, now.tm_mon + 1,
                  now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
                  static_cast<unsigned>(gettid()));
    line.reserve(sizeof kTag + 2 + std::char_traits<char>::length(prefix) + sizeof message);
    line.append(kTag).append(": ").append(prefix).append(message);
    if (state_->file_output)
      state_->WriteFileLine(now, line);
  }
  if (state_->network_output)
    return state_->SendLine(line);
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
