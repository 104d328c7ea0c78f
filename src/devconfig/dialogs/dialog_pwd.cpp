#include "devconfig/dialogs/dialog_pwd.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "devconfig/dialogs/dialog_buttons.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

CDialogPwd::CDialogPwd(QWidget* parent) : QDialog(parent) {
  auto* grid = new QGridLayout(this);
  password_label_ = new QLabel(this);
  password_label_->setObjectName(QStringLiteral("1018"));
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("1017"));
  confirmation_label_ = new QLabel(this);
  confirmation_label_->setObjectName(QStringLiteral("1019"));
  confirmation_ = new QLineEdit(this);
  confirmation_->setObjectName(QStringLiteral("1010"));
  // Shown in the clear: installers read the password off the screen to the customer.
  password_->setEchoMode(QLineEdit::Normal);
  confirmation_->setEchoMode(QLineEdit::Normal);
  password_label_->setBuddy(password_);
  confirmation_label_->setBuddy(confirmation_);
  grid->addWidget(password_label_, 0, 0);
  grid->addWidget(password_, 0, 1);
  grid->addWidget(confirmation_label_, 1, 0);
  grid->addWidget(confirmation_, 1, 1);

  buttons_ = AddOkCancelRow(this, grid, 2);

  connect(buttons_.ok, &QPushButton::clicked, this, &CDialogPwd::OnOk);
}

void CDialogPwd::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(DialogText(keys::TEXT14));
    password_label_->setText(DialogText(keys::PASSWORD));
    confirmation_label_->setText(DialogText(keys::TEXT15));
    SetOkCancelTexts(buttons_);
    password_->setText(QString::fromStdString(Password));
    confirmation_->setText(QString::fromStdString(Confirmation));
  }
  QDialog::showEvent(event);
}

void CDialogPwd::OnOk() {
  Password = password_->text().toStdString();
  Confirmation = confirmation_->text().toStdString();
  cancelled = false;
  accept();
}

}  // namespace vdz
