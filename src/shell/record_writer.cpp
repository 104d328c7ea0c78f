#include "shell/record_writer.h"

#include <algorithm>
#include <cstdio>

namespace vdz {

namespace {

std::string JsonValue(const RecordColumn& column, const std::string& cell) {
  switch (column.json) {
    case RecordColumn::Json::kNumber:
      return cell;
    case RecordColumn::Json::kYesNo:
      return cell == "yes" ? "true" : "false";
    case RecordColumn::Json::kString:
      break;
  }
  return JsonString(cell);
}

}  // namespace

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos)
    return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void WriteCsv(std::ostream& out, const std::vector<RecordColumn>& columns,
              const std::vector<RecordCells>& records) {
  for (std::size_t i = 0; i < columns.size(); ++i)
    out << (i ? "," : "") << columns[i].key;
  out << "\n";
  for (const RecordCells& cells : records) {
    for (std::size_t i = 0; i < cells.size(); ++i)
      out << (i ? "," : "") << CsvField(cells[i]);
    out << "\n";
  }
}

void WriteJson(std::ostream& out, const std::vector<RecordColumn>& columns,
               const std::vector<RecordCells>& records) {
  out << "[";
  for (std::size_t n = 0; n < records.size(); ++n) {
    out << (n ? ",\n " : "\n ") << "{";
    for (std::size_t i = 0; i < columns.size() && i < records[n].size(); ++i)
      out << (i ? ", " : "") << "\"" << columns[i].key
          << "\": " << JsonValue(columns[i], records[n][i]);
    out << "}";
  }
  out << (records.empty() ? "]\n" : "\n]\n");
}

void WriteTable(std::ostream& out, const std::vector<RecordColumn>& columns,
                const std::vector<RecordCells>& records) {
  std::vector<std::size_t> widths(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i)
    widths[i] = std::string(columns[i].heading).size();
  for (const RecordCells& cells : records) {
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i)
      widths[i] = std::max(widths[i], cells[i].size());
  }
  auto print_row = [&](const RecordCells& cells) {
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
      out << cells[i];
      if (i + 1 < cells.size())
        out << std::string(widths[i] - cells[i].size() + 2, ' ');
    }
    out << "\n";
  };
  RecordCells heading;
  for (const RecordColumn& column : columns)
    heading.emplace_back(column.heading);
  print_row(heading);
  for (const RecordCells& cells : records)
    print_row(cells);
}

}  // namespace vdz
