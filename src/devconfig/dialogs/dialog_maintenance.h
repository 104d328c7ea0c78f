// The scheduled maintenance dialog: automatic maintenance on or off, weekday and time of day,
// as a MaintainConfig document.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace vdz {

class CSYSRMDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CSYSRMDlg(QWidget* parent = nullptr);

  std::string document;  // set by Save
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyEnableRule();
  void OnSave();

  bool opened_ = false;
  QGroupBox* frame_;
  QLabel *enable_label_, *day_label_, *time_label_;
  QComboBox *enable_, *day_;
  QTimeEdit* time_;
  QPushButton* save_;
};

}  // namespace vdz
