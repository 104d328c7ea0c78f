#include "devconfig/settings_documents.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "devconfig/decimal_text.h"
#include "devconfig/xml_escape.h"
#include "devconfig/xml_printer.h"
#include "shell/text_codec.h"

namespace vdz {
namespace {

std::string Num(long long value) {
  return std::to_string(value);
}

std::string Escaped(std::string_view value) {
  return EscapeXmlAttribute(value);
}

}  // namespace

OverlayPositions PositionsFromCode(int code) {
  return {(code >> 12) & 0xF, (code >> 8) & 0xF, (code >> 4) & 0xF, code & 0xF};
}

std::string ComposeTitle(const TitleOverlayValues& values, std::string_view device_type,
                         std::string_view ip, std::string_view serial) {
  std::string title = values.title;
  if (values.add_model) {
    std::string model(device_type);
    static constexpr std::string_view kPrefix = "NVS-IPCAM-";
    for (std::size_t at = model.find(kPrefix); at != std::string::npos; at = model.find(kPrefix))
      model.erase(at, kPrefix.size());
    title.append("[").append(model).append("]");
  }
  if (values.add_ip)
    title += ip;
  if (values.add_serial)
    title.append("[").append(serial).append("]");
  return title;
}

std::string HexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

std::string BuildTitleOverlayDocument(const TitleOverlayValues& v, std::string_view title) {
  const std::string narrow = Utf8ToAnsi(title);
  // The devices read TitleUtf8 as the narrow title taken back to UTF-8, so a character the
  // code page cannot hold is the same "?" in both.
  const std::string utf8 = AnsiToUtf8(narrow);
  const OverlayPositions p = PositionsFromCode(v.position_code);
  std::string d = "<Overlay\tEnable=\"" + Num(v.enable) + "\" Transparency=\"" +
                  Num(v.overlay_info) + "\" Style=\"" + Num(v.style) + "\" Fontsize=\"" +
                  Num(v.font_size) + "\" Week=\"" + Num(v.show_weekday) + "\" > ";
  d += "\t\t\t\t\t\t  <TimeOverlay PosX=\"" + Num(p.time_x) + "\" PosY=\"" + Num(p.time_y) +
       "\"\tFormat=\"yyyy-mm-dd hh:mm:ss\" /> ";
  d += "\t\t\t\t\t\t  <TitleOverlay PosX=\"" + Num(p.title_x) + "\" PosY=\"" + Num(p.title_y) +
       "\"\tTitle=\"" + HexBytes(narrow) + "\" TitleUtf8=\"" + HexBytes(utf8) + "\"/> </Overlay>";
  return d;
}

std::string IncrementedAccount(std::string_view account, int n) {
  const std::size_t comma = account.find(',');
  const std::string number(account.substr(0, comma));
  std::string result = Num(static_cast<long long>(ParseDecimal(number.c_str())) + n);
  if (comma != std::string_view::npos)
    result += account.substr(comma);
  return result;
}

std::string BuildPlatformDocument(const PlatformValues& v, std::string_view account) {
  return "<PlatformConfig>\t <VortanConfig Enable=\"" + Num(v.enable ? 1 : 0) + "\" Server=\"" +
         Escaped(v.server) + "\" Port=\"" + Num(v.port) + "\" Username=\"" + Escaped(account) +
         "\" Password=\"" + Escaped(v.password) + "\" PlayTone=\"" + Num(v.play_tone ? 1 : 0) +
         "\"/> </PlatformConfig>\r\n";
}

std::string BuildDeviceLanguageDocument(std::string_view language) {
  return "<MiscConfig Language=\"" + Escaped(language) + "\" />";
}

std::string BuildMotionDocument(int enable, int sensitivity, int threshold, int rows, int columns) {
  rows = std::clamp(rows, 0, kMotionMaxRows);
  columns = std::clamp(columns, 0, kMotionMaxColumns);
  std::string d = "<MotionDetectAlarm \t\t\tEnable=\"" + Num(enable) + "\" \t\t\tBlockCount=\"" +
                  Num(MotionBlockCount(columns, rows)) + "\" \t\t\tBlockConfig=\"" +
                  std::string(static_cast<std::size_t>(rows * columns), '1') +
                  "\" \t\t\tSensitivity=\"" + Num(sensitivity) + "\" \t\t\tAlarmThreshold=\"" +
                  Num(threshold) + "\" ";
  d += "\t\t\tDayNightSwitch=\"0\" \t\t\tNightSensitivity=\"60\" \t\t\tNightAlarmThreshold=\"30\" "
       "\t\t\tNightStartTime=\" 0: 0: 0\" \t\t\tNightEndTime=\"24: 0: 0\" \t\t\t> "
       "\t\t\t<EnableTimeList> \t\t\t\t<Workday \t\t\t\t\tDay=\"7\" \t\t\t\t\t> "
       "\t\t\t\t\t<TimeSpan \t\t\t\t\t\tStartTime=\" 0: 0: 0\" \t\t\t\t\t\tEndTime=\"24: 0: 0\" "
       "\t\t\t\t\t/> \t\t\t\t</Workday> \t\t\t</EnableTimeList> \t\t\t<AlarmAction> "
       "\t\t\t\t<AlarmOutputAction \t\t\t\t\tEnable=\"1\" \t\t\t\t\tPortIndex=\"1\" "
       "\t\t\t\t\tChannelType=\"1\" \t\t\t\t\tTriggerType=\"HIGH\" \t\t\t\t\tDuration=\"10\" "
       "\t\t\t\t/> \t\t\t\t<PTZAction \t\t\t\t\tEnable=\"0\" \t\t\t\t\tActionType=\"PositionWalk\" "
       "\t\t\t\t\t> \t\t\t\t\t<PositionWalk \t\t\t\t\t\tInterval=\"2\" \t\t\t\t\t\tWalkCount=\"1\" "
       "\t\t\t\t\t\t> \t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"1\" \t\t\t\t\t\t/> "
       "\t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"2\" \t\t\t\t\t\t/> "
       "\t\t\t\t\t\t<PTZPosition \t\t\t\t\t\t\tPositionIndex=\"3\" \t\t\t\t\t\t/> "
       "\t\t\t\t\t</PositionWalk> \t\t\t\t</PTZAction> \t\t\t</AlarmAction> "
       "\t\t</MotionDetectAlarm> ";
  if (d.size() > kMotionDocumentMaxBytes)
    d.resize(kMotionDocumentMaxBytes);
  return d;
}

long long MotionBlockCount(int columns, int rows) {
  return columns * 65536LL + rows;
}

MotionGridSize MotionGridFromBlockCount(long long count) {
  const long long columns = count / 65536;
  const long long rows = count % 65536;
  if (count < 0 || columns < 1 || rows < 1 || columns > kMotionMaxColumns || rows > kMotionMaxRows)
    return {0, 0};
  return {static_cast<int>(columns), static_cast<int>(rows)};
}

LocalTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string BuildTimeSyncRequest(const LocalTime& t) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return std::string("<REQUEST_PARAM\r\nTime=\"") + stamp + "\"\r\nTimeZone=\"1200\"\n/>";
}

std::string BuildOutputPortRequest(int value) {
  return "<REQUEST_PARAM ChannelNo=\"0\"Output=\"" + Num(value) + "\"/>\n";
}

std::string BuildEncodingTypeDocument(std::string_view format) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("Encode");
  doc.InsertEndChild(root);
  const std::string type(format);
  for (const char* stream : {"1", "2"}) {
    tinyxml2::XMLElement* e = root->InsertNewChildElement("EncodeConfig");
    e->SetAttribute("Stream", stream);
    e->SetAttribute("Resolution", "INVALID");
    e->SetAttribute("EncodeFormat", type.c_str());
    e->SetAttribute("BitRateControl", "CBR");
    e->SetAttribute("Initquant", "100");
    e->SetAttribute("BitRate", "200000");
    e->SetAttribute("FrameRate", "25");
  }
  return PrintXml(doc);
}

std::string BuildImageParameterRequest(int mctf, int gain, int shutter_max) {
  return "<REQUEST_PARAM mctf=\"" + Num(mctf) + "\" gain=\"" + Num(gain) + "\" shuttermax=\"" +
         Num(shutter_max) + "\" />";
}

std::string BuildTimeConfigDocument(const TimeConfigValues& v) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("TimeConfig");
  doc.InsertEndChild(root);
  root->SetAttribute("TimeMode", v.time_source == 0   ? "NTP"
                                 : v.time_source == 2 ? "P2P"
                                                      : "MANUAL");
  root->SetAttribute("TimeZone", v.zone_value);
  tinyxml2::XMLElement* ntp = root->InsertNewChildElement("NTPConfig");
  ntp->SetAttribute("ServerIP", v.server.c_str());
  ntp->SetAttribute("ServerPort", v.port.c_str());
  ntp->SetAttribute("RefreshInterval", v.interval.c_str());
  return PrintXml(doc);
}

std::string BuildMaintenanceDocument(int enable, int day, int hour, int minute, int second) {
  char time[32];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);
  return "<MaintainConfig\tEnable=\"" + Num(enable) + "\" Day=\"" + Num(day) + "\" Time=\"" + time +
         "\" />";
}

namespace {

void SetStream(tinyxml2::XMLElement* e, const char* stream, const EncodeStreamSettings& s,
               bool lbr) {
  e->SetAttribute("Stream", stream);
  e->SetAttribute("Resolution", s.resolution.c_str());
  e->SetAttribute("EncodeFormat", s.format.c_str());
  e->SetAttribute("BitRateControl", s.bitrate_control.c_str());
  e->SetAttribute("Initquant", s.initquant.c_str());
  e->SetAttribute("BitRate", s.bitrate.c_str());
  e->SetAttribute("FrameRate", s.framerate.c_str());
  if (!lbr)
    return;
  e->SetAttribute("lbr_enable", s.lbr_enable);
  e->SetAttribute("lbr_style", s.lbr_style);
  e->SetAttribute("lbr_bitratemode", s.lbr_bitratemode);
  e->SetAttribute("lbr_bitrate", s.lbr_bitrate.c_str());
  e->SetAttribute("lbr_motionlevel", s.lbr_motionlevel);
  e->SetAttribute("lbr_noicelevel", s.lbr_noicelevel);
}

}  // namespace

std::string BuildEncodeDocument(const EncodeStreamSettings& main, const EncodeStreamSettings& sub,
                                const EncodeAdvancedSettings& a, bool lbr_supported) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("Encode");
  doc.InsertEndChild(root);
  SetStream(root->InsertNewChildElement("EncodeConfig"), "1", main, lbr_supported);
  SetStream(root->InsertNewChildElement("EncodeConfig"), "2", sub, lbr_supported);
  tinyxml2::XMLElement* e = root->InsertNewChildElement("AdvanceEncodeConfig");
  e->SetAttribute("EncodeProfile", a.encode_profile);
  e->SetAttribute("WDRMode", a.wdr_mode);
  if (a.wdr_mode != 0)
    e->SetAttribute("WDRValue", a.wdr_value.c_str());
  e->SetAttribute("DfrogFlag", a.dfrog_flag);
  if (a.dfrog_flag != 0)
    e->SetAttribute("DfrogValue", a.dfrog_value.c_str());
  e->SetAttribute("WDRStartTime", a.wdr_start.c_str());
  e->SetAttribute("WDREndTime", a.wdr_end.c_str());
  e->SetAttribute("DisablePrivateData", a.disable_private_data);
  e->SetAttribute("EncMode", a.enc_mode);
  e->SetAttribute("NoiceLevel", a.noice_level);
  e->SetAttribute("shutter_mode", a.shutter_mode);
  e->SetAttribute("shutter_speed", a.shutter_speed.c_str());
  return PrintXml(doc);
}

}  // namespace vdz
