// Logs listed devices in without holding the thread that owns the list: logins and the
// requests of a new session run on an SdkCallPool, results come back to the owner's thread
// and reach their rows there. Events that overtake their login's result wait for it.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "devops/device_sdk.h"
#include "devops/pending_sdk_events.h"
#include "devops/sdk_call_pool.h"
#include "devops/sdk_event_handler.h"
#include "discovery/device_list_port.h"

namespace vdz {

// Devices logged in at the same time: enough to hide a few silent devices' time bounds and
// the round trips of the others, few enough not to matter next to the SDK's own thread.
inline constexpr int kLoginThreads = 8;

class LoginCoordinator {
 public:
  // Without a pool every call is made at once on the calling thread.
  LoginCoordinator(DeviceSdk& sdk, DeviceListPort& list, SdkCallPool* pool);

  // Hooks for the event handler: its session requests go through the pool as well.
  void UsePoolFor(SdkEventHooks* hooks);
  void SetEventHandler(SdkEventHandler* handler) { handler_ = handler; }

  // Logs the row in with the account and address of this record; a refused or failed login
  // is tried again attempts - 1 times, a second apart, before it counts.
  void StartLogin(DeviceRow& row, const DeviceRecord& record, int attempts = 1);
  // Logs the row's handle out, if any, and in again with the record. A device that has just
  // been given a new address takes a moment before it listens there, so this login is tried
  // kReloginAttempts times. A login of the row still queued or running is overtaken: its
  // result is logged out when it comes.
  void Relogin(DeviceRow& row, const DeviceRecord& record);
  static constexpr int kReloginAttempts = 4;
  // Further tries of a login that got no answer in time.
  static constexpr int kTimeoutRetries = 2;
  // The rows are about to go: their sessions are logged out off this thread, their logins and
  // requests not yet started are dropped, and logins still running are logged out when they
  // finish.
  void Forget();
  int InFlight() const { return static_cast<int>(in_flight_.size()); }

  // A status event (status true) or auxiliary response from the library, on the owner's
  // thread.
  void Dispatch(bool status, const SdkEventRecord& event);

 private:
  void Finish(uint64_t ticket, int handle);
  // On the pool when there is one: the library may wait for its own thread to close the line.
  void LogOut(int handle);

  DeviceSdk& sdk_;
  DeviceListPort& list_;
  SdkCallPool* pool_;
  // Tags the pool work of the rows listed now.
  SdkCallPool::Tag tag_;
  SdkEventHandler* handler_ = nullptr;
  PendingSdkEvents pending_;
  uint64_t next_ticket_ = 0;
  std::unordered_map<uint64_t, DeviceRow*> in_flight_;
  // A row whose address changed twice keeps only its newest login.
  std::unordered_map<const DeviceRow*, uint64_t> newest_ticket_;
};

}  // namespace vdz
