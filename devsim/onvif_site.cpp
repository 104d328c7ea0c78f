#include "onvif_site.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "onvif_soap.h"
#include "simulator.h"

namespace vdz::devsim {

namespace {

std::string IfaceName(int ifindex) {
  char name[IF_NAMESIZE] = {};
  return if_indextoname(static_cast<unsigned>(ifindex), name) ? name : "";
}

constexpr int64_t kEffectDelayMs = 300;  // the answer leaves before the camera acts
constexpr int kMaxDelayMs = 500;         // the delay misbehaviour's longest hold

}  // namespace

OnvifSite::OnvifSite(Host host)
    : host_(std::move(host)),
      http_([this](const HttpRequest& r) { return HandleHttp(r); }),
      rng_(host_.seed) {
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
}

OnvifSite::~OnvifSite() {
  RemoveAll();
  if (epoll_fd_ >= 0)
    close(epoll_fd_);
}

bool OnvifSite::Open(std::string* error) {
  if (open_)
    return true;
  // The discovery port is opened only for a site with cameras: a lab may run another
  // WS-Discovery host in the same namespace.
  if (!wsd_.Open(error) || !http_.Start(error))
    return false;
  for (const int fd : {wsd_.fd(), http_.fd()}) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev);
  }
  open_ = true;
  return true;
}

bool OnvifSite::Holds(uint32_t ip) const {
  return std::any_of(cameras_.begin(), cameras_.end(),
                     [ip](const OnvifCamera& c) { return c.net.ip == ip; });
}

OnvifCamera* OnvifSite::ByIp(const std::string& ip) {
  for (OnvifCamera& c : cameras_) {
    if (c.Ip() == ip)
      return &c;
  }
  return nullptr;
}

bool OnvifSite::StartStream(const OnvifCamera& c, std::string* error) {
  if (!host_.start_stream)
    return true;
  RtspCameraConfig r;
  r.key = "onvif:" + c.serial;
  r.address = c.Ip();
  r.port = c.rtsp_port;
  r.label = c.Ip();
  for (const OnvifUser& u : c.users)
    r.accounts.emplace_back(u.name, u.name == c.users[0].name && c.misbehave.wrong_password
                                        ? WrongPassword(u.password)
                                        : u.password);
  r.main_width = c.main_width;
  r.main_height = c.main_height;
  r.sub_width = c.sub_width;
  r.sub_height = c.sub_height;
  return host_.start_stream(r, error);
}

bool OnvifSite::AddCamera(OnvifCamera c, std::string* error) {
  if (!Open(error))
    return false;
  for (const OnvifCamera& other : cameras_) {
    if (other.serial == c.serial || other.uuid == c.uuid) {
      *error = "camera " + c.serial + " exists";
      return false;
    }
  }
  if (Holds(c.net.ip) || host_.address_taken(c.net.ip)) {
    *error = "address " + c.Ip() + " is in use";
    return false;
  }
  if (!host_.resolve_iface(&c, error))
    return false;
  if (const int e = host_.add_address(c.ifindex, c.net.ip); e != 0) {
    *error = "add " + c.Ip() + ": " + std::strerror(-e);
    return false;
  }
  if (const int e = http_.Listen(c.net.ip, c.http_port); e != 0) {
    *error =
        "ONVIF service on " + c.Ip() + ":" + std::to_string(c.http_port) + ": " + std::strerror(-e);
    host_.remove_address(c.ifindex, c.net.ip);
    return false;
  }
  if (!StartStream(c, error)) {
    http_.Close(c.net.ip, c.http_port);
    host_.remove_address(c.ifindex, c.net.ip);
    return false;
  }
  cameras_.push_back(std::move(c));
  return true;
}

bool OnvifSite::Misbehave(const std::string& target, const std::string& words, std::string* error) {
  int n = 0;
  for (OnvifCamera& c : cameras_) {
    if (target != "all" && target != c.serial)
      continue;
    const bool was_wrong = c.misbehave.wrong_password;
    if (!ApplyOnvifMisbehaviour({words}, &c.misbehave, error))
      return false;
    if (was_wrong != c.misbehave.wrong_password)
      StartStream(c, error);
    ++n;
  }
  if (n == 0)
    *error = "no camera " + target;
  return n > 0;
}

void OnvifSite::RemoveAll() {
  for (const OnvifCamera& c : cameras_) {
    if (host_.stop_stream)
      host_.stop_stream("onvif:" + c.serial);
    http_.Close(c.net.ip, c.http_port);
    host_.remove_address(c.ifindex, c.net.ip);
  }
  cameras_.clear();
  pending_.clear();
  waking_.clear();
}

int64_t OnvifSite::Service(int64_t now_us) {
  if (!open_)
    return -1;
  const int64_t now_ms = now_us / 1000;
  for (int budget = 0; budget < 256; ++budget) {
    std::optional<WsdResponder::Datagram> d = wsd_.Receive();
    if (!d)
      break;
    HandleProbe(*d, now_us);
  }
  const int64_t http_wait_us = http_.Service();
  // Effects of earlier calls whose answers have left by now.
  for (std::size_t i = 0; i < pending_.size();) {
    if (pending_[i].due_ms > now_ms) {
      ++i;
      continue;
    }
    const Pending p = pending_[i];
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
    for (OnvifCamera& c : cameras_) {
      if (c.serial != p.serial)
        continue;
      if (p.reboot) {
        Reboot(c, now_ms);
      } else {
        Move(c, p.to);
      }
    }
  }
  for (std::size_t i = 0; i < waking_.size();) {
    auto it = std::find_if(cameras_.begin(), cameras_.end(),
                           [&](const OnvifCamera& c) { return c.serial == waking_[i]; });
    if (it != cameras_.end() && it->Rebooting(now_ms)) {
      ++i;
      continue;
    }
    if (it != cameras_.end()) {
      std::string why;
      http_.Listen(it->net.ip, it->http_port);
      StartStream(*it, &why);
    }
    waking_.erase(waking_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  const int64_t wsd_wait_us = wsd_.Pump(now_us);
  if (http_wait_us < 0)
    return wsd_wait_us;
  return wsd_wait_us < 0 ? http_wait_us : std::min(http_wait_us, wsd_wait_us);
}

void OnvifSite::HandleProbe(const WsdResponder::Datagram& d, int64_t now_us) {
  RequestLogEntry e;
  e.wall_ms = WallMs();
  e.source = Ipv4Text(ntohl(d.from.sin_addr.s_addr)) + ":" + std::to_string(ntohs(d.from.sin_port));
  e.iface = IfaceName(d.ifindex);
  e.destination = Ipv4Text(d.destination);
  e.length = d.data.size();
  e.action = "Probe";
  RequestLogEntry& entry = host_.log->Add(std::move(e));
  std::string why;
  const std::optional<WsdProbe> probe = d.truncated ? std::nullopt : ReadProbe(d.data, &why);
  if (!probe) {
    entry.result = "ignored:" + (d.truncated ? std::string("oversize") : why);
    host_.log->Flush(entry);
    return;
  }
  const bool multicast = (d.destination >> 28) == 0xE;
  const int64_t now_ms = now_us / 1000;
  int answered = 0, silent = 0;
  std::uniform_int_distribution<int> delay(0, kMaxDelayMs);
  for (OnvifCamera& c : cameras_) {
    // A camera hears the group on its own segment, and probes sent to its own address.
    if (c.ifindex != d.ifindex || (!multicast && c.net.ip != d.destination))
      continue;
    if (c.Rebooting(now_ms)) {
      ++silent;
      continue;
    }
    if (!ProbeMatchesCamera(*probe, c))
      continue;
    const std::string payload = BuildProbeMatches(*probe, c, ++message_number_);
    const int64_t due = now_us + (c.misbehave.delay ? delay(rng_) * 1000LL : 0);
    for (int copy = 0; copy < (c.misbehave.duplicate ? 2 : 1); ++copy)
      wsd_.Enqueue(due, c.net.ip, d.from, payload);
    ++answered;
  }
  entry.result = "answered:" + std::to_string(answered);
  if (silent)
    entry.result += ",rebooting:" + std::to_string(silent);
  host_.log->Flush(entry);
}

HttpReply OnvifSite::HandleHttp(const HttpRequest& request) {
  OnvifCamera* c = ByIp(request.local_ip);
  const int64_t now_ms = MonotonicUs() / 1000;
  RequestLogEntry e;
  e.wall_ms = WallMs();
  e.source = request.peer;
  e.destination = request.local_ip;
  e.length = request.body.size();
  if (!c || c->Rebooting(now_ms)) {
    e.action = "-";
    e.result = "no-camera";
    host_.log->Flush(host_.log->Add(std::move(e)));
    return {503, "text/plain", "no camera here\n", {}};
  }
  e.iface = c->iface;
  e.serial = c->serial;
  SoapCall call;
  HttpReply reply = soap_.Handle(request, *c, e.wall_ms, &call);
  if (call.move_to && call.move_to->ip != c->net.ip &&
      (Holds(call.move_to->ip) || host_.address_taken(call.move_to->ip))) {
    call.result = "fault:InvalidIPv4Address";
    const bool soap11 = reply.content_type == kSoap11Type;
    reply.status = 400;
    reply.body = SoapEnvelope(soap11, "",
                              SoapFault(soap11, "Sender", "InvalidIPv4Address", "address in use"));
    call.move_to.reset();
  }
  if (call.reboot)
    pending_.push_back({now_ms + kEffectDelayMs, c->serial, true, {}});
  if (call.move_to)
    pending_.push_back({now_ms + kEffectDelayMs, c->serial, false, *call.move_to});
  e.action = call.action;
  e.result = call.result;
  host_.log->Flush(host_.log->Add(std::move(e)));
  return reply;
}

void OnvifSite::Reboot(OnvifCamera& c, int64_t now_ms) {
  ++c.reboots;
  c.down_until_ms = now_ms + host_.reboot_silence_ms();
  // A rebooting camera's clock comes back from its own battery: the skew and any set time stay.
  http_.Close(c.net.ip, c.http_port);
  if (host_.stop_stream)
    host_.stop_stream("onvif:" + c.serial);
  waking_.push_back(c.serial);
}

std::string OnvifSite::Move(OnvifCamera& c, const NetSettings& to) {
  const uint32_t old_ip = c.net.ip;
  if (to.ip != old_ip) {
    if (Holds(to.ip) || host_.address_taken(to.ip))
      return "refused:address-in-use";
    // The new address first, so the camera is never without one.
    if (host_.add_address(c.ifindex, to.ip) != 0)
      return "refused:add";
    http_.Listen(to.ip, c.http_port);
    http_.Close(old_ip, c.http_port);
    host_.remove_address(c.ifindex, old_ip);
  }
  c.net = to;
  ++c.metadata_version;
  std::string why;
  if (to.ip != old_ip)
    StartStream(c, &why);
  return "moved";
}

std::string OnvifSite::CameraLine(const OnvifCamera& c, int64_t now_ms, int64_t wall_ms) const {
  std::string users;
  for (const OnvifUser& u : c.users)
    users += (users.empty() ? "" : ",") + u.name + ":" + u.level;
  const int64_t offset_ms = c.ClockMs(wall_ms) - wall_ms;
  return "onvif ip=" + c.Ip() + " serial=" + QuoteKvValue(c.serial) + " uuid=" + c.Address() +
         " maker=" + QuoteKvValue(c.maker) + " model=" + QuoteKvValue(c.model) +
         " firmware=" + QuoteKvValue(c.firmware) + " mac=" + c.mac + " if=" + c.iface +
         " factory-ip=" + Ipv4Text(c.factory_ip) + " mask=" + Ipv4Text(c.net.mask) +
         " gateway=" + Ipv4Text(c.net.gateway) + " dhcp=" + (c.net.dhcp ? "1" : "0") +
         " http-port=" + std::to_string(c.http_port) + " rtsp-port=" + std::to_string(c.rtsp_port) +
         " state=" + (c.Rebooting(now_ms) ? "rebooting" : "up") +
         " clock-offset=" + std::to_string(offset_ms / 1000) + " time-mode=" + c.time_mode +
         " tz=" + QuoteKvValue(c.time_zone) + " last-time-set=" + c.last_time_set +
         " ntp=" + QuoteKvValue(c.ntp) + " reboots=" + std::to_string(c.reboots) +
         " users=" + QuoteKvValue(users) + " misbehave=" + OnvifMisbehaviourText(c.misbehave) +
         "\n";
}

std::optional<std::string> OnvifSite::Command(const std::string& verb, const KvLine& args) {
  auto err = [](const std::string& why) { return "ERR " + why + "\n"; };
  std::string why;
  if (verb == "onvif-cameras") {
    const int64_t now_ms = MonotonicUs() / 1000;
    const int64_t wall_ms = WallMs();
    std::string out;
    for (const OnvifCamera& c : cameras_) {
      if (args.words.empty() || args.words[0] == c.serial || args.words[0] == c.Ip())
        out += CameraLine(c, now_ms, wall_ms);
    }
    return out + "onvif-total cameras=" + std::to_string(cameras_.size()) +
           " wsd-sent=" + std::to_string(wsd_.sent()) +
           " wsd-queued=" + std::to_string(wsd_.queued()) + "\nOK\n";
  }
  if (verb == "onvif-misbehave") {
    std::string target, words;
    if (!OnvifMisbehaviourArgs(args, &target, &words, &why) || !Misbehave(target, words, &why))
      return err(why);
    return "OK\n";
  }
  if (verb == "onvif-add") {
    std::set<uint32_t> taken;
    OnvifSiteLines lines;
    lines.cameras.reserve(1);
    if (!ReadOnvifSiteLine("onvif", args, &taken, &lines, &why))
      return err(why);
    OnvifCamera& c = lines.cameras.front();
    // A camera added later counts on from the site's, so its generated identity is new.
    const int k = static_cast<int>(cameras_.size()) + 1;
    if (!args.Get("serial") || !args.Get("uuid")) {
      const OnvifCamera fresh = MakeOnvifCamera(k, c.net.ip, {});
      if (!args.Get("serial"))
        c.serial = fresh.serial;
      if (!args.Get("uuid"))
        c.uuid = fresh.uuid;
    }
    if (!AddCamera(c, &why))
      return err(why);
    return CameraLine(cameras_.back(), MonotonicUs() / 1000, WallMs()) + "OK\n";
  }
  return std::nullopt;
}

}  // namespace vdz::devsim
