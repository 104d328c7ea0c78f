// The IP settings dialog: the five addresses and the DHCP switch of one device, or the first
// address of a batch assignment. It never talks to a device; callers read the members when
// cancelled is false.
#pragma once

#include <QDialog>
#include <cstdint>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/ip_setting_rules.h"
#include "shell/prompter.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace vdz {

class Ipv4AddressField;

class CDialogIpSetting : public QDialog {
  Q_OBJECT

 public:
  explicit CDialogIpSetting(Prompter& prompter, QWidget* parent = nullptr);

  char IP[64] = {};
  char Netmask[64] = {};
  char Gateway[64] = {};
  char DNS1[64] = {};
  char DNS2[64] = {};
  int32_t DHCP = 0;
  bool cancelled = true;
  // Set before opening for a batch assignment: the first label reads "TEXT1" instead of "IP".
  bool batch_label = false;

  void SetValues(const IpSettingValues& values);
  IpSettingValues Values() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Open();
  void ApplyDhcpRule();
  void OnOk();

  Prompter& prompter_;
  bool opened_ = false;
  QCheckBox* dhcp_ = nullptr;
  QLabel* ip_label_ = nullptr;
  QLabel* labels_[4] = {};
  Ipv4AddressField* fields_[5] = {};
  OkCancelButtons buttons_;
};

// The dialog as the network commands run it: modal, filled with initial, its values when
// accepted.
IpSettingDialog MakeIpSettingDialog(Prompter& prompter, QWidget* parent);

}  // namespace vdz
