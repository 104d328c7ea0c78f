// The prompter of the window: real message boxes over a parent widget.
#pragma once

#include <QPointer>
#include <QWidget>

#include "shell/prompter.h"

namespace vdz {

class MessageBoxPrompter final : public Prompter {
 public:
  explicit MessageBoxPrompter(QWidget* parent) : parent_(parent) {}

  void ShowError(const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ShowInfo(const std::string& text) override;
  void ShowMessage(const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace vdz
