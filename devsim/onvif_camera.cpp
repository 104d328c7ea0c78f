#include "onvif_camera.h"

#include <cstdio>

namespace vdz::devsim {

namespace {

constexpr const char* kModels[] = {"DomeView 4K", "BulletPro 2", "MiniCube", "PanoEye 360"};

std::string Hex(uint64_t v, int digits) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(v));
  return buf;
}

bool ReadSize(const std::string& text, int* w, int* h) {
  int a = 0, b = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &a, &b, &tail) != 2 || a < 64 || b < 40 || a > 4096 ||
      b > 2160 || a % 2 != 0 || b % 2 != 0)
    return false;
  *w = a;
  *h = b;
  return true;
}

bool UsableHost(uint32_t ip, const std::set<uint32_t>& taken) {
  const uint32_t host = ip & 0xff;
  return host != 0 && host != 1 && host != 255 && !taken.count(ip) &&
         UsableDeviceAddress(ip, 0xffffffffu);
}

}  // namespace

std::string WrongPassword(const std::string& site_password) {
  return site_password + "-changed";
}

bool ReadOnvifGenerateOptions(const KvLine& line, OnvifGenerateOptions* o, std::string* error) {
  for (const auto& [key, value] : line.pairs) {
    long long n = 0;
    bool ok = true;
    if (key == "cameras") {
      ok = ParseInt(value, 0, 5000, &n);
      o->cameras = static_cast<int>(n);
    } else if (key == "first-ip") {
      const std::size_t at = value.find('@');
      ok = ParseIpv4(value.substr(0, at), &o->first_ip);
      o->iface = at == std::string::npos ? "" : value.substr(at + 1);
    } else if (key == "serial-prefix") {
      ok = !value.empty() && value.size() <= 20;
      o->serial_prefix = value;
    } else if (key == "maker") {
      ok = !value.empty() && value.size() <= 64;
      o->maker = value;
    } else if (key == "user") {
      ok = !value.empty() && value.size() <= 32;
      o->user = value;
    } else if (key == "password") {
      o->password = value;
    } else if (key == "spread") {
      ok = ParseBool(value, &o->spread);
    } else if (key == "misbehave") {
      OnvifMisbehaviour probe;
      ok = ApplyOnvifMisbehaviour({value}, &probe, error);
      o->misbehave += (o->misbehave.empty() ? "" : ",") + value;
    } else {
      *error = "unknown key " + key;
      return false;
    }
    if (!ok) {
      *error = "bad value for " + key + ": " + value;
      return false;
    }
  }
  return true;
}

OnvifCamera MakeOnvifCamera(int k, uint32_t ip, const OnvifGenerateOptions& o) {
  OnvifCamera c;
  const uint64_t mix = static_cast<uint64_t>(k) * 0x9E3779B97F4A7C15ULL;
  // A version 4 UUID shape, fixed per index so reruns see the same endpoints.
  c.uuid = Hex(0x0d1f0000u + static_cast<uint32_t>(k), 8) + "-" + Hex((mix >> 16) & 0xffff, 4) +
           "-4" + Hex((mix >> 32) & 0xfff, 3) + "-a" + Hex((mix >> 44) & 0xfff, 3) + "-" +
           Hex(static_cast<uint64_t>(k) * 7919 + 0x1000, 12);
  c.maker = o.maker;
  c.model = kModels[k % 4];
  char buf[64];
  std::snprintf(buf, sizeof buf, "V2.%d.%d build 250101", 1 + k % 4, k % 11);
  c.firmware = buf;
  std::snprintf(buf, sizeof buf, "%s%08d", o.serial_prefix.c_str(), k);
  c.serial = buf;
  std::snprintf(buf, sizeof buf, "02:4F:4E:%02X:%02X:%02X", (k >> 16) & 0xff, (k >> 8) & 0xff,
                k & 0xff);
  c.mac = buf;
  std::snprintf(buf, sizeof buf, "HW-%04X", 0x1A00 + k % 4);
  c.hardware_id = buf;
  c.iface = o.iface;
  c.net.ip = ip;
  c.net.mask = 0xffffff00u;
  c.net.gateway = (ip & 0xffffff00u) | 1;
  c.net.dns1 = c.net.gateway;
  c.factory_ip = ip;
  c.users = {{o.user, o.password, "Administrator"}};
  std::string why;
  if (!o.misbehave.empty())
    ApplyOnvifMisbehaviour({o.misbehave}, &c.misbehave, &why);
  constexpr int kWords = static_cast<int>(std::size(kOnvifMisbehaviourWords));
  if (o.spread && k >= 1 && k <= kWords)
    ApplyOnvifMisbehaviour({kOnvifMisbehaviourWords[k - 1]}, &c.misbehave, &why);
  return c;
}

bool GenerateOnvifCameras(const OnvifGenerateOptions& o, std::set<uint32_t>* taken,
                          std::vector<OnvifCamera>* out, std::string* error) {
  uint32_t ip = o.first_ip;
  const int first_index = static_cast<int>(out->size()) + 1;
  for (int i = 0; i < o.cameras; ++i) {
    for (uint32_t tries = 0; !UsableHost(ip, *taken); ++ip) {
      if (++tries > 70000) {
        *error = "no free address after " + Ipv4Text(o.first_ip);
        return false;
      }
    }
    out->push_back(MakeOnvifCamera(first_index + i, ip, o));
    taken->insert(ip);
    ++ip;
  }
  return true;
}

bool ApplyOnvifMisbehaviour(const std::vector<std::string>& words, OnvifMisbehaviour* m,
                            std::string* error) {
  for (const std::string& list : words) {
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t comma = list.find(',', start);
      const std::size_t end = comma == std::string::npos ? list.size() : comma;
      const std::string word = list.substr(start, end - start);
      start = end + 1;
      if (word.empty()) {
        if (comma == std::string::npos)
          break;
        continue;
      }
      const std::size_t eq = word.find('=');
      const std::string name = word.substr(0, eq);
      const std::string value = eq == std::string::npos ? "1" : word.substr(eq + 1);
      bool on = value != "0";
      long long n = 0;
      if (name == "none") {
        *m = OnvifMisbehaviour{};
      } else if (name == "clock-skew") {
        if (!ParseInt(value, -10LL * 365 * 86400, 10LL * 365 * 86400, &n)) {
          *error = "bad clock-skew " + value;
          return false;
        }
        m->clock_skew_s = n;
      } else if (value != "0" && value != "1") {
        *error = "bad misbehaviour " + word;
        return false;
      } else if (name == "soap11") {
        m->soap11 = on;
      } else if (name == "two-xaddrs") {
        m->two_xaddrs = on;
      } else if (name == "delay") {
        m->delay = on;
      } else if (name == "duplicate") {
        m->duplicate = on;
      } else if (name == "no-typeless") {
        m->no_typeless = on;
      } else if (name == "big-match") {
        m->big_match = on;
      } else if (name == "digest-only") {
        m->digest_only = on;
      } else if (name == "wrong-password") {
        m->wrong_password = on;
      } else {
        *error = "unknown misbehaviour " + name;
        return false;
      }
      if (comma == std::string::npos)
        break;
    }
  }
  return true;
}

std::string OnvifMisbehaviourText(const OnvifMisbehaviour& m) {
  std::string t;
  auto add = [&t](bool on, const std::string& word) {
    if (on)
      t += (t.empty() ? "" : ",") + word;
  };
  add(m.soap11, "soap11");
  add(m.two_xaddrs, "two-xaddrs");
  add(m.delay, "delay");
  add(m.duplicate, "duplicate");
  add(m.no_typeless, "no-typeless");
  add(m.big_match, "big-match");
  add(m.digest_only, "digest-only");
  add(m.clock_skew_s != 0, "clock-skew=" + std::to_string(m.clock_skew_s));
  add(m.wrong_password, "wrong-password");
  return t.empty() ? "none" : t;
}

bool ApplyOnvifKeys(const KvLine& line, OnvifCamera* c, std::string* error) {
  auto text = [&](const std::string& v, std::string* out, std::size_t max) {
    *out = v;
    return !v.empty() && v.size() <= max;
  };
  for (const auto& [key, v] : line.pairs) {
    long long n = 0;
    bool ok = true;
    if (key == "ip") {
      ok = ParseIpv4(v, &c->net.ip) && UsableDeviceAddress(c->net.ip, 0xffffffffu);
      c->factory_ip = c->net.ip;
      c->net.gateway = (c->net.ip & 0xffffff00u) | 1;
      c->net.dns1 = c->net.gateway;
    } else if (key == "if") {
      ok = text(v, &c->iface, 15);
    } else if (key == "uuid") {
      ok = text(v, &c->uuid, 64);
    } else if (key == "maker") {
      ok = text(v, &c->maker, 64);
    } else if (key == "model") {
      ok = text(v, &c->model, 64);
    } else if (key == "firmware") {
      ok = text(v, &c->firmware, 64);
    } else if (key == "serial") {
      ok = text(v, &c->serial, 64);
    } else if (key == "mac") {
      ok = text(v, &c->mac, 17);
    } else if (key == "hardware-id") {
      ok = text(v, &c->hardware_id, 64);
    } else if (key == "kind") {
      ok = v == "transmitter" || v == "display";
      c->display = v == "display";
    } else if (key == "user") {
      ok = text(v, &c->users[0].name, 32);
    } else if (key == "password") {
      c->users[0].password = v;
    } else if (key == "http-port" || key == "rtsp-port") {
      ok = ParseInt(v, 1, 65535, &n);
      (key == "http-port" ? c->http_port : c->rtsp_port) = static_cast<int>(n);
    } else if (key == "main") {
      ok = ReadSize(v, &c->main_width, &c->main_height);
    } else if (key == "sub") {
      ok = ReadSize(v, &c->sub_width, &c->sub_height);
    } else if (key == "gateway") {
      ok = ParseIpv4(v, &c->net.gateway);
    } else if (key == "mask") {
      ok = ParseIpv4(v, &c->net.mask) && ValidMask(c->net.mask);
    } else if (key == "misbehave") {
      if (!ApplyOnvifMisbehaviour({v}, &c->misbehave, error))
        return false;
    } else {
      *error = "unknown onvif key " + key;
      return false;
    }
    if (!ok) {
      *error = "bad value for " + key + ": " + v;
      return false;
    }
  }
  return true;
}

bool OnvifMisbehaviourArgs(const KvLine& args, std::string* target, std::string* words,
                           std::string* error) {
  if (args.words.empty()) {
    *error = "onvif-misbehave SERIAL|all WORDS";
    return false;
  }
  *target = args.words[0];
  words->clear();
  for (std::size_t i = 1; i < args.words.size(); ++i)
    *words += (words->empty() ? "" : ",") + args.words[i];
  for (const auto& [key, value] : args.pairs)
    *words += (words->empty() ? "" : ",") + key + "=" + value;
  OnvifMisbehaviour probe;
  if (words->empty()) {
    *error = "onvif-misbehave SERIAL|all WORDS";
    return false;
  }
  return ApplyOnvifMisbehaviour({*words}, &probe, error);
}

bool IsOnvifSiteVerb(const std::string& verb) {
  return verb == "onvif" || verb == "generate-onvif" || verb == "onvif-misbehave";
}

bool ReadOnvifSiteLine(const std::string& verb, const KvLine& rest, std::set<uint32_t>* taken,
                       OnvifSiteLines* out, std::string* error) {
  if (verb == "generate-onvif") {
    OnvifGenerateOptions o;
    return ReadOnvifGenerateOptions(rest, &o, error) &&
           GenerateOnvifCameras(o, taken, &out->cameras, error);
  }
  if (verb == "onvif-misbehave") {
    std::string target, words;
    if (!OnvifMisbehaviourArgs(rest, &target, &words, error))
      return false;
    out->misbehaviour.emplace_back(target, words);
    return true;
  }
  uint32_t ip = 0;
  if (!rest.Get("ip") || !ParseIpv4(*rest.Get("ip"), &ip)) {
    *error = "onvif needs ip=";
    return false;
  }
  if (taken->count(ip)) {
    *error = "address " + Ipv4Text(ip) + " given twice";
    return false;
  }
  OnvifCamera c = MakeOnvifCamera(static_cast<int>(out->cameras.size()) + 1, ip, {});
  if (!ApplyOnvifKeys(rest, &c, error))
    return false;
  for (const OnvifCamera& other : out->cameras) {
    if (other.serial == c.serial || other.uuid == c.uuid) {
      *error = "serial or uuid of " + c.serial + " given twice";
      return false;
    }
  }
  taken->insert(ip);
  out->cameras.push_back(std::move(c));
  return true;
}

}  // namespace vdz::devsim
