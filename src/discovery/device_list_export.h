// Writing a device list to a CSV or JSON file for other tools (spreadsheets, scripts).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shell/record_writer.h"

namespace vdz {

enum class ListFileFormat { kCsv, kJson };

// The format a file name asks for by its extension, in any case; nullopt for neither.
std::optional<ListFileFormat> ListFileFormatFor(const std::string& path);

// Writes the records under the columns' names. An existing file is replaced only once the
// new one is complete, so a full disk leaves the old list in place. False with the reason
// in error when the file could not be written.
bool WriteDeviceListFile(const std::string& path, ListFileFormat format,
                         const std::vector<RecordColumn>& columns,
                         const std::vector<RecordCells>& records, std::string* error);

}  // namespace vdz
