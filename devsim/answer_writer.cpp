#include "answer_writer.h"

#include <cstdio>

#include "device_documents.h"
#include "protocol/protocol_numbers.h"

namespace vdz::devsim {

using devserver::EscapeAttribute;

namespace {

class ElementWriter {
 public:
  explicit ElementWriter(std::string* out) : out_(out) {}

  void Open(std::string_view name) {
    *out_ += '<';
    *out_ += name;
  }
  void Attr(std::string_view name, std::string_view value) {
    *out_ += ' ';
    *out_ += name;
    *out_ += "=\"";
    *out_ += EscapeAttribute(value);
    *out_ += '"';
  }
  void Attr(std::string_view name, long long value) { Attr(name, std::to_string(value)); }
  void CloseEmpty() { *out_ += " />\n"; }
  void Line(std::string_view text) {
    *out_ += text;
    *out_ += '\n';
  }

 private:
  std::string* out_;
};

std::string HeaderText(std::string_view code) {
  std::string h = "<MESSAGE_HEADER\nMsg_type=\"SYSTEM_SEARCHIPC_MESSAGE\"\nMsg_code=\"";
  h += EscapeAttribute(code);
  h += "\"\nMsg_flag=\"0\"\n/>\n";
  return h;
}

std::string BodyText(const SimDevice& d, int64_t now_ms) {
  std::string b;
  b.reserve(2600);
  ElementWriter w(&b);
  w.Open("IPC_SERIALNUMBER");
  w.Attr("SerialNumber", d.serial);
  w.Attr("OEM_SN", d.oem_sn);
  w.Attr("PLATFORMID", d.platform_id);
  w.Attr("VERSION", d.version);
  w.Attr("AF_VERSION", d.af_version);
  if (!d.p2p_type.empty())
    w.Attr("P2PTYPE", d.p2p_type);
  w.Attr("P2PID", d.p2p_id);
  w.Attr("UUID", d.uuid);
  w.Attr("runtime", d.RuntimeSeconds(now_ms));
  if (d.p2p_status >= 0)
    w.Attr("P2PSTATUS", d.p2p_status);
  w.CloseEmpty();

  w.Open("DEVICE_TYPE");
  w.Attr("DeviceType", d.type);
  w.Attr("OSD", d.osd);
  w.Attr("Channels", 1);
  w.Attr("AlarmIn", 1);
  w.Attr("AlarmOut", 1);
  w.CloseEmpty();

  if (d.rk.present) {
    w.Line("<RK_CONFIG>");
    w.Open("SYSTEM");
    for (std::size_t i = 0; i < kRkFieldNames.size(); ++i)
      w.Attr(kRkFieldNames[i], d.rk.fields[i]);
    w.CloseEmpty();
    w.Line("</RK_CONFIG>");
  }

  w.Open("LANConfig");
  w.Attr("MacAddress", d.mac);
  w.Attr("DHCP", d.net.dhcp ? 1 : 0);
  w.Attr("ALLNET", d.allnet);
  w.Attr("IPAddress", Ipv4Text(d.net.ip));
  w.Attr("Netmask", Ipv4Text(d.net.mask));
  w.Attr("Gateway", Ipv4Text(d.net.gateway));
  w.Attr("DNS1", Ipv4Text(d.net.dns1));
  w.Attr("DNS2", Ipv4Text(d.net.dns2));
  w.Attr("MTU", 1500);
  w.CloseEmpty();

  w.Line("<MediaStreamConfig>");
  w.Open("StreamAccess");
  w.Attr("Auth", d.auth);
  w.Attr("RTPOverRTSP", d.rtp_over_rtsp);
  w.Attr("VideoPort", d.video_port);
  w.Attr("PTZPort", d.ptz_port);
  w.Attr("WEBPort", d.web_port);
  w.Attr("RTSPPath", "/live/ch00_0");
  w.CloseEmpty();
  const struct {
    const char* name;
    int width, height, rate, kbps;
  } streams[] = {{"MainStream", 2560, 1440, 25, 4096}, {"SubStream", 640, 360, 15, 512}};
  for (int i = 0; i < 2; ++i) {
    w.Open("Stream");
    w.Attr("Channel", 0);
    w.Attr("Index", i);
    w.Attr("Name", streams[i].name);
    w.Attr("Codec", i == 0 ? "H.265" : "H.264");
    w.Attr("Width", streams[i].width);
    w.Attr("Height", streams[i].height);
    w.Attr("FrameRate", streams[i].rate);
    w.Attr("BitRate", streams[i].kbps);
    w.Attr("RateControl", "VBR");
    w.Attr("GOP", streams[i].rate * 2);
    w.CloseEmpty();
  }
  w.Line("</MediaStreamConfig>");

  w.Line("<UserConfig>");
  for (const Account& a : d.accounts) {
    w.Open("Account");
    w.Attr("Username", a.user);
    w.Attr("Password", a.password);
    w.Attr("Group", a.group);
    w.Attr("Status", a.status);
    w.CloseEmpty();
  }
  w.Line("</UserConfig>");

  // Blocks the system does not read but real devices send; they give answers their size.
  w.Open("WIFIConfig");
  w.Attr("Enable", 0);
  w.Attr("SSID", "");
  w.Attr("Mode", "STA");
  w.Attr("Security", "WPA2-PSK");
  w.CloseEmpty();
  w.Open("PPPoEConfig");
  w.Attr("Enable", 0);
  w.Attr("Username", "");
  w.Attr("IPAddress", "0.0.0.0");
  w.CloseEmpty();
  w.Open("DDNSConfig");
  w.Attr("Enable", 0);
  w.Attr("Provider", "none");
  w.Attr("Domain", "");
  w.CloseEmpty();
  w.Open("NTPConfig");
  w.Attr("Enable", 1);
  w.Attr("Server", "pool.ntp.org");
  w.Attr("Interval", 60);
  w.Attr("TimeZone", "GMT+08:00");
  w.CloseEmpty();
  w.Open("PortConfig");
  w.Attr("HTTPPort", d.web_port);
  w.Attr("RTSPPort", d.video_port);
  w.Attr("ControlPort", d.ptz_port);
  w.Attr("TerminalPort", 2220);
  w.Attr("SearchPort", proto::kDiscoveryPort);
  w.CloseEmpty();
  w.Open("Capability");
  w.Attr("PTZ", 0);
  w.Attr("Audio", 1);
  w.Attr("Talk", 1);
  w.Attr("SDCard", 1);
  w.Attr("Motion", 1);
  w.Attr("OSDLines", 4);
  w.Attr("MaxUsers", 10);
  w.Attr("Encoders", "H.264,H.265,MJPEG");
  w.CloseEmpty();
  w.Open("ImageConfig");
  w.Attr("Brightness", 50);
  w.Attr("Contrast", 50);
  w.Attr("Saturation", 50);
  w.Attr("Sharpness", 50);
  w.Attr("Mirror", 0);
  w.Attr("Flip", 0);
  w.Attr("DayNight", "auto");
  w.Attr("WDR", 0);
  w.CloseEmpty();
  w.Open("OSDConfig");
  w.Attr("TitleEnable", 1);
  w.Attr("Title", d.osd);
  w.Attr("TimeEnable", 1);
  w.Attr("TimeFormat", "YYYY-MM-DD hh:mm:ss");
  w.Attr("Position", "top-left");
  w.CloseEmpty();
  w.Open("AlarmConfig");
  w.Attr("MotionEnable", 0);
  w.Attr("Sensitivity", 3);
  w.Attr("AlarmInMode", "NO");
  w.Attr("AlarmOutDelay", 10);
  w.CloseEmpty();
  w.Open("HardwareInfo");
  w.Attr("Board", d.type);
  w.Attr("Sensor", "SC4336");
  w.Attr("Flash", "16MB");
  w.Attr("Memory", "128MB");
  w.Attr("Lens", "3.6mm");
  w.CloseEmpty();
  return b;
}

std::string Envelope(std::string_view root, std::string_view header, std::string_view body) {
  std::string t = "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n";
  t += '<';
  t += root;
  t += ">\n";
  t += header;
  t += "<MESSAGE_BODY>\n";
  t += body;
  t += "</MESSAGE_BODY>\n</";
  t += root;
  t += '>';
  return t;
}

}  // namespace

std::string WriteSearchAnswer(const SimDevice& device, int64_t now_ms, std::string_view msg_code) {
  return Envelope(device.lumeriant ? "XML_LUMERIANT" : "XML_VORTAN", HeaderText(msg_code),
                  BodyText(device, now_ms));
}

namespace {

// Removes one block of the answer: from "<name" to its closing tag, or to "/>" when the
// element closes itself, with the line break behind it.
void EraseBlock(std::string* t, const std::string& name) {
  const std::size_t at = t->find("<" + name);
  if (at == std::string::npos)
    return;
  const std::size_t self_close = t->find("/>", at);
  const std::size_t open_end = t->find('>', at);
  std::size_t end = std::string::npos;
  if (self_close != std::string::npos && self_close + 1 == open_end) {
    end = self_close + 2;
  } else {
    const std::string close = "</" + name + ">";
    const std::size_t c = t->find(close, at);
    if (c != std::string::npos)
      end = c + close.size();
  }
  if (end == std::string::npos)
    return;
  if (end < t->size() && (*t)[end] == '\n')
    ++end;
  t->erase(at, end - at);
}

}  // namespace

std::string BuildAnswerDatagram(const SimDevice& d, int64_t now_ms) {
  const Misbehaviour& m = d.misbehave;
  const std::string code = m.wrong_code.empty() ? "3" : m.wrong_code;
  if (m.noroot) {
    std::string t = "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n";
    t += HeaderText(code);
    t += "<MESSAGE_BODY>\n" + BodyText(d, now_ms) + "</MESSAGE_BODY>";
    return t;
  }
  std::string t = WriteSearchAnswer(d, now_ms, code);
  if (m.omit_lan)
    EraseBlock(&t, "LANConfig");
  if (m.omit_stream)
    EraseBlock(&t, "MediaStreamConfig");
  if (m.omit_users)
    EraseBlock(&t, "UserConfig");
  if (m.malformed) {
    // Both root tags stay, so only a real XML parse can notice: the MAC value loses its
    // closing quote.
    const std::string key = "MacAddress=\"";
    const std::size_t at = t.find(key);
    if (at != std::string::npos) {
      const std::size_t close = t.find('"', at + key.size());
      if (close != std::string::npos)
        t.erase(close, 1);
    }
  }
  if (m.oversize && t.size() < kOversizeBytes) {
    const std::string open = "<PADDING Data=\"";
    const std::string close = "\" />\n";
    const std::size_t at = t.find("</MESSAGE_BODY>");
    const std::size_t extra = open.size() + close.size();
    if (at != std::string::npos && t.size() + extra < kOversizeBytes) {
      const std::size_t fill = kOversizeBytes - t.size() - extra;
      t.insert(at, open + std::string(fill, 'P') + close);
    }
  }
  return t;
}

}  // namespace vdz::devsim
