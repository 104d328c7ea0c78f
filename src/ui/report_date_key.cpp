#include "ui/report_date_key.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vdz {
namespace {

bool IsPunctuation(QChar c) {
  return !c.isLetterOrNumber() && !c.isSpace();
}

QString TextPunctuation(const QString& text) {
  QString result;
  for (QChar c : text) {
    if (IsPunctuation(c)) {
      result.append(c);
    }
  }
  return result;
}

// The literal punctuation of a format; quoted literals count character by character.
QString FormatPunctuation(const QString& pattern) {
  QString result;
  bool quoted = false;
  for (QChar c : pattern) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
    } else if (IsPunctuation(c)) {
      result.append(c);
    }
  }
  return result;
}

bool HasDigit(const QString& text) {
  for (QChar c : text) {
    if (c.isDigit()) {
      return true;
    }
  }
  return false;
}

}  // namespace

LocaleDateReader::LocaleDateReader(const QLocale& locale) : locale_(locale) {
  const auto add = [this](const QString& pattern, Kind kind) {
    formats_.push_back(
        {pattern, kind, FormatPunctuation(pattern), pattern.contains(QLatin1Char('t'))});
  };
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    add(locale.dateTimeFormat(type), Kind::kDateTime);
  }
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    add(locale.dateFormat(type), Kind::kDate);
  }
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    add(locale.timeFormat(type), Kind::kTime);
  }
}

std::optional<qint64> LocaleDateReader::Read(const QString& text) const {
  // Every locale format writes digits; most cells of a device list have none.
  if (text.size() > 64 || !HasDigit(text)) {
    return std::nullopt;
  }
  const QString punctuation = TextPunctuation(text);
  for (const Format& format : formats_) {
    const bool may_match = format.has_zone ? punctuation.startsWith(format.punctuation)
                                           : punctuation == format.punctuation;
    if (!may_match) {
      continue;
    }
    switch (format.kind) {
      case Kind::kDateTime: {
        QDateTime value = locale_.toDateTime(text, format.pattern);
        if (value.isValid()) {
          value.setTimeSpec(Qt::UTC);
          return value.toMSecsSinceEpoch();
        }
        break;
      }
      case Kind::kDate: {
        const QDate value = locale_.toDate(text, format.pattern);
        if (value.isValid()) {
          return QDateTime(value, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        }
        break;
      }
      case Kind::kTime: {
        const QTime value = locale_.toTime(text, format.pattern);
        if (value.isValid()) {
          return QDateTime(QDate(1899, 12, 30), value, Qt::UTC).toMSecsSinceEpoch();
        }
        break;
      }
    }
  }
  return std::nullopt;
}

std::optional<qint64> ParseLocaleDateTime(const QString& text, const QLocale& locale) {
  return LocaleDateReader(locale).Read(text);
}

}  // namespace vdz
