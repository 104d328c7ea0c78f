#include "discovery/device_list_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace vdz {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size())
    return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char c = text[text.size() - suffix.size() + i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i])
      return false;
  }
  return true;
}

bool Fail(std::string* error, const std::string& what, int code) {
  if (error != nullptr)
    *error = what + ": " + std::generic_category().message(code);
  return false;
}

}  // namespace

std::optional<ListFileFormat> ListFileFormatFor(const std::string& path) {
  if (EndsWithNoCase(path, ".csv"))
    return ListFileFormat::kCsv;
  if (EndsWithNoCase(path, ".json"))
    return ListFileFormat::kJson;
  return std::nullopt;
}

bool WriteDeviceListFile(const std::string& path, ListFileFormat format,
                         const std::vector<RecordColumn>& columns,
                         const std::vector<RecordCells>& records, std::string* error) {
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out)
      return Fail(error, partial, errno);
    if (format == ListFileFormat::kCsv) {
      WriteCsv(out, columns, records);
    } else {
      WriteJson(out, columns, records);
    }
    out.close();
    if (out.fail()) {
      const int code = errno;
      std::remove(partial.c_str());
      return Fail(error, partial, code);
    }
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    const int code = errno;
    std::remove(partial.c_str());
    return Fail(error, path, code);
  }
  return true;
}

}  // namespace vdz
