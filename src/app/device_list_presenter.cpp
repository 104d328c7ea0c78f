#include "app/device_list_presenter.h"

#include "devops/device_login.h"
#include "devops/key_parameter_requester.h"
#include "devops/login_coordinator.h"
#include "discovery/running_time_text.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"
#include "ui/report_ctrl.h"

namespace vdz {

namespace {

constexpr int kRunningTimeColumn = 5;
constexpr ColorRef kPreviewBackground = 0x0000FF;  // red, as a Windows colour value

// Device texts are narrow text in the devices' code page.
QString Narrow(std::string_view text) {
  return QString::fromStdString(AnsiToUtf8(text));
}

}  // namespace

DeviceListPresenter::DeviceListPresenter(CReportCtrl& list, DeviceSdk& sdk, WindowHooks hooks)
    : list_(list), sdk_(sdk), hooks_(std::move(hooks)) {}

QString DeviceListPresenter::ColumnHeaderText() {
  const struct {
    const char* key;
    int width;
  } columns[] = {
      {keys::IP, 120},    {keys::SN, 130},          {keys::MAC, 130},  {keys::VERSIONNUMBER, 280},
      {keys::STATE, 200}, {keys::RUNNINGTIME, 100}, {keys::MODEL, 100}};
  QStringList parts;
  for (const auto& column : columns) {
    parts << QStringLiteral("%1,%2")
                 .arg(QString::fromStdString(LookupText(column.key)))
                 .arg(column.width);
  }
  return parts.join(QLatin1Char(';'));
}

void DeviceListPresenter::SetPreviewAddress(const std::string& ip) {
  preview_ip_ = ip;
  for (int position = 0; position < RowCount(); ++position) {
    const DeviceRow* row = RowAt(position);
    if (row == nullptr)
      continue;
    const bool previewed = !preview_ip_.empty() && preview_ip_ == row->record.Lan.IPAddress;
    list_.SetItemBkColor(position, -1, previewed ? kPreviewBackground : kColorDefault);
  }
}

void DeviceListPresenter::SetTimerActive(int timer_id, bool active) {
  if (hooks_.set_timer)
    hooks_.set_timer(timer_id, active);
}

void DeviceListPresenter::SetSearchButtonText(const std::string& text) {
  if (hooks_.set_search_button_text)
    hooks_.set_search_button_text(QString::fromStdString(text));
}

void DeviceListPresenter::SetStatusText(const std::string& text) {
  if (hooks_.set_status_line)
    hooks_.set_status_line(QString::fromStdString(text));
}

void DeviceListPresenter::OnRowsCleared() {
  if (logins_ != nullptr)
    logins_->Forget();
  if (key_parameters_ != nullptr)
    key_parameters_->Forget();
  list_.DeleteAllItems();
  if (hooks_.rows_cleared)
    hooks_.rows_cleared();
}

void DeviceListPresenter::BeginRefresh() {
  list_.SetRedraw(false);
}
void DeviceListPresenter::EndRefresh() {
  // Rows reserved for devices whose record could not be copied are not left empty.
  while (reserved_left_ > 0) {
    list_.DeleteItem(reserved_first_ + reserved_left_ - 1);
    --reserved_left_;
  }
  reserved_first_ = -1;
  list_.SetRedraw(true);
}

void DeviceListPresenter::ReserveRows(int count) {
  // One insertion for the whole tick instead of one per device.
  reserved_first_ = list_.AppendItems(count);
  reserved_left_ = reserved_first_ >= 0 ? count : 0;
}

void DeviceListPresenter::WriteCells(int position, const DeviceRecord& record) {
  list_.SetItemText(position, kAddressColumn, Narrow(FieldText(record.Lan.IPAddress)));
  list_.SetItemText(position, kMacColumn, Narrow(FieldText(record.Lan.MacAddress)));
  if (record.RunningTime > 0) {
    list_.SetItemText(position, kRunningTimeColumn,
                      QString::fromStdString(RunningTimeText(record.RunningTime)));
  }
  if (!preview_ip_.empty() && preview_ip_ == record.Lan.IPAddress) {
    list_.SetItemBkColor(position, -1, kPreviewBackground, false);
  }
}

void DeviceListPresenter::OnRowAdded(int, DeviceRow& row) {
  int position = -1;
  if (reserved_left_ > 0) {
    position = reserved_first_++;
    --reserved_left_;
  } else {
    position = list_.AppendItems(1);
  }
  if (position < 0)
    return;
  list_.SetItemData(position, reinterpret_cast<quintptr>(&row));
  WriteCells(position, row.record);
  if (row.protocol != kProtocolOurs) {  // identified by its own protocol: no login of ours
    WriteForeignCells(position, row, row.record);
    return;
  }
  if (key_parameters_ != nullptr)
    key_parameters_->Request(row);
  if (logins_ != nullptr) {
    logins_->StartLogin(row, row.record);
  } else {
    ApplyLoginResult(*this, position, LoginDevice(sdk_, row.record));
  }
}

void DeviceListPresenter::OnRowChanged(int, DeviceRow& row, const DeviceRecord& fresh) {
  const int position = PositionOf(row);
  if (position < 0)
    return;
  WriteCells(position, fresh);
  if (row.protocol != kProtocolOurs)
    WriteForeignCells(position, row, fresh);
}

void DeviceListPresenter::WriteForeignCells(int position, const DeviceRow& row,
                                            const DeviceRecord& record) {
  list_.SetItemText(position, kDeviceNameColumn, Narrow(FieldText(row.maker)));
  list_.SetItemText(position, kVersionColumn, Narrow(FieldText(record.Version)));
  list_.SetItemText(position, kModelColumn, Narrow(FieldText(record.DeviceType)));
  list_.SetItemText(position, kStatusColumn,
                    QString::fromStdString(ForeignStateText(FieldText(row.foreign_state))));
}

void DeviceListPresenter::OnAddressChanged(int, DeviceRow& row, const DeviceRecord& fresh) {
  if (row.protocol != kProtocolOurs)
    return;
  if (logins_ != nullptr) {
    logins_->Relogin(row, fresh);
    return;
  }
  ReloginDevice(sdk_, row, fresh);
  const int position = PositionOf(row);
  if (position >= 0 && row.login_handle <= 0)
    SetStatusText(position, kLoginFailedText);
}

int DeviceListPresenter::RowCount() const {
  return list_.GetItemCount();
}

DeviceRow* DeviceListPresenter::RowAt(int position) {
  if (position < 0 || position >= RowCount())
    return nullptr;
  return reinterpret_cast<DeviceRow*>(list_.GetItemData(position));
}

bool DeviceListPresenter::IsChecked(int position) const {
  return list_.GetCheck(position);
}

void DeviceListPresenter::SetStatusText(int position, const std::string& text) {
  list_.SetItemText(position, kStatusColumn, QString::fromStdString(text));
}

void DeviceListPresenter::SetVersionText(int position, const std::string& text) {
  list_.SetItemText(position, kVersionColumn, QString::fromStdString(text));
}

void DeviceListPresenter::SetAddressText(int position, const std::string& text) {
  list_.SetItemText(position, kAddressColumn, QString::fromStdString(text));
}

void DeviceListPresenter::SetTerminalText(int position, int column, const std::string& text) {
  list_.SetItemText(position, column, QString::fromStdString(text));
}

std::string DeviceListPresenter::StatusText(int position) const {
  return list_.GetItemText(position, kStatusColumn).toStdString();
}

int DeviceListPresenter::PositionOf(const DeviceRow& row) {
  return list_.FindItem(reinterpret_cast<quintptr>(&row));
}

}  // namespace vdz
