// Feeds arbitrary bytes through the readers of a talk: the talk parameters a device is asked
// for, the port its event 6 names, and the RTP packets (with AAC access units) it receives.
// The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/talk_messages.h"

namespace {

using namespace vdz::sdkproto;

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void ReadParameters(std::string_view text) {
  const auto p = ParseTalkParameters(text);
  if (!p)
    return;
  // What a client writes from the parameters it was given reads back as them.
  const auto again = ParseTalkParameters(FormatTalkParameters(*p));
  Expect(again && again->transport == p->transport && again->codec == p->codec &&
         again->sample_rate == p->sample_rate && again->channels == p->channels &&
         again->group == p->group);
  if (ValidTalkParameters(*p))
    RtpPayloadType(p->codec, p->sample_rate, p->channels);
}

void ReadPacket(std::string_view packet) {
  RtpHeader h;
  const auto payload = ParseRtp(packet, h);
  if (!payload)
    return;
  Expect(Inside(*payload, packet) && packet.size() - payload->size() >= kRtpHeaderSize);
  std::string header;
  AppendRtpHeader(header, h);
  // Version, padding, extension and CSRC count are the reader's own business; the rest of the
  // fixed header is what the fields say.
  Expect(header.compare(1, std::string::npos, packet.substr(1, kRtpHeaderSize - 1)) == 0);
  if (const auto unit = ParseAacAccessUnit(*payload))
    Expect(Inside(*unit, *payload) && !unit->empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      ReadParameters(text);
      break;
    case 1:
      if (const auto port = ParseTalkPort(text))
        Expect(*port != 0);
      break;
    default:
      ReadPacket(text);
      break;
  }
  return 0;
}
