#include "devconfig/document_root.h"

#include <gtest/gtest.h>

#include <string>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_document.h"
#include "devconfig/message_header_reader.h"

namespace vdz {
namespace {

struct RootCase {
  const char* text;
  DocumentRoot expected;
};

TEST(FindDocumentRootTest, MatchesLiteralPairsWithVortanFirst) {
  const RootCase cases[] = {
      {"<XML_VORTAN></XML_VORTAN>", DocumentRoot::kXmlVortan},
      {"<XML_LUMERIANT></XML_LUMERIANT>", DocumentRoot::kXmlLumeriant},
      {"<XML_LUMERIANT></XML_LUMERIANT><XML_VORTAN></XML_VORTAN>", DocumentRoot::kXmlVortan},
      {"<XML_VORTAN><XML_LUMERIANT></XML_LUMERIANT></XML_VORTAN>", DocumentRoot::kXmlVortan},
      // The closing tag may come first: only the presence of both is checked.
      {"</XML_VORTAN><XML_VORTAN>", DocumentRoot::kXmlVortan},
      {"<XML_VORTAN a=\"1\"></XML_VORTAN>", DocumentRoot::kNone},
      {"<XML_VORTAN a=\"1\"></XML_VORTAN><XML_LUMERIANT></XML_LUMERIANT>",
       DocumentRoot::kXmlLumeriant},
      {"<XML_VORTAN>", DocumentRoot::kNone},
      {"<XML_VORTAN/>", DocumentRoot::kNone},
      {"<xml_vortan></xml_vortan>", DocumentRoot::kNone},
      {"<XML_LUMERIANT></XML_VORTAN>", DocumentRoot::kNone},
      {"", DocumentRoot::kNone},
  };
  for (const RootCase& c : cases) {
    EXPECT_EQ(FindDocumentRoot(c.text), c.expected) << c.text;
  }
}

TEST(FindDocumentRootTest, NamesTheRoots) {
  EXPECT_STREQ(DocumentRootName(DocumentRoot::kXmlVortan), "XML_VORTAN");
  EXPECT_STREQ(DocumentRootName(DocumentRoot::kXmlLumeriant), "XML_LUMERIANT");
  EXPECT_STREQ(DocumentRootName(DocumentRoot::kNone), "");
}

TEST(DeviceDocumentTest, KeepsItsOwnCopyOfTheText) {
  std::string text = "<XML_VORTAN><MESSAGE_BODY/></XML_VORTAN>";
  const DeviceDocument doc(text.c_str());
  text.assign(text.size(), 'x');
  EXPECT_EQ(doc.text_view(), "<XML_VORTAN><MESSAGE_BODY/></XML_VORTAN>");
  EXPECT_EQ(doc.root(), DocumentRoot::kXmlVortan);
  ASSERT_NE(doc.BlockBody(), nullptr);
}

TEST(DeviceDocumentTest, NullTextIsAnEmptyDocument) {
  const DeviceDocument doc(nullptr);
  EXPECT_STREQ(doc.text(), "");
  EXPECT_EQ(doc.root(), DocumentRoot::kNone);
  EXPECT_EQ(doc.FirstElementIfRoot(), nullptr);
  EXPECT_EQ(doc.FirstRootNamedElement(), nullptr);
}

TEST(DeviceDocumentTest, ParseErrorLeavesNoRoot) {
  const DeviceDocument doc("<XML_VORTAN><MESSAGE_BODY></XML_VORTAN>");
  EXPECT_EQ(doc.root(), DocumentRoot::kXmlVortan);
  EXPECT_EQ(doc.FirstElementIfRoot(), nullptr);
  EXPECT_EQ(doc.FirstRootNamedElement(), nullptr);
}

// With both pairs present the Vortan root is used: the header reader finds it among the
// top-level elements, but the block readers want it to be the very first element.
TEST(DeviceDocumentTest, BlockReadersRefuseALumeriantFirstElementUnderVortan) {
  const char* text =
      "<XML_LUMERIANT><MESSAGE_BODY><LANConfig IPAddress=\"10.1.1.1\" /></MESSAGE_BODY>"
      "</XML_LUMERIANT>\n"
      "<XML_VORTAN><MESSAGE_HEADER Msg_type=\"T\" Msg_code=\"3\" Msg_flag=\"0\" />"
      "<MESSAGE_BODY><LANConfig IPAddress=\"10.2.2.2\" />"
      "<MediaStreamConfig><StreamAccess VideoPort=\"554\" /></MediaStreamConfig>"
      "<UserConfig><Account Username=\"admin\" /></UserConfig>"
      "<RK_CONFIG><SYSTEM NOTES=\"n\" /></RK_CONFIG></MESSAGE_BODY></XML_VORTAN>";
  const DeviceDocument doc(text);
  EXPECT_EQ(doc.root(), DocumentRoot::kXmlVortan);

  MessageHeader header;
  EXPECT_EQ(ReadMessageHeader(doc, &header), 0);
  LanConfigRecord lan{};
  StreamAccessRecord stream{};
  UserConfigRecord users{};
  RkSystemRecord rk{};
  EXPECT_EQ(ReadLanConfig(doc, &lan), -1);
  EXPECT_EQ(ReadStreamAccess(doc, &stream), -1);
  EXPECT_EQ(ReadUserConfig(doc, &users), -1);
  EXPECT_EQ(ReadRkSystem(doc, &rk), -1);
  EXPECT_STREQ(lan.IPAddress, "");
}

}  // namespace
}  // namespace vdz
