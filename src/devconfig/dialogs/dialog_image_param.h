// The image parameter dialog: noise filter, gain and maximum shutter as one request.
#pragma once

#include <QDialog>
#include <string>

#include "devconfig/dialogs/dialog_buttons.h"
#include "shell/prompter.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vdz {

class CImageParamDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CImageParamDialog(Prompter& prompter, QWidget* parent = nullptr);

  int mctf = -1;
  int shutter_max = -1;
  int gain = -1;
  std::string request;  // set by OK
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();

  Prompter& prompter_;
  bool opened_ = false;
  QLabel *mctf_label_, *shutter_label_, *gain_label_;
  QLineEdit *mctf_, *shutter_;
  QComboBox* gain_;
  OkCancelButtons buttons_;
};

}  // namespace vdz
