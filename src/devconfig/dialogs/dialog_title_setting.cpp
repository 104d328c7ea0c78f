#include "devconfig/dialogs/dialog_title_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/language_keys.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

}  // namespace

CDialogTitleSetting::CDialogTitleSetting(QWidget* parent) : QDialog(parent) {
  auto* grid = new QGridLayout(this);
  title_label_ = Named(new QLabel(this), "1020");
  title_ = Named(new QLineEdit(this), "1009");
  enable_ = Named(new QCheckBox(this), "1016");
  group_ = Named(new QGroupBox(this), "1021");
  auto* boxes = new QHBoxLayout(group_);
  add_ip_ = Named(new QCheckBox(group_), "1012");
  add_model_ = Named(new QCheckBox(group_), "1015");
  add_serial_ = Named(new QCheckBox(group_), "1013");
  boxes->addWidget(add_ip_);
  boxes->addWidget(add_model_);
  boxes->addWidget(add_serial_);
  position_label_ = Named(new QLabel(this), "1022");
  position_ = Named(new QComboBox(this), "1011");
  overlay_ = Named(new QComboBox(this), "1014");
  // Long position names must show whole.
  for (QComboBox* box : {position_, overlay_})
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  style_label_ = Named(new QLabel(this), "1023");
  style_ = Named(new QComboBox(this), "1017");
  font_label_ = Named(new QLabel(this), "1400");
  font_size_ = Named(new QComboBox(this), "1402");
  weekday_label_ = Named(new QLabel(this), "1404");
  weekday_ = Named(new QComboBox(this), "1406");
  int row = 0;
  grid->addWidget(title_label_, row, 0);
  grid->addWidget(title_, row++, 1);
  grid->addWidget(enable_, row++, 1);
  grid->addWidget(group_, row++, 0, 1, 2);
  // The overlay-information list has no label of its own: it shares the position row.
  grid->addWidget(position_label_, row, 0);
  auto* position_row = new QHBoxLayout;
  position_row->addWidget(position_, 1);
  position_row->addWidget(overlay_, 1);
  grid->addLayout(position_row, row++, 1);
  grid->addWidget(style_label_, row, 0);
  grid->addWidget(style_, row++, 1);
  grid->addWidget(font_label_, row, 0);
  grid->addWidget(font_size_, row++, 1);
  grid->addWidget(weekday_label_, row, 0);
  grid->addWidget(weekday_, row++, 1);
  // Filled here so that the first size already fits the longest row.
  const std::pair<const char*, int> positions[] = {
      {keys::TEXT5, 0x0011},   {keys::TEXT6, 0x0110},   {keys::TEXT7, 0x1001},
      {keys::TEXT8, 0x1100},   {keys::TEXT5_1, 0x0001}, {keys::TEXT6_1, 0x0100},
      {keys::TEXT7_1, 0x1011}, {keys::TEXT8_1, 0x1110}};
  for (const auto& [key, code] : positions)
    position_->addItem(DialogText(key), code);
  position_->setCurrentIndex(2);
  for (const char* key : {keys::TEXT10, keys::TEXT11, keys::TEXT12, keys::TEXT13})
    overlay_->addItem(DialogText(key));
  overlay_->setCurrentIndex(3);
  for (const char* key :
       {keys::IDC_OSD_STYLE_1, keys::IDC_OSD_STYLE_2, keys::IDC_OSD_STYLE_3, keys::IDC_OSD_STYLE_4})
    style_->addItem(DialogText(key));
  style_->setCurrentIndex(3);
  for (const char* key :
       {keys::IDS_STR_FONT_SIZE_NORMAL, keys::IDS_STR_FONT_SIZE_BIG, keys::IDS_STR_FONT_SIZE_LARGE})
    font_size_->addItem(DialogText(key));
  font_size_->setCurrentIndex(0);
  weekday_->addItem(DialogText(keys::IDS_STR_ZH_CN_DISABLE));
  weekday_->addItem(DialogText(keys::IDS_STR_ZH_CN_ENABLE));
  weekday_->setCurrentIndex(1);
  buttons_ = AddOkCancelRow(this, grid, row);
  connect(buttons_.ok, &QPushButton::clicked, this, &CDialogTitleSetting::OnOk);
}

void CDialogTitleSetting::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::TEXT3));
    title_label_->setText(DialogText(keys::TEXT4));
    position_label_->setText(DialogText(keys::IDC_STATIC_OSD_POSITION_OVERLEY));
    style_label_->setText(DialogText(keys::IDC_STATIC_OSD_STYLE));
    group_->setTitle(DialogText(keys::TEXT9));
    font_label_->setText(DialogText(keys::IDS_STR_FONT_SIZE));
    weekday_label_->setText(DialogText(keys::IDS_STR_DISPLAY_WEEK));
    enable_->setText(DialogText(keys::ENABLE));
    add_ip_->setText(DialogText(keys::IP));
    add_model_->setText(DialogText(keys::MODEL));
    add_serial_->setText(DialogText(keys::SN));
    SetOkCancelTexts(buttons_);
    enable_->setChecked(values.enable != 0);
    add_ip_->setChecked(true);
    add_model_->setChecked(true);
    add_serial_->setChecked(false);
    title_->setText(QStringLiteral("IPCAMERA"));
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CDialogTitleSetting::OnOk() {
  values.title = title_->text().toStdString();
  values.enable = enable_->isChecked() ? 1 : 0;
  values.add_ip = add_ip_->isChecked() ? 1 : 0;
  values.add_model = add_model_->isChecked() ? 1 : 0;
  values.add_serial = add_serial_->isChecked() ? 1 : 0;
  values.position_code = position_->currentIndex() < 0 ? 4352 : position_->currentData().toInt();
  values.overlay_info = overlay_->currentIndex();
  values.style = style_->currentIndex();
  values.show_weekday = weekday_->currentIndex();
  values.font_size = font_size_->currentIndex();
  cancelled = false;
  accept();
}

}  // namespace vdz
