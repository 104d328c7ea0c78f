#include "protocol/messages.h"

#include "protocol/payload.h"

namespace vdz::sdkproto {

namespace {

std::string_view Fit(std::string_view text, std::size_t fixed) {
  const std::size_t room = kMaxPayload - fixed;
  return text.size() > room ? text.substr(0, room) : text;
}

}  // namespace

void AppendLogin(std::string& out, std::uint32_t seq, const LoginMessage& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.Text16(m.user);
  w.U64(m.digest);
  AppendFrame(out, FrameType::kLogin, seq, payload);
}

void AppendRequest(std::string& out, std::uint32_t seq, const RequestMessage& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.U16(static_cast<std::uint16_t>(m.op));
  w.U16(0);
  w.I32(m.command);
  w.I32(m.argument);
  w.Bytes(Fit(m.text, 12));
  AppendFrame(out, FrameType::kRequest, seq, payload);
}

void AppendResult(std::string& out, FrameType type, std::uint32_t seq, const ResultMessage& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.I32(m.result);
  w.Bytes(Fit(m.text, 4));
  AppendFrame(out, type, seq, payload);
}

void AppendCoded(std::string& out, FrameType type, std::uint32_t seq, const CodedText& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.I32(m.code);
  w.Bytes(Fit(m.text, 4));
  AppendFrame(out, type, seq, payload);
}

bool ParseLogin(std::string_view payload, LoginMessage& m) {
  PayloadReader r(payload);
  return r.Text16(m.user) && r.U64(m.digest) && r.Rest().empty();
}

bool ParseRequest(std::string_view payload, RequestMessage& m) {
  PayloadReader r(payload);
  std::uint16_t op = 0;
  std::uint16_t zero = 0;
  if (!r.U16(op) || !r.U16(zero) || !r.I32(m.command) || !r.I32(m.argument))
    return false;
  m.op = static_cast<RequestOp>(op);
  m.text = r.Rest();
  return true;
}

bool ParseResult(std::string_view payload, ResultMessage& m) {
  PayloadReader r(payload);
  if (!r.I32(m.result))
    return false;
  m.text = r.Rest();
  return true;
}

bool ParseCoded(std::string_view payload, CodedText& m) {
  PayloadReader r(payload);
  if (!r.I32(m.code))
    return false;
  m.text = r.Rest();
  return true;
}

}  // namespace vdz::sdkproto
