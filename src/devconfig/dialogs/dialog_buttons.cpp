#include "devconfig/dialogs/dialog_buttons.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

QString DialogText(const char* key) {
  return QString::fromStdString(LookupText(key));
}

OkCancelButtons AddOkCancelRow(QDialog* dialog, QGridLayout* grid, int row) {
  auto* layout = new QHBoxLayout;
  layout->addStretch(1);
  OkCancelButtons buttons;
  buttons.ok = new QPushButton(dialog);
  buttons.ok->setObjectName(QStringLiteral("1"));
  buttons.ok->setDefault(true);
  buttons.cancel = new QPushButton(dialog);
  buttons.cancel->setObjectName(QStringLiteral("2"));
  layout->addWidget(buttons.ok);
  layout->addWidget(buttons.cancel);
  grid->addLayout(layout, row, 0, 1, 2);
  QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return buttons;
}

void SetOkCancelTexts(const OkCancelButtons& buttons) {
  buttons.ok->setText(DialogText(keys::OK));
  buttons.cancel->setText(DialogText(keys::CANCEL));
}

}  // namespace vdz
