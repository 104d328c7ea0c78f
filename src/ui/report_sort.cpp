#include "ui/report_sort.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>

namespace vdz {
namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') {
    return c - u'0';
  }
  if (c >= u'a' && c <= u'f') {
    return c - u'a' + 10;
  }
  if (c >= u'A' && c <= u'F') {
    return c - u'A' + 10;
  }
  return -1;
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Length of the decimal number at the start of text: [sign] digits [. digits] [exponent].
std::size_t DecimalLength(std::u16string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    ++i;
  }
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == u'.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) {
    return 0;
  }
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
      ++j;
    }
    const std::size_t exponent_start = j;
    while (j < text.size() && IsDigit(text[j])) {
      ++j;
    }
    if (j > exponent_start) {
      i = j;
    }
  }
  return i;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::optional<std::uint32_t> ParseSortHex(std::u16string_view text) {
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    text.remove_prefix(2);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (char16_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) {
      return std::nullopt;
    }
    // Longer numbers (serial numbers made of hex digits) are not 32-bit values; letting them
    // saturate would make all of them compare equal.
    if (value > 0x0FFFFFFFu) {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<double> ParseSortDecimal(std::u16string_view text) {
  if (!text.empty() && text.back() == u'%') {
    text.remove_suffix(1);
  }
  const std::size_t length = DecimalLength(text);
  if (length == 0 || length != text.size()) {
    return std::nullopt;
  }
  std::array<char, 64> narrow{};
  if (text.size() >= narrow.size()) {
    return std::nullopt;
  }
  std::size_t n = 0;
  for (char16_t c : text) {
    if (n == 0 && c == u'+') {
      continue;  // from_chars takes no plus sign
    }
    narrow[n++] = static_cast<char>(c);
  }
  double value = 0;
  const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + n, value);
  if (error != std::errc() || end != narrow.data() + n) {
    return std::nullopt;
  }
  return value;
}

ReportSortKey MakeReportSortKey(std::u16string_view text) {
  ReportSortKey key;
  key.text = text;
  key.hex = ParseSortHex(text);
  key.decimal = ParseSortDecimal(text);
  return key;
}

int CompareReportSortKeys(const ReportSortKey& a, const ReportSortKey& b) {
  if (a.hex && b.hex) {
    return Order(*a.hex, *b.hex);
  }
  if (a.decimal && b.decimal) {
    return Order(*a.decimal, *b.decimal);
  }
  if (a.date_time && b.date_time) {
    return Order(*a.date_time, *b.date_time);
  }
  return Order(a.text.compare(b.text), 0);
}

namespace {

void MergeSortRun(const std::vector<ReportSortKey>& keys, std::vector<int>& run,
                  std::vector<int>& scratch, bool ascending) {
  const auto before = [&](int a, int b) {
    const int order =
        CompareReportSortKeys(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
    return ascending ? order < 0 : order > 0;
  };
  const std::size_t n = run.size();
  scratch.resize(n);
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t left = 0; left < n; left += 2 * width) {
      const std::size_t mid = std::min(left + width, n);
      const std::size_t right = std::min(left + 2 * width, n);
      std::size_t i = left;
      std::size_t j = mid;
      std::size_t k = left;
      while (i < mid && j < right) {
        scratch[k++] = before(run[j], run[i]) ? run[j++] : run[i++];
      }
      while (i < mid) {
        scratch[k++] = run[i++];
      }
      while (j < right) {
        scratch[k++] = run[j++];
      }
    }
    run.swap(scratch);
  }
}

}  // namespace

std::vector<int> ReportSortOrder(const std::vector<ReportSortKey>& keys,
                                 std::optional<std::u16string_view> separator, bool ascending) {
  std::vector<int> order;
  order.reserve(keys.size());
  std::vector<int> run;
  std::vector<int> scratch;
  const auto flush = [&] {
    MergeSortRun(keys, run, scratch, ascending);
    order.insert(order.end(), run.begin(), run.end());
    run.clear();
  };
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (separator && keys[i].text == *separator) {
      flush();
      order.push_back(static_cast<int>(i));
    } else {
      run.push_back(static_cast<int>(i));
    }
  }
  flush();
  return order;
}

}  // namespace vdz
