#include "devconfig/dialogs/dialog_time_setting.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/setting_validators.h"
#include "devconfig/settings_documents.h"
#include "devconfig/time_zone_table.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

constexpr int kRowTops[] = {45, 70, 95, 120, 145};
constexpr int kMinLabelWidth = 190;
constexpr int kInputGap = 10;
constexpr int kInputWidth = 160;
constexpr int kInputHeight = 20;
constexpr int kLeft = 12;

}  // namespace

CSYSTimeSet::CSYSTimeSet(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  mode_label_ = Named(new QLabel(this), "1091");
  mode_ = Named(new QComboBox(this), "1093");
  zone_label_ = Named(new QLabel(this), "1095");
  zone_ = Named(new QComboBox(this), "1097");
  server_label_ = Named(new QLabel(this), "1099");
  server_ = Named(new QLineEdit(this), "1101");
  port_label_ = Named(new QLabel(this), "1103");
  port_ = Named(new QLineEdit(this), "523");
  interval_label_ = Named(new QLabel(this), "1105");
  interval_ = Named(new QLineEdit(this), "555");
  seconds_label_ = Named(new QLabel(this), "1106");
  time_label_ = Named(new QLabel(this), "1107");
  pc_time_ = Named(new QDateTimeEdit(this), "1085");
  follow_pc_ = Named(new QCheckBox(this), "1087");
  save_ = Named(new QPushButton(this), "1108");
  const auto digits = QRegularExpression(QStringLiteral("[0-9]*"));
  port_->setValidator(new QRegularExpressionValidator(digits, port_));
  interval_->setValidator(new QRegularExpressionValidator(digits, interval_));
  pc_time_timer_.setInterval(1000);
  connect(&pc_time_timer_, &QTimer::timeout, this, &CSYSTimeSet::ShowPcTime);
  connect(follow_pc_, &QCheckBox::toggled, this, &CSYSTimeSet::OnFollowPcTime);
  connect(mode_, &QComboBox::currentIndexChanged, this, [this] { ApplyTimeSource(); });
  connect(save_, &QPushButton::clicked, this, &CSYSTimeSet::OnSave);
}

void CSYSTimeSet::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::ID_BATCH_CONFIG_TIME));
    mode_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS1));
    zone_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS2));
    server_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS5));
    port_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS6));
    interval_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS7));
    seconds_label_->setText(DialogText(keys::IDS_STR_ZH_CN_SECOND));
    time_label_->setText(DialogText(keys::IDS_STR_ZH_CN_TIME));
    follow_pc_->setText(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS3));
    save_->setText(DialogText(keys::IDS_STR_ZH_CN_SAVE));
    for (const TimeZoneEntry& zone : TimeZoneList(CurrentLanguageCode())) {
      if (zone.value == -1)
        break;
      zone_->addItem(QString::fromUtf8(zone.name), zone.value);
    }
    zone_->setCurrentIndex(TimeZoneIndexOf(kDefaultTimeZoneValue));
    zone_->view()->setMinimumWidth(zone_->view()->sizeHintForColumn(0) + 24);
    mode_->addItem(DialogText(keys::IDS_STR_ZH_CN_TIMESETUP_TIPS4));
    mode_->addItem(DialogText(keys::IDS_STR_ZH_CN_MANUAL));
    mode_->addItem(QStringLiteral("P2P"));
    mode_->setCurrentIndex(0);
    pc_time_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    follow_pc_->setChecked(true);
    OnFollowPcTime(true);
    server_->setText(QString::fromLatin1(kDefaultNtpServer));
    port_->setText(QStringLiteral("123"));
    interval_->setText(QStringLiteral("60"));
    LayOutRows();
    ApplyTimeSource();
  }
  QDialog::showEvent(event);
}

void CSYSTimeSet::LayOutRows() {
  int label_width = kMinLabelWidth;
  for (QLabel* l :
       {mode_label_, zone_label_, server_label_, port_label_, interval_label_, time_label_})
    label_width = std::max(label_width, l->fontMetrics().horizontalAdvance(l->text()) + 4);
  const int input_x = kLeft + label_width + kInputGap;
  auto place = [&](QLabel* label, QWidget* input, int top) {
    label->setGeometry(kLeft, top, label_width, kInputHeight);
    input->setGeometry(input_x, top, kInputWidth, kInputHeight);
  };
  place(mode_label_, mode_, kRowTops[0]);
  place(zone_label_, zone_, kRowTops[1]);
  place(server_label_, server_, kRowTops[2]);
  place(time_label_, pc_time_, kRowTops[2]);
  place(port_label_, port_, kRowTops[3]);
  place(interval_label_, interval_, kRowTops[4]);
  seconds_label_->setGeometry(
      input_x + kInputWidth + 6, kRowTops[4],
      seconds_label_->fontMetrics().horizontalAdvance(seconds_label_->text()) + 8, kInputHeight);
  follow_pc_->setGeometry(kLeft, 12, label_width + kInputGap + kInputWidth, kInputHeight);
  const int save_width = std::max(80, save_->fontMetrics().horizontalAdvance(save_->text()) + 24);
  save_->setGeometry(input_x + kInputWidth - save_width, kRowTops[4] + 40, save_width, 26);
  const int right = std::max(seconds_label_->geometry().right(), input_x + kInputWidth) + kLeft;
  setFixedSize(right, kRowTops[4] + 40 + 26 + 12);
}

void CSYSTimeSet::ApplyTimeSource() {
  const bool ntp = mode_->currentIndex() == 0;
  for (QWidget* w : std::initializer_list<QWidget*>{server_label_, port_label_, interval_label_,
                                                    seconds_label_, server_, port_, interval_})
    w->setVisible(ntp);
  time_label_->setVisible(!ntp);
  pc_time_->setVisible(!ntp);
}

void CSYSTimeSet::OnFollowPcTime(bool on) {
  if (on) {
    ShowPcTime();
    pc_time_timer_.start();
  } else {
    pc_time_timer_.stop();
  }
}

void CSYSTimeSet::ShowPcTime() {
  pc_time_->setDateTime(QDateTime::currentDateTime());
}

void CSYSTimeSet::keyPressEvent(QKeyEvent* event) {
  // Only Save or the close button end the dialog.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CSYSTimeSet::closeEvent(QCloseEvent* event) {
  pc_time_timer_.stop();
  QDialog::closeEvent(event);
}

void CSYSTimeSet::OnSave() {
  TimeConfigValues v;
  v.time_source = mode_->currentIndex();
  v.zone_value = TimeZoneValueAt(zone_->currentIndex());
  v.server = server_->text().trimmed().toStdString();
  v.port = port_->text().toStdString();
  v.interval = interval_->text().toStdString();
  if (!DecimalInRange(v.port, 1, 65535)) {
    prompter_.ShowMessage(LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS126));
    return;
  }
  if (!DecimalInRange(v.interval, 60, 999999)) {
    prompter_.ShowMessage(LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS127));
    return;
  }
  if (!NtpServerAccepted(v.server)) {
    prompter_.ShowMessage(LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS128));
    return;
  }
  document = BuildTimeConfigDocument(v);
  values = v;
  cancelled = false;
  pc_time_timer_.stop();
  accept();
}

}  // namespace vdz
