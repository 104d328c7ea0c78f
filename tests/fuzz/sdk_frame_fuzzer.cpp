// Feeds arbitrary bytes from a device's control connection through the frame assembler, cut
// into reads the input chooses, and every frame through the parser of its type and on into
// what the application does with events and auxiliary answers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "devops/sdk_event.h"
#include "devops/sdk_event_handler.h"
#include "devops/snapshot_capture.h"
#include "protocol/file_messages.h"
#include "protocol/frame_assembler.h"
#include "protocol/messages.h"
#include "protocol/protocol_numbers.h"
#include "protocol/talk_messages.h"
#include "qm_netsdk.h"
#include "support/fake_device_list.h"

namespace {

using namespace vdz::sdkproto;

struct Frame {
  FrameHeader header;
  std::string payload;
};

FrameAssembler::Result Assemble(const std::uint8_t* data, std::size_t size, std::size_t piece,
                                std::vector<Frame>& frames) {
  FrameAssembler assembler;
  auto keep = [&](const FrameHeader& h, std::string_view payload) {
    if (payload.size() != h.length)
      __builtin_trap();
    frames.push_back({h, std::string(payload)});
    return true;
  };
  FrameAssembler::Result result = FrameAssembler::Result::kOk;
  for (std::size_t pos = 0; pos < size && result == FrameAssembler::Result::kOk; pos += piece) {
    result = assembler.Feed(data + pos, std::min(piece, size - pos), keep);
    // Only the frame being assembled is held, never more than one frame can be.
    if (assembler.buffered() >= kHeaderSize + kMaxPayload)
      __builtin_trap();
  }
  return result;
}

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

// A parsed message written again must give the bytes it came from; `masked` bytes of the
// original (fields receivers ignore) are taken as zero.
void ExpectSame(std::string_view payload, const std::string& frame,
                std::initializer_list<std::size_t> masked = {}) {
  std::string original(payload);
  for (std::size_t at : masked)
    original[at] = '\0';
  Expect(frame.size() == kHeaderSize + original.size() &&
         frame.compare(kHeaderSize, std::string::npos, original) == 0);
}

// The SDK hands event data zero-filled to a minimum size and NUL-terminated, answers as text.
std::string EventData(std::string_view text) {
  std::string data(std::max<std::size_t>(text.size() + 1, QM_NETSDK_EVENT_DATA_MIN), '\0');
  std::memcpy(data.data(), text.data(), text.size());
  return data;
}

class Application {
 public:
  Application() {
    vdz::DeviceRow& row = list_.Add(1, true, true);
    row.snapshot_pending = 1;
    row.upgrading = 1;
    vdz::SdkEventHooks hooks;
    hooks.talk_console = [](const vdz::SdkEventRecord& e) { Expect(e.handle == 1); };
    hooks.snapshot_alarm = [](int, vdz::DeviceRow&, const vdz::SdkEventRecord& e) {
      const char* path = e.payload + vdz::proto::kAlarmPathOffset;
      vdz::SnapshotLocalName(
          std::string_view(path, strnlen(path, sizeof e.payload - vdz::proto::kAlarmPathOffset)));
    };
    handler_ = std::make_unique<vdz::SdkEventHandler>(sdk_, list_, std::move(hooks));
  }

  void Event(const CodedText& m) {
    if (m.code == vdz::proto::kEventTalkStarted)
      ParseTalkPort(m.text);
    const std::string data = EventData(m.text);
    const auto record = vdz::MakeStatusEventRecord(1, m.code, data.c_str(), nullptr);
    Expect(record != nullptr);
    handler_->HandleStatusEvent(*record);
  }

  void Answer(const CodedText& m) {
    const std::string text(m.text);
    const auto record = vdz::MakeAuxEventRecord(1, m.code, text.c_str(), nullptr);
    Expect(record != nullptr &&
           strnlen(record->payload, sizeof record->payload) < sizeof record->payload);
    handler_->HandleAuxResponse(*record);
    const vdz::DeviceRow& row = *list_.RowAt(0);
    Expect(strnlen(row.firmware_version, sizeof row.firmware_version) <
               sizeof row.firmware_version &&
           strnlen(row.device_information, sizeof row.device_information) <
               sizeof row.device_information);
  }

 private:
  vdz::test::FakeDeviceList list_;
  vdz::test::FakeSdk sdk_;
  std::unique_ptr<vdz::SdkEventHandler> handler_;
};

void Read(const Frame& f, Application& app) {
  const std::string_view p = f.payload;
  const std::uint32_t seq = f.header.sequence;
  std::string again;
  switch (f.header.type) {
    case FrameType::kLogin: {
      LoginMessage m;
      if (ParseLogin(p, m)) {
        AppendLogin(again, seq, m);
        ExpectSame(p, again);
      }
      break;
    }
    case FrameType::kRequest: {
      RequestMessage m;
      if (ParseRequest(p, m)) {
        AppendRequest(again, seq, m);
        ExpectSame(p, again, {2, 3});
        if (m.op == RequestOp::kTalkStart)
          ParseTalkParameters(m.text);
      }
      break;
    }
    case FrameType::kLoginReply:
    case FrameType::kResponse: {
      ResultMessage m;
      if (ParseResult(p, m)) {
        AppendResult(again, f.header.type, seq, m);
        ExpectSame(p, again);
      }
      break;
    }
    case FrameType::kEvent:
    case FrameType::kAux: {
      CodedText m;
      if (ParseCoded(p, m)) {
        AppendCoded(again, f.header.type, seq, m);
        ExpectSame(p, again);
        if (f.header.type == FrameType::kEvent)
          app.Event(m);
        else
          app.Answer(m);
      }
      break;
    }
    case FrameType::kFileBegin: {
      FileBegin m;
      if (ParseFileBegin(p, m)) {
        AppendFileBegin(again, seq, m);
        ExpectSame(p, again, {6, 7});
      }
      break;
    }
    case FrameType::kFileData: {
      FileData m;
      if (ParseFileData(p, m)) {
        AppendFileDataHeader(again, seq, m.id, m.offset, m.data.size());
        again.append(m.data);
        ExpectSame(p, again);
      }
      break;
    }
    case FrameType::kFileAck: {
      FileAck m;
      if (ParseFileAck(p, m)) {
        AppendFileAck(again, seq, m);
        ExpectSame(p, again);
      }
      break;
    }
    case FrameType::kFileEnd: {
      FileEnd m;
      if (ParseFileEnd(p, m) && m.text.size() <= 1024) {
        AppendFileEnd(again, seq, m);
        ExpectSame(p, again);
      }
      break;
    }
    case FrameType::kChallenge:
    case FrameType::kPing:
    case FrameType::kPong:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  // The first byte sets the size of the reads, as a socket may deliver any split.
  const std::size_t piece = 1 + data[0] % 64;
  ++data;
  --size;

  std::vector<Frame> whole;
  const auto whole_result = Assemble(data, size, size == 0 ? 1 : size, whole);
  std::vector<Frame> pieces;
  const auto pieces_result = Assemble(data, size, piece, pieces);
  // The same frames and the same verdict whatever the split.
  Expect(whole_result == pieces_result && whole.size() == pieces.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    Expect(whole[i].header.type == pieces[i].header.type &&
           whole[i].header.sequence == pieces[i].header.sequence &&
           whole[i].payload == pieces[i].payload);
  }

  Application app;
  for (const Frame& f : whole)
    Read(f, app);
  return 0;
}
