// Prints records, one cell per column, as an aligned table, CSV or JSON: the output forms
// every listing of viduzaver-cli shares.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "shell/record_writer.h"

namespace vdz::cli {

using vdz::CsvField;
using vdz::JsonString;
using vdz::RecordCells;
using vdz::RecordColumn;

// Each record holds one cell per column. The table ends with table_footer.
void PrintRecords(std::ostream& out, const std::vector<RecordColumn>& columns,
                  const std::vector<RecordCells>& records, OutputFormat format,
                  const std::string& table_footer);

}  // namespace vdz::cli
