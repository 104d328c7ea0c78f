// Process-wide diagnostic log: daily files and/or UDP copies, switched on by a control file.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define VDZ_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define VDZ_PRINTF(fmt_index, first_arg)
#endif

namespace vdz {

struct DiagLogOptions {
  std::string control_file;  // read once by Initialise; missing file = both outputs off
  std::string log_folder;    // daily log files are created here
  // Local wall-clock time; tests inject their own to cross midnight or fill a day.
  std::function<std::tm()> local_time;
  // Receiver port of the UDP copies; tests point it at an ephemeral loop-back receiver.
  std::uint16_t udp_port = 3000;
};

// A snapshot of the log's state, for tests and the about box.
struct DiagLogStatus {
  bool file_output = false;
  bool network_output = false;
  std::string monitor_address;  // as configured; empty means 127.0.0.1
  std::string start_stamp;      // "hhmmss" of Initialise
  std::string current_file;     // path of the open log file, empty when none is open
  int line_count = 0;           // lines written to the current file
  int file_index = 0;           // sequence number of the current file within the day
};

// Default locations: $VDZ_DEBUG_CFG or $XDG_CONFIG_HOME/viduzaver/uc_dbg.cfg for the control
// file, $VDZ_LOG_DIR or $XDG_STATE_HOME/viduzaver/log for the files.
DiagLogOptions DefaultDiagLogOptions();

class DiagnosticLog {
 public:
  // Sees every formatted message (without the prefix) whether or not an output is on;
  // tests use it to check log lines, the talk console to mirror them.
  using Observer = std::function<void(std::string_view message)>;

  static DiagnosticLog& Instance();

  // Resets the state, stamps the start time and reads the control file; when it was read,
  // logs the build line. Calling it again closes what the previous run opened.
  void Initialise(const DiagLogOptions& options);
  // 0, or -1 when the UDP copy could not be sent. Any thread; never throws.
  int Log(const char* format, ...) VDZ_PRINTF(2, 3);
  int LogV(const char* format, va_list args) VDZ_PRINTF(2, 0);
  // Both outputs off, file and socket closed. Logging afterwards only reaches the observer.
  void Shutdown();

  // The observer runs under the log's observer lock: it must be quick. A message it logs
  // itself goes to the outputs but not back to the observer.
  void SetObserver(Observer observer);

  DiagLogStatus Status() const;

  DiagnosticLog(const DiagnosticLog&) = delete;
  DiagnosticLog& operator=(const DiagnosticLog&) = delete;

 private:
  DiagnosticLog();
  ~DiagnosticLog();
  struct State;
  State* state_;
};

// Shorthand used everywhere: DiagLog("SearchIPCThread(): bind() ok!\n");
int DiagLog(const char* format, ...) VDZ_PRINTF(1, 2);

}  // namespace vdz
