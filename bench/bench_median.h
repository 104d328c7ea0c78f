// The middle of a benchmark's repeated measurements (the upper one of an even count).
#pragma once

#include <algorithm>
#include <vector>

namespace vdz::bench {

template <typename T>
T Median(std::vector<T> values) {
  if (values.empty())
    return T{};
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace vdz::bench
