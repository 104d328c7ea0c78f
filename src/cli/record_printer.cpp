#include "cli/record_printer.h"

namespace vdz::cli {

void PrintRecords(std::ostream& out, const std::vector<RecordColumn>& columns,
                  const std::vector<RecordCells>& records, OutputFormat format,
                  const std::string& table_footer) {
  switch (format) {
    case OutputFormat::kCsv:
      WriteCsv(out, columns, records);
      break;
    case OutputFormat::kJson:
      WriteJson(out, columns, records);
      break;
    case OutputFormat::kTable:
      WriteTable(out, columns, records);
      out << table_footer;
      break;
  }
}

}  // namespace vdz::cli
