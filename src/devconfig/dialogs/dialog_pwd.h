// The password dialog: a new device password entered twice. The caller compares the two
// entries; the dialog only collects them.
#pragma once

#include <QDialog>
#include <string>

#include "devconfig/dialogs/dialog_buttons.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vdz {

// The system's default device password, offered in both entries.
inline constexpr char kDefaultDevicePassword[] = "735168";

class CDialogPwd : public QDialog {
  Q_OBJECT

 public:
  explicit CDialogPwd(QWidget* parent = nullptr);

  // UTF-8; the caller converts to the device's narrow text.
  std::string Password = kDefaultDevicePassword;
  std::string Confirmation = kDefaultDevicePassword;
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();

  bool opened_ = false;
  QLabel* password_label_ = nullptr;
  QLabel* confirmation_label_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* confirmation_ = nullptr;
  OkCancelButtons buttons_;
};

}  // namespace vdz
