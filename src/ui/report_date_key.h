// Reading a cell as a date and time in the user's locale, for the third sort rule.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace vdz {

// Milliseconds since the epoch (UTC reading of the local fields), or nothing when the text is
// not a date, a time or a date and time in one of the locale's short or long formats.
std::optional<qint64> ParseLocaleDateTime(const QString& text, const QLocale& locale);

}  // namespace vdz
