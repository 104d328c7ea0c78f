// Process-wide diagnostic log: daily files and/or UDP copies, switched on by a control file.
#pragma once

#include <cstdarg>
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

  void Initialise(const DiagLogOptions& options);
  int Log(const char* format, ...) VDZ_PRINTF(2, 3);
  int LogV(const char* format, va_list args);
  void Shutdown();

  void SetObserver(Observer observer);

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
