#include "ui/report_date_key.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vdz {
namespace {

bool HasDigit(const QString& text) {
  for (QChar c : text) {
    if (c.isDigit()) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<qint64> ParseLocaleDateTime(const QString& text, const QLocale& locale) {
  // Every locale format writes digits; most cells of a device list have none.
  if (text.size() > 64 || !HasDigit(text)) {
    return std::nullopt;
  }
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    QDateTime date_time = locale.toDateTime(text, type);
    if (date_time.isValid()) {
      date_time.setTimeSpec(Qt::UTC);
      return date_time.toMSecsSinceEpoch();
    }
  }
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    const QDate date = locale.toDate(text, type);
    if (date.isValid()) {
      return QDateTime(date, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    }
  }
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    const QTime time = locale.toTime(text, type);
    if (time.isValid()) {
      return QDateTime(QDate(1899, 12, 30), time, Qt::UTC).toMSecsSinceEpoch();
    }
  }
  return std::nullopt;
}

}  // namespace vdz
