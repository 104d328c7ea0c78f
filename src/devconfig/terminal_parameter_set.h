// The parameter set of an intercom or broadcast terminal, as its terminal service reads and
// writes it and the platform dialog edits it. Texts are UTF-8 here; the wire encodings are
// the terminal service's business.
#pragma once

#include <cstdint>
#include <string>

namespace vdz {

// Numbers written only when 0 or more are left out as -1; those written only when greater
// than 0 are left out as 0.
inline constexpr int kTerminalLeaveOut = -1;

struct TerminalParameterSet {
  std::string accessip = "192.168.0.100";
  std::string accessauxip = "192.168.0.101";
  std::string devid;
  std::string devname;
  int accessport = 1220;  // 16-bit on the wire
  int talkCapVol = 70;
  int normalCapVol = 70;
  int normalPlayVol = 70;
  int callingPlayVol = 80;
  int dbAlarmVol = 85;
  int dbAlarmEna = 0;
  std::string dbAlarmMP3;
  int serialRate = 9600;
  std::string model;
  int io_out1 = 0;  // broadcast horn
  int io_out2 = 0;  // talk horn
  int io_out3 = 0;  // alarm output
  int hasVid = 0;
  int hasTalk = 0;
  int needLog = 0;
  std::string deamontime;
  std::string reboottime;
  int enaReboot = 0;
  // Shown as the device sent it, entities and all (the service reads it raw).
  std::string rtspUrl;
  // The raw text the device sent; an unchanged value goes back byte for byte.
  std::string rtspUrlAsRead;
  int rtspEna = 0;
  std::string ftpIp;
  int ftpPort = 21;
  std::string ftpUser;
  std::string ftpPwd;
  std::string ftpPath;
  int IOSnapEna = 0;
  int denoiseEna = 0;
  int io3TimerVle = 10;
  int io3TimerEna = 0;
  int threeLedEna = 0;
  int IO2FxEna = 0;
  int IO3FxEna = 0;
  int IOAlarmEna = 0;
  int IOFangCaiAlarmEna = 0;
  int NetCheckEna = 0;
  int CapCheckEna = 0;
  int IOAlarmPort = 1229;
  std::string IOAlarmUrl;
  int IO2CancelEna = 0;
  int IO3CheckEna = 0;
  int dbAlarmPeriod = 10;
  std::string clientid;
};

}  // namespace vdz
