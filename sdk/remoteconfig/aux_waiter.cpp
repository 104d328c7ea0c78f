#include "aux_waiter.h"

namespace vdz::remoteconfig {

AuxWaiter& AuxWaiter::Instance() {
  static AuxWaiter waiter;
  return waiter;
}

void AuxWaiter::Expect(int login, int command) {
  std::lock_guard lock(mutex_);
  slots_[{login, command}].reset();
}

void AuxWaiter::Deliver(int login, int command, const char* text) {
  std::lock_guard lock(mutex_);
  auto it = slots_.find({login, command});
  if (it == slots_.end())
    return;  // nobody asked: another part's answer
  it->second = text ? text : "";
  arrived_.notify_all();
}

std::optional<std::string> AuxWaiter::Wait(int login, int command, std::chrono::milliseconds limit,
                                           const std::atomic<bool>* cancelled) {
  std::unique_lock lock(mutex_);
  const auto key = std::make_pair(login, command);
  arrived_.wait_for(
      lock, limit, [&] { return slots_[key].has_value() || (cancelled != nullptr && *cancelled); });
  std::optional<std::string> text = std::move(slots_[key]);
  slots_.erase(key);
  return text;
}

void AuxWaiter::WakeAll() {
  // Under the lock: a waiter that has just checked its flag is already waiting when woken.
  std::lock_guard lock(mutex_);
  arrived_.notify_all();
}

void AuxWaiter::Forget(int login) {
  std::lock_guard lock(mutex_);
  for (auto it = slots_.begin(); it != slots_.end();)
    it = it->first.first == login ? slots_.erase(it) : std::next(it);
}

}  // namespace vdz::remoteconfig
