// Visible texts of a window that do not come from this run's language table: every label,
// button, group title, list item and list heading must be the text of some key, hold no letter
// at all (numbers, symbols), or be one of the literals the caller names.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz::test {

inline QStringList ForeignCaptions(const QWidget& top,
                                   const std::function<bool(const QString&)>& literal) {
  QSet<QString> known;
  for (const char* key : kAllLanguageKeys)
    known.insert(QString::fromStdString(LookupText(key)));
  QStringList foreign;
  const auto check = [&](const QString& text) {
    const bool letters =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
    if (letters && !known.contains(text) && !literal(text))
      foreign.append(text);
  };
  check(top.windowTitle());
  for (const QWidget* w : top.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&top))
      continue;
    if (const auto* label = qobject_cast<const QLabel*>(w))
      check(label->text());
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
      check(QString(button->text()).remove(QLatin1Char('&')));
    else if (const auto* group = qobject_cast<const QGroupBox*>(w))
      check(group->title());
    else if (const auto* combo = qobject_cast<const QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i)
        check(combo->itemText(i));
    else if (const auto* table = qobject_cast<const QTableView*>(w))
      for (int c = 0; c < table->model()->columnCount(); ++c)
        check(table->model()->headerData(c, Qt::Horizontal).toString());
  }
  return foreign;
}

}  // namespace vdz::test
