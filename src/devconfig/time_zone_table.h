// The time zones the time settings offer, as minutes east of UTC-12 (GMT is 720).
#pragma once

#include <span>
#include <string_view>

namespace vdz {

struct TimeZoneEntry {
  int value;  // -1 ends a list
  const char* name;
};

inline constexpr int kTimeZoneCount = 34;
inline constexpr int kDefaultTimeZoneValue = 1200;  // GMT+08:00

// The rows for a language code, terminator row included: long names with place names for
// "zh-cn", the bracketed offsets alone for every other language.
std::span<const TimeZoneEntry> TimeZoneList(std::string_view language_code);

// The value of a list index, 0 for an index outside the table.
int TimeZoneValueAt(int index);
// The index of a value, -1 when no zone has it.
int TimeZoneIndexOf(int value);

// "+08:00", "-04:30", "+00:00", "08:00" to the table's value; -1 when no zone has that offset.
int TimeZoneValueFromOffset(std::string_view offset);

}  // namespace vdz
