#include "config_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <set>

#include "devconfig/media_setting_tables.h"
#include "devconfig/setting_validators.h"
#include "devconfig/settings_documents.h"
#include "devconfig/time_zone_table.h"
#include "motion_grid_widget.h"
#include "page_catalogue.h"
#include "schedule_timeline.h"
#include "shell/text_codec.h"

namespace vdz::remoteconfig {

// One value of the document and the control that edits it.
struct ConfigPage::Field {
  int index = 0;                          // into values_
  const CatalogueEntry* entry = nullptr;  // null: an "Advanced" row
  QWidget* editor = nullptr;
  QLabel* error = nullptr;
  // The value to write, given the one the device holds (kept when the control was not edited).
  std::function<std::string(const std::string& original)> current;
  // Why the control's value cannot be written; empty when it can.
  std::function<QString()> invalid = [] { return QString(); };
  // Values written together with this one (a title's UTF-8 copy).
  std::function<std::vector<std::pair<int, std::string>>()> companions;
  std::function<void()> accepted;  // after the device took the value
};

namespace {

bool LooksDecimal(const std::string& s) {
  if (s.empty() || s.size() > 10)
    return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size())
    return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9')
      return false;
  return true;
}

bool LooksIpv4(const std::string& s) {
  int dots = 0;
  for (char c : s) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return false;
  }
  return dots == 3;
}

QString Shown(const std::string& narrow) {
  return QString::fromStdString(AnsiToUtf8(narrow));
}

std::string Stored(const QString& text) {
  return Utf8ToAnsi(text.toStdString());
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int hi = QChar::fromLatin1(hex[i]).isDigit() ? hex[i] - '0' : (hex[i] | 0x20) - 'a' + 10;
    const int lo =
        QChar::fromLatin1(hex[i + 1]).isDigit() ? hex[i + 1] - '0' : (hex[i + 1] | 0x20) - 'a' + 10;
    if (hi < 0 || hi > 15 || lo < 0 || lo > 15)
      return {};
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return out;
}

// "H:M:S" with or without blanks; 24:00:00 is the end of the day.
int SecondsOf(const std::string& text) {
  int h = 0, m = 0, s = 0;
  if (std::sscanf(text.c_str(), " %d : %d : %d", &h, &m, &s) != 3 || h < 0 || h > 24 || m < 0 ||
      m > 59 || s < 0 || s > 59)
    return -1;
  return std::min(h * 3600 + m * 60 + s, 24 * 3600);
}

// Written in the device's own style: " 8: 0: 0" where it pads with blanks, "08:00:00" else.
std::string TimeText(int seconds, const std::string& style) {
  char text[32];
  const bool blanks = style.find(' ') != std::string::npos;
  std::snprintf(text, sizeof text, blanks ? "%2d:%2d:%2d" : "%02d:%02d:%02d", seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

bool FieldValueAccepted(const std::string& original, const std::string& value) {
  if (value.size() > 255)
    return false;
  if (LooksIpv4(original))
    return Ipv4AddressAccepted(value);
  if (LooksDecimal(original))
    return LooksDecimal(value);
  return true;
}

ConfigPage::ConfigPage(QString name, int command, TextLookup text, std::string language,
                       QWidget* parent)
    : QWidget(parent),
      name_(std::move(name)),
      command_(command),
      text_(std::move(text)),
      language_(std::move(language)) {
  setObjectName(name_);
  auto* outer = new QVBoxLayout(this);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  outer->addWidget(message_);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* body = new QWidget(scroll);
  body_ = new QVBoxLayout(body);
  body_->addStretch(1);
  scroll->setWidget(body);
  outer->addWidget(scroll, 1);
}

ConfigPage::~ConfigPage() = default;

void ConfigPage::ShowMessage(const QString& text) {
  message_->setText(text);
}

void ConfigPage::SetReadOnly(const QString& label, const QString& value) {
  if (auto* edit = findChild<QLineEdit*>(label)) {
    edit->setText(value);
    return;
  }
  auto* form = static_cast<QFormLayout*>(Group("RC_PAGE_NETWORK")->layout());
  auto* edit = new QLineEdit(value, this);
  edit->setReadOnly(true);
  edit->setObjectName(label);
  form->addRow(label, edit);
}

QWidget* ConfigPage::Group(const char* key) {
  for (const auto& [k, box] : groups_)
    if (k == key)
      return box;
  auto* box = new QGroupBox(text_(key), body_->parentWidget());
  box->setObjectName(QString::fromLatin1(key));
  auto* form = new QFormLayout(box);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  body_->insertWidget(body_->count() - 1, box);
  groups_.emplace_back(key, box);
  return box;
}

void ConfigPage::Clear() {
  fields_.clear();
  for (auto& [key, box] : groups_)
    delete box;
  groups_.clear();
  while (body_->count() > 1)
    delete body_->takeAt(0)->widget();
  grid_ = nullptr;
  schedule_ = nullptr;
}

bool ConfigPage::Load(const std::string& xml) {
  Clear();
  auto values = ReadDocumentValues(xml);
  if (!values)
    return false;
  document_ = xml;
  values_ = std::move(*values);
  // The pages' values in the catalogue's order, so that the groups read as an installer
  // thinks of them; the rest in document order.
  std::vector<bool> placed(values_.size(), false);
  for (const CatalogueEntry& entry : PageFields(command_))
    for (std::size_t i = 0; i < values_.size(); ++i)
      if (!placed[i] && values_[i].Name() == entry.name) {
        placed[i] = true;
        AddField(values_[i]);
      }
  std::vector<int> unknown;
  for (std::size_t i = 0; i < values_.size(); ++i)
    if (!placed[i] && FindField(command_, values_[i].Name()) == nullptr)
      unknown.push_back(static_cast<int>(i));
  if (!unknown.empty()) {
    for (int i : unknown) {
      auto f = std::make_unique<Field>();
      f->index = i;
      fields_.push_back(std::move(f));
    }
    AddAdvanced();
  }
  // The schedule's spans, one bar per work-day entry.
  std::vector<Field*> days, starts, ends;
  for (auto& f : fields_) {
    const std::string name = values_[f->index].Name();
    if (name == "MotionDetectAlarm/EnableTimeList/Workday @Day")
      days.push_back(f.get());
    else if (name == "MotionDetectAlarm/EnableTimeList/Workday/TimeSpan @StartTime")
      starts.push_back(f.get());
    else if (name == "MotionDetectAlarm/EnableTimeList/Workday/TimeSpan @EndTime")
      ends.push_back(f.get());
  }
  if (!starts.empty() && starts.size() == ends.size()) {
    schedule_ = new ScheduleTimeline(this);
    schedule_->setObjectName(QStringLiteral("schedule"));
    std::vector<ScheduleTimeline::Entry> entries;
    for (std::size_t i = 0; i < starts.size(); ++i) {
      auto* day = days.empty()
                      ? nullptr
                      : qobject_cast<QComboBox*>(days[std::min(i, days.size() - 1)]->editor);
      auto* start = qobject_cast<QTimeEdit*>(starts[i]->editor);
      auto* end = qobject_cast<QTimeEdit*>(ends[i]->editor);
      if (!start || !end)
        continue;
      auto minutes = [](QTimeEdit* e) {
        return e->property("dayEnd").toBool() ? 24 * 60 : e->time().msecsSinceStartOfDay() / 60000;
      };
      entries.push_back({day ? day->currentText() : QString(), [=] { return minutes(start); },
                         [=] { return minutes(end); },
                         [=](int from, int to) {
                           start->setTime(QTime(0, 0).addSecs(from * 60));
                           end->setProperty("dayEnd", to >= 24 * 60);
                           end->setTime(to >= 24 * 60 ? QTime(23, 59, 59)
                                                      : QTime(0, 0).addSecs(to * 60));
                         }});
      for (QTimeEdit* e : {start, end})
        connect(e, &QTimeEdit::timeChanged, schedule_, [this] { schedule_->update(); });
    }
    schedule_->SetEntries(std::move(entries));
    auto* form = static_cast<QFormLayout*>(Group("RC_GROUP_SCHEDULE")->layout());
    form->insertRow(0, schedule_);
  }
  return true;
}

ConfigPage::Field* ConfigPage::FindSibling(const DocumentValue& of, const char* attribute) {
  for (auto& f : fields_) {
    const DocumentValue& v = values_[f->index];
    if (v.path == of.path && v.occurrence == of.occurrence && v.attribute == attribute)
      return f.get();
  }
  return nullptr;
}

void ConfigPage::AddField(const DocumentValue& value) {
  const CatalogueEntry* entry = FindField(command_, value.Name());
  const QString object_name =
      QString::fromStdString(value.Name()) +
      (value.occurrence > 0 ? QStringLiteral("#%1").arg(value.occurrence) : QString());
  auto f = std::make_unique<Field>();
  f->index = static_cast<int>(&value - values_.data());
  f->entry = entry;
  const std::string& original = value.value;
  const char* group_key = entry->group_key ? entry->group_key : StreamGroupKey(value.occurrence);
  auto* form = static_cast<QFormLayout*>(Group(group_key)->layout());
  QWidget* row = new QWidget(form->parentWidget());
  auto* row_layout = new QVBoxLayout(row);
  row_layout->setContentsMargins(0, 0, 0, 0);
  row_layout->setSpacing(1);
  QWidget* editor = nullptr;
  FieldKind kind = entry->kind;
  if ((kind == FieldKind::kNumber || kind == FieldKind::kSlider) && !LooksDecimal(original))
    kind = FieldKind::kText;  // the device's value is no number: shown as it stands

  auto combo_current = [](QComboBox* box) {
    return [box](const std::string& orig) {
      const std::string now = box->currentData().toString().toStdString();
      return now.empty() ? orig : now;
    };
  };
  auto add_choice = [](QComboBox* box, const QString& shown, const QString& stored) {
    box->addItem(shown, stored);
  };
  auto select = [](QComboBox* box, const std::string& v) {
    int at = box->findData(QString::fromStdString(v));
    if (at < 0) {  // a value the tables do not know stays selectable as the device sent it
      box->addItem(Shown(v), QString::fromStdString(v));
      at = box->count() - 1;
    }
    box->setCurrentIndex(at);
  };

  switch (kind) {
    case FieldKind::kSwitch: {
      auto* box = new QCheckBox(row);
      box->setChecked(original != "0");
      f->current = [box](const std::string& orig) {
        return box->isChecked() == (orig != "0") ? orig : std::string(box->isChecked() ? "1" : "0");
      };
      editor = box;
      break;
    }
    case FieldKind::kChoice:
    case FieldKind::kTimeZone:
    case FieldKind::kGridSize:
    case FieldKind::kResolution: {
      auto* box = new QComboBox(row);
      if (kind == FieldKind::kChoice) {
        for (const FieldChoice& c : entry->choices)
          add_choice(box, c.key ? text_(c.key) : QString::fromLatin1(c.value),
                     QString::fromLatin1(c.value));
      } else if (kind == FieldKind::kTimeZone) {
        for (const TimeZoneEntry& z : TimeZoneList(language_))
          if (z.value >= 0)
            add_choice(box, QString::fromUtf8(z.name), QString::number(z.value));
      } else if (kind == FieldKind::kGridSize) {
        for (const MotionGridEntry& g : MotionGridTable())
          add_choice(box, QString::fromLatin1(g.name),
                     QString::number(MotionBlockCount(g.columns, g.rows)));
      } else {
        for (const std::string& r : StreamResolutions(EncodeCapabilities(), value.occurrence))
          add_choice(box, QString::fromStdString(r), QString::fromStdString(r));
      }
      select(box, original);
      f->current = combo_current(box);
      editor = box;
      break;
    }
    case FieldKind::kNumber:
    case FieldKind::kBitRate:
    case FieldKind::kFrameRate: {
      auto* spin = new QSpinBox(row);
      const int now = LooksDecimal(original) ? std::stoi(original) : 0;
      spin->setRange(std::min(entry->minimum, now), std::max(entry->maximum, now));
      spin->setValue(now);
      if (kind != FieldKind::kNumber) {
        // The encoder's limits follow the stream's resolution and format; a resolution the
        // tables do not know keeps the wide range.
        const bool bitrate = kind == FieldKind::kBitRate;
        auto limit = [this, value, spin, bitrate, now] {
          Field* res = FindSibling(value, "Resolution");
          Field* fmt = FindSibling(value, "EncodeFormat");
          const auto records = EncodeCapabilities();
          const EncodeCapability* cap =
              res ? FindCapability(records, res->current(values_[res->index].value),
                                   value.occurrence,
                                   fmt ? fmt->current(values_[fmt->index].value) : std::string())
                  : nullptr;
          const int low = cap ? (bitrate ? cap->min_kbps : cap->min_fps) : 1;
          const int high = cap ? (bitrate ? cap->max_kbps : cap->max_fps) : (bitrate ? 100000 : 60);
          spin->setRange(std::min(low, now), std::max(high, now));
          spin->setProperty("limits", QPoint(low, high));
        };
        QMetaObject::invokeMethod(this, limit, Qt::QueuedConnection);
        for (const char* sibling : {"Resolution", "EncodeFormat"})
          if (Field* s = FindSibling(value, sibling))
            if (auto* box = qobject_cast<QComboBox*>(s->editor))
              connect(box, &QComboBox::currentIndexChanged, spin, limit);
        f->invalid = [this, spin] {
          const QPoint l = spin->property("limits").toPoint();
          return spin->property("limits").isValid() &&
                         (spin->value() < l.x() || spin->value() > l.y())
                     ? text_("RC_OUT_OF_RANGE") + QStringLiteral(" %1-%2").arg(l.x()).arg(l.y())
                     : QString();
        };
      }
      f->current = [spin, now](const std::string& orig) {
        return spin->value() == now && LooksDecimal(orig) ? orig : std::to_string(spin->value());
      };
      editor = spin;
      break;
    }
    case FieldKind::kSlider: {
      auto* line = new QWidget(row);
      auto* h = new QHBoxLayout(line);
      h->setContentsMargins(0, 0, 0, 0);
      auto* slider = new QSlider(Qt::Horizontal, line);
      const int now = std::stoi(original);
      slider->setRange(std::min(entry->minimum, now), std::max(entry->maximum, now));
      slider->setValue(now);
      auto* shown = new QLabel(QString::number(now), line);
      shown->setMinimumWidth(28);
      connect(slider, &QSlider::valueChanged, shown,
              [shown](int v) { shown->setText(QString::number(v)); });
      h->addWidget(slider, 1);
      h->addWidget(shown);
      row_layout->addWidget(line);
      slider->setObjectName(object_name);
      f->current = [slider, now](const std::string& orig) {
        return slider->value() == now ? orig : std::to_string(slider->value());
      };
      f->editor = slider;
      break;
    }
    case FieldKind::kTime: {
      auto* edit = new QTimeEdit(row);
      edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
      const int seconds = SecondsOf(original);
      edit->setProperty("dayEnd", seconds >= 24 * 3600);
      edit->setTime(seconds >= 24 * 3600 ? QTime(23, 59, 59)
                                         : QTime(0, 0).addSecs(std::max(seconds, 0)));
      connect(edit, &QTimeEdit::userTimeChanged, edit,
              [edit] { edit->setProperty("dayEnd", false); });
      f->current = [edit](const std::string& orig) {
        const int now = edit->property("dayEnd").toBool()
                            ? 24 * 3600
                            : edit->time().msecsSinceStartOfDay() / 1000;
        return now == SecondsOf(orig) ? orig : TimeText(now, orig);
      };
      editor = edit;
      break;
    }
    case FieldKind::kPassword: {
      // The device's password is never shown: a new one is typed twice, or none.
      auto* edit = new QLineEdit(row);
      edit->setEchoMode(QLineEdit::Password);
      edit->setMaxLength(64);
      auto* confirm = new QLineEdit(row);
      confirm->setEchoMode(QLineEdit::Password);
      confirm->setMaxLength(64);
      confirm->setObjectName(object_name + QStringLiteral(" confirm"));
      form->addRow(text_(entry->label_key), row);
      row_layout->addWidget(edit);
      edit->setObjectName(object_name);
      auto* confirm_row = new QWidget(form->parentWidget());
      auto* confirm_layout = new QVBoxLayout(confirm_row);
      confirm_layout->setContentsMargins(0, 0, 0, 0);
      confirm_layout->addWidget(confirm);
      form->addRow(text_("TEXT15"), confirm_row);
      f->current = [edit](const std::string& orig) {
        return edit->text().isEmpty() ? orig : Stored(edit->text());
      };
      f->invalid = [this, edit, confirm] {
        return edit->text() == confirm->text() ? QString() : text_("MSGTIP51");
      };
      f->accepted = [edit, confirm] {
        edit->clear();
        confirm->clear();
      };
      f->editor = edit;
      break;
    }
    case FieldKind::kMotionGrid: {
      Field* count = FindSibling(value, "BlockCount");
      const MotionGridSize size =
          MotionGridFromBlockCount(count ? std::atoll(values_[count->index].value.c_str()) : 0);
      grid_ = new MotionGridWidget(row);
      grid_->SetGrid(size.columns, size.rows, original);
      grid_->SetPicture(picture_);
      if (count)
        if (auto* box = qobject_cast<QComboBox*>(count->editor))
          connect(box, &QComboBox::currentIndexChanged, grid_, [this, box] {
            const MotionGridSize s = MotionGridFromBlockCount(box->currentData().toLongLong());
            grid_->SetGrid(s.columns, s.rows, {});
          });
      MotionGridWidget* grid = grid_;
      f->current = [grid](const std::string& orig) {
        return grid->blocks().empty() ? orig : grid->blocks();
      };
      editor = grid_;
      break;
    }
    case FieldKind::kHexTitle: {
      auto* edit = new QLineEdit(Shown(Unhex(original)), row);
      edit->setMaxLength(64);
      f->current = [edit](const std::string& orig) {
        const std::string narrow = Stored(edit->text());
        return narrow == Unhex(orig) ? orig : HexBytes(narrow);
      };
      // The device reads TitleUtf8 as the narrow title taken back to UTF-8.
      f->companions = [this, value, edit]() -> std::vector<std::pair<int, std::string>> {
        for (std::size_t i = 0; i < values_.size(); ++i)
          if (values_[i].path == value.path && values_[i].attribute == "TitleUtf8" &&
              values_[i].occurrence == value.occurrence)
            return {{static_cast<int>(i), HexBytes(AnsiToUtf8(Stored(edit->text())))}};
        return {};
      };
      editor = edit;
      break;
    }
    case FieldKind::kReadOnly:
    case FieldKind::kNtpServer:
    case FieldKind::kIpv4:
    case FieldKind::kText:
    default: {
      auto* edit = new QLineEdit(Shown(original), row);
      edit->setReadOnly(kind == FieldKind::kReadOnly);
      f->current = [edit](const std::string& orig) {
        return edit->text() == Shown(orig) ? orig : Stored(edit->text());
      };
      f->invalid = [this, edit, kind, original] {
        const std::string now = edit->text().toStdString();
        if (edit->text() == Shown(original) || kind == FieldKind::kReadOnly)
          return QString();
        const bool ok = kind == FieldKind::kNtpServer ? NtpServerAccepted(now)
                        : kind == FieldKind::kIpv4    ? Ipv4AddressAccepted(now)
                                                      : FieldValueAccepted(original, now);
        return ok ? QString() : text_("RC_BAD_VALUE");
      };
      editor = edit;
      break;
    }
  }
  if (editor) {
    editor->setObjectName(object_name);
    row_layout->addWidget(editor);
    f->editor = editor;
  }
  if (kind != FieldKind::kPassword)
    form->addRow(text_(entry->label_key), row);
  f->error = new QLabel(row);
  f->error->setObjectName(object_name + QStringLiteral(" error"));
  f->error->setStyleSheet(QStringLiteral("color: #c00000"));
  f->error->setWordWrap(true);
  f->error->hide();
  row_layout->addWidget(f->error);
  fields_.push_back(std::move(f));
}

void ConfigPage::AddAdvanced() {
  // Values the pages do not know (newer firmware): editable as text, collapsed at first.
  auto* toggle = new QToolButton(body_->parentWidget());
  toggle->setObjectName(QStringLiteral("advancedToggle"));
  toggle->setText(text_("RC_ADVANCED"));
  toggle->setCheckable(true);
  toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toggle->setArrowType(Qt::RightArrow);
  auto* table = new QTableWidget(0, 2, body_->parentWidget());
  table->setObjectName(QStringLiteral("advanced"));
  table->setHorizontalHeaderLabels({text_("RC_ADVANCED_NAME"), text_("RC_ADVANCED_VALUE")});
  table->horizontalHeader()->setStretchLastSection(true);
  table->verticalHeader()->hide();
  table->hide();
  connect(toggle, &QToolButton::toggled, table, [toggle, table](bool open) {
    toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    table->setVisible(open);
  });
  for (auto& f : fields_) {
    if (f->entry != nullptr || f->editor != nullptr)
      continue;
    const DocumentValue& v = values_[f->index];
    const int row = table->rowCount();
    table->insertRow(row);
    auto* name = new QTableWidgetItem(QString::fromStdString(v.Name()));
    name->setFlags(name->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, 0, name);
    auto* item = new QTableWidgetItem(Shown(v.value));
    table->setItem(row, 1, item);
    f->editor = table;
    f->current = [item](const std::string& orig) {
      return item->text() == Shown(orig) ? orig : Stored(item->text());
    };
    const std::string original = v.value;
    f->invalid = [this, item, original] {
      return item->text() == Shown(original) ||
                     FieldValueAccepted(original, item->text().toStdString())
                 ? QString()
                 : text_("RC_BAD_VALUE") + QLatin1Char(' ') + QString::fromStdString(original);
    };
    f->error = new QLabel(body_->parentWidget());
    f->error->setObjectName(QString::fromStdString(v.Name()) + QStringLiteral(" error"));
    f->error->setStyleSheet(QStringLiteral("color: #c00000"));
    f->error->hide();
    body_->insertWidget(body_->count() - 1, f->error);
  }
  table->resizeColumnToContents(0);
  table->setMinimumHeight(std::min(320, 30 + 24 * table->rowCount()));
  body_->insertWidget(body_->count() - 1, toggle);
  body_->insertWidget(body_->count() - 1, table);
}

void ConfigPage::ClearErrors() const {
  for (const auto& f : fields_)
    if (f->error) {
      f->error->clear();
      f->error->hide();
    }
}

bool ConfigPage::Changed() const {
  for (const auto& f : fields_)
    if (f->current && f->current(values_[f->index].value) != values_[f->index].value)
      return true;
  return false;
}

std::vector<std::pair<const DocumentValue*, std::string>> ConfigPage::Edits(int only,
                                                                            QString* bad) const {
  std::vector<std::pair<const DocumentValue*, std::string>> edits;
  for (int i = 0; i < static_cast<int>(fields_.size()); ++i) {
    const Field& f = *fields_[i];
    if (!f.current || (only >= 0 && i != only))
      continue;
    const DocumentValue& v = values_[f.index];
    const std::string now = f.current(v.value);
    if (now == v.value)
      continue;
    if (const QString why = f.invalid(); !why.isEmpty()) {
      if (f.error) {
        f.error->setText(why);
        f.error->show();
      }
      if (bad)
        *bad = f.entry ? text_(f.entry->label_key) : QString::fromStdString(v.Name());
      return {};
    }
    edits.emplace_back(&v, now);
    if (f.companions)
      for (const auto& [index, text] : f.companions())
        edits.emplace_back(&values_[index], text);
  }
  return edits;
}

std::string ConfigPage::Compose(QString* bad) const {
  ClearErrors();
  QString why;
  auto edits = Edits(-1, &why);
  if (!why.isEmpty()) {
    if (bad)
      *bad = why;
    return {};
  }
  return WriteDocumentValues(document_, std::move(edits));
}

std::optional<std::string> ConfigPage::ComposeOne(const std::set<int>& skip, int* field) const {
  for (int i = 0; i < static_cast<int>(fields_.size()); ++i) {
    if (skip.count(i) > 0)
      continue;
    auto edits = Edits(i, nullptr);
    if (edits.empty())
      continue;
    *field = i;
    return WriteDocumentValues(document_, std::move(edits));
  }
  return std::nullopt;
}

void ConfigPage::ShowRefused(int field) {
  if (field < 0 || field >= static_cast<int>(fields_.size()) || !fields_[field]->error)
    return;
  fields_[field]->error->setText(text_("RC_REFUSED"));
  fields_[field]->error->show();
}

void ConfigPage::Accept(const std::string& xml) {
  auto values = ReadDocumentValues(xml);
  if (!values || values->size() != values_.size())
    return;
  // Only values changed, so every field keeps its place; the controls keep what they show.
  std::vector<std::string> before;
  for (const auto& f : fields_)
    before.push_back(values_[f->index].value);
  document_ = xml;
  for (std::size_t i = 0; i < values_.size(); ++i)
    values_[i].value = (*values)[i].value, values_[i].begin = (*values)[i].begin,
    values_[i].end = (*values)[i].end;
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i]->accepted && values_[fields_[i]->index].value != before[i])
      fields_[i]->accepted();
}

void ConfigPage::SetPicture(const QImage& picture) {
  picture_ = picture;
  if (grid_)
    grid_->SetPicture(picture);
}

}  // namespace vdz::remoteconfig
