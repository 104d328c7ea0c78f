// Payloads of the frame types: build into a frame, parse from a received payload.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace vdz::sdkproto {

struct LoginMessage {
  std::string_view user;
  std::uint64_t digest = 0;
};

struct RequestMessage {
  RequestOp op = RequestOp::kSetConfig;
  std::int32_t command = 0;
  std::int32_t argument = 0;
  std::string_view text;
};

// LOGIN_REPLY and RESPONSE: a result and an optional text.
struct ResultMessage {
  std::int32_t result = 0;
  std::string_view text;
};

// EVENT (code = event type) and AUX (code = command).
struct CodedText {
  std::int32_t code = 0;
  std::string_view text;
};

// Each Append* writes one whole frame; texts longer than a frame holds are cut to fit.
void AppendLogin(std::string& out, std::uint32_t seq, const LoginMessage& m);
void AppendRequest(std::string& out, std::uint32_t seq, const RequestMessage& m);
void AppendResult(std::string& out, FrameType type, std::uint32_t seq, const ResultMessage& m);
void AppendCoded(std::string& out, FrameType type, std::uint32_t seq, const CodedText& m);

// Views point into `payload`; false when it is too short or inconsistent.
bool ParseLogin(std::string_view payload, LoginMessage& m);
bool ParseRequest(std::string_view payload, RequestMessage& m);
bool ParseResult(std::string_view payload, ResultMessage& m);
bool ParseCoded(std::string_view payload, CodedText& m);

}  // namespace vdz::sdkproto
