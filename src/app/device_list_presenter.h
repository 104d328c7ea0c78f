// The device list of the window: shows search rows in the report control, logs new devices
// in, and gives the device operations their view of rows, check boxes and status cells.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"
#include "discovery/search_session.h"

namespace vdz {

class CReportCtrl;
class KeyParameterRequester;
class LoginCoordinator;

class DeviceListPresenter final : public SearchView, public DeviceListPort {
 public:
  struct WindowHooks {
    std::function<void(int timer_id, bool active)> set_timer;
    std::function<void(const QString&)> set_search_button_text;
    std::function<void(const QString&)> set_status_line;
    std::function<void()> rows_cleared;  // the select-all box is unchecked
  };

  DeviceListPresenter(CReportCtrl& list, DeviceSdk& sdk, WindowHooks hooks);

  // New rows and changed addresses are logged in through it; without one, at once here.
  void SetLogins(LoginCoordinator* logins) { logins_ = logins; }
  // New rows ask their terminal service for name and model through it.
  void SetKeyParameters(KeyParameterRequester* requester) { key_parameters_ = requester; }

  // The header text of the seven columns with their language captions and widths.
  static QString ColumnHeaderText();

  // Rows showing the device with this address get a red background while it is previewed.
  void SetPreviewAddress(const std::string& ip);

  // SearchView
  void SetTimerActive(int timer_id, bool active) override;
  void SetSearchButtonText(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void OnRowsCleared() override;
  void BeginRefresh() override;
  void EndRefresh() override;
  void ReserveRows(int count) override;
  void OnRowAdded(int row_id, DeviceRow& row) override;
  void OnRowChanged(int row_id, DeviceRow& row, const DeviceRecord& fresh) override;
  void OnAddressChanged(int row_id, DeviceRow& row, const DeviceRecord& fresh) override;

  // DeviceListPort
  int RowCount() const override;
  DeviceRow* RowAt(int position) override;
  bool IsChecked(int position) const override;
  void SetStatusText(int position, const std::string& text) override;
  void SetVersionText(int position, const std::string& text) override;
  void SetAddressText(int position, const std::string& text) override;
  void SetTerminalText(int position, int column, const std::string& text) override;

  int PositionOf(const DeviceRow& row) override;
  std::string StatusText(int position) const override;

 private:
  void WriteCells(int position, const DeviceRecord& record);
  // Another maker's row: its maker, firmware, model and identification state.
  void WriteForeignCells(int position, const DeviceRow& row, const DeviceRecord& record);

  CReportCtrl& list_;
  DeviceSdk& sdk_;
  WindowHooks hooks_;
  std::string preview_ip_;
  LoginCoordinator* logins_ = nullptr;
  KeyParameterRequester* key_parameters_ = nullptr;
  // Rows appended in one step by ReserveRows and not yet given to a device.
  int reserved_first_ = -1;
  int reserved_left_ = 0;
};

}  // namespace vdz
