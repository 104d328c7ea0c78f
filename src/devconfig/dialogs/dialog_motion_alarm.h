// The motion-alarm dialog: enable, sensitivity, threshold and the detection grid.
#pragma once

#include <QDialog>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/settings_documents.h"
#include "shell/prompter.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vdz {

class CMdAlarmDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CMdAlarmDialog(Prompter& prompter, QWidget* parent = nullptr);

  MotionValues values;
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();

  Prompter& prompter_;
  bool opened_ = false;
  QLabel *enable_label_, *sensitivity_label_, *threshold_label_, *grid_label_;
  QComboBox *enable_, *grid_;
  QLineEdit *sensitivity_, *threshold_;
  OkCancelButtons buttons_;
};

}  // namespace vdz
