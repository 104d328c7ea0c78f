// The one way the system asks or tells the operator something in a message box. The window
// implements it with QMessageBox; tests answer with a recorder. Texts are UTF-8.
#pragma once

#include <string>

namespace vdz {

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A refusal: caption "ERROR".
  virtual void ShowError(const std::string& text) = 0;
  // A yes/no confirmation with a language caption (usually TEXT21); true only for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  // A notice: caption "INFO".
  virtual void ShowInfo(const std::string& text) = 0;
  // A summary without caption.
  virtual void ShowMessage(const std::string& text) = 0;
};

// Caption of every yes/no box unless a command names another.
std::string ConfirmationCaption();

}  // namespace vdz
