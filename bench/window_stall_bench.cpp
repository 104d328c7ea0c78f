// window_stall_bench: the window on a site of 100 devices of which 20 stop answering after they
// came online (SDK and terminal service silent). Five batch commands run through the window's
// command table over all 100 checked rows. For each: the longest the window's event loop was
// held (a probe timer every 10 ms: the worst and 99th percentile lateness), the batch's wall
// time against the devices' own times added up (what walking them one after another, as the
// window used to, takes: measured in the same run) and the batch report's line.
// Then the command-line tool on the same site, the 20 devices now answering their logins and
// nothing after: `set time-sync --all` against `login-check` (the same search and logins
// without the batch), both timed in the same run; the batch's share against one request
// time-out (5 s).
// Run: scripts/lab run --devices 100 -- build/bin/window_stall_bench
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch_report_commands.h"
#include "app/batch_settings_commands.h"
#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/snapshot_commands.h"
#include "app/terminal_commands.h"
#include "app/upgrade_commands.h"
#include "devops/device_job_runner.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"
#include "lab/open_main_window.h"
#include "shell/prompter.h"
#include "ui/report_ctrl.h"

namespace {

constexpr int kDevices = 100;
constexpr int kSilent = 20;
constexpr int kProbeMs = 10;

// Answers every question yes and keeps nothing on screen.
class YesPrompter final : public vdz::Prompter {
 public:
  void ShowError(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

// The devices' own times of every job that ends.
class DeviceTime final : public vdz::JobObserver {
 public:
  void JobFinished(int, const vdz::JobEnd& end) override { seconds += end.device_seconds; }
  double seconds = 0;
};

// The command's output and its wall time in seconds.
std::pair<std::string, double> RunTimed(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      out += buffer;
    ::pclose(pipe);
  }
  return {out, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n')
    trimmed.pop_back();
  const std::size_t at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab("window_stall_bench",
                                "It talks to simulated devices and runs only inside the lab:",
                                "scripts/lab run --devices 100 -- build/bin/window_stall_bench"))
    return 1;
  vdz::lab::RaiseOpenFileLimit();
  const std::string dir =
      std::filesystem::temp_directory_path() / ("vdz-stall-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // The window as the lab tests open it: offscreen, in English, this build's language files.
  vdz::lab::OffscreenWindowEnvironment environment;
  environment.SetUp();

  const vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  const auto devices = control.Devices();
  if (static_cast<int>(devices.size()) != kDevices) {
    std::fprintf(stderr, "the site has %zu devices, not %d\n", devices.size(), kDevices);
    return 1;
  }
  YesPrompter prompter;
  auto window = vdz::lab::OpenMainWindow(prompter);
  vdz::CReportCtrl* list = window->DeviceList();
  if (!vdz::lab::WaitListedOnline(*window, kDevices, 60000)) {
    std::fprintf(stderr, "not every device came online\n");
    return 1;
  }
  for (int r = 0; r < kDevices; ++r)
    list->SetCheck(r, true);
  // Every fifth device goes quiet, spread over the list.
  for (int i = 0; i < kSilent; ++i) {
    const std::string& serial = devices[static_cast<std::size_t>(i * kDevices / kSilent)].serial;
    control.Send("sdk-misbehave " + serial + " silent");
    control.Send("terminal-fault " + serial + " silent");
  }
  window->Upgrades().SetExportFolder(dir + "/config");
  window->Snapshots().SetFolder(dir + "/snap");
  window->Terminal().SetDialogRunner([](vdz::TerminalParameterSet*, int) { return true; });
  DeviceTime device_time;
  window->Jobs().AddObserver(&device_time);

  struct Command {
    int id;
    const char* name;
  } commands[] = {
      {vdz::cmd::kMenuSyncTime, "time sync"},
      {vdz::cmd::kMenuLanguageEnglish, "device language"},
      {vdz::cmd::kConfigDownload, "config export"},
      {vdz::cmd::kBatchSnapshot, "batch snapshot"},
      {vdz::cmd::kBatchTerminal, "terminal settings"},
  };
  std::printf("%-18s %9s %9s %9s %10s %7s  %s\n", "command", "stall_ms", "p99_ms", "wall_s",
              "serial_s", "ratio", "report");
  bool met = true;
  for (const Command& c : commands) {
    std::vector<double> lateness;
    QElapsedTimer since_tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      lateness.push_back(std::max(0.0, since_tick.nsecsElapsed() / 1e6 - kProbeMs));
      since_tick.restart();
    });
    device_time.seconds = 0;
    since_tick.start();
    probe.start(kProbeMs);
    QElapsedTimer wall;
    wall.start();
    window->RunCommand(c.id);
    const bool ended = vdz::lab::WaitFor([&] { return !window->Jobs().Busy(); }, 120000);
    const double wall_s = wall.nsecsElapsed() / 1e9;
    probe.stop();
    std::sort(lateness.begin(), lateness.end());
    const double worst = lateness.empty() ? 0 : lateness.back();
    const double p99 =
        lateness.empty() ? 0 : lateness[static_cast<std::size_t>(0.99 * (lateness.size() - 1))];
    const double ratio = device_time.seconds > 0 ? wall_s / device_time.seconds : 0;
    std::printf("%-18s %9.1f %9.1f %9.2f %10.2f %7.3f  %s%s\n", c.name, worst, p99, wall_s,
                device_time.seconds, ratio, window->BatchReports().last_summary().c_str(),
                ended ? "" : " (did not end)");
    std::fflush(stdout);
    met = met && ended && worst <= 50 && p99 <= 16 && ratio <= 0.15;
  }
  std::printf("targets (stall <= 50 ms, p99 <= 16 ms, ratio <= 0.15): %s\n",
              met ? "met" : "not met");
  control.Send("sdk-misbehave all none");
  control.Send("terminal-fault all none");
  window->Jobs().RemoveObserver(&device_time);
  window->close();
  window.reset();

  // The command-line tool: the same 20 devices log in and then answer nothing.
  const char* devsim = std::getenv("VDZ_DEVSIM");
  const std::string cli =
      (devsim != nullptr ? std::filesystem::path(devsim).parent_path() : std::filesystem::path("."))
          .append("viduzaver-cli")
          .string();
  for (int i = 0; i < kSilent; ++i)
    control.Send("sdk-misbehave " +
                 devices[static_cast<std::size_t>(i * kDevices / kSilent)].serial +
                 " mute-after-login");
  const auto [logins, login_s] = RunTimed(cli + " login-check --seconds 3 2>/dev/null");
  const auto [synced, sync_s] = RunTimed(cli + " set time-sync --all --seconds 3 2>/dev/null");
  const double batch_s = sync_s - login_s;
  std::printf(
      "cli set time-sync --all: %.2f s; login-check (search and logins): %.2f s; "
      "batch %.2f s = %.2f x one 5 s time-out (target <= 1.5)\n  %s\n",
      sync_s, login_s, batch_s, batch_s / 5.0, LastLine(synced).c_str());
  control.Send("sdk-misbehave all none");
  std::filesystem::remove_all(dir);
  environment.TearDown();
  return 0;
}
