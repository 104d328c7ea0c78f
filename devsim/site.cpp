#include "site.h"

#include <cstdarg>
#include <cstdio>
#include <sstream>

#include "sdk_device.h"

namespace vdz::devsim {

namespace {

constexpr const char* kAcceptedTypes[] = {"IPC_NVS_RK3516", "IPC_NVS_RK3588", "IPC_DVS_SIP_V2",
                                          "NVR_AIO_8CH", "DEC_MCK2_4K"};
// No class text at all (dropped with a log line), and a class without a family (dropped
// silently).
constexpr const char* kDroppedTypes[] = {"IPC_CAM_RK3516", "IPC_NVS_HI3518"};

__attribute__((format(printf, 1, 2))) std::string Format(const char* fmt, ...) {
  char buf[128];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

bool ReadAddressGroup(const std::string& text, AddressGroup* g) {
  const std::size_t at = text.find('@');
  g->iface = at == std::string::npos ? "" : text.substr(at + 1);
  return ParseIpv4(text.substr(0, at), &g->first_ip);
}

}  // namespace

bool ReadGenerateOptions(const KvLine& line, GenerateOptions* o, std::string* error) {
  long long n = 0;
  bool b = false;
  for (const auto& [key, value] : line.pairs) {
    bool ok = true;
    if (key == "devices") {
      ok = ParseInt(value, 0, 5000, &n);
      o->devices = static_cast<int>(n);
    } else if (key == "first-ip") {
      continue;  // collected below, may repeat
    } else if (key == "serial-prefix") {
      ok = value.size() <= 20;
      o->serial_prefix = value;
    } else if (key == "start-index") {
      ok = ParseInt(value, 0, 99999999, &n);
      o->start_index = static_cast<int>(n);
    } else if (key == "mixed-types") {
      ok = ParseBool(value, &b);
      o->mixed_types = b;
    } else if (key == "with-rk") {
      ok = ParseBool(value, &b);
      o->with_rk = b;
    } else if (key == "lumeriant-every") {
      ok = ParseInt(value, 0, 1000000, &n);
      o->lumeriant_every = static_cast<int>(n);
    } else if (key == "password") {
      o->password = value;
    } else if (key == "mask") {
      ok = ParseIpv4(value, &o->mask) && ValidMask(o->mask);
    } else {
      if (error)
        *error = "unknown key " + key;
      return false;
    }
    if (!ok) {
      if (error)
        *error = "bad value for " + key + ": " + value;
      return false;
    }
  }
  const std::vector<std::string> firsts = line.GetAll("first-ip");
  if (!firsts.empty())
    o->groups.clear();
  for (const std::string& f : firsts) {
    AddressGroup g;
    if (!ReadAddressGroup(f, &g)) {
      if (error)
        *error = "bad first-ip " + f;
      return false;
    }
    o->groups.push_back(g);
  }
  return true;
}

SimDevice MakeDevice(int k, uint32_t ip, const GenerateOptions& o, int64_t now_ms) {
  SimDevice d;
  d.serial = o.serial_prefix + Format("%08d", k);
  d.mac = Format("02:56:44:%02X:%02X:%02X", (k >> 16) & 0xff, (k >> 8) & 0xff, k & 0xff);
  if (o.mixed_types && k % 5 == 0) {
    d.type = kDroppedTypes[(k / 5) % 2];
  } else {
    d.type = kAcceptedTypes[k % 5];
  }
  if (k % 10 == 3) {
    d.osd = "\xC9\xE3\xCF\xF1\xBB\xFA-" + std::to_string(k);  // a GBK title
  } else {
    d.osd = Format("IPC-%04d", k);
  }
  d.version = Format("V5.%d.%d build 240312", 2 + k % 3, k % 17);
  d.af_version = Format("AF_1.0.%d", k % 9);
  d.uuid = Format("5a1e%08llx%012x", (k * 2654435761LL) & 0xffffffffLL, k);
  d.oem_sn = Format("OEM%08d", k);
  d.platform_id = Format("PLT-%06d", k % 1000000);
  switch (k % 4) {
    case 0:  // 32 characters: read as type 1 when no type is given
      d.p2p_id =
          Format("%016llx%016x", static_cast<unsigned long long>(k) * 0x9E3779B97F4A7C15ULL, k);
      break;
    case 1:  // 20 characters with "qmws": type 9
      d.p2p_id = "qmws" + Format("%016d", k);
      break;
    case 2:
      d.p2p_id = Format("dev%06d@p2p.example", k);
      d.p2p_type = "3";
      break;
    default:
      break;
  }
  d.p2p_status = k % 3 == 0 ? 1 : -1;
  d.lumeriant = o.lumeriant_every > 0 && k % o.lumeriant_every == 0;
  d.net.ip = ip;
  d.net.mask = o.mask;
  d.net.gateway = (ip & 0xffffff00u) | 1;
  d.net.dns1 = d.net.gateway;
  d.net.dns2 = 0;
  d.factory_net = d.net;
  d.accounts[0] = {"admin", o.password, "Administrator", "Enable"};
  d.accounts[1] = {"user", "user123", "User", "Enable"};
  d.ptz_port = 5000 + k % 100;
  // Some devices serve their web page on 8080, as sites behind one router do.
  d.web_port = k % 5 == 2 ? 8080 : 80;
  if (o.with_rk) {
    d.rk.present = true;
    d.rk.fields = {
        "2", std::to_string(1000 + k), "8000", "ROOM" + std::to_string(k), Ipv4Text(d.net.gateway),
        "",  Ipv4Text(d.net.gateway)};
  }
  d.factory_rk = d.rk;
  const int64_t runtime_s = 3600 + (static_cast<int64_t>(k) * 3779) % 250000;
  d.boot_ms = now_ms - runtime_s * 1000;
  return d;
}

bool GenerateDevices(const GenerateOptions& o, const std::set<uint32_t>& reserved, int64_t now_ms,
                     std::vector<SimDevice>* out, std::string* error) {
  std::vector<AddressGroup> groups = o.groups;
  if (groups.empty())
    groups.push_back({0xC0A8010Au, ""});  // 192.168.1.10
  std::set<uint32_t> taken = reserved;
  for (const SimDevice& d : *out)
    taken.insert(d.net.ip);
  const int per = o.devices / static_cast<int>(groups.size());
  const int rest = o.devices % static_cast<int>(groups.size());
  int index = o.start_index;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int count = per + (static_cast<int>(g) < rest ? 1 : 0);
    uint32_t ip = groups[g].first_ip;
    for (int i = 0; i < count; ++i) {
      uint32_t tries = 0;
      while ((ip & 0xff) == 0 || (ip & 0xff) == 1 || (ip & 0xff) == 255 || taken.count(ip) ||
             !UsableDeviceAddress(ip, 0xffffffffu)) {
        ++ip;
        if (++tries > 70000) {
          if (error)
            *error = "no free address after " + Ipv4Text(groups[g].first_ip);
          return false;
        }
      }
      SimDevice d = MakeDevice(index++, ip, o, now_ms);
      d.iface = groups[g].iface;
      taken.insert(ip);
      out->push_back(std::move(d));
      ++ip;
    }
  }
  return true;
}

namespace {

bool SetIp(const std::string& v, uint32_t* out) {
  return ParseIpv4(v, out);
}

bool SetPort(const std::string& v, int* out) {
  long long n = 0;
  if (!ParseInt(v, 0, 65535, &n))
    return false;
  *out = static_cast<int>(n);
  return true;
}

}  // namespace

bool ApplyDeviceKeys(const KvLine& line, int64_t now_ms, SimDevice* d, std::string* error) {
  for (const auto& [key, v] : line.pairs) {
    bool ok = true;
    long long n = 0;
    bool b = false;
    if (key == "sn") {
      ok = !v.empty() && v.size() <= 63;
      d->serial = v;
    } else if (key == "ip") {
      ok = SetIp(v, &d->net.ip) && UsableDeviceAddress(d->net.ip, 0xffffffffu);
    } else if (key == "mask") {
      ok = SetIp(v, &d->net.mask) && ValidMask(d->net.mask);
    } else if (key == "gateway") {
      ok = SetIp(v, &d->net.gateway);
    } else if (key == "dns1") {
      ok = SetIp(v, &d->net.dns1);
    } else if (key == "dns2") {
      ok = SetIp(v, &d->net.dns2);
    } else if (key == "dhcp") {
      ok = ParseBool(v, &b);
      d->net.dhcp = b;
    } else if (key == "mac") {
      d->mac = v;
    } else if (key == "type") {
      d->type = v;
    } else if (key == "osd") {
      d->osd = v;
    } else if (key == "version") {
      d->version = v;
    } else if (key == "af-version") {
      d->af_version = v;
    } else if (key == "uuid") {
      d->uuid = v;
    } else if (key == "oem-sn") {
      d->oem_sn = v;
    } else if (key == "platform-id") {
      d->platform_id = v;
    } else if (key == "p2p-id") {
      d->p2p_id = v;
    } else if (key == "p2p-type") {
      d->p2p_type = v;
    } else if (key == "p2p-status") {
      ok = ParseInt(v, -1, 1000, &n);
      d->p2p_status = static_cast<int>(n);
    } else if (key == "runtime") {
      ok = ParseInt(v, 0, 2000000000, &n);
      d->boot_ms = now_ms - n * 1000;
    } else if (key == "user") {
      d->accounts[0].user = v;
    } else if (key == "password") {
      d->accounts[0].password = v;
    } else if (key == "video-port") {
      ok = SetPort(v, &d->video_port);
    } else if (key == "sdk-password") {
      ok = v.size() < 40;
      d->sdk_password = v;
    } else if (key == "ptz-port") {
      ok = SetPort(v, &d->ptz_port);
    } else if (key == "web-port") {
      ok = SetPort(v, &d->web_port);
    } else if (key == "auth") {
      ok = ParseInt(v, -100000, 100000, &n);
      d->auth = static_cast<int>(n);
    } else if (key == "allnet") {
      ok = ParseInt(v, -32768, 32767, &n);
      d->allnet = static_cast<int>(n);
    } else if (key == "root") {
      ok = v == "XML_VORTAN" || v == "XML_LUMERIANT";
      d->lumeriant = v == "XML_LUMERIANT";
    } else if (key == "if") {
      d->iface = v;
    } else if (key == "rk") {
      ok = ParseBool(v, &b);
      d->rk.present = b;
    } else if (key.rfind("rk-", 0) == 0) {
      ok = false;
      for (std::size_t i = 0; i < kRkFieldNames.size(); ++i) {
        std::string lower = kRkFieldNames[i];
        for (char& c : lower)
          c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (key == "rk-" + lower) {
          d->rk.present = true;
          d->rk.fields[i] = v.substr(0, kRkFieldMax);
          ok = true;
        }
      }
    } else {
      if (error)
        *error = "unknown key " + key;
      return false;
    }
    if (!ok) {
      if (error)
        *error = "bad value for " + key + ": " + v;
      return false;
    }
  }
  d->factory_net = d->net;
  d->factory_rk = d->rk;
  return true;
}

bool ApplyMisbehaviour(const KvLine& line, Misbehaviour* m, std::string* error) {
  auto set_switch = [&](const std::string& name, const std::string* value) -> bool {
    bool on = true;
    if (value && !ParseBool(*value, &on))
      return false;
    if (name == "twice") {
      m->twice = on;
    } else if (name == "wrong-addr") {
      m->wrong_addr = on;
    } else if (name == "malformed") {
      m->malformed = on;
    } else if (name == "noroot") {
      m->noroot = on;
    } else if (name == "oversize") {
      m->oversize = on;
    } else if (name == "omit-lan") {
      m->omit_lan = on;
    } else if (name == "omit-stream") {
      m->omit_stream = on;
    } else if (name == "omit-users") {
      m->omit_users = on;
    } else {
      return false;
    }
    return true;
  };
  for (const std::string& w : line.words) {
    if (w == "none") {
      *m = Misbehaviour{};
    } else if (w == "wrong-code") {
      m->wrong_code.assign(1, '4');
    } else if (!set_switch(w, nullptr)) {
      if (error)
        *error = "unknown misbehaviour " + w;
      return false;
    }
  }
  for (const auto& [key, v] : line.pairs) {
    bool ok = true;
    if (key == "drop") {
      ok = ParseDouble(v, 0.0, 1.0, &m->drop);
    } else if (key == "delay") {
      long long n = 0;
      ok = ParseInt(v, 0, 60000, &n);
      m->delay_ms = static_cast<int>(n);
    } else if (key == "wrong-code") {
      ok = v.size() <= 32 && v != "3";
      m->wrong_code = v == "0" ? "" : v;
      if (v == "0")
        ok = true;
    } else if (key == "sn") {
      continue;
    } else {
      ok = set_switch(key, &v);
    }
    if (!ok) {
      if (error)
        *error = "bad misbehaviour " + key + "=" + v;
      return false;
    }
  }
  return true;
}

std::string MisbehaviourText(const Misbehaviour& m) {
  if (!m.Any())
    return "none";
  std::string t;
  auto add = [&t](const std::string& w) {
    if (!t.empty())
      t += ',';
    t += w;
  };
  if (m.drop > 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "drop=%g", m.drop);
    add(buf);
  }
  if (m.twice)
    add("twice");
  if (m.wrong_addr)
    add("wrong-addr");
  if (m.malformed)
    add("malformed");
  if (m.noroot)
    add("noroot");
  if (m.oversize)
    add("oversize");
  if (!m.wrong_code.empty())
    add("wrong-code=" + m.wrong_code);
  if (m.delay_ms > 0)
    add("delay=" + std::to_string(m.delay_ms));
  if (m.omit_lan)
    add("omit-lan");
  if (m.omit_stream)
    add("omit-stream");
  if (m.omit_users)
    add("omit-users");
  return t;
}

bool ReadSiteText(const std::string& text, const std::set<uint32_t>& reserved, int64_t now_ms,
                  Site* site, std::string* error) {
  std::istringstream in(text);
  std::string raw;
  int line_no = 0;
  int next_index = 1;
  auto fail = [&](const std::string& why) {
    if (error)
      *error = "line " + std::to_string(line_no) + ": " + why;
    return false;
  };
  while (std::getline(in, raw)) {
    ++line_no;
    std::string why;
    const std::optional<KvLine> line = ParseKvLine(raw, &why);
    if (!line)
      return fail(why);
    if (line->words.empty() && line->pairs.empty())
      continue;
    if (line->words.empty())
      return fail("line starts with key=value, not a verb");
    const std::string verb = line->words.front();
    KvLine rest = *line;
    rest.words.erase(rest.words.begin());
    if (verb == "generate") {
      GenerateOptions o;
      o.start_index = next_index;
      if (!ReadGenerateOptions(rest, &o, &why))
        return fail(why);
      if (!GenerateDevices(o, reserved, now_ms, &site->devices, &why))
        return fail(why);
      next_index = o.start_index + o.devices;
    } else if (verb == "device") {
      if (!rest.Get("sn") || !rest.Get("ip"))
        return fail("device needs sn= and ip=");
      uint32_t ip = 0;
      ParseIpv4(*rest.Get("ip"), &ip);
      SimDevice d = MakeDevice(next_index++, ip, GenerateOptions{}, now_ms);
      if (!ApplyDeviceKeys(rest, now_ms, &d, &why))
        return fail(why);
      site->devices.push_back(std::move(d));
    } else if (verb == "host") {
      SiteHost h;
      if (!rest.Get("ip") || !ParseIpv4(*rest.Get("ip"), &h.ip))
        return fail("host needs ip=");
      h.iface = rest.Get("if").value_or("");
      site->hosts.push_back(h);
    } else if (verb == "misbehave") {
      if (rest.words.empty() && !rest.Get("sn"))
        return fail("misbehave needs sn=SERIAL or all");
      SiteMisbehaviour sm;
      if (rest.Get("sn")) {
        sm.target = *rest.Get("sn");
      } else {
        sm.target = rest.words.front();
        rest.words.erase(rest.words.begin());
      }
      Misbehaviour probe;
      if (!ApplyMisbehaviour(rest, &probe, &why))
        return fail(why);
      sm.modes = rest;
      site->misbehaviour.push_back(sm);
    } else if (verb == "sdk-misbehave") {
      devserver::Misbehaviour probe{};
      if (rest.words.size() != 2 || !ParseSdkMisbehaviour(rest.words[1], &probe))
        return fail("sdk-misbehave SERIAL|all MODE");
      site->sdk_misbehaviour.push_back({rest.words[0], probe});
    } else if (verb == "config") {
      site->config.push_back(rest);
    } else if (IsOnvifSiteVerb(verb)) {
      std::set<uint32_t> taken = reserved;
      for (const SimDevice& d : site->devices)
        taken.insert(d.net.ip);
      for (const OnvifCamera& c : site->onvif.cameras)
        taken.insert(c.net.ip);
      if (!ReadOnvifSiteLine(verb, rest, &taken, &site->onvif, &why))
        return fail(why);
    } else {
      return fail("unknown verb " + verb);
    }
  }
  std::set<std::string> serials;
  std::set<uint32_t> ips;
  for (const SimDevice& d : site->devices) {
    if (!serials.insert(d.serial).second)
      return fail("serial " + d.serial + " given twice");
    if (!ips.insert(d.net.ip).second)
      return fail("address " + Ipv4Text(d.net.ip) + " given twice");
  }
  return true;
}

}  // namespace vdz::devsim
