#include "ui/message_box_prompter.h"

#include <QMessageBox>

namespace vdz {

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

void MessageBoxPrompter::ShowError(const std::string& text) {
  QMessageBox::critical(parent_, QStringLiteral("ERROR"), Text(text));
}

bool MessageBoxPrompter::AskYesNo(const std::string& text, const std::string& caption) {
  return QMessageBox::question(parent_, Text(caption), Text(text),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompter::ShowInfo(const std::string& text) {
  QMessageBox::information(parent_, QStringLiteral("INFO"), Text(text));
}

void MessageBoxPrompter::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QString(), Text(text));
}

}  // namespace vdz
