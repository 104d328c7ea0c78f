#include "discovery/running_time_text.h"

#include <cstdio>

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

std::string RunningTimeText(int seconds, const std::string& day, const std::string& hour,
                            const std::string& minute, const std::string& second) {
  if (seconds <= 0)
    return {};
  const int parts[4] = {seconds / 86400, (seconds % 86400) / 3600, (seconds % 3600) / 60,
                        seconds % 60};
  const std::string* units[4] = {&day, &hour, &minute, &second};
  std::string text;
  char number[16];
  for (int i = 0; i < 4; ++i) {
    if (parts[i] <= 0)
      continue;
    std::snprintf(number, sizeof number, "%d ", parts[i]);
    text += number;
    text += *units[i];
  }
  return text;
}

std::string RunningTimeText(int seconds) {
  if (seconds <= 0)
    return {};
  return RunningTimeText(seconds, LookupText(keys::DAY), LookupText(keys::HOUR),
                         LookupText(keys::MIN), LookupText(keys::SEC));
}

}  // namespace vdz
