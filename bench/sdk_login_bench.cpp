// sdk_login_bench [N]: N logins (default 1000) to simulated devices on 127.0.0.1, against
// the floor of N bare TCP connects to the same listeners in the same run; also the threads
// the SDK adds and the memory per logged-in connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_server_host.h"
#include "qm_netsdk.h"
#include "support/process_figures.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

int StatusEvent(int, int, const char*, void*) {
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (n <= 0)
    return 2;
  // Client and device ends of every connection live in this one process.
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, static_cast<rlim_t>(4 * n + 256));
  setrlimit(RLIMIT_NOFILE, &limit);

  constexpr int kDevices = 50;
  vdz::devserver::DeviceServerHost host;
  std::vector<std::uint16_t> ports;
  for (int i = 0; i < kDevices; ++i) {
    vdz::devserver::DeviceConfig config;
    const int id = host.AddDevice(config);
    if (id <= 0) {
      std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
      return 1;
    }
    ports.push_back(host.Port(id));
  }
  host.Start();

  // Floor: bare connects, each completed (the kernel finishes the handshake on loopback).
  std::vector<int> fds;
  auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(ports[static_cast<std::size_t>(i % kDevices)]);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      std::fprintf(stderr, "bare connect %d failed\n", i);
      return 1;
    }
    fds.push_back(fd);
  }
  const double connect_ms = MsSince(start);
  for (const int fd : fds)
    ::close(fd);
  usleep(300 * 1000);  // let the device side drop them

  const int threads_before = vdz::test::ThreadCount();
  const long rss_before = vdz::test::ResidentKiB();
  QM_NETSDK_IPC_Init();
  QM_NETSDK_IPC_SetStatusEventCallBack(&StatusEvent, nullptr);
  std::vector<int> handles;
  start = Clock::now();
  for (int i = 0; i < n; ++i) {
    const int h = QM_NETSDK_IPC_Login("127.0.0.1", ports[static_cast<std::size_t>(i % kDevices)],
                                      "admin", "admin", 0);
    if (h <= 0) {
      std::fprintf(stderr, "login %d failed: %d\n", i, h);
      return 1;
    }
    handles.push_back(h);
  }
  const double login_ms = MsSince(start);
  usleep(300 * 1000);
  const long rss_after = vdz::test::ResidentKiB();
  const int threads_after = vdz::test::ThreadCount();
  const long long buffered = QM_NETSDK_IPC_DebugBufferedBytes();

  std::printf("bare TCP connects: %d in %.1f ms (%.1f us each)\n", n, connect_ms,
              connect_ms * 1000.0 / n);
  std::printf("SDK logins:        %d in %.1f ms (%.1f us each)\n", n, login_ms,
              login_ms * 1000.0 / n);
  std::printf("ratio login/connect: %.1f\n", login_ms / connect_ms);
  std::printf("threads added by the SDK: %d\n", threads_after - threads_before);
  std::printf("RSS delta per login (client and device side): %.1f KiB\n",
              static_cast<double>(rss_after - rss_before) / n);
  std::printf("client buffers per login: %.1f bytes\n", static_cast<double>(buffered) / n);

  for (const int h : handles)
    QM_NETSDK_IPC_Logout(h);
  QM_NETSDK_IPC_Cleanup();
  host.Stop();
  return 0;
}
