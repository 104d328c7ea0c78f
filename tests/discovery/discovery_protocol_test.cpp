#include "discovery/discovery_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/log_capture.h"

namespace vdz {
namespace {

using test::LogCapture;

const char kEnvelopeHead[] =
    "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n"
    "<XML_VORTAN>\n"
    "<MESSAGE_HEADER\n"
    "Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\"\n";

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
}

TEST(BuildDiscoveryMessageTest, SearchRequestIsTheTenLineEnvelope) {
  const std::string search = BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  EXPECT_EQ(search, std::string(kEnvelopeHead) +
                        "Msg_code=\"1\"\n"
                        "Msg_flag=\"0\"\n"
                        "/>\n"
                        "<MESSAGE_BODY>\n"
                        "</MESSAGE_BODY>\n"
                        "</XML_VORTAN>");
  EXPECT_EQ(CountLines(search), 10);
  EXPECT_EQ(search.find('\r'), std::string::npos);
  EXPECT_EQ(BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr).size(), search.size());
  EXPECT_EQ(BuildDiscoveryMessage(proto::kDiscoveryReboot, nullptr).size(), search.size());
}

TEST(BuildDiscoveryMessageTest, BodyVariantHasElevenLines) {
  const std::string body = "<IPC_SERIALNUMBER SerialNumber=\"SN1\" />\r\n";
  const std::string reboot = BuildDiscoveryMessage(proto::kDiscoveryReboot, body.c_str());
  EXPECT_EQ(reboot, std::string(kEnvelopeHead) +
                        "Msg_code=\"7\"\n"
                        "Msg_flag=\"0\"\n"
                        "/>\n"
                        "<MESSAGE_BODY>\n" +
                        body +
                        "\n"
                        "</MESSAGE_BODY>\n"
                        "</XML_VORTAN>");
  EXPECT_EQ(CountLines(BuildDiscoveryMessage(proto::kDiscoveryRestore, "x")), 11);
  // An empty body is still a body line.
  EXPECT_EQ(CountLines(BuildDiscoveryMessage(proto::kDiscoverySetParameters, "")), 11);
}

TEST(BuildDiscoveryMessageTest, CutsAnOverlongBody) {
  const std::size_t fixed = BuildDiscoveryMessage(proto::kDiscoverySetParameters, "").size();
  const std::string fitting(kMaxDiscoveryMessage - fixed, 'b');
  const std::string whole = BuildDiscoveryMessage(proto::kDiscoverySetParameters, fitting.c_str());
  EXPECT_EQ(whole.size(), kMaxDiscoveryMessage);
  EXPECT_TRUE(whole.ends_with("\n</MESSAGE_BODY>\n</XML_VORTAN>"));

  const std::string longer = fitting + "b";
  const std::string cut = BuildDiscoveryMessage(proto::kDiscoverySetParameters, longer.c_str());
  EXPECT_EQ(cut.size(), kMaxDiscoveryMessage);
  // The last character of the envelope is lost, the body is whole.
  EXPECT_TRUE(cut.ends_with(longer + "\n</MESSAGE_BODY>\n</XML_VORTAN"));
  EXPECT_TRUE(cut.starts_with(whole.substr(0, whole.size() - fitting.size() - 30)));

  const std::string huge(50000, 'h');
  const std::string huge_message =
      BuildDiscoveryMessage(proto::kDiscoverySetParameters, huge.c_str());
  EXPECT_EQ(huge_message.size(), kMaxDiscoveryMessage);
  EXPECT_EQ(huge_message.rfind(kEnvelopeHead, 0), 0u);
}

std::string Reply(const std::string& header, const std::string& root = "XML_VORTAN") {
  return "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n<" + root + ">\n" + header +
         "\n<MESSAGE_BODY>\n<LANConfig IPAddress=\"10.0.0.5\" />\n</MESSAGE_BODY>\n</" + root + ">";
}

std::string Header(const std::string& code, const std::string& flag = "0") {
  return "<MESSAGE_HEADER Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\" Msg_code=\"" + code +
         "\" Msg_flag=\"" + flag + "\" />";
}

TEST(ClassifyDatagramTest, SortsAnswersFromEverythingElse) {
  struct Case {
    const char* name;
    std::string text;
    DatagramKind expected;
  };
  const Case cases[] = {
      {"vortan answer", Reply(Header("3")), DatagramKind::kDeviceAnswer},
      {"lumeriant answer", Reply(Header("3"), "XML_LUMERIANT"), DatagramKind::kDeviceAnswer},
      {"zero then three", Reply(Header("03")), DatagramKind::kDeviceAnswer},
      {"trailing text", Reply(Header("3abc")), DatagramKind::kDeviceAnswer},
      {"leading blank", Reply(Header(" 3")), DatagramKind::kDeviceAnswer},
      {"flag value ignored", Reply(Header("3", "9")), DatagramKind::kDeviceAnswer},
      {"no leading digit", Reply(Header("x3")), DatagramKind::kDropped},
      {"thirty", Reply(Header("30")), DatagramKind::kDropped},
      {"empty flag", Reply(Header("3", "")), DatagramKind::kDropped},
      {"missing flag",
       Reply("<MESSAGE_HEADER Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\" Msg_code=\"3\" />"),
       DatagramKind::kDropped},
      {"empty type", Reply("<MESSAGE_HEADER Msg_type=\"\" Msg_code=\"3\" Msg_flag=\"0\" />"),
       DatagramKind::kDropped},
      {"no header", Reply(""), DatagramKind::kDropped},
      {"set parameters", Reply(Header("2")), DatagramKind::kDropped},
      {"own search request", BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr),
       DatagramKind::kDropped},
      {"root with attribute", "<XML_VORTAN v=\"1\">" + Header("3") + "</XML_VORTAN>",
       DatagramKind::kDropped},
      {"not xml", "hello there", DatagramKind::kDropped},
      {"broken xml", "<XML_VORTAN>" + Header("3") + "<MESSAGE_BODY></XML_VORTAN>",
       DatagramKind::kDropped},
      {"empty", "", DatagramKind::kDropped},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyDatagram(c.text.c_str()), c.expected) << c.name;
    const DeviceDocument doc(c.text.c_str());
    EXPECT_EQ(ClassifyDatagram(doc), c.expected) << c.name;
  }
}

TEST(ClassifyDatagramTest, LogsWhatItDrops) {
  const std::string request = BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  {
    LogCapture log;
    EXPECT_EQ(ClassifyDatagram(request.c_str()), DatagramKind::kDropped);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"recv message: " + request + "\n"});
  }
  {
    const std::string flagless = Reply(Header("3", ""));
    LogCapture log;
    EXPECT_EQ(ClassifyDatagram(flagless.c_str()), DatagramKind::kDropped);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"recv message: " + flagless + "\n"});
  }
  {
    // Text without a root is also reported by the header reader.
    LogCapture log;
    EXPECT_EQ(ClassifyDatagram("junk"), DatagramKind::kDropped);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Invalid message, XML root not found:\njunk\n",
                               "recv message: junk\n",
                           }));
  }
  {
    LogCapture log;
    EXPECT_EQ(ClassifyDatagram(Reply(Header("3")).c_str()), DatagramKind::kDeviceAnswer);
    EXPECT_TRUE(log.Lines().empty());
  }
}

TEST(ClassifyDatagramTest, NullTextIsDropped) {
  LogCapture log;
  EXPECT_EQ(ClassifyDatagram(static_cast<const char*>(nullptr)), DatagramKind::kDropped);
  EXPECT_TRUE(log.Contains("recv message: \n"));
}

}  // namespace
}  // namespace vdz
