#include "devconfig/dialogs/dialog_image_param.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "devconfig/decimal_text.h"
#include "devconfig/media_setting_tables.h"
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

CImageParamDialog::CImageParamDialog(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  auto* grid = new QGridLayout(this);
  mctf_label_ = Named(new QLabel(this), "1022");
  mctf_ = Named(new QLineEdit(this), "1023");
  shutter_label_ = Named(new QLabel(this), "1024");
  shutter_ = Named(new QLineEdit(this), "1025");
  gain_label_ = Named(new QLabel(this), "1027");
  gain_ = Named(new QComboBox(this), "1026");
  grid->addWidget(mctf_label_, 0, 0);
  grid->addWidget(mctf_, 0, 1);
  grid->addWidget(shutter_label_, 1, 0);
  grid->addWidget(shutter_, 1, 1);
  grid->addWidget(gain_label_, 2, 0);
  grid->addWidget(gain_, 2, 1);
  buttons_ = AddOkCancelRow(this, grid, 3);
  connect(buttons_.ok, &QPushButton::clicked, this, &CImageParamDialog::OnOk);
}

void CImageParamDialog::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::IMAGEPARAMDLG));
    mctf_label_->setText(DialogText(keys::MCTF));
    shutter_label_->setText(DialogText(keys::SHUTTERMAX));
    gain_label_->setText(DialogText(keys::GAIN));
    SetOkCancelTexts(buttons_);
    mctf_->setText(QString::number(mctf));
    shutter_->setText(QString::number(shutter_max));
    for (const GainEntry& g : GainTable()) {
      gain_->addItem(QString::fromLatin1(g.name), g.value);
      if (g.value == kDefaultGainValue)
        gain_->setCurrentIndex(gain_->count() - 1);
    }
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CImageParamDialog::OnOk() {
  const int m = ParseDecimal(mctf_->text().toStdString().c_str());
  if (!((m >= 0 && m <= 11) || m == -1)) {
    prompter_.ShowMessage("MCTF ERROR");
    return;
  }
  const int s = ParseDecimal(shutter_->text().toStdString().c_str());
  if (!((s >= 1 && s <= 8000) || s == -1)) {
    prompter_.ShowMessage("shutter error");
    return;
  }
  mctf = m;
  shutter_max = s;
  gain = gain_->currentIndex() < 0 ? -1 : gain_->currentData().toInt();
  request = BuildImageParameterRequest(mctf, gain, shutter_max);
  cancelled = false;
  accept();
}

}  // namespace vdz
