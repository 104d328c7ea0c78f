#include "devops/login_coordinator.h"

#include <chrono>
#include <memory>
#include <thread>

#include "devops/batch_runner.h"
#include "devops/device_login.h"

namespace vdz {

LoginCoordinator::LoginCoordinator(DeviceSdk& sdk, DeviceListPort& list, SdkCallPool* pool)
    : sdk_(sdk), list_(list), pool_(pool), tag_(pool != nullptr ? pool->NewTag() : 0) {}

void LoginCoordinator::UsePoolFor(SdkEventHooks* hooks) {
  if (pool_ == nullptr)
    return;
  hooks->system_control = [this](int handle, int command, std::function<void(int)> done) {
    DeviceSdk* sdk = &sdk_;
    pool_->Submit(
        [sdk, handle, command] { return sdk->SystemControl(handle, command, 0, "RESPONSE_PARAM"); },
        std::move(done), tag_);
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
        // A login that only timed out says nothing about the device: on a busy workstation or
        // site it is asked again before the row shows a failure.
        for (int left = kTimeoutRetries; handle == kSdkTimedOut && left > 0; --left)
          handle = LoginDevice(*sdk, *copy);
        return handle;
      },
      [this, ticket](int handle) { Finish(ticket, handle); }, tag_);
}

void LoginCoordinator::Relogin(DeviceRow& row, const DeviceRecord& record) {
  if (row.login_handle > 0)
    LogOut(row.login_handle);
  row.login_handle = 0;
  StartLogin(row, record, kReloginAttempts);
}

void LoginCoordinator::Forget() {
  in_flight_.clear();
  newest_ticket_.clear();
  if (pool_ != nullptr) {
    // Logins and session requests of the old rows that have not started would only hold the
    // pool ahead of the new rows' logins.
    pool_->Drop(tag_);
    tag_ = pool_->NewTag();
  }
  // Each session reconnects by itself until it is logged out: left alone, every search would
  // add one more per device.
  for (int position = 0; position < list_.RowCount(); ++position) {
    DeviceRow* row = list_.RowAt(position);
    if (row == nullptr || row->login_handle <= 0)
      continue;
    LogOut(row->login_handle);
    row->login_handle = 0;
  }
}

void LoginCoordinator::LogOut(int handle) {
  if (pool_ == nullptr) {
    sdk_.Logout(handle);
    return;
  }
  // Untagged: a logout is never dropped, or the session would live on.
  DeviceSdk* sdk = &sdk_;
  pool_->Submit([sdk, handle] { return sdk->Logout(handle); }, nullptr);
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
      LogOut(handle);
    return;
  }
  newest_ticket_.erase(newest);
  row->login_pending = 0;
  const int position = list_.PositionOf(*row);
  if (position < 0) {
    if (handle > 0)
      LogOut(handle);
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
