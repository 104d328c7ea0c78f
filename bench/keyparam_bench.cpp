// keyparam_bench: inside the lab, 1000 newly listed devices of which 100 never answer on the
// terminal service: the key parameters asked on the call pool next to the logins, as the
// window does, against the same requests made one device after another on the owner's thread
// (the reference, measured in the same run). Reports the time until every answering device
// has its name and the longest the owner's loop was held by one step.
// Run: scripts/lab run --devices 1000 -- build/bin/keyparam_bench
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/cli_device_list.h"
#include "cli/device_search.h"
#include "devops/device_sdk.h"
#include "devops/key_parameter_requester.h"
#include "devops/login_coordinator.h"
#include "devops/sdk_call_pool.h"
#include "devops/sdk_runtime.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"
#include "shell/bounded_text.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

constexpr int kSilent = 100;

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "keyparam_bench", "It talks to simulated devices and runs only inside the private lab:",
          "scripts/lab run --devices 1000 -- build/bin/keyparam_bench"))
    return 1;
  vdz::lab::RaiseOpenFileLimit();

  const vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  const auto devices = control.Devices();
  for (std::size_t i = 0; i < devices.size() && i < static_cast<std::size_t>(kSilent); ++i)
    control.Send("terminal-fault " + devices[i * devices.size() / kSilent].serial + " silent");

  vdz::cli::SearchOutcome found = vdz::cli::SearchDevices({3, ""}, nullptr);
  if (found.status != 0 || found.rows.empty()) {
    std::fprintf(stderr, "search failed: %s\n", found.error.c_str());
    return 1;
  }
  const int n = static_cast<int>(found.rows.size());

  // Reference: one device after another on the owner's thread.
  vdz::SocketTerminalService service;
  int answered_sequential = 0;
  double worst_sequential_ms = 0;
  const auto seq_start = Clock::now();
  for (const vdz::DeviceRow& row : found.rows) {
    const auto t = Clock::now();
    vdz::TerminalKeyParameters keys;
    answered_sequential += service.RequestKeyParameters(row.record, &keys) == 0 ? 1 : 0;
    worst_sequential_ms = std::max(worst_sequential_ms, MsSince(t));
  }
  const double sequential_ms = MsSince(seq_start);

  // The window's way: requests and logins on one 8-thread pool, results posted back.
  auto runtime = vdz::SdkRuntime::Start();
  if (!runtime)
    return 1;
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
  vdz::SdkCallPool pool(
      [&](std::function<void()> work) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(work));
      },
      vdz::kLoginThreads);
  vdz::cli::CliDeviceList list;
  for (const vdz::DeviceRow& row : found.rows)
    list.Add(row);
  auto sdk = vdz::MakeNetSdkDeviceSdk();
  vdz::LoginCoordinator logins(*sdk, list, &pool);
  vdz::KeyParameterRequester requester(service, list, &pool);
  double worst_step_ms = 0;
  const auto start = Clock::now();
  // The list refresh adds every row: name request first, then the login.
  double requests_ms = 0;
  {
    const auto t = Clock::now();
    for (int p = 0; p < list.RowCount(); ++p) {
      const auto r = Clock::now();
      requester.Request(*list.RowAt(p));
      requests_ms += MsSince(r);
      logins.StartLogin(*list.RowAt(p), list.RowAt(p)->record);
    }
    worst_step_ms = MsSince(t);
  }
  const double listing_step_ms = worst_step_ms;
  double worst_result_ms = 0;
  auto named = [&] {
    int k = 0;
    for (int p = 0; p < list.RowCount(); ++p)
      k += list.TerminalText(p, vdz::kDeviceNameColumn).empty() ? 0 : 1;
    return k;
  };
  double names_ms = -1;
  while (MsSince(start) < 30000) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex);
      if (!posted.empty()) {
        work = std::move(posted.front());
        posted.pop_front();
      }
    }
    if (work) {
      const auto t = Clock::now();
      work();
      worst_step_ms = std::max(worst_step_ms, MsSince(t));
      worst_result_ms = std::max(worst_result_ms, MsSince(t));
      continue;
    }
    if (names_ms < 0 && requester.InFlight() == 0)
      names_ms = MsSince(start);
    if (names_ms >= 0 && logins.InFlight() == 0)
      break;
    usleep(200);
  }
  const int named_count = named();
  pool.Stop();
  for (int p = 0; p < list.RowCount(); ++p) {
    if (list.RowAt(p)->login_handle > 0)
      sdk->Logout(list.RowAt(p)->login_handle);
  }
  control.Send("terminal-fault all none");

  std::printf("devices listed: %d, silent on 2220: %d\n", n, kSilent);
  std::printf(
      "reference, one after another on the owner's thread: %.0f ms for %d answers, "
      "owner held up to %.1f ms at a time\n",
      sequential_ms, answered_sequential, worst_sequential_ms);
  std::printf(
      "call pool (%d threads, shared with the logins): every answering device named "
      "after %.0f ms (%d named)  ratio to reference %.3f  (target <= 2000 ms)\n",
      vdz::kLoginThreads, names_ms, named_count, names_ms / sequential_ms);
  std::printf("owner's loop held at most %.2f ms by one step  (target <= 50 ms)\n", worst_step_ms);
  std::printf(
      "  listing %d rows in one step: %.2f ms, of which the name requests %.2f ms; "
      "longest single result applied: %.3f ms\n",
      n, listing_step_ms, requests_ms, worst_result_ms);
  return names_ms >= 0 ? 0 : 1;
}
