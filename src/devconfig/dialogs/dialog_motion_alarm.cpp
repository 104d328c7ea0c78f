#include "devconfig/dialogs/dialog_motion_alarm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "devconfig/decimal_text.h"
#include "devconfig/media_setting_tables.h"
#include "shell/language_keys.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

}  // namespace

CMdAlarmDialog::CMdAlarmDialog(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  auto* grid = new QGridLayout(this);
  enable_label_ = Named(new QLabel(this), "1474");
  enable_ = Named(new QComboBox(this), "1475");
  sensitivity_label_ = Named(new QLabel(this), "1476");
  sensitivity_ = Named(new QLineEdit(this), "1477");
  threshold_label_ = Named(new QLabel(this), "1478");
  threshold_ = Named(new QLineEdit(this), "526");
  grid_label_ = Named(new QLabel(this), "1485");
  grid_ = Named(new QComboBox(this), "1486");
  int row = 0;
  for (auto [label, input] : {std::pair<QLabel*, QWidget*>{enable_label_, enable_},
                              {sensitivity_label_, sensitivity_},
                              {threshold_label_, threshold_},
                              {grid_label_, grid_}}) {
    grid->addWidget(label, row, 0);
    grid->addWidget(input, row++, 1);
  }
  buttons_ = AddOkCancelRow(this, grid, row);
  connect(buttons_.ok, &QPushButton::clicked, this, &CMdAlarmDialog::OnOk);
}

void CMdAlarmDialog::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::TEXT16));
    enable_label_->setText(DialogText(keys::TEXT17));
    sensitivity_label_->setText(DialogText(keys::SENSITIVITY));
    threshold_label_->setText(DialogText(keys::TEXT18));
    grid_label_->setText(DialogText(keys::TEXT19));
    SetOkCancelTexts(buttons_);
    enable_->addItem(DialogText(keys::DISABLE));
    enable_->addItem(DialogText(keys::ENABLE));
    enable_->setCurrentIndex(0);
    const auto grids = MotionGridTable();
    for (int i = 0; i < static_cast<int>(grids.size()); ++i)
      grid_->addItem(QString::fromLatin1(grids[i].name), i);
    grid_->setCurrentIndex(kDefaultMotionGrid);
    sensitivity_->setText(QString::number(values.sensitivity));
    threshold_->setText(QString::number(values.threshold));
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CMdAlarmDialog::OnOk() {
  const int sensitivity = ParseDecimal(sensitivity_->text().toStdString().c_str());
  if (sensitivity < 0 || sensitivity > 100) {
    prompter_.ShowMessage(
        "\xE7\x81\xB5\xE6\x95\x8F\xE5\xBA\xA6\xE8\xAE\xBE\xE7\xBD\xAE\xE9\x94\x99"
        "\xE8\xAF\xAF\xE3\x80\x82");
    return;
  }
  const int threshold = ParseDecimal(threshold_->text().toStdString().c_str());
  if (threshold < 0 || threshold > 100) {
    prompter_.ShowMessage(
        "\xE9\x98\x88\xE5\x80\xBC\xE8\xAE\xBE\xE7\xBD\xAE\xE9\x94\x99\xE8\xAF\xAF"
        "\xE3\x80\x82");
    return;
  }
  values.enable = std::max(0, enable_->currentIndex());
  values.sensitivity = sensitivity;
  values.threshold = threshold;
  const MotionGridEntry g =
      MotionGridAt(grid_->currentIndex() < 0 ? -1 : grid_->currentData().toInt());
  values.columns = g.columns;
  values.rows = g.rows;
  cancelled = false;
  accept();
}

}  // namespace vdz
