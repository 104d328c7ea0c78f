#include "devconfig/dialogs/dialog_ip_setting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <cstdio>

#include "devconfig/dialogs/dialog_buttons.h"
#include "devconfig/dialogs/ipv4_address_field.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

template <std::size_t N>
void WriteDotted(char (&field)[N], const Octets& o) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
  CopyBounded(field, text);
}

}  // namespace

CDialogIpSetting::CDialogIpSetting(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  auto* grid = new QGridLayout(this);
  dhcp_ = new QCheckBox(this);
  dhcp_->setObjectName(QStringLiteral("1002"));
  grid->addWidget(dhcp_, 0, 0, 1, 2);

  // Rows top to bottom: IP, Netmask, Gateway, DNS1, DNS2.
  static constexpr const char* kLabelIds[5] = {"1135", "1136", "1137", "1138", "1139"};
  static constexpr const char* kFieldIds[5] = {"1141", "1142", "1144", "1143", "1145"};
  for (int row = 0; row < 5; ++row) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(kLabelIds[row]));
    auto* field = new Ipv4AddressField(this);
    field->setObjectName(QString::fromLatin1(kFieldIds[row]));
    label->setBuddy(field);
    grid->addWidget(label, row + 1, 0);
    grid->addWidget(field, row + 1, 1);
    fields_[row] = field;
    if (row == 0)
      ip_label_ = label;
    else
      labels_[row - 1] = label;
  }

  buttons_ = AddOkCancelRow(this, grid, 6);

  connect(dhcp_, &QCheckBox::toggled, this, [this](bool) { ApplyDhcpRule(); });
  connect(buttons_.ok, &QPushButton::clicked, this, &CDialogIpSetting::OnOk);
}

void CDialogIpSetting::SetValues(const IpSettingValues& values) {
  CopyBounded(IP, values.ip);
  CopyBounded(Netmask, values.netmask);
  CopyBounded(Gateway, values.gateway);
  CopyBounded(DNS1, values.dns1);
  CopyBounded(DNS2, values.dns2);
  DHCP = values.dhcp;
}

IpSettingValues CDialogIpSetting::Values() const {
  IpSettingValues values;
  values.ip = std::string(FieldText(IP));
  values.netmask = std::string(FieldText(Netmask));
  values.gateway = std::string(FieldText(Gateway));
  values.dns1 = std::string(FieldText(DNS1));
  values.dns2 = std::string(FieldText(DNS2));
  values.dhcp = DHCP;
  return values;
}

void CDialogIpSetting::showEvent(QShowEvent* event) {
  if (!opened_) {
    opened_ = true;
    Open();
  }
  QDialog::showEvent(event);
}

void CDialogIpSetting::Open() {
  setWindowTitle(DialogText(keys::TEXT36));
  dhcp_->setText(DialogText(keys::DHCP));
  ip_label_->setText(DialogText(batch_label ? keys::TEXT1 : keys::IP));
  labels_[0]->setText(DialogText(keys::NETMASK));
  labels_[1]->setText(DialogText(keys::GETEWAY));
  labels_[2]->setText(DialogText(keys::DNS1));
  labels_[3]->setText(DialogText(keys::DNS2));
  SetOkCancelTexts(buttons_);

  // inet_addr semantics: empty or bad text shows as 255.255.255.255.
  auto show = [](Ipv4AddressField* field, const char(&text)[64]) {
    field->SetAddress(InetAddrHostOrder(std::string(FieldText(text)).c_str()));
  };
  show(fields_[0], IP);
  show(fields_[1], Netmask);
  show(fields_[2], Gateway);
  show(fields_[3], DNS1);
  show(fields_[4], DNS2);
  {
    const QSignalBlocker block(dhcp_);
    dhcp_->setChecked(DHCP != 0);
  }
  ApplyDhcpRule();
}

void CDialogIpSetting::ApplyDhcpRule() {
  DHCP = dhcp_->isChecked() ? 1 : 0;
  for (Ipv4AddressField* field : fields_)
    field->setEnabled(DHCP == 0);
}

void CDialogIpSetting::OnOk() {
  DHCP = dhcp_->isChecked() ? 1 : 0;
  const Octets ip = fields_[0]->GetOctets();
  const Octets mask = fields_[1]->GetOctets();
  const Octets gateway = fields_[2]->GetOctets();
  // The addresses are checked even when DHCP is on: what the device gets must still be sane.
  if (!IpSettingAccepted(ip, mask, gateway)) {
    prompter_.ShowMessage(LookupText(keys::MSGTIP46));
    return;
  }
  WriteDotted(IP, ip);
  WriteDotted(Netmask, mask);
  WriteDotted(Gateway, gateway);
  WriteDotted(DNS1, fields_[3]->GetOctets());
  WriteDotted(DNS2, fields_[4]->GetOctets());
  cancelled = false;
  accept();
}

IpSettingDialog MakeIpSettingDialog(Prompter& prompter, QWidget* parent) {
  return [&prompter, parent](const IpSettingValues& initial,
                             bool batch) -> std::optional<IpSettingValues> {
    CDialogIpSetting dialog(prompter, parent);
    dialog.SetValues(initial);
    dialog.batch_label = batch;
    dialog.exec();
    if (dialog.cancelled)
      return std::nullopt;
    return dialog.Values();
  };
}

}  // namespace vdz
