// Writes records, one cell per column, as an aligned table, CSV or JSON. The command line's
// listings and the window's list export share it, so both write the same files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vdz {

// One CSV field, quoted when it holds a comma, quote or line break. UTF-8 passes unchanged.
std::string CsvField(const std::string& value);
// A JSON string literal with control characters escaped; UTF-8 passes unchanged.
std::string JsonString(const std::string& value);

struct RecordColumn {
  enum class Json { kString, kNumber, kYesNo };
  const char* heading;  // table heading
  const char* key;      // CSV header word and JSON member name
  // How JSON writes the cell: a string, as it stands, or "yes" as true and else false.
  Json json = Json::kString;
};

using RecordCells = std::vector<std::string>;

// A header line of the keys, then one line per record.
void WriteCsv(std::ostream& out, const std::vector<RecordColumn>& columns,
              const std::vector<RecordCells>& records);
// An array of objects, one per record, members named by the keys.
void WriteJson(std::ostream& out, const std::vector<RecordColumn>& columns,
               const std::vector<RecordCells>& records);
// Headings and cells padded to the widest cell of each column.
void WriteTable(std::ostream& out, const std::vector<RecordColumn>& columns,
                const std::vector<RecordCells>& records);

}  // namespace vdz
