// The time settings dialog: time source, time zone and NTP server, as a TimeConfig document.
#pragma once

#include <QDialog>
#include <QTimer>
#include <string>

#include "devconfig/settings_documents.h"
#include "shell/prompter.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vdz {

// A public pool that answers from anywhere.
inline constexpr char kDefaultNtpServer[] = "pool.ntp.org";

class CSYSTimeSet : public QDialog {
  Q_OBJECT

 public:
  explicit CSYSTimeSet(Prompter& prompter, QWidget* parent = nullptr);

  std::string document;     // set by Save
  TimeConfigValues values;  // what it was built from
  bool cancelled = true;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyTimeSource();
  void OnFollowPcTime(bool on);
  void ShowPcTime();
  void LayOutRows();
  void OnSave();

  Prompter& prompter_;
  bool opened_ = false;
  QTimer pc_time_timer_;
  QLabel *mode_label_, *zone_label_, *server_label_, *port_label_, *interval_label_,
      *seconds_label_, *time_label_;
  QComboBox *mode_, *zone_;
  QLineEdit *server_, *port_, *interval_;
  QDateTimeEdit* pc_time_;
  QCheckBox* follow_pc_;
  QPushButton* save_;
};

}  // namespace vdz
