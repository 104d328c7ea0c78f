// viduzaver-devsim: a site of simulated network video devices for the private lab network.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control_server.h"
#include "sdk_device.h"
#include "simulator.h"

namespace {

using namespace vdz::devsim;

constexpr const char* kUsage =
    "usage: viduzaver-devsim [options]\n"
    "       viduzaver-devsim ctl [--wait S] CONTROL_PATH COMMAND...\n"
    "Simulates a site of network video devices, each on its own address: discovery\n"
    "answers, the device SDK, the terminal service, RTSP cameras and web pages. It runs in\n"
    "the device namespace of a lab (viduzaver-lab), which it needs root for; ctl sends one\n"
    "command to a running simulator's control socket and prints the reply.\n"
    "Site (generated unless --site is given):\n"
    "  --devices N             number of devices (default 10)\n"
    "  --first-ip IP[@IF]      first address of a group; repeat (or comma-list) to split the\n"
    "                          devices evenly over several groups (default 192.168.1.10)\n"
    "  --serial-prefix TEXT    serial numbers are TEXT + 8 digits (default SIM)\n"
    "  --mixed-types           every fifth device has a type the registry must drop\n"
    "  --with-rk               devices report an RK_CONFIG/SYSTEM block\n"
    "  --lumeriant-every K     every K-th device roots answers in XML_LUMERIANT (default 3; 0 "
    "none)\n"
    "  --password TEXT         admin password of every device (default admin)\n"
    "  --site FILE             read the site from FILE instead (docs/lab.md)\n"
    "  --host IP[@IF]          an extra lab host address (answers ping, is no device)\n"
    "  --misbehave \"T MODES\"   T is a serial or all; MODES as in the control command\n"
    "  --sdk-misbehave \"T MODE\"\n"
    "                          SDK server fault of serial T or all: none, refuse-logins,\n"
    "                          silent, drop-line, garbage, huge-length, close-mid-frame,\n"
    "                          hold-logins, mute-after-login\n"
    "Behaviour:\n"
    "  --reserve IP            never give IP to a device (repeatable)\n"
    "  --iface NAME            interface for devices outside every lab subnet\n"
    "  --reboot-silence S      seconds a device stays silent after code 7 (default 5)\n"
    "  --answer-rate N         answers per second (default 5000; 0 unpaced)\n"
    "  --burst N               answers sent back to back (default 16)\n"
    "  --burst-mode            every device answers at once, unpaced (a real site)\n"
    "  --seed N                seed for the drop misbehaviour (default 1)\n"
    "  --port N                discovery port (default 3001)\n"
    "  --control PATH          control socket (unix stream, one command per line)\n"
    "  --log-file PATH         also append every request log line to PATH\n"
    "ONVIF cameras of other makers (WS-Discovery on 3702, SOAP on port 80 of each address,\n"
    "RTSP on 554; added to the site of --site too):\n"
    "  --onvif-cameras N       number of cameras (default 0)\n"
    "  --onvif-first-ip IP[@IF]  first camera address (default 192.168.1.150)\n"
    "  --onvif-password TEXT   password of each camera's admin account (default admin)\n"
    "  --onvif-spread          cameras 1 to 9 each show one misbehaviour: soap11, two-xaddrs,\n"
    "                          delay, duplicate, no-typeless, big-match, digest-only,\n"
    "                          clock-skew=3600, wrong-password\n"
    "  --onvif-misbehave \"T WORDS\"  T is a camera serial or all; WORDS as above\n"
    "Cameras (RTSP on each device's video port, /live/0 main and /live/1 sub stream):\n"
    "  --rtsp-main WxH         main stream size (default 1280x720)\n"
    "  --rtsp-sub WxH          sub stream size (default 640x360)\n"
    "  --rtsp-rate N           frames per second (default 25)\n"
    "  --no-rtsp               no camera streams\n";

int Fail(const std::string& why) {
  std::fprintf(stderr, "viduzaver-devsim: %s\n", why.c_str());
  return 2;
}

int RunClient(int argc, char** argv) {
  double wait_s = 0;
  int i = 2;
  if (i + 1 < argc && std::strcmp(argv[i], "--wait") == 0) {
    if (!ParseDouble(argv[i + 1], 0, 3600, &wait_s))
      return Fail("bad --wait");
    i += 2;
  }
  if (i + 1 >= argc)
    return Fail("ctl CONTROL_PATH COMMAND...");
  const std::string path = argv[i++];
  std::string line;
  for (; i < argc; ++i) {
    if (!line.empty())
      line += ' ';
    line += argv[i];
  }
  return RunControlClient(path, line, wait_s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
    return RunClient(argc, argv);

  SimulatorOptions options;
  GenerateOptions gen;
  KvLine gen_line;
  std::string site_file, control_path, log_path;
  std::vector<std::string> hosts, misbehave, sdk_misbehave, onvif_misbehave;
  KvLine onvif_line;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (flag == "--burst-mode") {
      options.burst_mode = true;
      continue;
    }
    if (flag == "--no-rtsp") {
      options.rtsp = false;
      continue;
    }
    if (flag == "--onvif-spread") {
      onvif_line.pairs.emplace_back("spread", "1");
      continue;
    }
    const bool is_switch = flag == "--mixed-types" || flag == "--with-rk";
    if (is_switch) {
      gen_line.pairs.emplace_back(flag.substr(2), "1");
      continue;
    }
    if (i + 1 >= argc)
      return Fail("missing value for " + flag + "\n" + kUsage);
    const std::string value = argv[++i];
    long long n = 0;
    double s = 0;
    if (flag == "--devices" || flag == "--first-ip" || flag == "--serial-prefix" ||
        flag == "--lumeriant-every" || flag == "--password") {
      gen_line.pairs.emplace_back(flag.substr(2), value);
    } else if (flag == "--onvif-cameras" || flag == "--onvif-first-ip" ||
               flag == "--onvif-password") {
      onvif_line.pairs.emplace_back(flag.substr(8), value);
    } else if (flag == "--onvif-misbehave") {
      onvif_misbehave.push_back(value);
    } else if (flag == "--site") {
      site_file = value;
    } else if (flag == "--host") {
      hosts.push_back(value);
    } else if (flag == "--misbehave") {
      misbehave.push_back(value);
    } else if (flag == "--sdk-misbehave") {
      sdk_misbehave.push_back(value);
    } else if (flag == "--reserve") {
      uint32_t ip = 0;
      if (!ParseIpv4(value, &ip))
        return Fail("bad --reserve " + value);
      options.reserved.insert(ip);
    } else if (flag == "--iface") {
      options.default_iface = value;
    } else if (flag == "--reboot-silence" && ParseDouble(value, 0, 3600, &s)) {
      options.reboot_silence_ms = static_cast<int>(s * 1000);
    } else if (flag == "--answer-rate" && ParseInt(value, 0, 10000000, &n)) {
      options.answer_rate = static_cast<int>(n);
    } else if (flag == "--burst" && ParseInt(value, 1, 100000, &n)) {
      options.answer_burst = static_cast<int>(n);
    } else if (flag == "--seed" && ParseInt(value, 0, 0xffffffffLL, &n)) {
      options.seed = static_cast<uint32_t>(n);
    } else if (flag == "--port" && ParseInt(value, 1, 65535, &n)) {
      options.port = static_cast<int>(n);
    } else if (flag == "--control") {
      control_path = value;
    } else if (flag == "--log-file") {
      log_path = value;
    } else if (flag == "--rtsp-main" || flag == "--rtsp-sub") {
      int w = 0;
      int h = 0;
      if (std::sscanf(value.c_str(), "%dx%d", &w, &h) != 2 || w < 64 || h < 40 || w > 4096 ||
          h > 2160 || w % 2 != 0 || h % 2 != 0)
        return Fail("bad " + flag + " " + value + " (WIDTHxHEIGHT, even, 64x40 to 4096x2160)");
      (flag == "--rtsp-main" ? options.rtsp_sizes.main_width : options.rtsp_sizes.sub_width) = w;
      (flag == "--rtsp-main" ? options.rtsp_sizes.main_height : options.rtsp_sizes.sub_height) = h;
    } else if (flag == "--rtsp-rate" && ParseInt(value, 1, 60, &n)) {
      options.rtsp_sizes.frame_rate = static_cast<int>(n);
    } else {
      return Fail("bad option " + flag + " " + value + "\n" + kUsage);
    }
  }

  // Ctrl-C and TERM end the loop normally so every added address is removed again.
  sigset_t sigs;
  sigemptyset(&sigs);
  sigaddset(&sigs, SIGINT);
  sigaddset(&sigs, SIGTERM);
  sigaddset(&sigs, SIGHUP);
  sigprocmask(SIG_BLOCK, &sigs, nullptr);
  const int sig_fd = signalfd(-1, &sigs, SFD_CLOEXEC | SFD_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);

  std::string why;
  const int64_t now_ms = MonotonicUs() / 1000;
  Site site;
  if (!site_file.empty()) {
    std::ifstream in(site_file);
    if (!in)
      return Fail("cannot read " + site_file);
    std::stringstream text;
    text << in.rdbuf();
    if (!ReadSiteText(text.str(), options.reserved, now_ms, &site, &why)) {
      return Fail(site_file + ": " + why);
    }
  } else {
    if (!ReadGenerateOptions(gen_line, &gen, &why) ||
        !GenerateDevices(gen, options.reserved, now_ms, &site.devices, &why)) {
      return Fail(why);
    }
  }
  if (!onvif_line.pairs.empty()) {
    std::set<uint32_t> taken = options.reserved;
    for (const SimDevice& d : site.devices)
      taken.insert(d.net.ip);
    for (const OnvifCamera& c : site.onvif.cameras)
      taken.insert(c.net.ip);
    if (!ReadOnvifSiteLine("generate-onvif", onvif_line, &taken, &site.onvif, &why))
      return Fail(why);
  }
  for (const std::string& m : onvif_misbehave) {
    std::optional<KvLine> line = ParseKvLine(m, &why);
    std::string target, words;
    if (!line || !OnvifMisbehaviourArgs(*line, &target, &words, &why))
      return Fail("bad --onvif-misbehave " + m + ": " + why);
    site.onvif.misbehaviour.emplace_back(target, words);
  }
  for (const std::string& h : hosts) {
    SiteHost host;
    const std::size_t at = h.find('@');
    if (!ParseIpv4(h.substr(0, at), &host.ip))
      return Fail("bad --host " + h);
    if (at != std::string::npos)
      host.iface = h.substr(at + 1);
    site.hosts.push_back(host);
  }
  for (const std::string& m : misbehave) {
    std::optional<KvLine> line = ParseKvLine(m, &why);
    if (!line || line->words.empty())
      return Fail("bad --misbehave " + m);
    SiteMisbehaviour sm;
    sm.target = line->words.front();
    line->words.erase(line->words.begin());
    Misbehaviour probe;
    if (!ApplyMisbehaviour(*line, &probe, &why))
      return Fail(why);
    sm.modes = *line;
    site.misbehaviour.push_back(sm);
  }

  for (const std::string& m : sdk_misbehave) {
    std::optional<KvLine> line = ParseKvLine(m, &why);
    SiteSdkMisbehaviour sm;
    if (!line || line->words.size() != 2 || !line->pairs.empty() ||
        !ParseSdkMisbehaviour(line->words[1], &sm.mode)) {
      return Fail("bad --sdk-misbehave " + m);
    }
    sm.target = line->words[0];
    site.sdk_misbehaviour.push_back(sm);
  }
  // One listener per device plus its SDK sessions: a site of a thousand needs more
  // descriptors than the usual soft limit.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  std::FILE* log_file = nullptr;
  if (!log_path.empty()) {
    log_file = std::fopen(log_path.c_str(), "a");
    if (!log_file)
      return Fail("cannot open " + log_path);
  }
  int status = 0;
  {
    Simulator sim(options);
    sim.log().SetFile(log_file);
    ControlServer control;
    if (!sim.Init(&why))
      return Fail(why);
    if (!sim.LoadSite(std::move(site), &why)) {
      sim.RemoveAll();
      return Fail(why);
    }
    if (!control_path.empty() && !control.Listen(control_path, &why)) {
      sim.RemoveAll();
      return Fail(why);
    }
    std::fprintf(stderr, "viduzaver-devsim: %zu devices ready on port %d\n", sim.devices().size(),
                 options.port);
    if (!sim.onvif_cameras().empty())
      std::fprintf(stderr, "viduzaver-devsim: %zu ONVIF cameras ready\n",
                   sim.onvif_cameras().size());
    bool shutdown = false;
    bool want_writable = false;
    int64_t pump_wait_us = -1;
    while (!shutdown) {
      std::vector<pollfd> fds;
      fds.push_back({sig_fd, POLLIN, 0});
      fds.push_back(
          {sim.udp_fd(), static_cast<short>(want_writable ? POLLIN | POLLOUT : POLLIN), 0});
      fds.push_back({sim.sdk_fd(), POLLIN, 0});
      fds.push_back({sim.onvif_fd(), POLLIN, 0});
      control.AddPollFds(&fds);
      // The SDK servers' timers (idle drop, reboot end) want a turn at least this often.
      constexpr int64_t kSdkTickUs = 50 * 1000;
      const int64_t wait_us = pump_wait_us >= 0 ? std::min(pump_wait_us, kSdkTickUs) : kSdkTickUs;
      timespec timeout{};
      timeout.tv_sec = static_cast<time_t>(wait_us / 1000000);
      timeout.tv_nsec = static_cast<long>(wait_us % 1000000) * 1000;
      if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
        status = Fail(std::string("poll: ") + std::strerror(errno));
        break;
      }
      if (fds[0].revents) {
        signalfd_siginfo info{};
        while (read(sig_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
          shutdown = true;
        }
      }
      if (fds[1].revents & POLLIN)
        sim.OnReadable(MonotonicUs());
      sim.ServiceSdk(MonotonicUs());
      const int64_t onvif_wait_us = sim.ServiceOnvif(MonotonicUs());
      std::vector<pollfd> control_fds(fds.begin() + 4, fds.end());
      control.HandleEvents(control_fds,
                           [&](const std::string& line) { return sim.Command(line, &shutdown); });
      pump_wait_us = sim.Pump(MonotonicUs(), &want_writable);
      if (onvif_wait_us >= 0 && (pump_wait_us < 0 || onvif_wait_us < pump_wait_us))
        pump_wait_us = onvif_wait_us;
    }
    // Let the last reply (the OK of shutdown) reach its reader.
    for (int i = 0; i < 50 && !control.idle(); ++i) {
      std::vector<pollfd> fds;
      control.AddPollFds(&fds);
      poll(fds.data(), fds.size(), 20);
      control.HandleEvents(fds,
                           [](const std::string&) { return std::string("ERR shutting down\n"); });
    }
    sim.RemoveAll();
  }
  if (log_file)
    std::fclose(log_file);
  std::fprintf(stderr, "viduzaver-devsim: stopped, addresses removed\n");
  return status;
}
