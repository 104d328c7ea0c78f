// Column sort of the report list: the comparison rules and the order they give. Qt-free so
// the rules can be checked on plain texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vdz {

// One cell of the sort column, classified once before sorting so that comparisons stay cheap.
struct ReportSortKey {
  std::u16string_view text;
  std::optional<std::uint32_t> hex;
  std::optional<double> decimal;  // a trailing "%" is allowed and ignored
  std::optional<std::int64_t> date_time;
};

// The whole text is a hexadecimal number (an "0x" prefix is allowed) that fits 32 bits.
std::optional<std::uint32_t> ParseSortHex(std::u16string_view text);
// The whole text is a decimal floating-point number, optionally followed by one "%".
std::optional<double> ParseSortDecimal(std::u16string_view text);

// Fills text, hex and decimal; the date-time needs the user's locale and is the caller's.
ReportSortKey MakeReportSortKey(std::u16string_view text);

// Negative, zero or positive as a sorts before, with or after b ascending. The first rule that
// applies to both cells decides: hexadecimal, decimal, date-time, then code units.
int CompareReportSortKeys(const ReportSortKey& a, const ReportSortKey& b);

// The sorted order as old row positions: result[new position] = old position. Rows whose text
// equals the separator keep their places and split the list into runs sorted on their own.
// The rules are not a strict weak order across mixed columns, so the sort must stay in bounds
// whatever the comparisons answer; it is a merge sort on positions.
std::vector<int> ReportSortOrder(const std::vector<ReportSortKey>& keys,
                                 std::optional<std::u16string_view> separator, bool ascending);

}  // namespace vdz
