// How many device answers per second the discovery worker can take in: classify, then read
// identity and blocks from the one parsed document, as the registry does. The floor is
// tinyxml2 parsing the same text into a fresh document, measured in the same run.
#include <tinyxml2.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_document.h"
#include "devconfig/device_identity_reader.h"
#include "devconfig/message_header_reader.h"
#include "discovery/discovery_protocol.h"

namespace {

constexpr double kTargetPerSecond = 5000.0;
using Clock = std::chrono::steady_clock;

// Results folded into a sink so the work cannot be optimised away.
long g_sink = 0;

void ReadAnswer(const char* text) {
  const vdz::DeviceDocument doc(text);
  if (vdz::ClassifyDatagram(doc) != vdz::DatagramKind::kDeviceAnswer)
    return;
  vdz::DeviceIdentity identity{};
  identity.P2PSTATUS = -1;
  vdz::RkSystemRecord rk;
  vdz::LanConfigRecord lan{};
  vdz::StreamAccessRecord stream{};
  vdz::UserConfigRecord users{};
  g_sink += vdz::ReadDeviceIdentity(doc, &identity);
  g_sink += vdz::ReadRkSystem(doc, &rk);
  g_sink += vdz::ReadLanConfig(doc, &lan);
  g_sink += vdz::ReadStreamAccess(doc, &stream);
  g_sink += vdz::ReadUserConfig(doc, &users);
  g_sink += identity.runtime + stream.VideoPort + lan.IPAddress[0] + users.Count;
}

void ReadAnswerOneParsePerReader(const char* text) {
  if (vdz::ClassifyDatagram(text) != vdz::DatagramKind::kDeviceAnswer)
    return;
  vdz::DeviceIdentity identity{};
  vdz::RkSystemRecord rk;
  vdz::LanConfigRecord lan{};
  vdz::StreamAccessRecord stream{};
  vdz::UserConfigRecord users{};
  g_sink += vdz::ReadDeviceIdentity(text, &identity);
  g_sink += vdz::ReadRkSystem(text, &rk);
  g_sink += vdz::ReadLanConfig(text, &lan);
  g_sink += vdz::ReadStreamAccess(text, &stream);
  g_sink += vdz::ReadUserConfig(text, &users);
}

void BareParse(const char* text) {
  tinyxml2::XMLDocument doc;
  doc.Parse(text);
  g_sink += doc.FirstChildElement() != nullptr;
}

// Best of several rounds of about a quarter second each, in operations per second.
double Measure(const std::function<void(const char*)>& op, const char* text) {
  double best = 0;
  for (int round = 0; round < 4; ++round) {
    long count = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point now = start;
    do {
      for (int i = 0; i < 100; ++i)
        op(text);
      count += 100;
      now = Clock::now();
    } while (now - start < std::chrono::milliseconds(250));
    const double seconds = std::chrono::duration<double>(now - start).count();
    if (count / seconds > best)
      best = count / seconds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : VDZ_BENCH_ANSWER;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "codec_bench: cannot read %s\n", path);
    return 1;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string answer = buffer.str();

  const vdz::DeviceDocument check(answer.c_str());
  if (vdz::ClassifyDatagram(check) != vdz::DatagramKind::kDeviceAnswer) {
    std::fprintf(stderr, "codec_bench: %s is not a device answer\n", path);
    return 1;
  }

  const double floor = Measure(BareParse, answer.c_str());
  const double ours = Measure(ReadAnswer, answer.c_str());
  const double per_reader = Measure(ReadAnswerOneParsePerReader, answer.c_str());

  std::printf("answer: %s (%zu bytes)\n", path, answer.size());
  std::printf("%-44s %12.0f /s\n", "tinyxml2 bare parse (floor)", floor);
  std::printf("%-44s %12.0f /s  ratio %.2f of floor  target %.0f /s: %s\n",
              "classify + 5 readers, one parse", ours, ours / floor, kTargetPerSecond,
              ours >= kTargetPerSecond ? "met" : "MISSED");
  std::printf("%-44s %12.0f /s  ratio %.2f of floor\n", "classify + 5 readers, a parse each",
              per_reader, per_reader / floor);
  return g_sink == 42 ? 2 : 0;
}
