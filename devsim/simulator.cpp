#include "simulator.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "answer_writer.h"
#include "protocol/protocol_numbers.h"
#include "sdk_device.h"
#include "snapshot_picture.h"

namespace vdz::devsim {

int64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t WallMs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

namespace {

struct IfaceAddress {
  std::string name;
  int ifindex = 0;
  uint32_t ip = 0;
  uint32_t mask = 0;
};

std::vector<IfaceAddress> ListAddresses() {
  std::vector<IfaceAddress> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0)
    return out;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_netmask)
      continue;
    IfaceAddress x;
    x.name = a->ifa_name;
    x.ifindex = static_cast<int>(if_nametoindex(a->ifa_name));
    x.ip = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
    x.mask = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
    out.push_back(x);
  }
  freeifaddrs(list);
  return out;
}

std::string IfaceName(int ifindex) {
  char name[IF_NAMESIZE] = {};
  return if_indextoname(static_cast<unsigned>(ifindex), name) ? name : "";
}

int LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  int v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 100000; ++i) {
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

}  // namespace

Simulator::Simulator(SimulatorOptions options) : options_(std::move(options)), rng_(options_.seed) {
  ConfigureSender();
  MakeOnvifSite();
}

void Simulator::MakeOnvifSite() {
  OnvifSite::Host h;
  h.resolve_iface = [this](OnvifCamera* c, std::string* error) {
    SimDevice probe;
    probe.net.ip = c->net.ip;
    probe.iface = c->iface;
    probe.serial = c->serial;
    if (!ResolveIface(&probe, error))
      return false;
    c->iface = probe.iface;
    c->ifindex = probe.ifindex;
    return true;
  };
  h.address_taken = [this](uint32_t ip) { return AddressTaken(ip, nullptr, false); };
  h.add_address = [this](int ifindex, uint32_t ip) { return netlink_.Add(ifindex, ip); };
  h.remove_address = [this](int ifindex, uint32_t ip) { netlink_.Remove(ifindex, ip); };
  h.start_stream = [this](const RtspCameraConfig& c, std::string* error) {
    return !rtsp_ || rtsp_->AddCamera(c, error);
  };
  h.stop_stream = [this](const std::string& key) {
    if (rtsp_)
      rtsp_->RemoveCamera(key);
  };
  h.log = &log_;
  h.reboot_silence_ms = [this] { return options_.reboot_silence_ms; };
  h.seed = options_.seed;
  onvif_ = std::make_unique<OnvifSite>(std::move(h));
}

void Simulator::ConfigureSender() {
  sender_.Configure(options_.burst_mode ? 0 : options_.answer_rate, options_.answer_burst);
}

Simulator::~Simulator() {
  RemoveAll();
  // The cameras' streams go before the RTSP servers do.
  onvif_.reset();
  if (udp_fd_ >= 0)
    close(udp_fd_);
}

bool Simulator::Init(std::string* error) {
  if (options_.rtsp && !rtsp_)
    rtsp_ = std::make_unique<RtspSite>(options_.rtsp_sizes);
  if (!terminal_.Start()) {
    *error = "terminal service: cannot start";
    return false;
  }
  if (const int e = netlink_.Open(); e != 0) {
    *error = std::string("rtnetlink: ") + std::strerror(-e);
    return false;
  }
  udp_fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (udp_fd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  // Bursts of a thousand 2-3 KB answers: room on both directions of the socket.
  const int big = 8 * 1024 * 1024;
  setsockopt(udp_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(udp_fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  setsockopt(udp_fd_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
  setsockopt(udp_fd_, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof big);
  setsockopt(udp_fd_, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(static_cast<uint16_t>(options_.port));
  if (bind(udp_fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    *error = "bind port " + std::to_string(options_.port) + ": " + std::strerror(errno);
    return false;
  }
  sender_.SetSocket(udp_fd_);
  for (const IfaceAddress& a : ListAddresses()) {
    lab_addresses_.push_back({a.name, a.ifindex, a.ip, a.mask});
  }
  if (options_.default_iface.empty()) {
    std::string best;
    for (const LabSubnet& a : lab_addresses_) {
      if (a.iface != "lo" && (best.empty() || a.iface < best))
        best = a.iface;
    }
    options_.default_iface = best;
  }
  if (options_.default_iface.empty() || if_nametoindex(options_.default_iface.c_str()) == 0) {
    *error = "no interface with an IPv4 address to put devices on";
    return false;
  }
  return true;
}

bool Simulator::ResolveIface(SimDevice* d, std::string* error) {
  if (d->iface.empty()) {
    for (const LabSubnet& a : lab_addresses_) {
      if (a.iface != "lo" && a.mask != 0xffffffffu && (a.ip & a.mask) == (d->net.ip & a.mask)) {
        d->iface = a.iface;
        break;
      }
    }
  }
  if (d->iface.empty())
    d->iface = options_.default_iface;
  d->ifindex = static_cast<int>(if_nametoindex(d->iface.c_str()));
  if (d->ifindex == 0) {
    *error = "no interface " + d->iface + " for " + d->serial;
    return false;
  }
  return true;
}

uint32_t Simulator::LabAddress(int ifindex) const {
  for (const LabSubnet& a : lab_addresses_) {
    if (a.ifindex == ifindex && a.mask != 0xffffffffu)
      return a.ip;
  }
  return 0;
}

bool Simulator::AddressTaken(uint32_t ip, const SimDevice* except, bool cameras) const {
  if (options_.reserved.count(ip) || hosts_.count(ip) || (cameras && onvif_->Holds(ip)))
    return true;
  for (const SimDevice& d : devices_) {
    if (&d != except && d.net.ip == ip)
      return true;
  }
  for (const LabSubnet& a : lab_addresses_) {
    if (a.ip == ip)
      return true;
  }
  return false;
}

bool Simulator::AddDevice(SimDevice d, std::string* error) {
  if (by_serial_.count(d.serial)) {
    *error = "serial " + d.serial + " exists";
    return false;
  }
  if (AddressTaken(d.net.ip, nullptr)) {
    *error = "address " + Ipv4Text(d.net.ip) + " is in use";
    return false;
  }
  if (!ResolveIface(&d, error))
    return false;
  if (const int e = netlink_.Add(d.ifindex, d.net.ip); e != 0) {
    *error = "add " + Ipv4Text(d.net.ip) + ": " + std::strerror(-e);
    return false;
  }
  d.sdk_id = sdk_.AddDevice(SdkDeviceConfig(d));
  if (d.sdk_id <= 0) {
    *error = "SDK server on " + Ipv4Text(d.net.ip) + ":" + std::to_string(d.ptz_port) + ": " +
             std::strerror(-d.sdk_id);
    netlink_.Remove(d.ifindex, d.net.ip);
    return false;
  }
  if (!StartCamera(d, error)) {
    sdk_.RemoveDevice(d.sdk_id);
    netlink_.Remove(d.ifindex, d.net.ip);
    return false;
  }
  if (const int e = terminal_.Add(
          d.serial, Ipv4Text(d.net.ip),
          DefaultTerminalParams(d.serial, static_cast<int>(devices_.size()), Ipv4Text(d.net.ip)));
      e == -EADDRINUSE) {
    // Crowded test sites put several devices on one address; the first one there answers on
    // the terminal port, as one real device would.
  } else if (e != 0) {
    *error = "terminal service on " + Ipv4Text(d.net.ip) + ": " + std::strerror(-e);
    sdk_.RemoveDevice(d.sdk_id);
    netlink_.Remove(d.ifindex, d.net.ip);
    return false;
  }
  if (!web_.Add(Ipv4Text(d.net.ip), static_cast<uint16_t>(d.web_port), d.type, d.serial))
    std::fprintf(stderr, "viduzaver-devsim: no web page on port %d\n", d.web_port);
  snapshots_[d.serial] = SnapshotState{};
  d.sdk_down = false;
  if (d.sdk_misbehave != devserver::Misbehaviour::kNone)
    sdk_.SetMisbehaviour(d.sdk_id, d.sdk_misbehave);
  by_serial_[d.serial] = devices_.size();
  devices_.push_back(std::move(d));
  return true;
}

void Simulator::RemoveDevice(std::size_t index) {
  StopCamera(devices_[index]);
  sdk_.RemoveDevice(devices_[index].sdk_id);
  terminal_.Remove(devices_[index].serial);
  web_.Remove(Ipv4Text(devices_[index].net.ip));
  snapshots_.erase(devices_[index].serial);
  netlink_.Remove(devices_[index].ifindex, devices_[index].net.ip);
  devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
  by_serial_.clear();
  for (std::size_t i = 0; i < devices_.size(); ++i)
    by_serial_[devices_[i].serial] = i;
}

void Simulator::RemoveAll() {
  onvif_->RemoveAll();
  if (rtsp_)
    rtsp_->RemoveAll();
  terminal_.RemoveAll();
  web_.RemoveAll();
  snapshots_.clear();
  for (const SimDevice& d : devices_) {
    sdk_.RemoveDevice(d.sdk_id);
    netlink_.Remove(d.ifindex, d.net.ip);
  }
  for (const auto& [ip, where] : hosts_)
    netlink_.Remove(where.first, ip);
  devices_.clear();
  by_serial_.clear();
  hosts_.clear();
  sender_.Clear();
}

bool Simulator::LoadSite(Site site, std::string* error) {
  RemoveAll();
  if (!have_initial_) {
    initial_site_ = site;
    have_initial_ = true;
  }
  for (const SiteHost& h : site.hosts) {
    KvLine args;
    args.words = {"add", Ipv4Text(h.ip)};
    if (!h.iface.empty())
      args.pairs.emplace_back("if", h.iface);
    const std::string reply = HostCommand(args);
    if (reply.rfind("ERR", 0) == 0) {
      *error = reply;
      return false;
    }
  }
  for (SimDevice& d : site.devices) {
    if (!AddDevice(std::move(d), error))
      return false;
  }
  for (const SiteMisbehaviour& m : site.misbehaviour) {
    for (SimDevice& d : devices_) {
      if (m.target == "all" || m.target == d.serial)
        ApplyMisbehaviour(m.modes, &d.misbehave, error);
    }
  }
  for (const SiteSdkMisbehaviour& m : site.sdk_misbehaviour) {
    for (SimDevice& d : devices_) {
      if (m.target == "all" || m.target == d.serial)
        SetSdkMisbehaviour(d, m.mode);
    }
  }
  for (const KvLine& c : site.config) {
    if (!ApplyConfig(c, error))
      return false;
  }
  for (OnvifCamera& c : site.onvif.cameras) {
    if (!onvif_->AddCamera(std::move(c), error))
      return false;
  }
  for (const auto& [target, words] : site.onvif.misbehaviour) {
    if (!onvif_->Misbehave(target, words, error))
      return false;
  }
  return true;
}

void Simulator::SetSdkMisbehaviour(SimDevice& d, devserver::Misbehaviour m) {
  d.sdk_misbehave = m;
  sdk_.SetMisbehaviour(d.sdk_id, m);
}

void Simulator::ServiceSdk(int64_t now_us) {
  sdk_.Poll(0);
  const int64_t now_ms = now_us / 1000;
  if (now_ms - last_sdk_tick_ms_ < 50)
    return;
  last_sdk_tick_ms_ = now_ms;
  ServiceSnapshots(now_ms);
  for (SimDevice& d : devices_) {
    if (!d.sdk_down && sdk_.Port(d.sdk_id) == 0) {
      // Rebooted through the SDK: the whole device goes quiet, discovery too. After an
      // upgrade it comes back announcing the image's version.
      d.sdk_down = true;
      ++d.sdk_reboots;
      d.version = sdk_.FirmwareVersion(d.sdk_id);
      d.silent_until_ms = now_ms + options_.reboot_silence_ms;
      d.boot_ms = now_ms;
    }
    if (d.sdk_down && !d.Rebooting(now_ms) &&
        sdk_.MoveDevice(d.sdk_id, Ipv4Text(d.net.ip), 0) == 0) {
      d.sdk_down = false;
    }
  }
}

void Simulator::ServiceSnapshots(int64_t now_ms) {
  // A picture is ready a moment after the request; a late device answers after any watch.
  constexpr int64_t kSnapshotDelayMs = 300;
  constexpr int64_t kLateSnapshotMs = 12000;
  for (const SimDevice& d : devices_) {
    auto it = snapshots_.find(d.serial);
    if (it == snapshots_.end())
      continue;
    SnapshotState& st = it->second;
    const int count = sdk_.SystemControlCount(d.sdk_id, proto::kCmdSnapshot);
    for (; st.seen < count; ++st.seen) {
      if (st.fault == "never")
        continue;
      st.due_ms.push_back(now_ms + (st.fault == "late" ? kLateSnapshotMs : kSnapshotDelayMs));
    }
    while (!st.due_ms.empty() && st.due_ms.front() <= now_ms) {
      st.due_ms.erase(st.due_ms.begin());
      ++st.taken;
      const std::string path =
          st.fault == "hostile-path"
              ? "../../../../../../tmp/vdz-escaped-" + d.serial + ".jpg"
              : "/mnt/sd/snap/" + d.serial + "_" + std::to_string(st.taken) + ".jpg";
      const time_t wall = static_cast<time_t>(WallMs() / 1000);
      tm local{};
      localtime_r(&wall, &local);
      char clock[16];
      std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                    local.tm_sec);
      sdk_.StoreFile(d.sdk_id, path, SnapshotJpeg(Ipv4Text(d.net.ip), clock));
      // The alarm record: hour, minute, second at 16, 20, 24, the kind at 28, the path at 40.
      std::string record(proto::kAlarmRecordSize, '\0');
      const int32_t fields[4] = {local.tm_hour, local.tm_min, local.tm_sec,
                                 proto::kAlarmKindSnapshot};
      std::memcpy(&record[16], fields, sizeof fields);
      std::memcpy(&record[proto::kAlarmPathOffset], path.data(),
                  std::min<std::size_t>(path.size(),
                                        proto::kAlarmRecordSize - proto::kAlarmPathOffset - 1));
      sdk_.PushEvent(d.sdk_id, proto::kEventAlarm, record);
    }
  }
}

void Simulator::OnReadable(int64_t now_us) {
  // Requests are small; anything larger than a request envelope can be is logged as such.
  static char buf[16384];
  for (int budget = 0; budget < 256; ++budget) {
    sockaddr_in from{};
    alignas(cmsghdr) char control[256];
    iovec iov{buf, sizeof buf - 1};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(udp_fd_, &msg, MSG_DONTWAIT);
    if (n < 0)
      return;
    int ifindex = 0;
    uint32_t dst = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        ifindex = info.ipi_ifindex;
        dst = ntohl(info.ipi_addr.s_addr);
      }
    }
    HandleDatagram(buf, static_cast<std::size_t>(n), (msg.msg_flags & MSG_TRUNC) != 0, from,
                   ifindex, dst, now_us);
  }
}

void Simulator::HandleDatagram(const char* data, std::size_t len, bool truncated,
                               const sockaddr_in& from, int ifindex, uint32_t dst, int64_t now_us) {
  RequestLogEntry e;
  e.wall_ms = WallMs();
  e.source = Ipv4Text(ntohl(from.sin_addr.s_addr)) + ":" + std::to_string(ntohs(from.sin_port));
  e.iface = IfaceName(ifindex);
  e.destination = Ipv4Text(dst);
  e.length = len;
  RequestLogEntry& entry = log_.Add(std::move(e));
  if (truncated) {
    entry.result = "ignored:oversize";
    log_.Flush(entry);
    return;
  }
  std::string why;
  const std::optional<DiscoveryRequest> req = ReadDiscoveryRequest({data, len}, &why);
  if (!req) {
    entry.result = "ignored:" + why;
    log_.Flush(entry);
    return;
  }
  entry.code = req->code;
  entry.serial = req->has_serial ? req->serial : "";

  // A device hears broadcasts on its own segment, and datagrams sent to its own address. A
  // datagram sent to any other address (a lab host, the device namespace's leg behind the
  // router) is no device's: nobody answers it.
  bool broadcast = dst == 0 || dst == 0xFFFFFFFFu;
  for (const LabSubnet& a : lab_addresses_) {
    if (a.ifindex == ifindex && a.mask != 0xFFFFFFFFu && dst == ((a.ip & a.mask) | ~a.mask))
      broadcast = true;
  }
  std::vector<std::size_t> hearing;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    const SimDevice& d = devices_[i];
    if (d.ifindex == ifindex && (broadcast || d.net.ip == dst))
      hearing.push_back(i);
  }
  const int64_t now_ms = now_us / 1000;
  switch (req->code) {
    case proto::kDiscoverySearch:
      entry.result = Search(hearing, from, now_us);
      break;
    case proto::kDiscoverySetParameters:
    case proto::kDiscoveryRestore:
    case proto::kDiscoveryReboot: {
      if (!req->has_serial) {
        entry.result = "ignored:no-serial";
        break;
      }
      SimDevice* target = nullptr;
      for (const std::size_t i : hearing) {
        if (devices_[i].serial == req->serial)
          target = &devices_[i];
      }
      if (!target) {
        entry.result = "ignored:no-such-device";
      } else if (target->Rebooting(now_ms)) {
        entry.result = "ignored:rebooting";
      } else if (req->code == proto::kDiscoverySetParameters) {
        entry.result = SetParameters(*target, *req);
      } else if (req->code == proto::kDiscoveryRestore) {
        const std::string moved = MoveDevice(*target, target->factory_net);
        target->rk = target->factory_rk;
        entry.result = moved.rfind("refused", 0) == 0 ? moved : "restored";
      } else {
        target->silent_until_ms = now_ms + options_.reboot_silence_ms;
        target->boot_ms = now_ms;
        sdk_.Reboot(target->sdk_id);
        target->sdk_down = true;
        entry.result = "rebooting:" + std::to_string(options_.reboot_silence_ms) + "ms";
      }
      break;
    }
    default:
      entry.result = "ignored:code";
  }
  log_.Flush(entry);
}

std::string Simulator::Search(const std::vector<std::size_t>& hearing, const sockaddr_in& from,
                              int64_t now_us) {
  const int64_t now_ms = now_us / 1000;
  int answered = 0, silent = 0, dropped = 0, overflow = 0;
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  for (const std::size_t i : hearing) {
    const SimDevice& d = devices_[i];
    if (d.Rebooting(now_ms)) {
      ++silent;
      continue;
    }
    if (d.misbehave.drop > 0 && coin(rng_) < d.misbehave.drop) {
      ++dropped;
      continue;
    }
    PendingAnswer a;
    a.due_us = now_us + static_cast<int64_t>(d.misbehave.delay_ms) * 1000;
    a.ifindex = d.ifindex;
    a.source = d.net.ip;
    if (d.misbehave.wrong_addr) {
      const uint32_t other = LabAddress(d.ifindex);
      if (other != 0)
        a.source = other;
    }
    a.destination = from;
    a.device = std::make_shared<const SimDevice>(d);
    a.asked_ms = now_ms;
    if (options_.burst_mode)
      a.payload = BuildAnswerDatagram(d, now_ms);
    const int copies = d.misbehave.twice ? 2 : 1;
    for (int c = 0; c < copies; ++c) {
      if (!sender_.Enqueue(a))
        ++overflow;
    }
    ++answered;
  }
  std::string r = "answered:" + std::to_string(answered);
  if (silent)
    r += ",rebooting:" + std::to_string(silent);
  if (dropped)
    r += ",dropped:" + std::to_string(dropped);
  if (overflow)
    r += ",overflow:" + std::to_string(overflow);
  return r;
}

std::string Simulator::MoveDevice(SimDevice& d, const NetSettings& to) {
  const uint32_t old_ip = d.net.ip;
  if (to.ip != old_ip) {
    if (AddressTaken(to.ip, &d))
      return "refused:address-in-use";
    // The new address first, so the device is never without one.
    if (const int e = netlink_.Add(d.ifindex, to.ip); e != 0) {
      return std::string("refused:") + std::strerror(-e);
    }
    // The SDK server follows: its sessions to the old address end, like a real device's.
    // While the device reboots its listener stays closed; the reboot end opens it here.
    if (!d.sdk_down)
      sdk_.MoveDevice(d.sdk_id, Ipv4Text(to.ip), 0);
    // The camera moves with the device; its viewers at the old address lose the stream.
    SimDevice moved = d;
    moved.net.ip = to.ip;
    std::string why;
    if (!StartCamera(moved, &why))
      std::fprintf(stderr, "viduzaver-devsim: %s\n", why.c_str());
    terminal_.Move(d.serial, Ipv4Text(to.ip));
    web_.Remove(Ipv4Text(old_ip));
    web_.Add(Ipv4Text(to.ip), static_cast<uint16_t>(d.web_port), d.type, d.serial);
    netlink_.Remove(d.ifindex, old_ip);
  }
  d.net = to;
  return to.ip != old_ip ? "moved:" + Ipv4Text(old_ip) + "->" + Ipv4Text(to.ip) : "kept";
}

std::string Simulator::SetParameters(SimDevice& d, const DiscoveryRequest& r) {
  if (!r.lan && !r.rk)
    return "ignored:no-block";
  std::string result;
  if (r.lan) {
    NetSettings to = d.net;
    const LanChange& c = *r.lan;
    struct Field {
      const std::optional<std::string>& text;
      uint32_t* out;
      const char* name;
    };
    const Field fields[] = {{c.ip, &to.ip, "ip"},
                            {c.mask, &to.mask, "mask"},
                            {c.gateway, &to.gateway, "gateway"},
                            {c.dns1, &to.dns1, "dns1"},
                            {c.dns2, &to.dns2, "dns2"}};
    const bool dhcp = c.dhcp && LeadingNumber(*c.dhcp) == 1;
    for (const Field& f : fields) {
      if (!f.text || (f.out != &to.ip && f.text->empty()))
        continue;
      if (!ParseIpv4(*f.text, f.out))
        return std::string("refused:bad-") + f.name;
    }
    if (!ValidMask(to.mask))
      return "refused:bad-mask";
    if (!UsableDeviceAddress(to.ip, to.mask))
      return "refused:bad-ip";
    to.dhcp = dhcp;
    if (dhcp) {
      // No DHCP server in the lab: the device keeps the lease it has.
      to.ip = d.net.ip;
      to.mask = d.net.mask;
      to.gateway = d.net.gateway;
    }
    result = MoveDevice(d, to);
    if (result.rfind("refused", 0) == 0)
      return result;
  }
  if (r.rk) {
    d.rk.present = true;
    for (std::size_t i = 0; i < kRkFieldNames.size(); ++i) {
      d.rk.fields[i] = (*r.rk)[i].substr(0, kRkFieldMax);
    }
    result += result.empty() ? "rk-set" : ",rk-set";
  }
  return result;
}

void Simulator::ResetDevice(SimDevice& d) {
  MoveDevice(d, d.factory_net);
  d.rk = d.factory_rk;
  d.misbehave = Misbehaviour{};
  d.silent_until_ms = 0;
  SetSdkMisbehaviour(d, devserver::Misbehaviour::kNone);
}

}  // namespace vdz::devsim
