#include "devops/login_coordinator.h"

#include <chrono>
#include <memory>
#include <thread>

#include "devops/batch_runner.h"
#include "devops/device_login.h"

namespace vdz {

LoginCoordinator::LoginCoordinator(DeviceSdk& sdk, DeviceListPort& list, SdkCallPool* pool)
    : sdk_(sdk), list_(list), pool_(pool) {}

void LoginCoordinator::UsePoolFor(SdkEventHooks* hooks) {
  if (pool_ == nullptr)
    return;
  hooks->system_control = [this](int handle, int command, std::function<void(int)> done) {
    DeviceSdk* sdk = &sdk_;
    pool_->Submit(
        [sdk, handle, command] { return sdk->SystemControl(handle, command, 0, "RESPONSE_PARAM"); },
        std::move(done));
  };
}

void LoginCoordinator::StartLogin(DeviceRow& row, const DeviceRecord& record, int attempts) {
  const uint64_t ticket = ++next_ticket_;
  in_flight_[ticket] = &row;
  newest_ticket_[&row] = ticket;
  row.login_pending = 1;
  if (pool_ == nullptr) {
    Finish(ticket, LoginDevice(sdk_, record));
    return;
  }
  auto copy = std::make_shared<DeviceRecord>(record);
  DeviceSdk* sdk = &sdk_;
  pool_->Submit(
      [sdk, copy, attempts] {
        int handle = LoginDevice(*sdk, *copy);
        for (int left = attempts - 1; handle <= 0 && left > 0; --left) {
          std::this_thread::sleep_for(std::chrono::seconds(1));
          handle = LoginDevice(*sdk, *copy);
        }
        return handle;
      },
      [this, ticket](int handle) { Finish(ticket, handle); });
}

void LoginCoordinator::Relogin(DeviceRow& row, const DeviceRecord& record) {
  if (row.login_handle != 0) {
    sdk_.Logout(row.login_handle);
    row.login_handle = 0;
  }
  StartLogin(row, record, kReloginAttempts);
}

void LoginCoordinator::Forget() {
  in_flight_.clear();
  newest_ticket_.clear();
}

void LoginCoordinator::Finish(uint64_t ticket, int handle) {
  auto it = in_flight_.find(ticket);
  DeviceRow* row = it == in_flight_.end() ? nullptr : it->second;
  if (row != nullptr)
    in_flight_.erase(it);
  auto newest = row != nullptr ? newest_ticket_.find(row) : newest_ticket_.end();
  if (newest == newest_ticket_.end() || newest->second != ticket) {
    // The row went with a new search, or a newer login replaced this one.
    if (handle > 0)
      sdk_.Logout(handle);
    return;
  }
  newest_ticket_.erase(newest);
  row->login_pending = 0;
  const int position = list_.PositionOf(*row);
  if (position < 0) {
    if (handle > 0)
      sdk_.Logout(handle);
    return;
  }
  ApplyLoginResult(list_, position, handle);
  if (handle > 0) {
    for (const auto& entry : pending_.Take(handle))
      Dispatch(entry.status, *entry.record);
  }
}

void LoginCoordinator::Dispatch(bool status, const SdkEventRecord& event) {
  if (event.handle > 0 && !in_flight_.empty() && FindRowByHandle(list_, event.handle) < 0) {
    pending_.Add(status, event);
    return;
  }
  if (handler_ == nullptr)
    return;
  if (status) {
    handler_->HandleStatusEvent(event);
  } else {
    handler_->HandleAuxResponse(event);
  }
}

}  // namespace vdz
