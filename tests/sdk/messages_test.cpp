#include "protocol/messages.h"

#include <gtest/gtest.h>

#include "protocol/frame.h"
#include "protocol/login_digest.h"

namespace vdz::sdkproto {
namespace {

std::string_view PayloadOf(const std::string& frame) {
  return std::string_view(frame).substr(kHeaderSize);
}

TEST(Messages, RequestFrameBytesAreExact) {
  std::string frame;
  AppendRequest(frame, 0x01020304, {RequestOp::kSystemControl, 1012, 0, "RESPONSE_PARAM"});
  const std::string expected =
      std::string("QMNS\x01\x10\x00\x00\x01\x02\x03\x04\x00\x00\x00\x1a", 16) +
      std::string("\x00\x03\x00\x00\x00\x00\x03\xf4\x00\x00\x00\x00", 12) + "RESPONSE_PARAM";
  EXPECT_EQ(frame, expected);
}

TEST(Messages, RoundTrips) {
  std::string frame;
  AppendRequest(frame, 1, {RequestOp::kSetConfig, 525, -1, "<Overlay/>"});
  RequestMessage r;
  ASSERT_TRUE(ParseRequest(PayloadOf(frame), r));
  EXPECT_EQ(r.op, RequestOp::kSetConfig);
  EXPECT_EQ(r.command, 525);
  EXPECT_EQ(r.argument, -1);
  EXPECT_EQ(r.text, "<Overlay/>");

  frame.clear();
  AppendLogin(frame, 2, {"admin", 0x0123456789abcdefULL});
  LoginMessage l;
  ASSERT_TRUE(ParseLogin(PayloadOf(frame), l));
  EXPECT_EQ(l.user, "admin");
  EXPECT_EQ(l.digest, 0x0123456789abcdefULL);

  frame.clear();
  AppendCoded(frame, FrameType::kEvent, 3, {23, std::string_view("a\0b", 3)});
  CodedText c;
  ASSERT_TRUE(ParseCoded(PayloadOf(frame), c));
  EXPECT_EQ(c.code, 23);
  EXPECT_EQ(c.text, std::string_view("a\0b", 3));
}

TEST(Messages, ShortOrInconsistentPayloadsAreRefused) {
  RequestMessage r;
  LoginMessage l;
  ResultMessage res;
  CodedText c;
  EXPECT_FALSE(ParseRequest(std::string_view("\x00\x01\x00", 3), r));
  EXPECT_FALSE(ParseResult(std::string_view("\x00\x00", 2), res));
  EXPECT_FALSE(ParseCoded({}, c));
  // User length says 200 bytes, only 3 follow.
  EXPECT_FALSE(ParseLogin(std::string_view("\x00\xc8"
                                           "abc",
                                           5),
                          l));
  // Trailing bytes after the digest.
  std::string frame;
  AppendLogin(frame, 1, {"u", 1});
  std::string payload(PayloadOf(frame));
  payload += 'x';
  EXPECT_FALSE(ParseLogin(payload, l));
}

TEST(LoginDigest, DependsOnEveryInput) {
  const std::string nonce(16, '\x5a');
  const auto base = LoginDigest(nonce, "admin", "admin");
  EXPECT_EQ(base, LoginDigest(nonce, "admin", "admin"));
  EXPECT_NE(base, LoginDigest(std::string(16, '\x5b'), "admin", "admin"));
  EXPECT_NE(base, LoginDigest(nonce, "admin", "admin1"));
  EXPECT_NE(base, LoginDigest(nonce, "admi", "nadmin"));  // the separator matters
}

}  // namespace
}  // namespace vdz::sdkproto
