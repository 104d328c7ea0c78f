#include "devconfig/dialogs/dlg_rk_platform_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <cstdio>
#include <vector>

#include "devconfig/dialogs/dialog_buttons.h"
#include "shell/language_keys.h"

namespace vdz {

namespace {

using Set = TerminalParameterSet;

constexpr const char* kBatchNote = "当前为批量修改模式!";

enum class EditKind { kText, kNumber, kDigits, kNumberOrZero };

struct EditRow {
  int id;
  int label_id;  // 0: no label
  const char* key;
  std::string Set::*text;
  int Set::*number;
  EditKind kind;
  bool hidden;
  bool label_hidden;
};

// In reading order on the form.
const std::vector<EditRow>& Edits() {
  static const std::vector<EditRow> rows = {
      {1013, 1745, keys::IDS_STR_ZH_CN_PLATF_TIPS2, &Set::accessip, nullptr, EditKind::kText, false,
       false},
      {1759, 1747, keys::SECONDSERVERADDR, &Set::accessauxip, nullptr, EditKind::kText, false,
       false},
      {1014, 1746, keys::IDS_STR_ZH_CN_PLATF_TIPS3, nullptr, &Set::accessport, EditKind::kDigits,
       false, false},
      {1942, 1753, keys::SN, &Set::devname, nullptr, EditKind::kText, false, false},
      {1738, 1737, keys::DEVID, &Set::devid, nullptr, EditKind::kText, true, false},
      {1808, 1809, keys::CLIENTID, &Set::clientid, nullptr, EditKind::kText, true, true},
      {1762, 1757, keys::DEVTYPE, &Set::model, nullptr, EditKind::kText, true, true},
      {1756, 1748, keys::TALKCALVOL, nullptr, &Set::talkCapVol, EditKind::kNumber, false, false},
      {1754, 1750, keys::NORMALCAPVOL, nullptr, &Set::normalCapVol, EditKind::kNumber, false,
       false},
      {1755, 1749, keys::NORMALPLAYVOL, nullptr, &Set::normalPlayVol, EditKind::kNumber, false,
       false},
      {1806, 1807, keys::CALLINGVOL, nullptr, &Set::callingPlayVol, EditKind::kDigits, false,
       false},
      {1758, 1751, keys::NOISEALARMVOL, nullptr, &Set::dbAlarmVol, EditKind::kNumber, false, false},
      {1741, 1742, keys::NOISEALARMMUSIC, &Set::dbAlarmMP3, nullptr, EditKind::kText, false, false},
      {1766, 1767, keys::SERIALRATE, nullptr, &Set::serialRate, EditKind::kNumber, false, false},
      {1805, 1804, keys::ALARM_PERIOD, nullptr, &Set::dbAlarmPeriod, EditKind::kDigits, false,
       false},
      {1943, 1777, keys::FTPIP_NAME, &Set::ftpIp, nullptr, EditKind::kText, false, false},
      {1776, 1778, keys::FTPPORT_NAME, nullptr, &Set::ftpPort, EditKind::kNumberOrZero, false,
       false},
      {1944, 1780, keys::FTPUSER_NAME, &Set::ftpUser, nullptr, EditKind::kText, false, false},
      {1779, 1781, keys::FTPPWD_NAME, &Set::ftpPwd, nullptr, EditKind::kText, false, false},
      {1945, 1782, keys::FTPPATH_NAME, &Set::ftpPath, nullptr, EditKind::kText, false, false},
      {1788, 1786, keys::IO3TIMERVALUE_NAME, nullptr, &Set::io3TimerVle, EditKind::kNumberOrZero,
       false, false},
      {1773, 0, nullptr, &Set::rtspUrl, nullptr, EditKind::kText, true, false},
      {1946, 0, nullptr, &Set::IOAlarmUrl, nullptr, EditKind::kText, true, false},
      {1795, 1797, keys::IOALARMPORT, nullptr, &Set::IOAlarmPort, EditKind::kNumber, true, true},
  };
  return rows;
}

enum class ListRule { kIndex, kInvertedHorn, kIndexUnlessBatch };

struct ListRow {
  int id;
  int label_id;
  const char* label_key;
  const char* first;
  const char* second;
  int Set::*number;
  ListRule rule;
  bool hidden;
};

const std::vector<ListRow>& Lists() {
  static const std::vector<ListRow> rows = {
      {1761, 1760, keys::BROADCASTHORNSTATE, keys::C_OPEN, keys::C_CLOSE, &Set::io_out1,
       ListRule::kIndex, false},
      {1763, 1752, keys::TALKHORNSTATE, keys::C_OPEN, keys::C_CLOSE, &Set::io_out2,
       ListRule::kInvertedHorn, false},
      {1764, 1765, keys::EXTAUDIOSTATE, keys::C_OPEN, keys::C_CLOSE, &Set::io_out3,
       ListRule::kInvertedHorn, false},
      {1768, 1769, keys::HASVID_NAME, keys::IS_NO, keys::IS_YES, &Set::hasVid,
       ListRule::kIndexUnlessBatch, false},
      {1791, 1792, keys::HASAUD, nullptr, nullptr, &Set::hasTalk, ListRule::kIndexUnlessBatch,
       true},
      {1770, 1771, keys::HASVID_NAME2, keys::IS_NO, keys::IS_YES, &Set::needLog, ListRule::kIndex,
       true},
      {1800, 1803, keys::IO_IN2_SWITCH_TYPE, keys::IS_BUTTON, keys::IS_DOOR, &Set::IO2CancelEna,
       ListRule::kIndex, false},
  };
  return rows;
}

struct CheckRow {
  int id;
  const char* text_key;  // null: no text of its own
  int label_id;
  const char* label_key;
  int Set::*number;
  bool hidden;
};

const std::vector<CheckRow>& Checks() {
  static const std::vector<CheckRow> rows = {
      {1743, keys::ENABLE, 0, nullptr, &Set::dbAlarmEna, false},
      {1772, keys::ENABLE, 1744, keys::SERVERDEVID_NAME2, &Set::enaReboot, false},
      {1783, keys::IOSNAP_ENA, 0, nullptr, &Set::IOSnapEna, false},
      {1785, keys::DENOISE_ENA, 1784, keys::DENOISEVALUE_NAME, &Set::denoiseEna, false},
      {1787, keys::ENABLE, 0, nullptr, &Set::io3TimerEna, false},
      {1790, nullptr, 0, nullptr, &Set::threeLedEna, true},
      {1774, nullptr, 0, nullptr, &Set::rtspEna, true},
      {1794, keys::REVERSED_CTRL_ENA, 1793, keys::TALKHORN, &Set::IO2FxEna, false},
      {1799, keys::REVERSED_CTRL_ENA, 1796, keys::EXTAUDIO, &Set::IO3FxEna, false},
      {1802, keys::ERROR_CHECK_ENA, 1801, keys::ERROR_CHECK, &Set::IO3CheckEna, false},
      {1798, keys::IOALARM, 0, nullptr, &Set::IOAlarmEna, true},
      {1814, keys::TAMPER_ALARM_ENA, 0, nullptr, &Set::IOFangCaiAlarmEna, false},
      {1815, keys::NET_MAINTAIN_ENA, 0, nullptr, &Set::NetCheckEna, false},
      {1816, keys::AUDIO_MAINTAIN_ENA, 0, nullptr, &Set::CapCheckEna, false},
  };
  return rows;
}

constexpr int kFtpEdits[] = {1943, 1776, 1944, 1779, 1945};

// Three columns of a caption and its controls; switches without a caption of their own sit
// beside the value they enable.
struct Cell {
  int label;
  std::vector<int> controls;
};

const std::vector<Cell>& Cells() {
  static const std::vector<Cell> cells = {
      {1745, {1013}}, {1747, {1759}}, {1746, {1014}},       {1753, {1942}},
      {1737, {1738}}, {1809, {1808}}, {1757, {1762}},       {1748, {1756}},
      {1750, {1754}}, {1749, {1755}}, {1807, {1806}},       {1751, {1758, 1743}},
      {1742, {1741}}, {1767, {1766}}, {1804, {1805}},       {1760, {1761}},
      {1752, {1763}}, {1765, {1764}}, {1769, {1768}},       {1792, {1791}},
      {1771, {1770}}, {1803, {1800}}, {1793, {1794}},       {1796, {1799}},
      {1801, {1802}}, {1784, {1785}}, {1786, {1788, 1787}}, {1744, {1772, 1064}},
      {0, {1783}},    {0, {1814}},    {0, {1815}},          {0, {1816}},
      {1777, {1943}}, {1778, {1776}}, {1780, {1944}},       {1781, {1779}},
      {1782, {1945}}, {1797, {1795}}, {0, {1798, 1946}},    {0, {1774, 1773}},
      {0, {1790}},
  };
  return cells;
}

QString Id(int id) {
  return QString::number(id);
}

// "%d" as the dialog has always read its numbers: leading blanks and a sign, then digits.
bool ReadNumber(const QString& text, int* value) {
  int v = 0;
  if (std::sscanf(text.toUtf8().constData(), "%d", &v) != 1)
    return false;
  *value = v;
  return true;
}

}  // namespace

int InvertedHornRow(int value) {
  return value == 1 ? 0 : 1;
}

int InvertedHornValue(int row) {
  return row == 0 ? 1 : 0;
}

DlgRkPlatformSetting::DlgRkPlatformSetting(QWidget* parent) : QDialog(parent) {
  auto* grid = new QGridLayout(this);
  auto make_label = [this](int id) -> QLabel* {
    if (id == 0)
      return nullptr;
    auto* label = new QLabel(this);
    label->setObjectName(Id(id));
    controls_[id] = label;
    return label;
  };
  for (const EditRow& e : Edits()) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(Id(e.id));
    if (e.kind == EditKind::kDigits)
      edit->setValidator(new QIntValidator(0, 99999999, edit));
    controls_[e.id] = edit;
    if (QLabel* label = make_label(e.label_id))
      label->setBuddy(edit);
  }
  for (const ListRow& l : Lists()) {
    auto* list = new QComboBox(this);
    list->setObjectName(Id(l.id));
    controls_[l.id] = list;
    make_label(l.label_id);
  }
  for (const CheckRow& c : Checks()) {
    auto* box = new QCheckBox(this);
    box->setObjectName(Id(c.id));
    controls_[c.id] = box;
    make_label(c.label_id);
  }
  maintenance_time_ = new QTimeEdit(this);
  maintenance_time_->setObjectName(Id(1064));
  maintenance_time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  controls_[1064] = maintenance_time_;

  grid_ = grid;
  batch_note_ = make_label(1740);
  make_label(1065);
  accept_ = new QPushButton(this);
  accept_->setObjectName(Id(1739));
  accept_->setDefault(true);
  auto* cancel = new QPushButton(this);
  cancel->setObjectName(Id(2));
  controls_[1739] = accept_;
  controls_[2] = cancel;

  connect(accept_, &QPushButton::clicked, this, &DlgRkPlatformSetting::OnAccept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(static_cast<QCheckBox*>(controls_[1783]), &QCheckBox::clicked, this,
          [this] { ApplyFtpRule(); });
}

QWidget* DlgRkPlatformSetting::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void DlgRkPlatformSetting::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    Open();
  }
  QDialog::showEvent(event);
}

void DlgRkPlatformSetting::Open() {
  const bool batch = Mode >= 2;
  setWindowTitle(DialogText(keys::BATCH_SET_ADDEXELICENSE));
  accept_->setText(DialogText(keys::IDC_MODIFY_PROJECT));
  static_cast<QPushButton*>(controls_[2])->setText(DialogText(keys::CANCEL));
  static_cast<QLabel*>(controls_[1065])->setText(DialogText(keys::EMPTY_MEANS_NO_CHANGE));
  batch_note_->setText(batch ? QString::fromUtf8(kBatchNote) : QString());

  for (const EditRow& e : Edits()) {
    auto* edit = static_cast<QLineEdit*>(controls_[e.id]);
    edit->setText(e.text != nullptr ? QString::fromStdString(values.*e.text)
                                    : QString::number(values.*e.number));
    if (e.label_id != 0)
      static_cast<QLabel*>(controls_[e.label_id])->setText(DialogText(e.key));
    edit->setHidden(e.hidden);
    if (e.label_id != 0)
      controls_[e.label_id]->setHidden(e.label_hidden);
  }
  for (const ListRow& l : Lists()) {
    auto* list = static_cast<QComboBox*>(controls_[l.id]);
    list->clear();
    if (l.first != nullptr)
      list->addItems({DialogText(l.first), DialogText(l.second)});
    static_cast<QLabel*>(controls_[l.label_id])->setText(DialogText(l.label_key));
    const int value = values.*l.number;
    int row = l.rule == ListRule::kInvertedHorn ? InvertedHornRow(value) : value;
    if (l.rule == ListRule::kIndexUnlessBatch && batch)
      row = -1;
    list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
    list->setHidden(l.hidden);
  }
  for (const CheckRow& c : Checks()) {
    auto* box = static_cast<QCheckBox*>(controls_[c.id]);
    box->setChecked(values.*c.number == 1);
    if (c.text_key != nullptr)
      box->setText(DialogText(c.text_key));
    if (c.label_id != 0)
      static_cast<QLabel*>(controls_[c.label_id])->setText(DialogText(c.label_key));
    box->setHidden(c.hidden);
  }
  if (batch) {
    for (int id : {1753, 1942, 1757, 1762})
      controls_[id]->hide();
  }
  // Hours and minutes out of range cannot show either: they fall back like a missing time.
  QTime time(3, 0, 0);
  const std::string& text = values.reboottime;
  if (Mode == 1 && text.size() >= 4) {
    int h = -1, m = -1, s = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) >= 2 && h >= 0 && m >= 0 && s >= 0 &&
        QTime::isValid(h, m, s)) {
      time = QTime(h, m, s);
    }
  }
  maintenance_time_->setTime(time);
  LayOut();
}

// Only the cells with a control to show take a place, so a hidden row leaves no gap and no
// caption stands without its field.
void DlgRkPlatformSetting::LayOut() {
  int slot = 0;
  for (const Cell& cell : Cells()) {
    bool shown = false;
    for (int id : cell.controls)
      shown = shown || !controls_[id]->isHidden();
    if (cell.label != 0) {
      auto* label = static_cast<QLabel*>(controls_[cell.label]);
      label->setHidden(!shown);
      label->setBuddy(controls_[cell.controls.front()]);
    }
    if (!shown)
      continue;
    const int row = slot / 3;
    const int column = slot % 3 * 2;
    ++slot;
    if (cell.label != 0)
      grid_->addWidget(controls_[cell.label], row, column);
    auto* box = new QHBoxLayout;
    for (int id : cell.controls)
      box->addWidget(controls_[id], controls_[id]->inherits("QCheckBox") ? 0 : 1);
    grid_->addLayout(box, row, column + 1);
  }
  const int last = (slot + 2) / 3;
  batch_note_->setHidden(Mode < 2);
  grid_->addWidget(batch_note_, last, 0, 1, 6);
  grid_->addWidget(controls_[1065], last + 1, 0, 1, 6);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(accept_);
  buttons->addWidget(controls_[2]);
  grid_->addLayout(buttons, last + 2, 0, 1, 6);
}

void DlgRkPlatformSetting::ApplyFtpRule() {
  const bool on = static_cast<QCheckBox*>(controls_[1783])->isChecked();
  for (int id : kFtpEdits)
    controls_[id]->setEnabled(on);
}

void DlgRkPlatformSetting::OnAccept() {
  for (const EditRow& e : Edits()) {
    const QString text = static_cast<QLineEdit*>(controls_[e.id])->text();
    if (e.text != nullptr) {
      values.*e.text = text.toStdString();
    } else if (e.kind == EditKind::kNumberOrZero && text.isEmpty()) {
      values.*e.number = 0;
    } else {
      ReadNumber(text, &(values.*e.number));
    }
  }
  for (const CheckRow& c : Checks())
    values.*c.number = static_cast<QCheckBox*>(controls_[c.id])->isChecked() ? 1 : 0;
  for (const ListRow& l : Lists()) {
    const int row = static_cast<QComboBox*>(controls_[l.id])->currentIndex();
    if (l.rule == ListRule::kInvertedHorn) {
      values.*l.number = InvertedHornValue(row);
    } else if (l.rule == ListRule::kIndex || Mode < 2) {
      values.*l.number = row;
    } else {
      values.*l.number = -1;
    }
  }
  values.reboottime =
      maintenance_time_->time().isValid()
          ? maintenance_time_->time().toString(QStringLiteral("HH:mm:ss")).toStdString()
          : std::string();
  cancelled = false;
  accept();
}

}  // namespace vdz
