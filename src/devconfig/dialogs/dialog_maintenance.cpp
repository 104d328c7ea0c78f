#include "devconfig/dialogs/dialog_maintenance.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/settings_documents.h"
#include "shell/language_keys.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

}  // namespace

CSYSRMDlg::CSYSRMDlg(QWidget* parent) : QDialog(parent) {
  auto* outer = new QGridLayout(this);
  frame_ = Named(new QGroupBox(this), "1731");
  auto* grid = new QGridLayout(frame_);
  enable_label_ = Named(new QLabel(frame_), "1732");
  enable_ = Named(new QComboBox(frame_), "1719");
  day_label_ = Named(new QLabel(frame_), "1733");
  day_ = Named(new QComboBox(frame_), "1721");
  time_label_ = Named(new QLabel(frame_), "1734");
  time_ = Named(new QTimeEdit(frame_), "1723");
  time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  grid->addWidget(enable_label_, 0, 0);
  grid->addWidget(enable_, 0, 1);
  grid->addWidget(day_label_, 1, 0);
  grid->addWidget(day_, 1, 1);
  grid->addWidget(time_label_, 2, 0);
  grid->addWidget(time_, 2, 1);
  save_ = Named(new QPushButton(this), "1725");
  outer->addWidget(frame_, 0, 0, 1, 2);
  outer->addWidget(save_, 1, 1, Qt::AlignRight);
  connect(enable_, &QComboBox::currentIndexChanged, this, [this] { ApplyEnableRule(); });
  connect(save_, &QPushButton::clicked, this, &CSYSRMDlg::OnSave);
}

void CSYSRMDlg::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::ID_BATCH_MAINTANCE));
    frame_->setTitle(DialogText(keys::IDS_STR_ZH_CN_SYSRM));
    enable_label_->setText(DialogText(keys::IDS_STR_ZH_CN_SYSRM));
    day_label_->setText(DialogText(keys::IDS_STR_ZH_CN_SYSRMDATE));
    time_label_->setText(DialogText(keys::IDS_STR_ZH_CN_SYSRMTIME));
    save_->setText(DialogText(keys::IDS_STR_ZH_CN_SAVE));
    enable_->addItem(DialogText(keys::IDS_STR_ZH_CN_DISABLE));
    enable_->addItem(DialogText(keys::IDS_STR_ZH_CN_ENABLE));
    for (const char* key :
         {keys::IDS_STR_ZH_CN_MON, keys::IDS_STR_ZH_CN_TUE, keys::IDS_STR_ZH_CN_WED,
          keys::IDS_STR_ZH_CN_THUR, keys::IDS_STR_ZH_CN_FRID, keys::IDS_STR_ZH_CN_SAT,
          keys::IDS_STR_ZH_CN_SUN, keys::IDS_STR_ZH_CN_EDAY})
      day_->addItem(DialogText(key));
    enable_->setCurrentIndex(0);
    day_->setCurrentIndex(7);
    time_->setTime(QTime(2, 0, 0));
    ApplyEnableRule();
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CSYSRMDlg::ApplyEnableRule() {
  const bool on = enable_->currentIndex() == 1;
  day_->setEnabled(on);
  time_->setEnabled(on);
}

void CSYSRMDlg::OnSave() {
  const QTime t = time_->time();
  document =
      BuildMaintenanceDocument(enable_->currentIndex() == 1 ? 1 : 0,
                               std::max(0, day_->currentIndex()), t.hour(), t.minute(), t.second());
  cancelled = false;
  accept();
}

}  // namespace vdz
