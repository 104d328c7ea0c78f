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
  return 0;
}
