// The simulator's control language: one command per line, reply lines ending in OK or ERR.
#include <net/if.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "protocol/protocol_numbers.h"
#include "sdk_device.h"
#include "simulator.h"

namespace vdz::devsim {

namespace {

std::string Err(const std::string& why) {
  return "ERR " + why + "\n";
}

}  // namespace

std::string Simulator::DeviceLine(const SimDevice& d, int64_t now_ms) const {
  return "device sn=" + QuoteKvValue(d.serial) + " ip=" + Ipv4Text(d.net.ip) +
         " mask=" + Ipv4Text(d.net.mask) + " gateway=" + Ipv4Text(d.net.gateway) +
         " dns1=" + Ipv4Text(d.net.dns1) + " dns2=" + Ipv4Text(d.net.dns2) +
         " dhcp=" + (d.net.dhcp ? "1" : "0") + " factory-ip=" + Ipv4Text(d.factory_net.ip) +
         " if=" + d.iface + " mac=" + d.mac + " type=" + QuoteKvValue(d.type) +
         " root=" + (d.lumeriant ? "XML_LUMERIANT" : "XML_VORTAN") +
         " ptz-port=" + std::to_string(d.ptz_port) + " rk=" + (d.rk.present ? "1" : "0") +
         " state=" + (d.Rebooting(now_ms) ? "rebooting" : "up") +
         " runtime=" + std::to_string(d.RuntimeSeconds(now_ms)) +
         " misbehave=" + MisbehaviourText(d.misbehave) + " version=" + QuoteKvValue(d.version) +
         " sdk-port=" + std::to_string(sdk_.Port(d.sdk_id)) +
         " sdk-sessions=" + std::to_string(sdk_.SessionCount(d.sdk_id)) +
         " sdk-misbehave=" + SdkMisbehaviourText(d.sdk_misbehave) +
         " sdk-reboots=" + std::to_string(d.sdk_reboots) + "\n";
}

std::string Simulator::SnapshotCommand(KvLine& args) {
  const bool set = !args.words.empty() && args.words.size() == 2;
  if (set && args.words[1] != "none" && args.words[1] != "never" && args.words[1] != "late" &&
      args.words[1] != "refuse" && args.words[1] != "hostile-path") {
    return Err("snapshot-fault SERIAL|all none|never|late|refuse|hostile-path");
  }
  const std::string target = args.words.empty() ? "all" : args.words[0];
  std::string out;
  for (const SimDevice& d : devices_) {
    if (target != "all" && target != d.serial)
      continue;
    SnapshotState& st = snapshots_[d.serial];
    if (set) {
      st.fault = args.words[1];
      sdk_.RefuseSystemCommand(d.sdk_id, proto::kCmdSnapshot, st.fault == "refuse");
      continue;
    }
    out += "snapshots sn=" + QuoteKvValue(d.serial) + " fault=" + st.fault +
           " requests=" + std::to_string(sdk_.SystemControlCount(d.sdk_id, proto::kCmdSnapshot)) +
           " taken=" + std::to_string(st.taken) + "\n";
  }
  return out + "OK\n";
}

std::string Simulator::TerminalCommand(const std::string& verb, KvLine& args) {
  TerminalFault fault = TerminalFault::kNone;
  if (verb == "terminal-fault" &&
      (args.words.size() != 2 || !ParseTerminalFault(args.words[1], &fault))) {
    return Err("terminal-fault SERIAL|all none|silent|late|oversize|split|ord-ok|other-ord|close");
  }
  if (verb == "terminal-get" && args.words.size() != 1)
    return Err("terminal-get SERIAL");
  const std::string target = args.words[0];
  std::string out;
  int n = 0;
  for (const SimDevice& d : devices_) {
    if (target != "all" && target != d.serial)
      continue;
    ++n;
    if (verb == "terminal-fault") {
      terminal_.SetFault(d.serial, fault);
    } else {
      out += "terminal sn=" + QuoteKvValue(d.serial) + " " + terminal_.Describe(d.serial) + "\n";
    }
  }
  if (n == 0)
    return Err("no device " + target);
  return out + "OK\n";
}

std::string Simulator::SdkCommand(const std::string& verb, KvLine& args) {
  const std::string target = args.words.empty() ? "all" : args.words[0];
  devserver::Misbehaviour mode = devserver::Misbehaviour::kNone;
  if (verb == "sdk-misbehave" &&
      (args.words.size() != 2 || !ParseSdkMisbehaviour(args.words[1], &mode))) {
    return Err(
        "sdk-misbehave SERIAL|all "
        "none|refuse-logins|silent|drop-line|garbage|huge-length|close-mid-frame|hold-logins|"
        "mute-after-login");
  }
  devserver::TransferFault fault = devserver::TransferFault::kNone;
  if (verb == "sdk-transfer-fault" &&
      (args.words.size() != 2 || !ParseTransferFault(args.words[1], &fault))) {
    return Err(
        "sdk-transfer-fault SERIAL|all "
        "none|refuse-image|drop-mid-transfer|no-end|stall|garbage-acks|huge-file");
  }
  long long number = 0;
  if ((verb == "sdk-bandwidth" || verb == "sdk-write-ms") &&
      (args.words.size() != 2 || !ParseInt(args.words[1], 0, 1LL << 40, &number))) {
    return Err(verb + " SERIAL|all N (bytes per second, 0 no limit; or milliseconds)");
  }
  std::string out;
  int n = 0, sessions = 0, connections = 0;
  for (SimDevice& d : devices_) {
    if (target != "all" && target != d.serial)
      continue;
    ++n;
    if (verb == "sdk-misbehave") {
      SetSdkMisbehaviour(d, mode);
      continue;
    }
    if (verb == "sdk-transfer-fault") {
      sdk_.SetTransferFault(d.sdk_id, fault);
      continue;
    }
    if (verb == "sdk-bandwidth") {
      sdk_.SetBandwidthCap(d.sdk_id, number);
      continue;
    }
    if (verb == "sdk-write-ms") {
      sdk_.SetUpgradeWriteMs(d.sdk_id, static_cast<int>(std::min(number, 3600000LL)));
      continue;
    }
    const int s = sdk_.SessionCount(d.sdk_id);
    const int c = sdk_.ConnectionCount(d.sdk_id);
    sessions += s;
    connections += c;
    out += "sdk sn=" + QuoteKvValue(d.serial) + " sessions=" + std::to_string(s) +
           " connections=" + std::to_string(c) + "\n";
  }
  if (n == 0 && target != "all")
    return Err("no device " + target);
  if (verb == "sdk-sessions") {
    out += "sdk-total devices=" + std::to_string(n) + " sessions=" + std::to_string(sessions) +
           " connections=" + std::to_string(connections) + "\n";
  }
  return out + "OK\n";
}

bool Simulator::ApplyConfig(const KvLine& args, std::string* error) {
  for (const auto& [key, v] : args.pairs) {
    long long n = 0;
    if (key == "reboot-silence") {
      double s = 0;
      if (!ParseDouble(v, 0, 3600, &s)) {
        *error = "bad reboot-silence " + v;
        return false;
      }
      options_.reboot_silence_ms = static_cast<int>(s * 1000);
    } else if (key == "answer-rate" && ParseInt(v, 0, 10000000, &n)) {
      options_.answer_rate = static_cast<int>(n);
    } else if (key == "burst" && ParseInt(v, 1, 100000, &n)) {
      options_.answer_burst = static_cast<int>(n);
    } else if (key == "burst-mode" && ParseInt(v, 0, 1, &n)) {
      options_.burst_mode = n == 1;
    } else if (key == "seed" && ParseInt(v, 0, 0xffffffffLL, &n)) {
      rng_.seed(static_cast<uint32_t>(n));
    } else {
      *error = "bad config " + key + "=" + v;
      return false;
    }
  }
  ConfigureSender();
  return true;
}

std::string Simulator::ConfigCommand(const KvLine& args) {
  std::string why;
  if (!ApplyConfig(args, &why))
    return Err(why);
  char silence[32];
  std::snprintf(silence, sizeof silence, "%g", options_.reboot_silence_ms / 1000.0);
  return std::string("config reboot-silence=") + silence +
         " answer-rate=" + std::to_string(options_.answer_rate) +
         " burst=" + std::to_string(options_.answer_burst) +
         " burst-mode=" + (options_.burst_mode ? "1" : "0") + "\nOK\n";
}

std::string Simulator::HostCommand(const KvLine& args) {
  const std::string sub = args.words.size() > 0 ? args.words[0] : "list";
  if (sub == "list") {
    std::string out;
    for (const auto& [ip, where] : hosts_)
      out += "host ip=" + Ipv4Text(ip) + " if=" + where.second + "\n";
    return out + "OK\n";
  }
  uint32_t ip = 0;
  if (args.words.size() < 2 || !ParseIpv4(args.words[1], &ip))
    return Err("host add|del IP [if=NAME]");
  if (sub == "del") {
    const auto it = hosts_.find(ip);
    if (it == hosts_.end())
      return Err("no host " + args.words[1]);
    netlink_.Remove(it->second.first, ip);
    hosts_.erase(it);
    return "OK\n";
  }
  if (sub != "add")
    return Err("host add|del|list");
  SimDevice probe;
  probe.net.ip = ip;
  probe.iface = args.Get("if").value_or("");
  probe.serial = "host " + args.words[1];
  std::string why;
  if (AddressTaken(ip, nullptr))
    return Err("address " + args.words[1] + " is in use");
  if (!ResolveIface(&probe, &why))
    return Err(why);
  if (const int e = netlink_.Add(probe.ifindex, ip); e != 0) {
    return Err("add " + args.words[1] + ": " + std::strerror(-e));
  }
  hosts_[ip] = {probe.ifindex, probe.iface};
  return "OK\n";
}

std::string Simulator::Command(const std::string& raw, bool* shutdown) {
  std::string why;
  std::optional<KvLine> parsed = ParseKvLine(raw, &why);
  if (!parsed)
    return Err(why);
  if (parsed->words.empty())
    return Err("empty command");
  const std::string verb = parsed->words.front();
  KvLine args = *parsed;
  args.words.erase(args.words.begin());
  const int64_t now_ms = MonotonicUs() / 1000;

  if (verb == "ping")
    return "pong\nOK\n";
  if (verb == "info") {
    int rebooting = 0;
    for (const SimDevice& d : devices_)
      rebooting += d.Rebooting(now_ms) ? 1 : 0;
    return "info devices=" + std::to_string(devices_.size()) +
           " rebooting=" + std::to_string(rebooting) + " hosts=" + std::to_string(hosts_.size()) +
           " queued=" + std::to_string(sender_.queued()) +
           " sent=" + std::to_string(sender_.sent()) +
           " send-errors=" + std::to_string(sender_.errors()) +
           " overflowed=" + std::to_string(sender_.overflowed()) +
           " requests=" + std::to_string(log_.entries().empty() ? 0 : log_.entries().back().seq) +
           " default-if=" + options_.default_iface + "\nOK\n";
  }
  if (verb == "list") {
    std::string out;
    out.reserve(devices_.size() * 300);
    for (const SimDevice& d : devices_)
      out += DeviceLine(d, now_ms);
    return out + "OK\n";
  }
  if (verb == "get") {
    if (args.words.empty())
      return Err("get SERIAL");
    const auto it = by_serial_.find(args.words[0]);
    if (it == by_serial_.end())
      return Err("no device " + args.words[0]);
    return DeviceLine(devices_[it->second], now_ms) + "OK\n";
  }
  if (verb == "log") {
    if (!args.words.empty() && args.words[0] == "clear") {
      log_.Clear();
      return "OK\n";
    }
    long long since = 0;
    if (const auto s = args.Get("since"); s && !ParseInt(*s, 0, 1LL << 62, &since)) {
      return Err("bad since");
    }
    std::string out;
    for (const RequestLogEntry& e : log_.entries()) {
      if (e.seq > static_cast<uint64_t>(since))
        out += FormatRequestLogEntry(e) + "\n";
    }
    return out + "OK\n";
  }
  if (verb == "add") {
    if (!args.Get("sn") || !args.Get("ip"))
      return Err("add sn=SERIAL ip=ADDRESS [keys...]");
    uint32_t ip = 0;
    if (!ParseIpv4(*args.Get("ip"), &ip))
      return Err("bad ip");
    SimDevice d = MakeDevice(static_cast<int>(devices_.size()) + 1, ip, GenerateOptions{}, now_ms);
    if (!ApplyDeviceKeys(args, now_ms, &d, &why) || !AddDevice(std::move(d), &why))
      return Err(why);
    return DeviceLine(devices_.back(), now_ms) + "OK\n";
  }
  if (verb == "remove") {
    if (args.words.empty())
      return Err("remove SERIAL");
    const auto it = by_serial_.find(args.words[0]);
    if (it == by_serial_.end())
      return Err("no device " + args.words[0]);
    RemoveDevice(it->second);
    return "OK\n";
  }
  if (verb == "reset") {
    if (args.words.empty())
      return Err("reset SERIAL|all");
    int n = 0;
    for (SimDevice& d : devices_) {
      if (args.words[0] == "all" || args.words[0] == d.serial) {
        ResetDevice(d);
        ++n;
      }
    }
    if (n == 0)
      return Err("no device " + args.words[0]);
    return "OK\n";
  }
  if (verb == "misbehave") {
    if (args.words.empty())
      return Err("misbehave SERIAL|all MODES...");
    const std::string target = args.words[0];
    args.words.erase(args.words.begin());
    Misbehaviour probe;
    if (!ApplyMisbehaviour(args, &probe, &why))
      return Err(why);
    int n = 0;
    for (SimDevice& d : devices_) {
      if (target == "all" || target == d.serial) {
        ApplyMisbehaviour(args, &d.misbehave, &why);
        ++n;
      }
    }
    if (n == 0)
      return Err("no device " + target);
    return "OK\n";
  }
  if (verb == "site" || verb == "load") {
    Site site;
    if (verb == "site" && !args.words.empty() && args.words[0] == "initial") {
      site = initial_site_;
    } else if (verb == "site") {
      GenerateOptions o;
      if (!ReadGenerateOptions(args, &o, &why) ||
          !GenerateDevices(o, options_.reserved, now_ms, &site.devices, &why)) {
        return Err(why);
      }
    } else {
      if (args.words.empty())
        return Err("load PATH");
      std::ifstream in(args.words[0]);
      if (!in)
        return Err("cannot read " + args.words[0]);
      std::stringstream text;
      text << in.rdbuf();
      if (!ReadSiteText(text.str(), options_.reserved, now_ms, &site, &why))
        return Err(why);
    }
    if (!LoadSite(std::move(site), &why))
      return Err(why);
    return "info devices=" + std::to_string(devices_.size()) + "\nOK\n";
  }
  if (verb == "host")
    return HostCommand(args);
  if (verb == "sdk-misbehave" || verb == "sdk-sessions" || verb == "sdk-transfer-fault" ||
      verb == "sdk-bandwidth" || verb == "sdk-write-ms")
    return SdkCommand(verb, args);
  if (verb == "talk" || verb == "talk-fault" || verb == "audio-files")
    return TalkCommand(verb, args);
  if (verb == "sdk-document" || verb == "sdk-system" || verb == "sdk-clock" ||
      verb == "sdk-refuse-settings" || verb == "sdk-refuse-system" || verb == "sdk-refuse-value")
    return SdkSettingsCommand(verb, args);
  if (verb == "snapshot-fault" || verb == "snapshots")
    return SnapshotCommand(args);
  if (verb == "terminal-fault" || verb == "terminal-get")
    return TerminalCommand(verb, args);
  if (verb == "config")
    return ConfigCommand(args);
  if (std::optional<std::string> reply = onvif_->Command(verb, args))
    return *reply;
  if (verb == "rtsp" || verb == "ptz-log")
    return MediaCommand(verb, args);
  if (verb == "shutdown" || verb == "quit") {
    *shutdown = true;
    return "OK\n";
  }
  return Err("unknown command " + verb);
}

}  // namespace vdz::devsim
