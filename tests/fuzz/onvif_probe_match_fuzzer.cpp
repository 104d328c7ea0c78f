// Feeds arbitrary datagrams through what the WS-Discovery worker does with an answer: the
// ProbeMatches reader, the XAddr choice and the merge into rows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "onvif/probe_match_reader.h"
#include "onvif/wsd_merge.h"
#include "onvif/wsd_socket.h"
#include "onvif/xaddr_choice.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > vdz::onvif::kWsdDatagramMax)
    size = vdz::onvif::kWsdDatagramMax;
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  std::vector<vdz::onvif::ProbeMatch> matches;
  const vdz::onvif::ProbeMatchStatus status = vdz::onvif::ReadProbeMatches(
      datagram, {"urn:uuid:00000000-0000-4000-8000-000000000000"}, &matches);
  Expect((status == vdz::onvif::ProbeMatchStatus::kMatches) == !matches.empty());
  vdz::onvif::WsdMerge merge;
  for (const vdz::onvif::ProbeMatch& m : matches) {
    Expect(!m.endpoint.empty());
    merge.Add(m, "192.0.2.1", "192.0.2.100");
    // Whatever the device listed, the chosen address is a well-formed one at the answer's host.
    vdz::onvif::HttpAddress chosen;
    Expect(vdz::onvif::ParseHttpAddress(vdz::onvif::ChooseXAddr(m.xaddrs, "192.0.2.1"), &chosen));
    Expect(chosen.host == "192.0.2.1");
  }
  Expect(merge.size() <= matches.size());
  return 0;
}
