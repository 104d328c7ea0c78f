#include "shell/record_writer.h"

#include <gtest/gtest.h>

namespace vdz {
namespace {

TEST(RecordWriterTest, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    const char* value;
    const char* cell;
  } cases[] = {
      {"192.168.1.10", "192.168.1.10"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"设备，重启", "设备，重启"},  // a full-width comma is no separator
  };
  for (const auto& c : cases)
    EXPECT_EQ(CsvField(c.value), c.cell) << c.value;
}

}  // namespace
}  // namespace vdz
