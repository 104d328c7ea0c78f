#pragma once

#include <string>

namespace vdz {

// "1 DAY1 HOUR1 MIN1 SEC" style text with the language's unit names; parts that are 0 are
// left out. Empty for 0 or less (the cell is then not written).
std::string RunningTimeText(int seconds);

// The same with explicit unit texts, for callers (and tests) that bring their own.
std::string RunningTimeText(int seconds, const std::string& day, const std::string& hour,
                            const std::string& minute, const std::string& second);

}  // namespace vdz
