// upgrade_bench: inside the lab, parallel firmware upgrades of 1, 10 and 50 simulated devices
// with an 8 MiB image each, through QM_NETSDK_IPC_Upgrade and the status events, uncapped and
// with a per-device bandwidth cap; beside the link floor: the same bytes over bare TCP
// connections to the same device addresses, measured in the same run. Also the RSS growth.
// Run: scripts/lab run --devices 50 --sim-args "--reboot-silence 0.3" -- build/bin/upgrade_bench
// [N] (N: uncapped rounds per size, default 3)
#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_device_list.h"
#include "cli/device_search.h"
#include "cli/login_check.h"
#include "cli/sdk_event_queue.h"
#include "devops/device_sdk.h"
#include "devops/sdk_runtime.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"
#include "protocol/firmware_image.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "shell/bounded_text.h"
#include "support/process_figures.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageBody = 8 * 1024 * 1024;
constexpr std::uint16_t kSinkPort = 47111;
constexpr long long kCapBytesPerSecond = 4 * 1024 * 1024;
constexpr int kDefaultRepeats = 3;  // uncapped rounds and floors, alternated; best reported

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Device {
  std::string serial, ip, type;
  int position = -1;
  int handle = 0;
};

// The floor's receiving end: a child process in the lab's device namespace, listening on
// every device address, reading and discarding; it closes a connection at its end of file,
// which is how the sender learns that every byte arrived.
class Sink {
 public:
  bool Start(const std::vector<Device>& devices, std::string* why) {
    const char* ns = std::getenv("VDZ_LAB_DEV_NS");
    if (ns == nullptr || *ns == '\0') {
      *why = "VDZ_LAB_DEV_NS is not set";
      return false;
    }
    int ready[2];
    if (::pipe(ready) != 0) {
      *why = "pipe";
      return false;
    }
    pid_ = ::fork();
    if (pid_ < 0) {
      *why = "fork";
      return false;
    }
    if (pid_ == 0) {
      ::close(ready[0]);
      ::_exit(Serve(std::string("/run/netns/") + ns, devices, ready[1]));
    }
    ::close(ready[1]);
    char c = 0;
    const bool ok = ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
    if (!ok)
      *why = "the sink did not start in the device namespace";
    return ok;
  }
  ~Sink() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

 private:
  static int Serve(const std::string& ns_path, const std::vector<Device>& devices, int ready) {
    const int ns = ::open(ns_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0)
      return 1;
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    std::vector<int> listeners;
    for (const Device& d : devices) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      const int one = 1;
      ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(kSinkPort);
      if (::inet_pton(AF_INET, d.ip.c_str(), &a.sin_addr) != 1 ||
          ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0)
        return 2;
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.u64 = (1ull << 32) | static_cast<unsigned>(fd);
      ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
      listeners.push_back(fd);
    }
    if (::write(ready, "y", 1) != 1)
      return 3;
    std::vector<char> buf(256 * 1024);
    epoll_event events[64];
    for (;;) {
      const int n = ::epoll_wait(ep, events, 64, -1);
      for (int i = 0; i < n; ++i) {
        const int fd = static_cast<int>(events[i].data.u64 & 0xFFFFFFFFu);
        if (events[i].data.u64 >> 32) {
          for (int c; (c = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.u64 = static_cast<unsigned>(c);
            ::epoll_ctl(ep, EPOLL_CTL_ADD, c, &ev);
          }
          continue;
        }
        ssize_t got = 0;
        while ((got = ::read(fd, buf.data(), buf.size())) > 0) {
        }
        if (got == 0)
          ::close(fd);
      }
    }
  }

  pid_t pid_ = -1;
};

// N connections, each sending `bytes` at once from one buffer, finished when the sink has
// read everything (its close after our end of file). Seconds, or a negative value.
double BareTransfer(const std::vector<Device>& devices, std::size_t bytes) {
  static const std::vector<char> payload(1024 * 1024, 'f');
  struct Stream {
    int fd = -1;
    std::size_t sent = 0;
    bool shut = false;
  };
  const int ep = ::epoll_create1(EPOLL_CLOEXEC);
  std::vector<Stream> streams(devices.size());
  const auto start = Clock::now();
  for (std::size_t i = 0; i < devices.size(); ++i) {
    Stream& s = streams[i];
    s.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kSinkPort);
    ::inet_pton(AF_INET, devices[i].ip.c_str(), &a.sin_addr);
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      std::fprintf(stderr, "floor: connect to %s failed\n", devices[i].ip.c_str());
      return -1;
    }
    ::fcntl(s.fd, F_SETFL, ::fcntl(s.fd, F_GETFL) | O_NONBLOCK);
    epoll_event ev{};
    ev.events = EPOLLOUT | EPOLLIN;
    ev.data.u64 = i;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, s.fd, &ev);
  }
  std::size_t open = streams.size();
  epoll_event events[64];
  while (open > 0 && SecondsSince(start) < 120) {
    const int n = ::epoll_wait(ep, events, 64, 1000);
    for (int k = 0; k < n; ++k) {
      Stream& s = streams[events[k].data.u64];
      if (s.fd < 0)
        continue;
      while (s.sent < bytes) {
        const std::size_t want = std::min(payload.size(), bytes - s.sent);
        const ssize_t w = ::send(s.fd, payload.data(), want, MSG_NOSIGNAL);
        if (w <= 0)
          break;
        s.sent += static_cast<std::size_t>(w);
      }
      if (s.sent == bytes && !s.shut) {
        ::shutdown(s.fd, SHUT_WR);
        s.shut = true;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = events[k].data.u64;
        ::epoll_ctl(ep, EPOLL_CTL_MOD, s.fd, &ev);
      }
      char c;
      if (s.shut && ::recv(s.fd, &c, 1, MSG_DONTWAIT) == 0) {
        ::close(s.fd);
        s.fd = -1;
        --open;
      }
    }
  }
  const double seconds = SecondsSince(start);
  for (Stream& s : streams) {
    if (s.fd >= 0)
      ::close(s.fd);
  }
  ::close(ep);
  return open == 0 ? seconds : -1;
}

// One test image per model, written under dir.
std::map<std::string, std::string> MakeImages(const std::vector<Device>& devices,
                                              const fs::path& dir) {
  std::string body(kImageBody, '\0');
  std::uint32_t x = 2463534242u;
  for (char& c : body) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  std::map<std::string, std::string> images;
  for (const Device& d : devices) {
    if (images.count(d.type) > 0)
      continue;
    std::string model = d.type;
    const std::string prefix = "NVS-IPCAM-";
    for (auto at = model.find(prefix); at != std::string::npos; at = model.find(prefix))
      model.erase(at, prefix.size());
    const fs::path path = dir / ("fw_" + model + ".bin");
    std::ofstream(path, std::ios::binary)
        << vdz::sdkproto::FirmwareImageHeader(model, "V9.9.9-bench", body) << body;
    images[d.type] = path.string();
  }
  return images;
}

struct Round {
  double sent_s = -1;  // every image acknowledged (event 54 at 100)
  double done_s = -1;  // every device reported the image written (event 2)
  int failed = 0;
};

class Bench {
 public:
  bool Start(std::string* why) {
    runtime_ = vdz::SdkRuntime::Start();
    if (!runtime_) {
      *why = "SDK start-up failed";
      return false;
    }
    runtime_->Subscribe(&queue_);
    QM_NETSDK_IPC_SetTimeouts(3000, 0, 0, 100);
    vdz::cli::SearchOutcome found = vdz::cli::SearchDevices({3, ""}, nullptr);
    if (found.status != 0 || found.rows.empty()) {
      *why = "search failed: " + found.error;
      return false;
    }
    for (const vdz::DeviceRow& row : found.rows)
      list_.Add(row);
    sdk_ = vdz::MakeNetSdkDeviceSdk();
    checker_ = std::make_unique<vdz::cli::LoginChecker>(*sdk_, queue_, list_);
    checker_->SetObserver([this](const vdz::cli::QueuedSdkEvent& e) { Observe(e); });
    checker_->LoginAll();
    checker_->WaitSettled(std::chrono::seconds(20));
    const auto sim = control_.Devices();
    for (int p = 0; p < list_.RowCount(); ++p) {
      const vdz::DeviceRow& row = *list_.RowAt(p);
      Device d;
      d.serial = std::string(vdz::FieldText(row.record.SerialNumber));
      d.ip = std::string(vdz::FieldText(row.record.Lan.IPAddress));
      d.position = p;
      d.handle = row.login_handle;
      for (const auto& s : sim) {
        if (s.serial == d.serial)
          d.type = s.type;
      }
      if (d.handle <= 0 || d.type.empty()) {
        *why = "device " + d.serial + " not logged in";
        return false;
      }
      devices_.push_back(d);
    }
    std::sort(devices_.begin(), devices_.end(),
              [](const Device& a, const Device& b) { return a.serial < b.serial; });
    return true;
  }
  ~Bench() {
    if (runtime_)
      runtime_->Unsubscribe(&queue_);
  }

  Round Upgrade(std::size_t n, const std::map<std::string, std::string>& images) {
    std::vector<Device> group(devices_.begin(), devices_.begin() + static_cast<long>(n));
    std::map<int, int> up_before;
    for (const Device& d : group) {
      state_[d.handle] = {};
      up_before[d.handle] = ups_[d.handle];
    }
    Round r;
    const auto start = Clock::now();
    for (const Device& d : group) {
      if (sdk_->Upgrade(d.handle, images.at(d.type).c_str()) != 0)
        state_[d.handle].ended = state_[d.handle].failed = true;
    }
    auto all = [&](auto pred) {
      return std::all_of(group.begin(), group.end(),
                         [&](const Device& d) { return pred(state_[d.handle]); });
    };
    for (int step = 0; SecondsSince(start) < 300; ++step) {
      Pump();
      if (r.sent_s < 0 && all([](const State& s) { return s.sent || s.ended; }))
        r.sent_s = SecondsSince(start);
      if (all([](const State& s) { return s.ended; }))
        break;
      if (step % 50 == 0)
        PeakRss();
    }
    r.done_s = SecondsSince(start);
    for (const Device& d : group)
      r.failed += state_[d.handle].failed || !state_[d.handle].ended;
    // The upgraded devices restart; wait until each is logged in again.
    const auto back_since = Clock::now();
    while (SecondsSince(back_since) < 60) {
      Pump();
      if (std::all_of(group.begin(), group.end(),
                      [&](const Device& d) { return ups_[d.handle] > up_before[d.handle]; }))
        break;
    }
    return r;
  }

  const std::vector<Device>& devices() const { return devices_; }
  vdz::lab::DevsimControl& control() { return control_; }
  long peak_rss() const { return peak_rss_; }
  void PeakRss() {
    const long now = vdz::test::ResidentKiB();
    peak_rss_ = std::max(peak_rss_, now);
  }

 private:
  struct State {
    bool sent = false, ended = false, failed = false;
  };

  void Pump() {
    checker_->Drain();
    ::usleep(1000);
  }
  void Observe(const vdz::cli::QueuedSdkEvent& e) {
    if (e.kind != vdz::SdkEventKind::kStatus || !e.record)
      return;
    const int h = e.record->handle;
    switch (e.record->code) {
      case vdz::proto::kEventSessionUp:
        ++ups_[h];
        break;
      case vdz::proto::kEventUpgradeSending:
        if (std::atoi(e.record->payload) >= 100)
          state_[h].sent = true;
        break;
      case vdz::proto::kEventUpgradeDone:
        state_[h].ended = true;
        break;
      case vdz::proto::kEventUpgradeFailed:
      case vdz::proto::kEventUpgradeWrongImage:
      case vdz::proto::kEventUpgradeInterrupted:
        state_[h].ended = state_[h].failed = true;
        break;
      default:
        break;
    }
  }

  vdz::lab::DevsimControl control_ = vdz::lab::DevsimControl::FromEnvironment();
  vdz::cli::SdkEventQueue queue_;
  std::unique_ptr<vdz::SdkRuntime> runtime_;
  vdz::cli::CliDeviceList list_;
  std::unique_ptr<vdz::DeviceSdk> sdk_;
  std::unique_ptr<vdz::cli::LoginChecker> checker_;
  std::vector<Device> devices_;
  std::map<int, State> state_;
  std::map<int, int> ups_;
  long peak_rss_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRepeats;
  if (!vdz::lab::BenchInsideLab(
          "upgrade_bench", "It talks to simulated devices and runs only inside the private lab:",
          "scripts/lab run --devices 50 --sim-args \"--reboot-silence 0.3\" -- "
          "build/bin/upgrade_bench"))
    return 1;
  vdz::lab::RaiseOpenFileLimit();

  std::string why;
  // The sink is forked before the library starts its threads.
  vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  std::vector<Device> all;
  for (const auto& d : control.Devices())
    all.push_back({d.serial, d.ip, d.type});
  std::sort(all.begin(), all.end(),
            [](const Device& a, const Device& b) { return a.serial < b.serial; });
  Sink sink;
  if (all.empty() || !sink.Start(all, &why)) {
    std::fprintf(stderr, "floor sink: %s\n", all.empty() ? "no devices" : why.c_str());
    return 1;
  }
  for (const char* c : {"sdk-transfer-fault all none", "sdk-write-ms all 0", "sdk-bandwidth all 0"})
    control.Send(c);

  Bench bench;
  if (!bench.Start(&why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("vdz-upgrade-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const auto images = MakeImages(bench.devices(), dir);
  const std::size_t image_bytes = fs::file_size(images.begin()->second);

  std::vector<std::size_t> sizes;
  for (const std::size_t n : {1, 10, 50}) {
    if (n <= bench.devices().size())
      sizes.push_back(n);
  }
  const long rss_before = vdz::test::ResidentKiB();
  bench.PeakRss();
  int failures = 0;
  std::printf("image %zu bytes, %zu devices logged in; best of %d uncapped rounds\n", image_bytes,
              bench.devices().size(), repeats);
  std::printf("%-9s %4s %10s %10s %9s %10s %9s\n", "cap", "N", "sent s", "done s", "vs N=1",
              "floor s", "vs floor");
  long rss_first_pass = 0;  // after one round of each size: later rounds must not add
  std::map<std::size_t, Round> uncapped;
  std::map<std::size_t, double> floors;
  for (int rep = 0; rep < repeats; ++rep) {
    for (const std::size_t n : sizes) {
      const std::vector<Device> group(bench.devices().begin(),
                                      bench.devices().begin() + static_cast<long>(n));
      const double floor_s = BareTransfer(group, image_bytes);
      if (floor_s < 0)
        return 1;
      const Round r = bench.Upgrade(n, images);
      failures += r.failed;
      if (floors.count(n) == 0 || floor_s < floors[n])
        floors[n] = floor_s;
      if (uncapped.count(n) == 0 || r.done_s < uncapped[n].done_s)
        uncapped[n] = r;
    }
    if (rep == 0)
      rss_first_pass = vdz::test::ResidentKiB();
  }
  for (const std::size_t n : sizes) {
    const Round& r = uncapped[n];
    std::printf("%-9s %4zu %10.3f %10.3f %9.2f %10.3f %9.2f (sent %.2f)\n", "none", n, r.sent_s,
                r.done_s, r.done_s / uncapped[1].done_s, floors[n], r.done_s / floors[n],
                r.sent_s / floors[n]);
  }

  bench.control().Send("sdk-bandwidth all " + std::to_string(kCapBytesPerSecond));
  Round capped_one;
  for (const std::size_t n : sizes) {
    const Round r = bench.Upgrade(n, images);
    failures += r.failed;
    if (n == 1)
      capped_one = r;
    char cap[32];
    std::snprintf(cap, sizeof cap, "%lld MiB/s", kCapBytesPerSecond / (1024 * 1024));
    std::printf("%-9s %4zu %10.3f %10.3f %9.2f %10s %9s (sum of single times %.1f s)\n", cap, n,
                r.sent_s, r.done_s, r.done_s / capped_one.done_s, "-", "-",
                capped_one.done_s * static_cast<double>(n));
  }
  bench.control().Send("sdk-bandwidth all 0");
  const long rss_after = vdz::test::ResidentKiB();
  std::printf(
      "RSS: %ld KiB before the first round, %ld KiB after the first pass, %ld KiB after the "
      "last (growth %+ld KiB, %+ld KiB since the first pass), peak %ld KiB\n",
      rss_before, rss_first_pass, rss_after, rss_after - rss_before, rss_after - rss_first_pass,
      bench.peak_rss());
  // What the allocator keeps for reuse is not held by anyone: trimmed, the rest is live.
  ::malloc_trim(0);
  std::printf("RSS after returning the allocator's free memory: %ld KiB (%+ld KiB)\n",
              vdz::test::ResidentKiB(), vdz::test::ResidentKiB() - rss_before);
  std::printf("SDK buffers held now: %lld bytes; failed upgrades: %d\n",
              QM_NETSDK_IPC_DebugBufferedBytes(), failures);
  fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
