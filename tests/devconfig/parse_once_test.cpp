// The registry reads one answer through one DeviceDocument; the text forms must agree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_document.h"
#include "devconfig/device_identity_reader.h"
#include "devconfig/fixture_text.h"
#include "devconfig/message_header_reader.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

struct Results {
  int header_result, identity_result, lan_result, stream_result, users_result, rk_result;
  MessageHeader header{};
  DeviceIdentity identity{};
  LanConfigRecord lan{};
  StreamAccessRecord stream{};
  UserConfigRecord users{};
  RkSystemRecord rk{};
  std::vector<std::string> log;
};

template <typename Source>
Results ReadAll(const Source& source) {
  test::LogCapture log;
  Results r;
  r.header_result = ReadMessageHeader(source, &r.header);
  r.identity_result = ReadDeviceIdentity(source, &r.identity);
  r.rk_result = ReadRkSystem(source, &r.rk);
  r.lan_result = ReadLanConfig(source, &r.lan);
  r.stream_result = ReadStreamAccess(source, &r.stream);
  r.users_result = ReadUserConfig(source, &r.users);
  r.log = log.Lines();
  return r;
}

template <typename T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ParseOnceTest, DocumentAndTextFormsAgree) {
  const std::string texts[] = {
      test::ReadFixture("answer_nvs_rk.xml"),
      test::ReadFixture("answer_lumeriant_nvr.xml"),
      test::AnswerWithBody("<LANConfig IPAddress=\"1.2.3.4\" />"),
      "<XML_LUMERIANT><MESSAGE_BODY><LANConfig /></MESSAGE_BODY></XML_LUMERIANT>"
      "<XML_VORTAN><MESSAGE_BODY><LANConfig /></MESSAGE_BODY></XML_VORTAN>",
      "<XML_VORTAN><MESSAGE_BODY></XML_VORTAN>",
      "no root here",
  };
  for (const std::string& text : texts) {
    const Results from_text = ReadAll(text.c_str());
    const DeviceDocument doc(text.c_str());
    const Results from_doc = ReadAll(doc);
    EXPECT_EQ(from_text.header_result, from_doc.header_result) << text;
    EXPECT_EQ(from_text.identity_result, from_doc.identity_result) << text;
    EXPECT_EQ(from_text.lan_result, from_doc.lan_result) << text;
    EXPECT_EQ(from_text.stream_result, from_doc.stream_result) << text;
    EXPECT_EQ(from_text.users_result, from_doc.users_result) << text;
    EXPECT_EQ(from_text.rk_result, from_doc.rk_result) << text;
    EXPECT_TRUE(SameBytes(from_text.header, from_doc.header)) << text;
    EXPECT_TRUE(SameBytes(from_text.identity, from_doc.identity)) << text;
    EXPECT_TRUE(SameBytes(from_text.lan, from_doc.lan)) << text;
    EXPECT_TRUE(SameBytes(from_text.stream, from_doc.stream)) << text;
    EXPECT_TRUE(SameBytes(from_text.users, from_doc.users)) << text;
    EXPECT_TRUE(SameBytes(from_text.rk, from_doc.rk)) << text;
    EXPECT_EQ(from_text.log, from_doc.log) << text;
  }
}

TEST(ParseOnceTest, FullAnswerReadsCompletely) {
  const std::string text = test::ReadFixture("answer_nvs_rk.xml");
  const Results r = ReadAll(DeviceDocument(text.c_str()));
  EXPECT_EQ(r.header_result, 0);
  EXPECT_EQ(r.identity_result, 0);
  EXPECT_EQ(r.rk_result, 0);
  EXPECT_EQ(r.lan_result, 0);
  EXPECT_EQ(r.stream_result, 0);
  EXPECT_EQ(r.users_result, 0);
  EXPECT_TRUE(r.log.empty());
}

}  // namespace
}  // namespace vdz
