#include "devconfig/dialogs/dialog_pwd.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {
QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}
}  // namespace

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

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ok_ = new QPushButton(this);
  ok_->setObjectName(QStringLiteral("1"));
  ok_->setDefault(true);
  cancel_ = new QPushButton(this);
  cancel_->setObjectName(QStringLiteral("2"));
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  grid->addLayout(buttons, 2, 0, 1, 2);

  connect(ok_, &QPushButton::clicked, this, &CDialogPwd::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CDialogPwd::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    setWindowTitle(Text(keys::TEXT14));
    password_label_->setText(Text(keys::PASSWORD));
    confirmation_label_->setText(Text(keys::TEXT15));
    ok_->setText(Text(keys::OK));
    cancel_->setText(Text(keys::CANCEL));
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
