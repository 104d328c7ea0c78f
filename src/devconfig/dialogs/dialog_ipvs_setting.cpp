#include "devconfig/dialogs/dialog_ipvs_setting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "devconfig/decimal_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

template <typename W>
W* Named(W* widget, const char* id) {
  widget->setObjectName(QString::fromLatin1(id));
  return widget;
}

}  // namespace

CDlgIpvsSetting::CDlgIpvsSetting(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  auto* grid = new QGridLayout(this);
  enable_ = Named(new QCheckBox(this), "1015");
  server_label_ = Named(new QLabel(this), "1032");
  server_ = Named(new QLineEdit(this), "1013");
  port_label_ = Named(new QLabel(this), "1033");
  port_ = Named(new QLineEdit(this), "1014");
  port_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
  account_label_ = Named(new QLabel(this), "1020");
  account_ = Named(new QLineEdit(this), "1942");
  password_label_ = Named(new QLabel(this), "1021");
  password_ = Named(new QLineEdit(this), "1943");
  play_tone_ = Named(new QCheckBox(this), "1941");
  increment_ = Named(new QCheckBox(this), "1944");
  int row = 0;
  grid->addWidget(enable_, row++, 0, 1, 2);
  for (auto [label, edit] :
       {std::pair{server_label_, server_}, std::pair{port_label_, port_},
        std::pair{account_label_, account_}, std::pair{password_label_, password_}}) {
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row++, 1);
  }
  grid->addWidget(play_tone_, row++, 0, 1, 2);
  grid->addWidget(increment_, row++, 0, 1, 2);
  buttons_ = AddOkCancelRow(this, grid, row);
  connect(buttons_.ok, &QPushButton::clicked, this, &CDlgIpvsSetting::OnOk);
  connect(enable_, &QCheckBox::clicked, this, [this] { ApplyEnableRule(); });
}

void CDlgIpvsSetting::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::TEXT2));
    enable_->setText(DialogText(keys::ENABLE));
    server_label_->setText(DialogText(keys::IDS_STR_ZH_CN_PLATF_TIPS2));
    port_label_->setText(DialogText(keys::IDS_STR_ZH_CN_PLATF_TIPS3));
    account_label_->setText(DialogText(keys::IDS_STR_ZH_CN_PLATF_TIPS4));
    password_label_->setText(DialogText(keys::IDS_STR_ZH_CN_PLATF_TIPS5));
    play_tone_->setText(DialogText(keys::IDC_PLATFORM_PLAYSTARTVOICE_NAME));
    increment_->setText(DialogText(keys::IDC_PLATFORM_INCREACE_USERNAME));
    SetOkCancelTexts(buttons_);
    enable_->setChecked(values.enable);
    play_tone_->setChecked(values.play_tone);
    increment_->setChecked(values.increment_account);
    server_->setText(QString::fromStdString(values.server));
    port_->setText(QString::number(values.port));
    ApplyEnableRule();
    // The lists were filled after the first size was taken.
    adjustSize();
  }
  QDialog::showEvent(event);
}

void CDlgIpvsSetting::ApplyEnableRule() {
  values.enable = enable_->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{server_, port_, account_, password_, play_tone_, increment_})
    w->setEnabled(values.enable);
}

void CDlgIpvsSetting::OnOk() {
  values.enable = enable_->isChecked();
  values.play_tone = play_tone_->isChecked();
  values.increment_account = increment_->isChecked();
  values.server = server_->text().toStdString();
  values.account = account_->text().toStdString();
  values.password = password_->text().toStdString();
  values.port = static_cast<uint16_t>(ParseDecimal(port_->text().toStdString().c_str()));
  if (values.enable && values.server.empty()) {
    prompter_.ShowMessage(LookupText(keys::MSGTIP47));
    return;
  }
  if (values.port == 0) {
    prompter_.ShowMessage(LookupText(keys::MSGTIP48));
    return;
  }
  cancelled = false;
  accept();
}

}  // namespace vdz
