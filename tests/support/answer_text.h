// Hand-written device search answers for registry and session tests.
#pragma once

#include <string>

namespace vdz::test {

struct AnswerFields {
  std::string root = "XML_VORTAN";
  std::string serial = "SN0001";
  std::string type = "IPC_NVS_RK3516";
  std::string ip = "192.168.1.10";
  std::string mac = "00:11:22:33:44:01";
  std::string version = "V2.1.0";
  int runtime = 100;
  bool lan = true;
  bool stream = true;
  bool users = true;
  bool rk = false;
};

inline std::string MakeAnswer(const AnswerFields& f) {
  std::string body;
  body += "<IPC_SERIALNUMBER SerialNumber=\"" + f.serial + "\" VERSION=\"" + f.version +
          "\" runtime=\"" + std::to_string(f.runtime) + "\" P2PSTATUS=\"1\" />\n";
  body += "<DEVICE_TYPE DeviceType=\"" + f.type + "\" OSD=\"Gate\" />\n";
  if (f.rk)
    body += "<RK_CONFIG><SYSTEM EXTNUMBER=\"101\" MAINNUMBER=\"1\" /></RK_CONFIG>\n";
  if (f.lan) {
    body += "<LANConfig MacAddress=\"" + f.mac + "\" DHCP=\"0\" ALLNET=\"1\" IPAddress=\"" + f.ip +
            "\" Netmask=\"255.255.255.0\" Gateway=\"192.168.1.1\" DNS1=\"192.168.1.1\" "
            "DNS2=\"8.8.4.4\" />\n";
  }
  if (f.stream) {
    body +=
        "<MediaStreamConfig><StreamAccess Auth=\"1\" RTPOverRTSP=\"0\" VideoPort=\"554\" "
        "PTZPort=\"5000\" WEBPort=\"80\" /></MediaStreamConfig>\n";
  }
  if (f.users) {
    body +=
        "<UserConfig><Account Username=\"admin\" Password=\"pw\" Group=\"Administrator\" "
        "Status=\"Enable\" /></UserConfig>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n<" + f.root +
         ">\n<MESSAGE_HEADER Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\" Msg_code=\"3\" Msg_flag=\"0\" "
         "/>\n<MESSAGE_BODY>\n" +
         body + "</MESSAGE_BODY>\n</" + f.root + ">";
}

}  // namespace vdz::test
