#include "devops/device_login.h"

#include <cstring>

namespace vdz {

int LoginDevice(DeviceSdk& sdk, const DeviceRecord& record) {
  const auto port = static_cast<uint16_t>(record.Stream.PTZPort);
  const UserAccount& account = record.Users.Accounts[0];
  // Account texts may fill their arrays; hand the SDK terminated copies.
  char user[sizeof account.Username + 1] = {};
  char password[sizeof account.Password + 1] = {};
  std::memcpy(user, account.Username, sizeof account.Username);
  std::memcpy(password, account.Password, sizeof account.Password);
  char ip[sizeof record.Lan.IPAddress + 1] = {};
  std::memcpy(ip, record.Lan.IPAddress, sizeof record.Lan.IPAddress);
  const int handle = sdk.Login(ip, port, user, password);
  if (handle > 0)
    sdk.SetAutoReconnect(handle, 1);
  return handle;
}

void ApplyLoginResult(DeviceListPort& list, int position, int handle) {
  DeviceRow* row = list.RowAt(position);
  if (row == nullptr)
    return;
  row->login_handle = handle;
  if (handle <= 0)
    list.SetStatusText(position, kLoginFailedText);
}

int ReloginDevice(DeviceSdk& sdk, DeviceRow& row, const DeviceRecord& record) {
  if (row.login_handle != 0) {
    sdk.Logout(row.login_handle);
    row.login_handle = 0;
  }
  row.login_handle = LoginDevice(sdk, record);
  return row.login_handle;
}

}  // namespace vdz
