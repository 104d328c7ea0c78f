// A small INI reader/writer: "[section]" headers and "key=value" lines. Names compare
// without regard to ASCII case, like the profile functions the format comes from; the
// first matching section and key win. Lines it does not understand are kept as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdz {

class IniFile {
 public:
  // A missing or unreadable file reads as an empty one.
  static IniFile Load(const std::string& path);
  static IniFile Parse(std::string_view text);

  // The value with surrounding blanks removed; nullopt when the section or key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the first matching key, or adds the key (and the section) at the end of its
  // section. False, and nothing changed, for names or values that the format cannot hold
  // (line breaks, '=' in a key, ']' in a section name, empty names).
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

  // Writes a sibling temporary file and renames it over the target, creating the folder
  // first, so a crash never leaves a half-written settings file.
  bool Save(const std::string& path) const;

 private:
  std::vector<std::string> lines_;  // without line ends
  std::string line_end_ = "\n";
  bool bom_ = false;
};

}  // namespace vdz
