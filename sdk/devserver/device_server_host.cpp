#include "device_server_host.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include "default_documents.h"
#include "device_config_file.h"
#include "device_documents.h"
#include "device_file_list.h"
#include "protocol/file_messages.h"
#include "protocol/firmware_image.h"
#include "protocol/frame_assembler.h"
#include "protocol/login_digest.h"
#include "protocol/messages.h"
#include "protocol/payload.h"
#include "protocol/protocol_numbers.h"
#include "protocol/talk_messages.h"
#include "settings_checks.h"

namespace vdz::devserver {

namespace {

using sdkproto::FileKind;
using sdkproto::FrameType;
using sdkproto::RequestOp;
using Millis = std::int64_t;

// mute-after-login: the requests a client makes to bring a session online (its firmware
// version and device information) are answered, the ones after them are not.
constexpr int kMuteAfterAnswers = 2;

constexpr std::uint64_t kListenKind = 1;
constexpr std::uint64_t kConnKind = 2;
// Room for a whole window of file chunks: a 64 KiB chunk never fits a 64 KiB read with its
// header, so every one of them was copied aside to be put together again.
constexpr std::size_t kScratchSize = sdkproto::kFileWindowChunks * sdkproto::kFileChunkSize + 4096;
constexpr std::size_t kMaxQueuedOut = 4 * 1024 * 1024;
constexpr int kResultNoDocument = -2;
constexpr int kResultUnknownCommand = -3;
constexpr int kResultRefused = -4;  // malformed document, wrong root, or told to refuse
constexpr std::uint64_t kMaxConfigImport = 4 * 1024 * 1024;
constexpr std::uint64_t kMaxAppFile = 16 * 1024 * 1024;
constexpr std::uint64_t kHugeAnnounced = std::uint64_t{1} << 40;
constexpr std::uint64_t kDeviceWindow = sdkproto::kFileWindowChunks * sdkproto::kFileChunkSize;

// The host's wall clock as local time read as if it were UTC: what a time sync request
// carries.
std::int64_t LocalWallSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return static_cast<std::int64_t>(timegm(&tm));
}

Millis NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint64_t Tag(std::uint64_t kind, int id) {
  return (kind << 32) | static_cast<std::uint32_t>(id);
}

// System commands a device accepts without an answer of its own: factory restore, time
// sync, output port, snapshot, file delete, image parameters.
constexpr std::size_t kPtzLogLimit = 100000;

bool AcceptedSystemCommand(int command) {
  switch (command) {
    case proto::kCmdRestoreConfig:
    case proto::kCmdTimeSync:
    case proto::kCmdFileDelete:
    case proto::kCmdOutputPort:
    case proto::kCmdSnapshot:
    case proto::kCmdImageParameters:
      return true;
    default:
      return false;
  }
}

}  // namespace

struct DeviceServerHost::Impl {
  struct Device {
    DeviceConfig config;
    int listen_fd = -1;
    std::uint16_t bound_port = 0;
    Misbehaviour misbehaviour = Misbehaviour::kNone;
    Millis back_at = 0;  // rebooting until then
    std::map<int, std::string> last_system_control;
    std::map<int, int> system_control_count;
    std::set<int> refused_commands;
    TransferFault fault = TransferFault::kNone;
    std::int64_t cap = 0;  // bytes per second read, 0: unlimited
    double tokens = 0;
    Millis refilled_at = 0;
    bool receiving_image = false;
    // An accepted image being "written": progress steps, then the restart.
    bool writing = false;
    Millis writing_since = 0;
    int writing_step = 0;
    std::string new_version;
    int upgrades = 0;
    TalkFault talk_fault = TalkFault::kNone;
    std::map<std::string, std::uint64_t> mp3_files;
    std::map<std::string, std::uint64_t> app_files;
    std::string playing;
    std::vector<PtzCommand> ptz_log;
    int key_frame_requests = 0;
    bool refuse_settings = false;
    std::vector<std::pair<std::string, std::string>> refused_values;
    std::int64_t clock_offset_s = 0;  // set by a time sync
  };

  struct InFile {
    std::uint32_t id = 0;
    FileKind kind = FileKind::kFirmware;
    std::uint64_t size = 0;
    std::uint64_t received = 0;
    std::string name;
    std::unique_ptr<sdkproto::FirmwareImageChecker> checker;
    std::string body;  // configuration and application files only
    bool stalled = false;
  };

  struct OutFile {
    std::uint32_t id = 0;
    std::string data;
    std::uint64_t size = 0;
    std::uint64_t sent = 0;
    std::uint64_t acked = 0;
    bool junk = false;  // hostile: bytes made up as they go
  };

  enum class ConnState { kAwaitLogin, kLoginHeld, kUp, kSilent };

  struct Conn {
    int device = 0;
    int fd = -1;
    ConnState state = ConnState::kAwaitLogin;
    std::string nonce;
    sdkproto::FrameAssembler assembler;
    std::string out;
    std::uint32_t next_sequence = 1;
    std::uint32_t held_sequence = 0;
    std::string held_login;  // the login frame's payload while its answer is held back
    Millis last_rx = 0;
    // mute-after-login: requests still answered; at 0 the connection goes silent.
    int answers_left = -1;
    bool close_after_flush = false;
    bool dead = false;       // closed; reaped after the current batch of events
    bool throttled = false;  // reading paused by the bandwidth cap
    std::vector<InFile> in_files;
    std::vector<OutFile> out_files;
  };

  mutable std::mutex mutex;
  int epoll_fd = -1;
  int next_device = 1;
  int next_conn = 1;
  std::map<int, Device> devices;
  TalkReceivers talk;
  std::unordered_map<int, Conn> conns;
  std::unique_ptr<std::uint8_t[]> scratch{new std::uint8_t[kScratchSize]};
  // Devices whose image was accepted during this poll: their first writing steps (all of them
  // when the writing takes no time) go out once the poll's reads are done, not a tick later.
  std::vector<int> writing_started;
  Millis last_tick = 0;
  std::thread thread;
  std::atomic<bool> stop{false};

  int Listen(Device& d) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(d.bound_port != 0 ? d.bound_port : d.config.port);
    if (::inet_pton(AF_INET, d.config.address.c_str(), &a.sin_addr) != 1)
      return -EINVAL;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
      return -errno;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 512) != 0) {
      const int err = errno;
      ::close(fd);
      return -err;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    d.bound_port = ntohs(a.sin_port);
    d.listen_fd = fd;
    return 0;
  }

  void Unlisten(Device& d) {
    if (d.listen_fd >= 0)
      ::close(d.listen_fd);
    d.listen_fd = -1;
  }

  void Register(int fd, std::uint64_t tag, std::uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = tag;
    ::epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &ev);
  }

  // Closing happens inside frame handlers, which still run on the connection's assembler:
  // the fd goes at once, the entry only when Reap runs after the handler has returned.
  void CloseConn(int id) {
    auto it = conns.find(id);
    if (it == conns.end() || it->second.dead)
      return;
    ::close(it->second.fd);
    it->second.fd = -1;
    it->second.dead = true;
  }

  void CloseDeviceConns(int device) {
    for (auto& [id, c] : conns) {
      if (c.device == device)
        CloseConn(id);
    }
  }

  void Reap() {
    std::erase_if(conns, [](const auto& entry) { return entry.second.dead; });
  }

  // Sends what is queued; false when the connection was closed.
  bool Flush(int id, Conn& c) {
    if (c.dead)
      return false;
    while (!c.out.empty()) {
      const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n > 0) {
        c.out.erase(0, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        break;
      CloseConn(id);
      return false;
    }
    if (c.out.size() > kMaxQueuedOut || (c.out.empty() && c.close_after_flush)) {
      CloseConn(id);
      return false;
    }
    if (c.out.empty() && c.out.capacity() > 4096)
      std::string().swap(c.out);
    WatchConn(id, c);
    return true;
  }

  void WatchConn(int id, Conn& c) {
    epoll_event ev{};
    ev.events = (c.throttled ? 0u : EPOLLIN | EPOLLRDHUP) | (c.out.empty() ? 0u : EPOLLOUT);
    ev.data.u64 = Tag(kConnKind, id);
    ::epoll_ctl(epoll_fd, EPOLL_CTL_MOD, c.fd, &ev);
  }

  // The line-level faults, applied to one connection; false when it was closed.
  bool Misbehave(int id, Conn& c, Misbehaviour m) {
    switch (m) {
      case Misbehaviour::kNone:
      case Misbehaviour::kRefuseLogins:
      case Misbehaviour::kHoldLogins:
      case Misbehaviour::kMuteAfterLogin:
        return true;
      case Misbehaviour::kSilent:
        c.state = ConnState::kSilent;
        return true;
      case Misbehaviour::kDropLine:
        CloseConn(id);
        return false;
      case Misbehaviour::kGarbage:
        c.out.append("GARBAGE!\x01\x02\x03\x04 this is not a frame at all\r\n");
        c.state = ConnState::kSilent;
        return Flush(id, c);
      case Misbehaviour::kHugeLength: {
        std::string header;
        sdkproto::PayloadWriter w(header);
        w.U32(sdkproto::kMagic);
        w.U8(sdkproto::kVersion);
        w.U8(static_cast<std::uint8_t>(FrameType::kEvent));
        w.U16(0);
        w.U32(c.next_sequence++);
        w.U32(100u * 1000u * 1000u);
        c.out += header;
        c.out.append(64, 'x');
        c.state = ConnState::kSilent;
        return Flush(id, c);
      }
      case Misbehaviour::kCloseMidFrame: {
        std::string frame;
        sdkproto::AppendCoded(frame, FrameType::kAux, c.next_sequence++,
                              {1020, "<RESPONSE_PARAM cut=\"here and there\" />"});
        c.out.append(frame, 0, frame.size() / 2);
        c.close_after_flush = true;
        return Flush(id, c);
      }
    }
    return true;
  }

  void Accept(int device_id) {
    auto dit = devices.find(device_id);
    if (dit == devices.end() || dit->second.listen_fd < 0)
      return;
    Device& d = dit->second;
    for (;;) {
      const int fd = ::accept4(d.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0)
        return;
      // Answers and acknowledgements go out at once, as a device's own stack sends them.
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      const int id = next_conn++;
      Conn& c = conns[id];
      c.device = device_id;
      c.fd = fd;
      c.last_rx = NowMs();
      Register(fd, Tag(kConnKind, id), EPOLLIN | EPOLLRDHUP);
      if (d.misbehaviour != Misbehaviour::kNone && d.misbehaviour != Misbehaviour::kRefuseLogins &&
          d.misbehaviour != Misbehaviour::kHoldLogins &&
          d.misbehaviour != Misbehaviour::kMuteAfterLogin) {
        Misbehave(id, c, d.misbehaviour);
        continue;
      }
      c.nonce.resize(sdkproto::kNonceSize);
      if (::getrandom(c.nonce.data(), c.nonce.size(), 0) != static_cast<ssize_t>(c.nonce.size())) {
        for (auto& ch : c.nonce)
          ch = static_cast<char>(NowMs() * 31 + id);
      }
      sdkproto::AppendFrame(c.out, FrameType::kChallenge, c.next_sequence++, c.nonce);
      Flush(id, c);
    }
  }

  void Reply(Conn& c, std::uint32_t seq, int result) {
    sdkproto::AppendResult(c.out, FrameType::kResponse, seq, {result, {}});
  }

  void Aux(Conn& c, int command, std::string_view text) {
    sdkproto::AppendCoded(c.out, FrameType::kAux, c.next_sequence++, {command, text});
  }

  void Event(Conn& c, int event, std::string_view text) {
    sdkproto::AppendCoded(c.out, FrameType::kEvent, c.next_sequence++, {event, text});
  }

  // A request to join a talk: the answer is an event, sent before the request's response.
  void OnTalkStart(Conn& c, Device& d, std::string_view text) {
    if (d.talk_fault == TalkFault::kBusy) {
      Event(c, proto::kEventTalkBusy, "");
      return;
    }
    if (d.talk_fault == TalkFault::kNotSupported) {
      Event(c, proto::kEventTalkNotSupported, "");
      return;
    }
    const auto params = sdkproto::ParseTalkParameters(text);
    if (!params || !sdkproto::ValidTalkParameters(*params)) {
      Event(c, proto::kEventTalkParamError, "");
      return;
    }
    const std::string wav = d.config.talk_folder + "/talk-" + d.config.serial_number + "-" +
                            std::to_string(talk.Stats(c.device).talks + 1) + ".wav";
    const std::string answer = talk.Open(c.device, d.config.address, *params, wav);
    if (answer.empty()) {
      Event(c, proto::kEventTalkParamError, "");
      return;
    }
    Event(c, proto::kEventTalkStarted, answer);
  }

  void StartReboot(Device& d, Millis now) {
    d.writing = false;
    Unlisten(d);
    d.back_at = now + d.config.reboot_ms;
  }

  bool AnswerLogin(int id, Conn& c, Device& d, std::uint32_t sequence, std::string_view payload) {
    sdkproto::LoginMessage login;
    if (!sdkproto::ParseLogin(payload, login)) {
      CloseConn(id);
      return false;
    }
    bool ok = false;
    if (d.misbehaviour != Misbehaviour::kRefuseLogins) {
      for (const auto& account : d.config.accounts) {
        if (account.user == login.user &&
            sdkproto::LoginDigest(c.nonce, account.user, account.password) == login.digest) {
          ok = true;
        }
      }
    }
    sdkproto::AppendResult(c.out, FrameType::kLoginReply, sequence,
                           {ok ? 0 : -1, ok ? "" : "account refused"});
    if (ok) {
      c.state = ConnState::kUp;
    } else {
      c.close_after_flush = true;
    }
    return Flush(id, c) && ok;
  }

  // False when the connection is gone or must not see more frames.
  bool OnFrame(int id, Conn& c, Device& d, const sdkproto::FrameHeader& h, std::string_view payload,
               Millis now) {
    if (c.state == ConnState::kUp && h.type == FrameType::kRequest && c.answers_left >= 0 &&
        c.answers_left-- == 0)
      c.state = ConnState::kSilent;
    if (c.state == ConnState::kSilent)
      return true;
    if (c.state == ConnState::kLoginHeld)
      return true;
    if (c.state == ConnState::kAwaitLogin) {
      if (h.type != FrameType::kLogin) {
        CloseConn(id);
        return false;
      }
      if (d.misbehaviour == Misbehaviour::kHoldLogins) {
        c.state = ConnState::kLoginHeld;
        c.held_sequence = h.sequence;
        c.held_login.assign(payload);
        return true;
      }
      if (!AnswerLogin(id, c, d, h.sequence, payload))
        return false;
      // A device whose control process hangs once a client has come online.
      if (d.misbehaviour == Misbehaviour::kMuteAfterLogin && c.state == ConnState::kUp)
        c.answers_left = kMuteAfterAnswers;
      return true;
    }
    switch (h.type) {
      case FrameType::kPing:
        sdkproto::AppendFrame(c.out, FrameType::kPong, h.sequence, {});
        return Flush(id, c);
      case FrameType::kPong:
        return true;
      case FrameType::kRequest:
        break;
      case FrameType::kFileBegin:
      case FrameType::kFileData:
      case FrameType::kFileAck:
      case FrameType::kFileEnd:
        return OnFileFrame(id, c, d, h, payload, now) && Flush(id, c);
      default:
        CloseConn(id);
        return false;
    }
    sdkproto::RequestMessage r;
    if (!sdkproto::ParseRequest(payload, r)) {
      CloseConn(id);
      return false;
    }
    switch (r.op) {
      case RequestOp::kSetConfig: {
        const char* root = ExpectedConfigRoot(r.command);
        const bool refused_value =
            std::any_of(d.refused_values.begin(), d.refused_values.end(),
                        [&](const auto& v) { return DocumentHasValue(r.text, v.first, v.second); });
        if (d.refuse_settings || refused_value ||
            (root != nullptr && !DocumentHasRoot(r.text, root))) {
          Reply(c, h.sequence, kResultRefused);
          break;
        }
        if (r.command == proto::kCfgPassword) {
          const auto password = AdminPasswordIn(r.text);
          if (!password) {
            Reply(c, h.sequence, kResultRefused);
            break;
          }
          for (auto& account : d.config.accounts) {
            if (account.user == "admin" && !password->empty())
              account.password = *password;
          }
        }
        d.config.documents[r.command] = std::string(r.text);
        // The audio and image settings are written under their own numbers and read back
        // under the request numbers.
        if (r.command == proto::kCfgAudioCaptureSet)
          d.config.documents[proto::kCfgAudioCapture] = std::string(r.text);
        if (r.command == proto::kCfgVideoCaptureSet)
          d.config.documents[proto::kCfgVideoCapture] = std::string(r.text);
        Reply(c, h.sequence, 0);
        break;
      }
      case RequestOp::kGetConfig: {
        auto doc = d.config.documents.find(r.command);
        if (doc == d.config.documents.end()) {
          Reply(c, h.sequence, kResultNoDocument);
          break;
        }
        Aux(c, r.command, doc->second);
        Reply(c, h.sequence, 0);
        break;
      }
      case RequestOp::kSystemControl:
        if (r.command == proto::kCmdFirmwareVersion) {
          Aux(c, r.command, FirmwareVersionDocument(d.config));
        } else if (r.command == proto::kCmdDeviceInformation) {
          Aux(c, r.command, DeviceInformationDocument(d.config));
        } else if (r.command == proto::kCmdFileSearch) {
          const auto query = ParseFileListQuery(r.text);
          Aux(c, r.command,
              query ? FileListPage(query->mp3 ? d.mp3_files : d.app_files, query->page)
                    : EmptyFileListDocument());
        } else if (r.command == proto::kCmdFileDelete) {
          const std::string name = DeleteRequestName(r.text);
          d.mp3_files.erase(name);
          d.app_files.erase(name);
          d.config.files.erase(name);
        } else if (!AcceptedSystemCommand(r.command) || d.refused_commands.count(r.command) > 0) {
          Reply(c, h.sequence, kResultUnknownCommand);
          break;
        } else if (const char* root = ExpectedSystemRoot(r.command);
                   root != nullptr && (d.refuse_settings || !DocumentHasRoot(r.text, root))) {
          Reply(c, h.sequence, kResultRefused);
          break;
        }
        if (r.command == proto::kCmdTimeSync) {
          const auto synced = TimeSyncSeconds(r.text);
          if (!synced) {
            Reply(c, h.sequence, kResultRefused);
            break;
          }
          d.clock_offset_s = *synced - LocalWallSeconds();
        }
        d.last_system_control[r.command] = std::string(r.text);
        ++d.system_control_count[r.command];
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kReboot: {
        Reply(c, h.sequence, 0);
        Flush(id, c);  // the answer goes out before the line drops
        const int device_id = c.device;
        CloseDeviceConns(device_id);
        StartReboot(d, now);
        return false;
      }
      case RequestOp::kPtzControl: {
        // Speeds travel as one word: pan in the high 16 bits, tilt in the low.
        const auto speeds = static_cast<std::uint32_t>(r.argument);
        if (d.ptz_log.size() < kPtzLogLimit)
          d.ptz_log.push_back(PtzCommand{r.command, static_cast<int>(speeds >> 16),
                                         static_cast<int>(speeds & 0xffffu), now});
        Reply(c, h.sequence, 0);
        break;
      }
      case RequestOp::kPtzPreset:
        if (d.refuse_settings) {
          Reply(c, h.sequence, kResultRefused);
          break;
        }
        d.last_system_control[kPresetKey] =
            std::to_string(r.command) + " " + std::to_string(r.argument);
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kCreateIFrame:
        ++d.key_frame_requests;
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kTalkStart:
        OnTalkStart(c, d, r.text);
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kTalkStop:
        if (talk.Close(c.device))
          Event(c, proto::kEventTalkStopped, "");
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kPlayFile:
        if (d.mp3_files.count(std::string(r.text)) == 0) {
          Reply(c, h.sequence, sdkproto::kFileNotFound);
          break;
        }
        d.playing = std::string(r.text);
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kStopPlay:
        d.playing.clear();
        Reply(c, h.sequence, 0);
        break;
      default:
        Reply(c, h.sequence, kResultUnknownCommand);
        break;
    }
    return Flush(id, c);
  }

  void OnConnIo(int id, std::uint32_t events, Millis now) {
    auto it = conns.find(id);
    if (it == conns.end() || it->second.dead)
      return;
    Conn& c = it->second;
    if ((events & EPOLLOUT) && !Flush(id, c))
      return;
    if (!(events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)))
      return;
    auto dit = devices.find(c.device);
    if (dit == devices.end()) {
      CloseConn(id);
      return;
    }
    Device& d = dit->second;
    for (int i = 0; i < 16; ++i) {
      std::size_t room = kScratchSize;
      if (d.cap > 0) {
        if (d.tokens < 1) {
          // Out of budget: stop reading until the next refill; TCP slows the sender.
          c.throttled = true;
          WatchConn(id, c);
          return;
        }
        room = std::min(room, static_cast<std::size_t>(d.tokens));
      }
      const ssize_t n = ::recv(c.fd, scratch.get(), room, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        CloseConn(id);
        return;
      }
      if (n < 0) {
        if (errno == EINTR)
          continue;
        return;
      }
      c.last_rx = now;
      if (d.cap > 0)
        d.tokens -= static_cast<double>(n);
      if (c.state == ConnState::kSilent)
        continue;
      const auto result =
          c.assembler.Feed(scratch.get(), static_cast<std::size_t>(n),
                           [&](const sdkproto::FrameHeader& h, std::string_view payload) {
                             return OnFrame(id, c, dit->second, h, payload, now);
                           });
      if (result == sdkproto::FrameAssembler::Result::kError) {
        CloseConn(id);
        return;
      }
      if (result == sdkproto::FrameAssembler::Result::kStopped || c.dead)
        return;
    }
  }

  void Tick(Millis now) {
    for (auto& [id, d] : devices) {
      Refill(id, d, now);
      if (d.writing)
        AdvanceWriting(id, d, now);
    }
    for (auto& [id, d] : devices) {
      if (d.back_at != 0 && now >= d.back_at && Listen(d) == 0) {
        d.back_at = 0;
        Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
      }
    }
    for (auto& [id, c] : conns) {
      auto dit = devices.find(c.device);
      const int idle = dit != devices.end() ? dit->second.config.idle_drop_ms : 0;
      if (now - c.last_rx >= idle)
        CloseConn(id);
    }
  }

  void Refill(int id, Device& d, Millis now) {
    if (d.cap <= 0) {
      d.refilled_at = now;
      return;
    }
    const double elapsed = static_cast<double>(now - d.refilled_at) / 1000.0;
    d.refilled_at = now;
    // A tenth of a second's worth at most, so a paused reader does not burst later.
    const double burst = std::max(static_cast<double>(d.cap) / 10.0, 1.0);
    d.tokens = std::min(burst, d.tokens + elapsed * static_cast<double>(d.cap));
    if (d.tokens < 1)
      return;
    for (auto& [cid, c] : conns) {
      if (c.device == id && c.throttled && !c.dead) {
        c.throttled = false;
        WatchConn(cid, c);
      }
    }
  }

  void AdvanceWriting(int id, Device& d, Millis now) {
    constexpr int kSteps = 4;
    // No writing time: all steps at once, not on the next ticks.
    const Millis step_ms = d.config.upgrade_write_ms / kSteps;
    while (d.writing && d.writing_step < kSteps &&
           now - d.writing_since >= step_ms * (d.writing_step + 1)) {
      ++d.writing_step;
      Broadcast(id, FrameType::kEvent, proto::kEventUpgradeWriting,
                std::to_string(d.writing_step * 100 / kSteps));
    }
    if (d.writing_step < kSteps)
      return;
    d.writing = false;
    if (d.fault == TransferFault::kNoEnd)
      return;
    ++d.upgrades;
    d.config.firmware_version = d.new_version;
    Broadcast(id, FrameType::kEvent, proto::kEventUpgradeDone, d.new_version);
    // The end must reach the client before the line goes: read what it sent meanwhile, so
    // closing does not reset the connection over unread bytes.
    for (auto& [cid, c] : conns) {
      if (c.device != id || c.dead)
        continue;
      while (::recv(c.fd, scratch.get(), kScratchSize, MSG_DONTWAIT) > 0) {
      }
      ::shutdown(c.fd, SHUT_WR);
    }
    CloseDeviceConns(id);
    StartReboot(d, now);
  }

  void AdvanceStartedWriting(Millis now) {
    for (const int id : std::exchange(writing_started, {})) {
      auto it = devices.find(id);
      if (it != devices.end() && it->second.writing)
        AdvanceWriting(id, it->second, now);
    }
  }

  bool ImageUnderway(int device) const {
    for (const auto& [cid, c] : conns) {
      if (c.device != device || c.dead)
        continue;
      for (const InFile& f : c.in_files) {
        if (f.kind == FileKind::kFirmware)
          return true;
      }
    }
    return false;
  }

  void FileEnd(Conn& c, std::uint32_t id, std::int32_t result, std::string_view text) {
    sdkproto::AppendFileEnd(c.out, c.next_sequence++, {id, result, text});
  }

  // Chunks of downloads within the window; the end once everything is acknowledged.
  void PumpOutFiles(Conn& c) {
    for (std::size_t i = 0; i < c.out_files.size();) {
      OutFile& f = c.out_files[i];
      while (f.sent < f.size && f.sent - f.acked < kDeviceWindow) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(sdkproto::kFileChunkSize, f.size - f.sent));
        sdkproto::AppendFileDataHeader(c.out, c.next_sequence++, f.id, f.sent, n);
        if (f.junk) {
          c.out.append(n, 'J');
        } else {
          c.out.append(f.data, static_cast<std::size_t>(f.sent), n);
        }
        f.sent += n;
      }
      if (f.acked == f.size) {
        FileEnd(c, f.id, sdkproto::kFileOk, {});
        c.out_files.erase(c.out_files.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      ++i;
    }
  }

  // Begin of an upload: accepted (0) or refused with the reason.
  std::int32_t AcceptUpload(Device& d, int device_id, const sdkproto::FileBegin& b) {
    switch (b.kind) {
      case FileKind::kFirmware:
        if (d.fault == TransferFault::kRefuseImage)
          return sdkproto::kFileImageRefused;
        if (d.writing || ImageUnderway(device_id))
          return sdkproto::kFileBusy;
        return sdkproto::kFileOk;
      case FileKind::kConfigImport:
        return b.size > kMaxConfigImport ? sdkproto::kFileTooLarge : sdkproto::kFileOk;
      case FileKind::kAppFile:
      case FileKind::kMp3File:
        return b.size > kMaxAppFile ? sdkproto::kFileTooLarge : sdkproto::kFileOk;
      default:
        return sdkproto::kFileBadKind;
    }
  }

  // The device's verdict on a complete upload.
  std::int32_t FinishUpload(Device& d, InFile& f, Millis now, std::string* why) {
    switch (f.kind) {
      case FileKind::kFirmware: {
        const auto verdict = f.checker->Finish();
        *why = sdkproto::FirmwareImageChecker::VerdictText(verdict);
        if (verdict != sdkproto::FirmwareImageChecker::Verdict::kOk)
          return sdkproto::kFileImageRefused;
        d.writing = true;
        d.writing_since = now;
        d.writing_step = 0;
        d.new_version = f.checker->version();
        return sdkproto::kFileOk;
      }
      case FileKind::kConfigImport: {
        auto documents = ReadConfigFile(f.body);
        if (!documents) {
          *why = "not a configuration file";
          return sdkproto::kFileBadContent;
        }
        for (auto& [command, text] : *documents)
          d.config.documents[command] = std::move(text);
        return sdkproto::kFileOk;
      }
      case FileKind::kAppFile:
        d.app_files[f.name] = f.body.size();
        d.config.files[f.name] = std::move(f.body);
        return sdkproto::kFileOk;
      case FileKind::kMp3File: {
        // Kept under the folder the device plays from; downloads ask for that path.
        const std::string path = kMp3Folder + f.name;
        d.mp3_files[path] = f.body.size();
        d.config.files[path] = std::move(f.body);
        return sdkproto::kFileOk;
      }
      default:
        return sdkproto::kFileBadKind;
    }
  }

  // False when the connection was closed.
  bool OnFileFrame(int id, Conn& c, Device& d, const sdkproto::FrameHeader& h,
                   std::string_view payload, Millis now) {
    switch (h.type) {
      case FrameType::kFileBegin: {
        sdkproto::FileBegin b;
        if (!sdkproto::ParseFileBegin(payload, b))
          break;
        if (sdkproto::IsUploadKind(b.kind)) {
          const std::int32_t verdict = AcceptUpload(d, c.device, b);
          if (verdict == sdkproto::kFileOk) {
            InFile f;
            f.id = b.id;
            f.kind = b.kind;
            f.size = b.size;
            f.name = std::string(b.name);
            if (b.kind == FileKind::kFirmware) {
              f.checker = std::make_unique<sdkproto::FirmwareImageChecker>(DeviceModel(d.config));
            }
            c.in_files.push_back(std::move(f));
          }
          sdkproto::AppendResult(c.out, FrameType::kResponse, h.sequence, {verdict, {}});
          return true;
        }
        OutFile f;
        f.id = b.id;
        if (d.fault == TransferFault::kHugeFile) {
          f.junk = true;
          f.size = kHugeAnnounced;
        } else if (b.kind == FileKind::kConfigExport) {
          f.data = ConfigFileDocument(d.config);
          f.size = f.data.size();
        } else {
          auto stored = d.config.files.find(std::string(b.name));
          if (stored == d.config.files.end()) {
            sdkproto::AppendResult(c.out, FrameType::kResponse, h.sequence,
                                   {sdkproto::kFileNotFound, {}});
            return true;
          }
          f.data = stored->second;
          f.size = f.data.size();
        }
        const std::string size_text = std::to_string(f.size);
        sdkproto::AppendResult(c.out, FrameType::kResponse, h.sequence, {0, size_text});
        c.out_files.push_back(std::move(f));
        PumpOutFiles(c);
        return true;
      }
      case FrameType::kFileData: {
        sdkproto::FileData m;
        if (!sdkproto::ParseFileData(payload, m))
          break;
        auto it = std::find_if(c.in_files.begin(), c.in_files.end(),
                               [&](const InFile& f) { return f.id == m.id; });
        if (it == c.in_files.end() || m.offset != it->received ||
            m.data.size() > it->size - it->received) {
          break;
        }
        InFile& f = *it;
        f.received += m.data.size();
        if (f.checker) {
          f.checker->Feed(m.data);
        } else {
          f.body.append(m.data);
        }
        const bool half = f.received * 2 >= f.size;
        if (d.fault == TransferFault::kDropMidTransfer && half) {
          CloseConn(id);
          return false;
        }
        if (d.fault == TransferFault::kStall && half)
          f.stalled = true;
        if (f.stalled)
          return true;
        if (d.fault == TransferFault::kGarbageAcks) {
          sdkproto::AppendFileAck(c.out, c.next_sequence++, {f.id + 977, f.received * 3 + 1});
          return true;
        }
        sdkproto::AppendFileAck(c.out, c.next_sequence++, {f.id, f.received});
        return true;
      }
      case FrameType::kFileAck: {
        sdkproto::FileAck m;
        if (!sdkproto::ParseFileAck(payload, m))
          break;
        auto it = std::find_if(c.out_files.begin(), c.out_files.end(),
                               [&](const OutFile& f) { return f.id == m.id; });
        if (it == c.out_files.end() || m.received < it->acked || m.received > it->sent)
          break;
        it->acked = m.received;
        PumpOutFiles(c);
        return true;
      }
      case FrameType::kFileEnd: {
        sdkproto::FileEnd m;
        if (!sdkproto::ParseFileEnd(payload, m))
          break;
        std::erase_if(c.out_files, [&](const OutFile& f) { return f.id == m.id; });
        auto it = std::find_if(c.in_files.begin(), c.in_files.end(),
                               [&](const InFile& f) { return f.id == m.id; });
        if (it == c.in_files.end())
          return true;
        InFile f = std::move(*it);
        c.in_files.erase(it);
        if (m.result != sdkproto::kFileOk)
          return true;  // the client gave it up
        std::string why;
        const std::int32_t verdict =
            f.received == f.size ? FinishUpload(d, f, now, &why) : sdkproto::kFileImageRefused;
        FileEnd(c, f.id, verdict, why);
        if (d.writing)
          writing_started.push_back(c.device);
        return true;
      }
      default:
        break;
    }
    CloseConn(id);
    return false;
  }

  void Broadcast(int device, FrameType type, int code, std::string_view text) {
    std::vector<int> ids;
    for (auto& [id, c] : conns) {
      if (c.device == device && c.state == ConnState::kUp && !c.dead)
        ids.push_back(id);
    }
    for (const int id : ids) {
      auto it = conns.find(id);
      if (it == conns.end())
        continue;
      sdkproto::AppendCoded(it->second.out, type, it->second.next_sequence++, {code, text});
      Flush(id, it->second);
    }
  }
};

DeviceServerHost::DeviceServerHost() : impl_(std::make_unique<Impl>()) {
  impl_->epoll_fd = ::epoll_create1(EPOLL_CLOEXEC);
}

DeviceServerHost::~DeviceServerHost() {
  Stop();
  for (auto& [id, c] : impl_->conns) {
    if (c.fd >= 0)
      ::close(c.fd);
  }
  for (auto& [id, d] : impl_->devices)
    impl_->Unlisten(d);
  if (impl_->epoll_fd >= 0)
    ::close(impl_->epoll_fd);
}

DeviceId DeviceServerHost::AddDevice(const DeviceConfig& config) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->epoll_fd < 0)
    return -EBADF;
  Impl::Device d;
  d.config = config;
  d.config.documents.emplace(proto::kCfgAudioCapture, DefaultAudioCaptureDocument());
  d.config.documents.emplace(proto::kCfgVideoCapture, DefaultVideoCaptureDocument());
  for (auto& [command, text] : FactorySettingsDocuments())
    d.config.documents.emplace(command, std::move(text));
  const int rc = impl_->Listen(d);
  if (rc != 0)
    return rc;
  const int id = impl_->next_device++;
  impl_->Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
  impl_->devices.emplace(id, std::move(d));
  return id;
}

bool DeviceServerHost::SetTalkFault(DeviceId id, TalkFault fault) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  it->second.talk_fault = fault;
  return true;
}

TalkStats DeviceServerHost::Talk(DeviceId id) const {
  return impl_->talk.Stats(id);
}

std::string DeviceServerHost::PlayingFile(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  return it == impl_->devices.end() ? std::string() : it->second.playing;
}

std::map<std::string, std::uint64_t> DeviceServerHost::ListedFiles(DeviceId id, bool mp3) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return {};
  return mp3 ? it->second.mp3_files : it->second.app_files;
}

bool DeviceServerHost::RemoveDevice(DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  impl_->talk.Close(id);
  impl_->CloseDeviceConns(id);
  impl_->Reap();
  impl_->Unlisten(it->second);
  impl_->devices.erase(it);
  return true;
}

int DeviceServerHost::MoveDevice(DeviceId id, const std::string& address, std::uint16_t port) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return -ENOENT;
  Impl::Device& d = it->second;
  impl_->CloseDeviceConns(id);
  impl_->Unlisten(d);
  d.config.address = address;
  if (port != 0) {
    d.config.port = port;
    d.bound_port = 0;
  }
  d.back_at = 0;
  const int rc = impl_->Listen(d);
  if (rc == 0)
    impl_->Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
  return rc;
}

bool DeviceServerHost::SetMisbehaviour(DeviceId id, Misbehaviour misbehaviour) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  it->second.misbehaviour = misbehaviour;
  std::vector<int> ids;
  for (auto& [cid, c] : impl_->conns) {
    if (c.device == id)
      ids.push_back(cid);
  }
  for (const int cid : ids) {
    auto cit = impl_->conns.find(cid);
    if (cit == impl_->conns.end())
      continue;
    Impl::Conn& c = cit->second;
    if (c.state == Impl::ConnState::kLoginHeld && misbehaviour != Misbehaviour::kHoldLogins) {
      c.state = Impl::ConnState::kAwaitLogin;
      const std::string payload = std::move(c.held_login);
      c.held_login.clear();
      if (!impl_->AnswerLogin(cid, c, it->second, c.held_sequence, payload))
        continue;
    }
    impl_->Misbehave(cid, c, misbehaviour);
  }
  impl_->Reap();
  return true;
}

template <typename F>
bool WithDevice(DeviceServerHost::Impl& impl, DeviceId id, F&& f) {
  std::lock_guard lock(impl.mutex);
  auto it = impl.devices.find(id);
  if (it == impl.devices.end())
    return false;
  f(it->second);
  return true;
}

bool DeviceServerHost::SetTransferFault(DeviceId id, TransferFault fault) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) { d.fault = fault; });
}

bool DeviceServerHost::SetBandwidthCap(DeviceId id, std::int64_t bytes_per_second) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) {
    d.cap = std::max<std::int64_t>(0, bytes_per_second);
    d.tokens = 0;
    d.refilled_at = NowMs();
    if (d.cap > 0)
      return;
    for (auto& [cid, c] : impl_->conns) {
      if (c.device == id && c.throttled && !c.dead) {
        c.throttled = false;
        impl_->WatchConn(cid, c);
      }
    }
  });
}

bool DeviceServerHost::SetUpgradeWriteMs(DeviceId id, int ms) {
  return WithDevice(*impl_, id,
                    [&](Impl::Device& d) { d.config.upgrade_write_ms = std::max(0, ms); });
}

bool DeviceServerHost::StoreFile(DeviceId id, const std::string& name, std::string bytes) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) { d.config.files[name] = std::move(bytes); });
}

std::optional<std::string> DeviceServerHost::StoredFile(DeviceId id,
                                                        const std::string& name) const {
  std::optional<std::string> out;
  WithDevice(*impl_, id, [&](Impl::Device& d) {
    auto it = d.config.files.find(name);
    if (it != d.config.files.end())
      out = it->second;
  });
  return out;
}

std::string DeviceServerHost::FirmwareVersion(DeviceId id) const {
  std::string out;
  WithDevice(*impl_, id, [&](Impl::Device& d) { out = d.config.firmware_version; });
  return out;
}

int DeviceServerHost::UpgradeCount(DeviceId id) const {
  int out = 0;
  WithDevice(*impl_, id, [&](Impl::Device& d) { out = d.upgrades; });
  return out;
}

bool DeviceServerHost::Reboot(DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  impl_->CloseDeviceConns(id);
  impl_->StartReboot(it->second, NowMs());
  return true;
}

bool DeviceServerHost::PushEvent(DeviceId id, int event_type, std::string_view data) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->devices.count(id) == 0)
    return false;
  impl_->Broadcast(id, FrameType::kEvent, event_type, data);
  return true;
}

bool DeviceServerHost::PushAux(DeviceId id, int command, std::string_view text) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->devices.count(id) == 0)
    return false;
  impl_->Broadcast(id, FrameType::kAux, command, text);
  return true;
}

std::uint16_t DeviceServerHost::Port(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end() || it->second.listen_fd < 0)
    return 0;
  return it->second.bound_port;
}

std::optional<std::string> DeviceServerHost::Document(DeviceId id, int command) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return std::nullopt;
  auto doc = it->second.config.documents.find(command);
  if (doc == it->second.config.documents.end())
    return std::nullopt;
  return doc->second;
}

std::vector<PtzCommand> DeviceServerHost::PtzLog(DeviceId id, bool clear) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return {};
  std::vector<PtzCommand> log = it->second.ptz_log;
  if (clear)
    it->second.ptz_log.clear();
  return log;
}

int DeviceServerHost::KeyFrameRequests(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  return it == impl_->devices.end() ? 0 : it->second.key_frame_requests;
}

bool DeviceServerHost::SetRefuseSettings(DeviceId id, bool refuse) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) { d.refuse_settings = refuse; });
}

bool DeviceServerHost::SetRefusedValue(DeviceId id, const std::string& attribute,
                                       const std::string& value) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) {
    if (attribute.empty())
      d.refused_values.clear();
    else
      d.refused_values.emplace_back(attribute, value);
  });
}

std::optional<std::int64_t> DeviceServerHost::ClockOffset(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return std::nullopt;
  return it->second.clock_offset_s;
}

std::optional<std::string> DeviceServerHost::LastSystemControl(DeviceId id, int command) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return std::nullopt;
  auto p = it->second.last_system_control.find(command);
  if (p == it->second.last_system_control.end())
    return std::nullopt;
  return p->second;
}

int DeviceServerHost::SystemControlCount(DeviceId id, int command) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return 0;
  auto n = it->second.system_control_count.find(command);
  return n == it->second.system_control_count.end() ? 0 : n->second;
}

bool DeviceServerHost::RefuseSystemCommand(DeviceId id, int command, bool refuse) {
  return WithDevice(*impl_, id, [&](Impl::Device& d) {
    if (refuse) {
      d.refused_commands.insert(command);
    } else {
      d.refused_commands.erase(command);
    }
  });
}

int DeviceServerHost::SessionCount(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  int n = 0;
  for (const auto& [cid, c] : impl_->conns) {
    n += c.device == id && c.state == Impl::ConnState::kUp && !c.dead;
  }
  return n;
}

int DeviceServerHost::ConnectionCount(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  int n = 0;
  for (const auto& [cid, c] : impl_->conns)
    n += c.device == id && !c.dead;
  return n;
}

int DeviceServerHost::Fd() const {
  return impl_->epoll_fd;
}

void DeviceServerHost::Poll(int timeout_ms) {
  epoll_event events[128];
  const int n = ::epoll_wait(impl_->epoll_fd, events, 128, timeout_ms);
  std::lock_guard lock(impl_->mutex);
  const Millis now = NowMs();
  for (int i = 0; i < n; ++i) {
    const std::uint64_t kind = events[i].data.u64 >> 32;
    const int id = static_cast<int>(events[i].data.u64 & 0xFFFFFFFFu);
    if (kind == kListenKind) {
      impl_->Accept(id);
    } else {
      impl_->OnConnIo(id, events[i].events, now);
    }
  }
  impl_->AdvanceStartedWriting(now);
  if (now - impl_->last_tick >= 50) {
    impl_->last_tick = now;
    impl_->Tick(now);
  }
  impl_->Reap();
}

bool DeviceServerHost::Start() {
  if (impl_->thread.joinable())
    return true;
  impl_->stop = false;
  try {
    impl_->thread = std::thread([this] {
      while (!impl_->stop)
        Poll(50);
    });
  } catch (...) {
    return false;
  }
  return true;
}

void DeviceServerHost::Stop() {
  if (!impl_->thread.joinable())
    return;
  impl_->stop = true;
  impl_->thread.join();
}

}  // namespace vdz::devserver
