#include "shell/ini_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vdz {
namespace {

// Built by appending: GCC 12 warns falsely (-Wrestrict) about chained operator+ at -O2.
std::string JoinKeyValue(std::string_view key, std::string_view value) {
  std::string line(key);
  line.push_back('=');
  line.append(value);
  return line;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[')
    return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos)
    return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
  line = Trim(line);
  return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Key and value of a "key=value" line.
bool SplitKey(std::string_view line, std::string_view* key, std::string_view* value) {
  if (IsComment(line) || SectionOf(line))
    return false;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos)
    return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return !key->empty();
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(text);
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  if (text.substr(0, kBom.size()) == kBom) {
    ini.bom_ = true;
    text.remove_prefix(kBom.size());
  }
  bool first = true;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf)
      line.remove_suffix(1);
    if (first && crlf)
      ini.line_end_ = "\r\n";
    first = false;
    ini.lines_.emplace_back(line);
  }
  return ini;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  bool in_section = false;
  bool seen_section = false;
  for (const std::string& line : lines_) {
    if (const auto name = SectionOf(line)) {
      // Only the first section of a name counts.
      if (in_section)
        return std::nullopt;
      in_section = !seen_section && SameName(*name, section);
      seen_section = seen_section || in_section;
      continue;
    }
    std::string_view k, v;
    if (in_section && SplitKey(line, &k, &v) && SameName(k, key))
      return std::string(v);
  }
  return std::nullopt;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
      key.front() == '#') {
    return false;
  }
  std::size_t section_line = lines_.size();
  std::size_t insert_at = lines_.size();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionOf(lines_[i])) {
      if (section_line < lines_.size())
        break;  // end of our section
      if (SameName(*name, section)) {
        section_line = i;
        insert_at = i + 1;
      }
      continue;
    }
    if (section_line == lines_.size())
      continue;
    std::string_view k, v;
    if (SplitKey(lines_[i], &k, &v) && SameName(k, key)) {
      lines_[i] = JoinKeyValue(k, value);
      return true;
    }
    if (!Trim(lines_[i]).empty())
      insert_at = i + 1;
  }
  const std::string entry = JoinKeyValue(key, value);
  if (section_line == lines_.size()) {
    if (!lines_.empty() && !Trim(lines_.back()).empty())
      lines_.emplace_back();
    std::string header(1, '[');
    header.append(section).push_back(']');
    lines_.push_back(std::move(header));
    lines_.push_back(entry);
  } else {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
  }
  return true;
}

std::string IniFile::Text() const {
  std::string text = bom_ ? std::string(kBom) : std::string();
  for (const std::string& line : lines_)
    text.append(line).append(line_end_);
  return text;
}

bool IniFile::Save(const std::string& path) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (target.has_parent_path())
    fs::create_directories(target.parent_path(), ec);
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out)
      return false;
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      out.close();
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace vdz
