#include "devconfig/xml_printer.h"

#include <gtest/gtest.h>

#include <string>

#include "devconfig/xml_escape.h"

namespace vdz {
namespace {

TEST(XmlPrinterTest, IndentsWithTabsAndBreaksWithLf) {
  tinyxml2::XMLDocument doc;
  doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\" encoding=\"GB2312\" "));
  tinyxml2::XMLElement* root = doc.NewElement("root");
  doc.InsertEndChild(root);
  root->SetAttribute("ord", "set");
  tinyxml2::XMLElement* child = doc.NewElement("OSD");
  root->InsertEndChild(child);
  child->SetAttribute("Title", "Gate & \"3\"");
  tinyxml2::XMLElement* leaf = doc.NewElement("Line");
  child->InsertEndChild(leaf);
  leaf->SetText("x<y");

  EXPECT_EQ(PrintXml(doc),
            "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n"
            "<root ord=\"set\">\n"
            "\t<OSD Title=\"Gate &amp; &quot;3&quot;\">\n"
            "\t\t<Line>x&lt;y</Line>\n"
            "\t</OSD>\n"
            "</root>\n");
  EXPECT_EQ(PrintXml(*child),
            "<OSD Title=\"Gate &amp; &quot;3&quot;\">\n"
            "\t<Line>x&lt;y</Line>\n"
            "</OSD>\n");
}

TEST(XmlPrinterTest, EmptyDocumentPrintsNothing) {
  tinyxml2::XMLDocument doc;
  EXPECT_EQ(PrintXml(doc), "");
}

TEST(EscapeXmlAttributeTest, EscapesExactlyTheFourCharacters) {
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"plain 1.2.3.4", "plain 1.2.3.4"},
      {"\"", "&quot;"},
      {"<", "&lt;"},
      {">", "&gt;"},
      {"&", "&amp;"},
      {"&amp;", "&amp;amp;"},
      {"'\t\r\n", "'\t\r\n"},
      {"\xc9\xe3\xcf\xf1\xbb\xfa", "\xc9\xe3\xcf\xf1\xbb\xfa"},  // narrow GBK text passes
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeXmlAttribute(c.value), c.expected) << c.value;
  }
}

}  // namespace
}  // namespace vdz
