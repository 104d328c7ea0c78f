// Words of one site-file or control line: `verb key=value key="quoted value" flag`.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vdz::devsim {

struct KvLine {
  std::vector<std::string> words;                          // bare words, in order
  std::vector<std::pair<std::string, std::string>> pairs;  // key=value, in order, keys may repeat

  // Last value of key (later words override earlier ones), or nothing.
  std::optional<std::string> Get(std::string_view key) const;
  // Every value of a key that may repeat, with comma lists split.
  std::vector<std::string> GetAll(std::string_view key) const;
};

// Splits a line at blanks. Double quotes group blanks; inside them \" \\ \n \t and \xNN
// (a raw byte, so GBK titles can be written) are understood. A '#' outside quotes at the
// start of a word ends the line. Returns nothing and sets *error on an unterminated quote
// or a bad escape.
std::optional<KvLine> ParseKvLine(std::string_view line, std::string* error);

// The inverse for values: quotes a value when it needs it, escaping bytes outside 0x21..0x7e.
std::string QuoteKvValue(std::string_view value);

// Strict number parsing for flags and keys: the whole text must be a number in range.
bool ParseInt(std::string_view text, long long lo, long long hi, long long* out);
bool ParseDouble(std::string_view text, double lo, double hi, double* out);
bool ParseBool(std::string_view text, bool* out);

}  // namespace vdz::devsim
