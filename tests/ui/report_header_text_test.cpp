#include "ui/report_header_text.h"

#include <gtest/gtest.h>

namespace vdz {
namespace {

TEST(ReportHeaderText, TwoColumnExample) {
  const auto columns = ParseReportHeaderText(u"Name,200;Size,80,2");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].heading, u"Name");
  EXPECT_EQ(columns[0].width, 200);
  EXPECT_EQ(columns[0].align, ReportColumnAlign::kLeft);
  EXPECT_EQ(columns[1].heading, u"Size");
  EXPECT_EQ(columns[1].width, 80);
  EXPECT_EQ(columns[1].align, ReportColumnAlign::kRight);
}

TEST(ReportHeaderText, FieldRules) {
  struct Case {
    std::u16string text;
    std::u16string heading;
    int width;
    ReportColumnAlign align;
  } cases[] = {
      {u"IP", u"IP", 100, ReportColumnAlign::kLeft},        // width missing
      {u"IP,", u"IP", 100, ReportColumnAlign::kLeft},       // width empty
      {u"IP,abc", u"IP", 100, ReportColumnAlign::kLeft},    // width unreadable
      {u"IP,-5", u"IP", 100, ReportColumnAlign::kLeft},     // negative width
      {u"IP, 120 ", u"IP", 120, ReportColumnAlign::kLeft},  // blanks around a number
      {u"IP,120,1", u"IP", 120, ReportColumnAlign::kCentre},
      {u"IP,120,2", u"IP", 120, ReportColumnAlign::kRight},
      {u"IP,120,0", u"IP", 120, ReportColumnAlign::kLeft},
      {u"IP,120,3", u"IP", 120, ReportColumnAlign::kLeft},
      {u"IP,120,x", u"IP", 120, ReportColumnAlign::kLeft},
      {u",80", u"", 80, ReportColumnAlign::kLeft},  // empty heading still a column
      {u"\u7F51\u5361,64,1", u"\u7F51\u5361", 64, ReportColumnAlign::kCentre},
  };
  for (const Case& c : cases) {
    const auto columns = ParseReportHeaderText(c.text);
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].heading, c.heading);
    EXPECT_EQ(columns[0].width, c.width);
    EXPECT_EQ(columns[0].align, c.align);
  }
}

TEST(ReportHeaderText, SegmentsAndEmptyText) {
  EXPECT_TRUE(ParseReportHeaderText(u"").empty());
  EXPECT_TRUE(ParseReportHeaderText(u";;").empty());
  EXPECT_EQ(ParseReportHeaderText(u"a,10;b,20;").size(), 2u);
  const auto device_list = ParseReportHeaderText(
      u"IP,120;SN,130;MAC,130;VERSIONNUMBER,280;STATE,200;RUNNINGTIME,100;MODEL,100");
  ASSERT_EQ(device_list.size(), 7u);
  EXPECT_EQ(device_list[3].heading, u"VERSIONNUMBER");
  EXPECT_EQ(device_list[3].width, 280);
}

}  // namespace
}  // namespace vdz
