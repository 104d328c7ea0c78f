// Prints records, one cell per column, as an aligned table, CSV or JSON: the output forms
// every listing of viduzaver-cli shares.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace vdz::cli {

// One CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& value);
// A JSON string literal with control characters escaped.
std::string JsonString(const std::string& value);

struct RecordColumn {
  enum class Json { kString, kNumber, kYesNo };
  const char* heading;  // table heading
  const char* key;      // CSV header word and JSON member name
  // How JSON writes the cell: a string, as it stands, or "yes" as true and else false.
  Json json = Json::kString;
};

using RecordCells = std::vector<std::string>;

// Each record holds one cell per column. The table ends with table_footer.
void PrintRecords(std::ostream& out, const std::vector<RecordColumn>& columns,
                  const std::vector<RecordCells>& records, OutputFormat format,
                  const std::string& table_footer);

}  // namespace vdz::cli
