// The IPVS dialog: the access-server (platform) registration of every checked camera.
#pragma once

#include <QDialog>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/settings_documents.h"
#include "shell/prompter.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vdz {

class CDlgIpvsSetting : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgIpvsSetting(Prompter& prompter, QWidget* parent = nullptr);

  // In: the three switches, server and port. Out, after OK: every value.
  PlatformValues values;
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyEnableRule();
  void OnOk();

  Prompter& prompter_;
  bool opened_ = false;
  QCheckBox *enable_, *play_tone_, *increment_;
  QLineEdit *server_, *port_, *account_, *password_;
  QLabel *server_label_, *port_label_, *account_label_, *password_label_;
  OkCancelButtons buttons_;
};

}  // namespace vdz
