#include "devconfig/message_header_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devconfig/fixture_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using test::LogCapture;
using test::TailIsZero;

std::string WithHeader(const std::string& header, const std::string& root = "XML_VORTAN") {
  return "<" + root + ">" + header + "<MESSAGE_BODY/></" + root + ">";
}

TEST(ReadMessageHeaderTest, ReadsTheThreeTextsUnderEitherRoot) {
  for (const char* root : {"XML_VORTAN", "XML_LUMERIANT"}) {
    const std::string text = WithHeader(
        "<MESSAGE_HEADER Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\" Msg_code=\"3\" Msg_flag=\"0\" "
        "Other=\"x\" />",
        root);
    MessageHeader header;
    ASSERT_EQ(ReadMessageHeader(text.c_str(), &header), 0) << root;
    EXPECT_STREQ(header.Msg_type, "SYSTEM_SEARCHIPC_MESSAGE");
    EXPECT_STREQ(header.Msg_code, "3");
    EXPECT_STREQ(header.Msg_flag, "0");
  }
}

TEST(ReadMessageHeaderTest, ReportsTheFirstMissingText) {
  struct Case {
    const char* header;
    int expected;
  };
  const Case cases[] = {
      {"", -3},
      {"<MESSAGE_HEADER />", -3},
      {"<MESSAGE_HEADER Msg_type=\"\" Msg_code=\"3\" Msg_flag=\"0\" />", -3},
      {"<MESSAGE_HEADER Msg_code=\"3\" Msg_flag=\"0\" />", -3},
      {"<MESSAGE_HEADER Msg_type=\"T\" Msg_flag=\"0\" />", -4},
      {"<MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"\" />", -4},
      {"<MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"3\" />", -5},
      {"<MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"3\" Msg_flag=\"\" />", -5},
      // Names are compared exactly.
      {"<MESSAGE_HEADER msg_type=\"T\" Msg_code=\"3\" Msg_flag=\"0\" />", -3},
      {"<message_header Msg_type=\"T\" Msg_code=\"3\" Msg_flag=\"0\" />", -3},
      // Only the first MESSAGE_HEADER counts.
      {"<MESSAGE_HEADER Msg_type=\"T\" /><MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"3\" "
       "Msg_flag=\"0\" />",
       -4},
  };
  for (const Case& c : cases) {
    const std::string text = WithHeader(c.header);
    MessageHeader header;
    EXPECT_EQ(ReadMessageHeader(text.c_str(), &header), c.expected) << c.header;
  }
}

TEST(ReadMessageHeaderTest, ClearsTheHeaderEvenWhenItFails) {
  MessageHeader header;
  std::memset(&header, 'z', sizeof header);
  EXPECT_EQ(ReadMessageHeader("not xml", &header), -1);
  const MessageHeader empty{};
  EXPECT_EQ(std::memcmp(&header, &empty, sizeof header), 0);

  std::memset(&header, 'z', sizeof header);
  EXPECT_EQ(ReadMessageHeader(WithHeader("<MESSAGE_HEADER Msg_type=\"T\" />").c_str(), &header),
            -4);
  EXPECT_STREQ(header.Msg_type, "T");
  EXPECT_TRUE(TailIsZero(header.Msg_type));
  EXPECT_STREQ(header.Msg_code, "");
  EXPECT_TRUE(TailIsZero(header.Msg_code));
}

TEST(ReadMessageHeaderTest, LogsTextWithoutUsableRoot) {
  const char* texts[] = {
      "hello",
      ("<XML_VORTAN a=\"1\"><MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"3\" Msg_flag=\"0\" />"
       "</XML_VORTAN>"),
      // A root pair in the text that does not parse.
      "<XML_VORTAN><MESSAGE_HEADER Msg_type=\"T\" </XML_VORTAN>",
      "",
  };
  for (const char* text : texts) {
    LogCapture log;
    MessageHeader header;
    EXPECT_EQ(ReadMessageHeader(text, &header), -1) << text;
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{std::string("Invalid message, XML root not found:\n") +
                                       text + "\n"});
  }
}

TEST(ReadMessageHeaderTest, CutsLongTextsToTheirField) {
  const std::string long_type(400, 't');
  const std::string text =
      WithHeader("<MESSAGE_HEADER Msg_type=\"" + long_type + "\" Msg_code=\"3\" Msg_flag=\"0\" />");
  MessageHeader header;
  std::memset(&header, 'z', sizeof header);
  ASSERT_EQ(ReadMessageHeader(text.c_str(), &header), 0);
  EXPECT_EQ(std::string(header.Msg_type), long_type.substr(0, 255));
  EXPECT_STREQ(header.Msg_code, "3");
}

TEST(ReadMessageHeaderTest, NoLogLineOnSuccess) {
  LogCapture log;
  MessageHeader header;
  EXPECT_EQ(ReadMessageHeader(test::ReadFixture("answer_nvs_rk.xml").c_str(), &header), 0);
  EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
}  // namespace vdz
