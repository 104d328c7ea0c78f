// Reading a cell as a date and time in the user's locale, for the third sort rule.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

namespace vdz {

// Tries the locale's short and long date-time, date and time formats. Parsing with a format is
// costly, so a text is only tried against formats whose punctuation it shares: a column of
// addresses sorts without a single parse attempt.
class LocaleDateReader {
 public:
  explicit LocaleDateReader(const QLocale& locale);

  // Milliseconds since the epoch (UTC reading of the local fields; a time alone falls on
  // 1899-12-30), or nothing when the text matches none of the formats.
  std::optional<qint64> Read(const QString& text) const;

 private:
  enum class Kind { kDateTime, kDate, kTime };
  struct Format {
    QString pattern;
    Kind kind;
    QString punctuation;
    bool has_zone;  // a zone name may bring punctuation of its own ("+01:00")
  };

  QLocale locale_;
  std::vector<Format> formats_;
};

std::optional<qint64> ParseLocaleDateTime(const QString& text, const QLocale& locale);

}  // namespace vdz
