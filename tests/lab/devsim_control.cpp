#include "lab/devsim_control.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "control_reply.h"
#include "kv_line.h"

namespace vdz::lab {

std::map<std::string, std::string> ParseReplyLine(const std::string& line) {
  std::map<std::string, std::string> out;
  std::string why;
  const std::optional<devsim::KvLine> kv = devsim::ParseKvLine(line, &why);
  if (!kv)
    return out;
  if (!kv->words.empty())
    out[""] = kv->words.front();
  for (const auto& [k, v] : kv->pairs)
    out[k] = v;
  return out;
}

DevsimControl DevsimControl::FromEnvironment() {
  const char* p = std::getenv("VDZ_DEVSIM_CONTROL");
  return DevsimControl(p ? p : "");
}

bool DevsimControl::Send(const std::string& command, std::vector<std::string>* lines,
                         std::string* error) const {
  std::string scratch;
  if (!error)
    error = &scratch;
  if (lines)
    lines->clear();
  sockaddr_un addr{};
  if (path_.empty() || path_.size() >= sizeof addr.sun_path) {
    *error = "no control socket path (VDZ_DEVSIM_CONTROL)";
    return false;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  // A hung simulator must not hang the test.
  timeval tv{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    *error = "connect " + path_ + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  devsim::ControlReply reply = devsim::ExchangeControlLine(fd, command);
  close(fd);
  if (lines)
    *lines = std::move(reply.lines);
  if (!reply.sent) {
    *error = "send failed";
    return false;
  }
  if (!reply.complete) {
    *error = "reply ended without OK or ERR";
    return false;
  }
  if (!reply.ok)
    *error = reply.final_line.size() > 4 ? reply.final_line.substr(4) : reply.final_line;
  return reply.ok;
}

std::vector<DevsimRequest> DevsimControl::RequestLog(uint64_t since_seq) const {
  std::vector<std::string> lines;
  std::vector<DevsimRequest> out;
  if (!Send("log since=" + std::to_string(since_seq), &lines))
    return out;
  for (const std::string& l : lines) {
    auto f = ParseReplyLine(l);
    if (f[""] != "req")
      continue;
    DevsimRequest r;
    r.seq = std::strtoull(f["seq"].c_str(), nullptr, 10);
    r.time = std::strtod(f["t"].c_str(), nullptr);
    const std::string src = f["src"];
    const std::size_t colon = src.rfind(':');
    r.source_ip = src.substr(0, colon);
    r.source_port = colon == std::string::npos ? 0 : std::atoi(src.c_str() + colon + 1);
    r.iface = f["if"];
    r.destination = f["dst"];
    r.length = std::strtoull(f["len"].c_str(), nullptr, 10);
    r.code = std::atoi(f["code"].c_str());
    r.serial = f["sn"] == "-" ? "" : f["sn"];
    r.result = f["result"];
    r.action = f["action"];
    out.push_back(std::move(r));
  }
  return out;
}

namespace {

DevsimDevice DeviceFromLine(const std::string& line) {
  auto f = ParseReplyLine(line);
  DevsimDevice d;
  d.serial = f["sn"];
  d.ip = f["ip"];
  d.mask = f["mask"];
  d.gateway = f["gateway"];
  d.dns1 = f["dns1"];
  d.dns2 = f["dns2"];
  d.dhcp = f["dhcp"] == "1";
  d.factory_ip = f["factory-ip"];
  d.iface = f["if"];
  d.mac = f["mac"];
  d.type = f["type"];
  d.root = f["root"];
  d.state = f["state"];
  d.runtime = std::atoll(f["runtime"].c_str());
  d.ptz_port = std::atoi(f["ptz-port"].c_str());
  d.misbehave = f["misbehave"];
  d.version = f["version"];
  d.sdk_misbehave = f["sdk-misbehave"];
  d.sdk_port = std::atoi(f["sdk-port"].c_str());
  d.sdk_sessions = std::atoi(f["sdk-sessions"].c_str());
  d.sdk_reboots = std::atoi(f["sdk-reboots"].c_str());
  return d;
}

}  // namespace

std::vector<DevsimDevice> DevsimControl::Devices() const {
  std::vector<std::string> lines;
  std::vector<DevsimDevice> out;
  if (!Send("list", &lines))
    return out;
  for (const std::string& l : lines) {
    if (l.rfind("device ", 0) == 0)
      out.push_back(DeviceFromLine(l));
  }
  return out;
}

std::optional<DevsimDevice> DevsimControl::Device(const std::string& serial) const {
  std::vector<std::string> lines;
  if (!Send("get " + devsim::QuoteKvValue(serial), &lines) || lines.empty())
    return std::nullopt;
  return DeviceFromLine(lines.front());
}

}  // namespace vdz::lab
