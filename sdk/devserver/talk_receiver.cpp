#include "talk_receiver.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace vdz::devserver {

namespace {

using sdkproto::TalkCodec;
using sdkproto::TalkTransport;

constexpr std::uint64_t kWakeTag = ~std::uint64_t{0};
// Tag: device id in the low 32 bits, socket role above.
constexpr std::uint64_t kRoleData = 1;
constexpr std::uint64_t kRoleListen = 2;

std::int64_t WallMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::uint64_t Tag(std::uint64_t role, int device) {
  return (role << 32) | static_cast<std::uint32_t>(device);
}

// G.711 mu-law expansion (ITU-T G.711), written out here rather than taken from the codec
// library the sender uses.
std::int16_t MuLawToLinear(std::uint8_t u) {
  u = static_cast<std::uint8_t>(~u);
  const int t = ((u & 0x0F) << 3) + 0x84;
  const int v = (t << ((u & 0x70) >> 4)) - 0x84;
  return static_cast<std::int16_t>((u & 0x80) ? -v : v);
}

int AacFrequencyIndex(int rate) {
  static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};
  for (int i = 0; i < 13; ++i)
    if (kRates[i] == rate)
      return i;
  return -1;
}

void PutU32(std::FILE* f, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}
void PutU16(std::FILE* f, std::uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

void WriteWavHeader(std::FILE* f, int rate, int channels, std::uint32_t data_bytes) {
  std::fseek(f, 0, SEEK_SET);
  std::fwrite("RIFF", 1, 4, f);
  PutU32(f, 36 + data_bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  PutU32(f, 16);
  PutU16(f, 1);
  PutU16(f, static_cast<std::uint16_t>(channels));
  PutU32(f, static_cast<std::uint32_t>(rate));
  PutU32(f, static_cast<std::uint32_t>(rate * channels * 2));
  PutU16(f, static_cast<std::uint16_t>(channels * 2));
  PutU16(f, 16);
  std::fwrite("data", 1, 4, f);
  PutU32(f, data_bytes);
}

}  // namespace

struct TalkReceivers::Receiver {
  sdkproto::TalkParameters params;
  int data_fd = -1;    // UDP socket, or the accepted TCP connection
  int listen_fd = -1;  // TCP only
  std::string stream;  // TCP bytes of a frame not complete yet
  std::FILE* wav = nullptr;
  TalkStats stats;
  bool have_sequence = false;
  std::uint16_t next_sequence = 0;
  AVCodecContext* aac = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  std::vector<std::int16_t> pcm;

  ~Receiver() {
    if (data_fd >= 0)
      ::close(data_fd);
    if (listen_fd >= 0)
      ::close(listen_fd);
    if (wav != nullptr) {
      WriteWavHeader(wav, params.sample_rate, params.channels,
                     static_cast<std::uint32_t>(stats.bytes));
      std::fclose(wav);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&aac);
  }

  bool OpenAac() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    const int index = AacFrequencyIndex(params.sample_rate);
    if (codec == nullptr || index < 0)
      return false;
    aac = avcodec_alloc_context3(codec);
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (aac == nullptr || packet == nullptr || frame == nullptr)
      return false;
    // AudioSpecificConfig: AAC LC, the rate's index, the channel count.
    aac->extradata = static_cast<std::uint8_t*>(av_mallocz(2 + AV_INPUT_BUFFER_PADDING_SIZE));
    if (aac->extradata == nullptr)
      return false;
    aac->extradata[0] = static_cast<std::uint8_t>((2 << 3) | (index >> 1));
    aac->extradata[1] = static_cast<std::uint8_t>(((index & 1) << 7) | (params.channels << 3));
    aac->extradata_size = 2;
    return avcodec_open2(aac, codec, nullptr) == 0;
  }

  void Write(const std::int16_t* samples, std::size_t count) {
    if (wav == nullptr || count == 0)
      return;
    std::fwrite(samples, 2, count, wav);
    stats.bytes += count * 2;
  }

  void OnPacket(std::string_view bytes) {
    sdkproto::RtpHeader h;
    const auto payload = sdkproto::ParseRtp(bytes, h);
    if (!payload)
      return;
    ++stats.packets;
    if (have_sequence && h.sequence != next_sequence)
      stats.lost += static_cast<std::uint16_t>(h.sequence - next_sequence);
    have_sequence = true;
    next_sequence = static_cast<std::uint16_t>(h.sequence + 1);
    pcm.clear();
    switch (params.codec) {
      case TalkCodec::kPcm:
        for (std::size_t i = 0; i + 1 < payload->size(); i += 2)
          pcm.push_back(static_cast<std::int16_t>((static_cast<std::uint8_t>((*payload)[i]) << 8) |
                                                  static_cast<std::uint8_t>((*payload)[i + 1])));
        break;
      case TalkCodec::kG711u:
        for (char c : *payload)
          pcm.push_back(MuLawToLinear(static_cast<std::uint8_t>(c)));
        break;
      case TalkCodec::kAac: {
        const auto au = sdkproto::ParseAacAccessUnit(*payload);
        if (!au || aac == nullptr)
          return;
        av_packet_unref(packet);
        if (av_new_packet(packet, static_cast<int>(au->size())) < 0)
          return;
        std::memcpy(packet->data, au->data(), au->size());
        if (avcodec_send_packet(aac, packet) < 0)
          return;
        while (avcodec_receive_frame(aac, frame) == 0) {
          const int ch = frame->ch_layout.nb_channels;
          for (int i = 0; i < frame->nb_samples; ++i) {
            for (int c = 0; c < ch && c < params.channels; ++c) {
              float v = frame->format == AV_SAMPLE_FMT_FLTP
                            ? reinterpret_cast<const float*>(frame->data[c])[i]
                            : 0.0f;
              v = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
              pcm.push_back(static_cast<std::int16_t>(v * 32767.0f));
            }
          }
          av_frame_unref(frame);
        }
        break;
      }
    }
    Write(pcm.data(), pcm.size());
  }
};

TalkReceivers::TalkReceivers() {
  epoll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kWakeTag;
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev);
  thread_ = std::thread([this] { Run(); });
}

TalkReceivers::~TalkReceivers() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
  thread_.join();
  receivers_.clear();
  ::close(wake_fd_);
  ::close(epoll_fd_);
}

std::string TalkReceivers::Open(int device, const std::string& address,
                                const sdkproto::TalkParameters& p, const std::string& wav_path) {
  Close(device);
  auto r = std::make_unique<Receiver>();
  r->params = p;
  if (p.codec == TalkCodec::kAac && !r->OpenAac())
    return {};
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
    return {};
  std::string answer;
  int watch_fd = -1;
  std::uint64_t role = kRoleData;
  if (p.transport == TalkTransport::kMulticast) {
    const std::size_t colon = p.group.rfind(':');
    sockaddr_in group{};
    group.sin_family = AF_INET;
    const auto port = sdkproto::ParseTalkPort("group=" + p.group);
    if (colon == std::string::npos || !port ||
        ::inet_pton(AF_INET, p.group.substr(0, colon).c_str(), &group.sin_addr) != 1)
      return {};
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Bound to the group, so a device sees only its talk's datagrams.
    sockaddr_in bind_to = group;
    bind_to.sin_port = htons(*port);
    ip_mreq join{};
    join.imr_multiaddr = group.sin_addr;
    join.imr_interface = local.sin_addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&bind_to), sizeof bind_to) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
      if (fd >= 0)
        ::close(fd);
      return {};
    }
    r->data_fd = fd;
    watch_fd = fd;
    answer = "group=" + p.group;
  } else {
    const bool tcp = p.transport == TalkTransport::kTcp;
    const int fd =
        ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    socklen_t len = sizeof local;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        (tcp && ::listen(fd, 2) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
      if (fd >= 0)
        ::close(fd);
      return {};
    }
    if (tcp) {
      r->listen_fd = fd;
      role = kRoleListen;
    } else {
      r->data_fd = fd;
      int size = 1 << 20;
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    watch_fd = fd;
    answer = "port=" + std::to_string(ntohs(local.sin_port));
  }
  r->wav = std::fopen(wav_path.c_str(), "w+b");
  if (r->wav != nullptr)
    WriteWavHeader(r->wav, p.sample_rate, p.channels, 0);
  r->stats.open = true;
  r->stats.wav_path = wav_path;
  r->stats.format = sdkproto::FormatTalkParameters(p);

  std::lock_guard lock(mutex_);
  r->stats.talks = ++talks_[device];
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = Tag(role, device);
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, watch_fd, &ev);
  receivers_[device] = std::move(r);
  return answer;
}

bool TalkReceivers::Close(int device) {
  std::unique_ptr<Receiver> r;
  {
    std::lock_guard lock(mutex_);
    const auto it = receivers_.find(device);
    if (it == receivers_.end())
      return false;
    // What arrived before the stop is the talk's: a device plays what it has received.
    Drain(device, *it->second);
    r = std::move(it->second);
    receivers_.erase(it);
    // Closing a descriptor takes it out of the epoll set; the tag of a late event finds no
    // receiver.
    r->stats.open = false;
    last_[device] = r->stats;
  }
  r.reset();
  return true;
}

TalkStats TalkReceivers::Stats(int device) const {
  std::lock_guard lock(mutex_);
  const auto it = receivers_.find(device);
  TalkStats s;
  if (it != receivers_.end()) {
    s = it->second->stats;
  } else {
    const auto last = last_.find(device);
    if (last != last_.end())
      s = last->second;
    const auto talks = talks_.find(device);
    s.talks = talks != talks_.end() ? talks->second : 0;
  }
  const auto arrivals = arrivals_.find(device);
  s.longest_gap_us = arrivals != arrivals_.end() ? arrivals->second.longest_us : 0;
  return s;
}

void TalkReceivers::NoteArrival(int device, std::int64_t arrived_us) {
  Arrivals& a = arrivals_[device];
  if (a.any)
    a.longest_us = std::max(a.longest_us, arrived_us - a.last_us);
  a.any = true;
  a.last_us = arrived_us;
}

void TalkReceivers::Run() {
  epoll_event events[32];
  for (;;) {
    const int n = ::epoll_wait(epoll_fd_, events, 32, 200);
    std::lock_guard lock(mutex_);
    if (stop_)
      return;
    for (int i = 0; i < n; ++i) {
      if (events[i].data.u64 == kWakeTag)
        continue;
      const int device = static_cast<int>(events[i].data.u64 & 0xFFFFFFFFu);
      const std::uint64_t role = events[i].data.u64 >> 32;
      const auto it = receivers_.find(device);
      if (it == receivers_.end())
        continue;
      Receiver& r = *it->second;
      if (role == kRoleListen) {
        const int fd = ::accept4(r.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
          continue;
        if (r.data_fd >= 0)
          ::close(r.data_fd);  // a new connection of the talk replaces the old one
        r.data_fd = fd;
        r.stream.clear();
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = Tag(kRoleData, device);
        ::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &ev);
        continue;
      }
      Drain(device, r);
    }
  }
}

void TalkReceivers::Drain(int device, Receiver& r) {
  if (r.data_fd < 0)
    return;
  const auto deliver = [&](std::string_view packet, std::int64_t arrived_us) {
    const std::uint64_t before = r.stats.packets;
    r.OnPacket(packet);
    if (r.stats.packets != before)
      NoteArrival(device, arrived_us);
  };
  if (r.params.transport != TalkTransport::kTcp) {
    for (;;) {
      const ssize_t got = ::recv(r.data_fd, buffer_.data(), buffer_.size(), 0);
      if (got <= 0)
        break;
      // The kernel's arrival time, so that a late reader does not shift the gaps it reports.
      timeval stamp{};
      const std::int64_t arrived_us = ::ioctl(r.data_fd, SIOCGSTAMP, &stamp) == 0
                                          ? std::int64_t{stamp.tv_sec} * 1000000 + stamp.tv_usec
                                          : WallMicroseconds();
      deliver(std::string_view(buffer_.data(), static_cast<std::size_t>(got)), arrived_us);
    }
    return;
  }
  for (;;) {
    const ssize_t got = ::recv(r.data_fd, buffer_.data(), buffer_.size(), 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      ::close(r.data_fd);
      r.data_fd = -1;
      break;
    }
    if (got < 0)
      break;
    const std::int64_t arrived_us = WallMicroseconds();
    r.stream.append(buffer_.data(), static_cast<std::size_t>(got));
    std::size_t pos = 0;
    while (r.stream.size() - pos >= 2) {
      const std::size_t len = (static_cast<std::uint8_t>(r.stream[pos]) << 8) |
                              static_cast<std::uint8_t>(r.stream[pos + 1]);
      if (r.stream.size() - pos - 2 < len)
        break;
      deliver(std::string_view(r.stream).substr(pos + 2, len), arrived_us);
      pos += 2 + len;
    }
    r.stream.erase(0, pos);
  }
}

}  // namespace vdz::devserver
