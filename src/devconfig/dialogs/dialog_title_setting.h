// The OSD title dialog: the on-screen title and time overlay for every checked camera.
#pragma once

#include <QDialog>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/settings_documents.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace vdz {

class CDialogTitleSetting : public QDialog {
  Q_OBJECT

 public:
  explicit CDialogTitleSetting(QWidget* parent = nullptr);

  // In: Enable. Out, after OK: every value (the position code is the selected row's data,
  // 4352 when no row is selected).
  TitleOverlayValues values;
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();

  bool opened_ = false;
  QCheckBox *enable_, *add_ip_, *add_model_, *add_serial_;
  QComboBox *position_, *overlay_, *style_, *font_size_, *weekday_;
  QLineEdit* title_;
  QLabel *title_label_, *position_label_, *style_label_, *font_label_, *weekday_label_;
  QGroupBox* group_;
  OkCancelButtons buttons_;
};

}  // namespace vdz
