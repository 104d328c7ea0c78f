// Writes the seed corpora of the fuzzers from our own builders, so each starts from inputs
// its reader accepts: fuzz_seed_writer <tests/fuzz/corpus>. The MP3 seeds come from the lame
// command (a tone of a few frames) and are left alone here.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "devconfig/settings_documents.h"
#include "devconfig/xml_escape.h"
#include "device_config_file.h"
#include "device_documents.h"
#include "device_file_list.h"
#include "devops/terminal_documents.h"
#include "onvif/soap_envelope.h"
#include "onvif/wsd_probe.h"
#include "protocol/file_messages.h"
#include "protocol/firmware_image.h"
#include "protocol/messages.h"
#include "protocol/protocol_numbers.h"
#include "protocol/talk_messages.h"
#include "shell/ini_file.h"

namespace {

namespace fs = std::filesystem;
using namespace vdz::sdkproto;

fs::path g_root;

// The first byte is the fuzzer's selector.
void Seed(const char* fuzzer, const char* name, char selector, const std::string& bytes) {
  const fs::path folder = g_root / fuzzer;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.put(selector);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Seeds of fuzzers that take the whole input as it is.
void SeedWhole(const char* fuzzer, const char* name, const std::string& bytes) {
  const fs::path folder = g_root / fuzzer;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string AlarmRecord(const char* path) {
  std::string record(vdz::proto::kAlarmRecordSize, '\0');
  const std::int32_t kind = vdz::proto::kAlarmKindSnapshot;
  record.replace(vdz::proto::kAlarmKindOffset, sizeof kind, reinterpret_cast<const char*>(&kind),
                 sizeof kind);
  record.replace(vdz::proto::kAlarmPathOffset, std::string(path).size(), path);
  return record;
}

void SdkFrames() {
  const vdz::devserver::DeviceConfig device;
  std::string login;  // what a client reads from the start of a session
  AppendFrame(login, FrameType::kChallenge, 1, std::string(kNonceSize, '\x5a'));
  AppendResult(login, FrameType::kLoginReply, 1, {0, {}});
  AppendCoded(login, FrameType::kAux, 2,
              {vdz::proto::kCmdFirmwareVersion, vdz::devserver::FirmwareVersionDocument(device)});
  AppendResult(login, FrameType::kResponse, 2, {0, {}});
  AppendCoded(
      login, FrameType::kAux, 3,
      {vdz::proto::kCmdDeviceInformation, vdz::devserver::DeviceInformationDocument(device)});
  AppendFrame(login, FrameType::kPing, 4, {});
  Seed("sdk_frame", "session_start", 0, login);

  std::string events;
  AppendCoded(events, FrameType::kEvent, 5,
              {vdz::proto::kEventAlarm, AlarmRecord("/mnt/mtd/snap/1.jpg")});
  AppendCoded(events, FrameType::kEvent, 6, {vdz::proto::kEventTalkStarted, "port=5004"});
  AppendCoded(events, FrameType::kEvent, 7, {vdz::proto::kEventUpgradeWriting, "50"});
  AppendCoded(events, FrameType::kEvent, 8, {vdz::proto::kEventUpgradeDone, {}});
  AppendCoded(events, FrameType::kAux, 9,
              {vdz::proto::kCmdFileSearch, vdz::devserver::FileListPage({{"a.mp3", 1234}}, 0)});
  Seed("sdk_frame", "events", 7, events);

  std::string download;
  AppendResult(download, FrameType::kResponse, 10, {0, "11"});
  std::string data;
  AppendFileDataHeader(data, 11, 1, 0, 11);
  download += data + "hello world";
  AppendFileEnd(download, 12, {1, kFileOk, {}});
  AppendFileAck(download, 13, {2, 65536});
  Seed("sdk_frame", "file_transfer", 16, download);

  std::string client;  // what a device reads from a client
  AppendLogin(client, 1, {"admin", 0x0123456789abcdefULL});
  TalkParameters talk;
  const std::string talk_text = FormatTalkParameters(talk);
  AppendRequest(client, 2, {RequestOp::kTalkStart, 0, 0, talk_text});
  AppendRequest(client, 3,
                {RequestOp::kSetConfig, 227, 0, vdz::BuildDeviceLanguageDocument("en_us")});
  AppendFileBegin(client, 4, {1, FileKind::kFirmware, 4096, "fw.bin"});
  Seed("sdk_frame", "client_requests", 3, client);
}

void TalkMessages() {
  TalkParameters p;
  p.codec = TalkCodec::kAac;
  p.sample_rate = 16000;
  Seed("talk_message", "parameters_udp", 0, FormatTalkParameters(p));
  p.transport = TalkTransport::kMulticast;
  p.group = "239.1.2.3:5004";
  Seed("talk_message", "parameters_multicast", 0, FormatTalkParameters(p));
  Seed("talk_message", "port", 1, "port=5004");
  Seed("talk_message", "group", 1, "group=239.1.2.3:5004");

  RtpHeader h;
  h.payload_type = static_cast<std::uint8_t>(RtpPayloadType(TalkCodec::kPcm, 32000, 1));
  h.sequence = 7;
  h.timestamp = 320;
  h.ssrc = 0x11223344;
  std::string pcm;
  AppendRtpHeader(pcm, h);
  pcm += std::string(64, '\x10');
  Seed("talk_message", "rtp_pcm", 2, pcm);
  h.payload_type = static_cast<std::uint8_t>(RtpPayloadType(TalkCodec::kAac, 16000, 1));
  h.marker = true;
  std::string aac;
  AppendRtpHeader(aac, h);
  AppendAacAuHeader(aac, 6);
  aac += "\x21\x10\x05\x00\xa0\x1c";
  Seed("talk_message", "rtp_aac", 2, aac);
}

void FirmwareImages() {
  const std::string body(300, '\x42');
  Seed("firmware_image", "good", 5, FirmwareImageHeader("X1", "V3.0.0", body) + body);
  Seed("firmware_image", "other_model", 64, FirmwareImageHeader("X2", "V3.0.0", body) + body);
  Seed("firmware_image", "truncated", 1,
       FirmwareImageHeader("X1", "V3.0.1", body) + body.substr(0, 100));
}

// A reply as the terminal service writes it: the root element carrying every attribute.
std::string TerminalReply(const char* ord, const vdz::TerminalParameterSet& set) {
  std::string reply = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root ord=\"";
  reply += ord;
  reply += "\"";
  for (const auto& [name, value] : vdz::TerminalAttributeList(set))
    reply += " " + name + "=\"" + vdz::EscapeXmlAttribute(value) + "\"";
  return reply + " ret=\"ok\"/>\n";
}

void TerminalReplies() {
  vdz::TerminalParameterSet set;
  set.devid = "T0001";
  set.devname = "Gate";
  set.model = "RK-T1";
  set.deamontime = "12:00:00";
  set.rtspUrl = "rtsp://10.0.0.2/live?a=1&b=2";
  Seed("terminal_reply", "platform", 1, TerminalReply("requestPlatform_ret", set));
  Seed("terminal_reply", "key_parameters", 0,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root ord=\"requestKeyParam_ret\" "
       "devname=\"Gate\" deamontime=\"12:00:00\" ret=\"ok\"/>\n");
  Seed("terminal_reply", "ok", 2,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root ord=\"ok\" ret=\"ok\"/>\n");
}

void ConfigBlocks() {
  // The search answers of the discovery fuzzer, through the block readers and the registry.
  for (const auto& entry : fs::directory_iterator(g_root / "device_answer")) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Seed("config_block", entry.path().stem().c_str(), 0, text);
  }
  Seed("config_block", "audio_capture", 1, vdz::devserver::DefaultAudioCaptureDocument());
  Seed("config_block", "video_capture", 2, vdz::devserver::DefaultVideoCaptureDocument());
}

void ConfigFiles() {
  vdz::devserver::DeviceConfig device;
  device.documents[227] = vdz::BuildDeviceLanguageDocument("en_us");
  device.documents[670] = vdz::BuildPlatformDocument({}, "1000");
  Seed("config_file", "device_config", 0, vdz::devserver::ConfigFileDocument(device));

  vdz::IniFile ini;
  ini.Set("LASTDIR", "PATH", "/home/user/firmware");
  ini.Set("SETTINGS", "Language", "Polish");
  Seed("config_file", "settings", 1, ini.Text() + std::string("SETTINGS\0Language\0English", 25));
  Seed("config_file", "log_control", 2, "file=1;network=1;monitor_ip=10.0.0.5;");

  Seed("config_file", "time_sync", 3, vdz::BuildTimeSyncRequest({2024, 3, 15, 12, 30, 5}));
  Seed("config_file", "file_list", 3,
       "<REQUEST_PARAM SearchMode=\"0\" MediaType=\"OEMAPP\" Page=\"1\" />\n");
}

}  // namespace

// ONVIF answers in our own envelopes, both SOAP versions; the bodies are what devices send.
void OnvifReplies() {
  using vdz::onvif::BuildEnvelope;
  using vdz::onvif::SoapVersion;
  const std::string matches =
      R"(<d:ProbeMatches xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" )"
      R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
      R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><d:ProbeMatch><a:EndpointReference>)"
      R"(<a:Address>urn:uuid:11111111-2222-4333-8444-555555555555</a:Address>)"
      R"(</a:EndpointReference><d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>)"
      R"(<d:Scopes>onvif://www.onvif.org/name/Cam%201 onvif://www.onvif.org/hardware/X1</d:Scopes>)"
      R"(<d:XAddrs>http://[fe80::1]/onvif/device_service http://192.0.2.1:8080/onvif/device_service)"
      R"(</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion></d:ProbeMatch></d:ProbeMatches>)";
  SeedWhole("onvif_probe_match", "probe_matches_12", BuildEnvelope(SoapVersion::k12, matches));
  SeedWhole("onvif_probe_match", "probe_matches_11", BuildEnvelope(SoapVersion::k11, matches));
  SeedWhole("onvif_probe_match", "own_probe",
            vdz::onvif::BuildProbe("urn:uuid:00000000-0000-4000-8000-000000000000"));

  const struct {
    const char* name;
    const char* body;
  } replies[] = {
      {"date_time",
       "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Date>"
       "<tt:Year>2026</tt:Year><tt:Month>12</tt:Month><tt:Day>9</tt:Day></tt:Date><tt:Time>"
       "<tt:Hour>23</tt:Hour><tt:Minute>40</tt:Minute><tt:Second>5</tt:Second></tt:Time>"
       "</tt:UTCDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"},
      {"device_information",
       "<tds:GetDeviceInformationResponse><tds:Manufacturer>Acme</tds:Manufacturer><tds:Model>"
       "C1</tds:Model><tds:FirmwareVersion>1.0</tds:FirmwareVersion><tds:SerialNumber>S1"
       "</tds:SerialNumber><tds:HardwareId>H1</tds:HardwareId></tds:GetDeviceInformationResponse>"},
      {"network_interfaces",
       "<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"eth0\"><tt:Enabled>true"
       "</tt:Enabled><tt:Info><tt:HwAddress>00:11:22:33:44:55</tt:HwAddress></tt:Info><tt:IPv4>"
       "<tt:Config><tt:Manual><tt:Address>192.0.2.1</tt:Address><tt:PrefixLength>24"
       "</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:Config></tt:IPv4>"
       "</tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>"},
      {"capabilities",
       "<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Media><tt:XAddr>http://192.0.2.1/"
       "onvif/media</tt:XAddr></tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>"},
      {"profiles",
       "<trt:GetProfilesResponse><trt:Profiles token=\"p0\"><tt:Name>main</tt:Name>"
       "<tt:VideoEncoderConfiguration><tt:Encoding>H264</tt:Encoding><tt:Resolution><tt:Width>"
       "1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution></tt:VideoEncoderConfiguration>"
       "</trt:Profiles></trt:GetProfilesResponse>"},
      {"stream_uri",
       "<trt:GetStreamUriResponse><trt:MediaUri><tt:Uri>rtsp://192.0.2.1/main</tt:Uri>"
       "</trt:MediaUri></trt:GetStreamUriResponse>"},
      {"fault",
       "<s:Fault><s:Code><s:Value>s:Sender</s:Value><s:Subcode><s:Value>ter:NotAuthorized"
       "</s:Value></s:Subcode></s:Code><s:Reason><s:Text>Sender not Authorized</s:Text>"
       "</s:Reason></s:Fault>"},
  };
  for (const auto& r : replies) {
    SeedWhole("onvif_soap_reply", (std::string(r.name) + "_12").c_str(),
              BuildEnvelope(SoapVersion::k12, r.body));
    SeedWhole("onvif_soap_reply", (std::string(r.name) + "_11").c_str(),
              BuildEnvelope(SoapVersion::k11, r.body));
  }
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <tests/fuzz/corpus>\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  SdkFrames();
  TalkMessages();
  FirmwareImages();
  TerminalReplies();
  ConfigBlocks();
  ConfigFiles();
  OnvifReplies();
  return 0;
}
