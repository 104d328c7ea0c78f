// The intercom platform dialog: the terminal parameter set of one device, or of a batch where
// an empty field leaves that setting alone. It never talks to a device; callers read values
// when cancelled is false.
#pragma once

#include <QDialog>
#include <map>

#include "devconfig/terminal_parameter_set.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace vdz {

class DlgRkPlatformSetting : public QDialog {
  Q_OBJECT

 public:
  explicit DlgRkPlatformSetting(QWidget* parent = nullptr);

  TerminalParameterSet values;
  // The number of devices the values go to: 1 for one device, 2 or more for a batch.
  int Mode = 1;
  bool cancelled = true;

  // The control with this id (its object name), for tests and screenshots.
  QWidget* Control(int id) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Open();
  void LayOut();
  void OnAccept();
  void ApplyFtpRule();

  bool opened_ = false;
  std::map<int, QWidget*> controls_;
  QGridLayout* grid_ = nullptr;
  QLabel* batch_note_ = nullptr;
  QTimeEdit* maintenance_time_ = nullptr;
  QPushButton* accept_ = nullptr;
};

// Talk horn and alarm output: C_OPEN (row 0) is 1 on the device, C_CLOSE (row 1) is 0, both
// when shown and when stored.
int InvertedHornRow(int value);
int InvertedHornValue(int row);

}  // namespace vdz
