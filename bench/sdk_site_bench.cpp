// sdk_site_bench: inside the lab, a whole simulated site from listing to every device online
// (status event 4 handled by the devops core), beside the floor of one bare TCP connect to
// each device's control port in the same run; also the threads the SDK adds and the memory
// per logged-in device. Run: scripts/lab run --devices 1000 -- build/bin/sdk_site_bench
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_device_list.h"
#include "cli/device_search.h"
#include "cli/login_check.h"
#include "cli/sdk_event_queue.h"
#include "devops/device_sdk.h"
#include "devops/sdk_runtime.h"
#include "lab/lab_guard.h"
#include "qm_netsdk.h"
#include "shell/bounded_text.h"
#include "support/process_figures.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// One blocking connect per device, closed at once: what any login has to pay first.
double BareConnectsMs(const std::vector<vdz::DeviceRow>& rows) {
  const auto start = Clock::now();
  for (const vdz::DeviceRow& row : rows) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(row.record.Stream.PTZPort));
    const std::string ip(vdz::FieldText(row.record.Lan.IPAddress));
    if (fd < 0 || ::inet_pton(AF_INET, ip.c_str(), &a.sin_addr) != 1 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      std::fprintf(stderr, "bare connect to %s failed\n", ip.c_str());
      if (fd >= 0)
        ::close(fd);
      return -1;
    }
    ::close(fd);
  }
  return MsSince(start);
}

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "sdk_site_bench", "It talks to simulated devices and runs only inside the private lab:",
          "scripts/lab run --devices 1000 -- build/bin/sdk_site_bench"))
    return 1;
  vdz::lab::RaiseOpenFileLimit();

  vdz::cli::SearchOutcome found = vdz::cli::SearchDevices({3, ""}, nullptr);
  if (found.status != 0 || found.rows.empty()) {
    std::fprintf(stderr, "search failed: %s\n", found.error.c_str());
    return 1;
  }
  const int n = static_cast<int>(found.rows.size());

  const double floor_ms = BareConnectsMs(found.rows);
  if (floor_ms < 0)
    return 1;
  usleep(300 * 1000);  // the device side closes the bare connections

  const int threads_before = vdz::test::ThreadCount();
  const long rss_before = vdz::test::ResidentKiB();
  vdz::cli::SdkEventQueue queue;
  auto runtime = vdz::SdkRuntime::Start();
  if (!runtime)
    return 1;
  runtime->Subscribe(&queue);
  vdz::cli::CliDeviceList list;
  for (const vdz::DeviceRow& row : found.rows)
    list.Add(row);
  auto sdk = vdz::MakeNetSdkDeviceSdk();
  vdz::cli::LoginChecker checker(*sdk, queue, list);

  // From the moment the rows are listed: log in each, handle events, until all are online.
  const auto start = Clock::now();
  checker.LoginAll();
  const double logins_ms = MsSince(start);
  auto all_online = [&] {
    for (int p = 0; p < list.RowCount(); ++p) {
      if (!list.RowAt(p)->online)
        return false;
    }
    return true;
  };
  while (!all_online() && MsSince(start) < 30000) {
    checker.Drain();
    if (!all_online())
      usleep(1000);
  }
  const double online_ms = MsSince(start);
  const bool settled = checker.WaitSettled(std::chrono::seconds(10));
  const double versions_ms = MsSince(start);
  const int threads_after = vdz::test::ThreadCount();
  const int sdk_threads = vdz::test::ThreadCountNamed("vdz-netsdk");
  const int call_threads = vdz::test::ThreadCountNamed("vdz-sdk-call");
  usleep(200 * 1000);
  checker.Drain();
  const long rss_after = vdz::test::ResidentKiB();
  const long long buffered = QM_NETSDK_IPC_DebugBufferedBytes();
  int online = 0;
  for (int p = 0; p < list.RowCount(); ++p)
    online += list.RowAt(p)->online;

  std::printf("devices listed: %d, online: %d%s\n", n, online,
              settled ? "" : " (versions incomplete)");
  std::printf("floor, bare TCP connects: %d in %.1f ms (%.1f us each)\n", n, floor_ms,
              floor_ms * 1000.0 / n);
  std::printf("listing to all logins returned: %.1f ms\n", logins_ms);
  std::printf(
      "listing to all online (event 4): %.1f ms  ratio to floor %.2f  (target <= 2000 ms, "
      "<= 3)\n",
      online_ms, online_ms / floor_ms);
  std::printf("listing to all versions known (1012): %.1f ms\n", versions_ms);
  std::printf("threads added: %d, of which the SDK's own: %d  (target <= 4), login pool: %d\n",
              threads_after - threads_before, sdk_threads, call_threads);
  std::printf("RSS per logged-in device (client side): %.1f KiB  (target < 64 KiB)\n",
              static_cast<double>(rss_after - rss_before) / n);
  std::printf("SDK buffers per connection: %.1f bytes\n", static_cast<double>(buffered) / n);
  runtime->Unsubscribe(&queue);
  return online == n ? 0 : 1;
}
