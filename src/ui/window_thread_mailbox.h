// Runs work handed over from other threads on one object's thread, in the order it came.
// The work passes through a standard mutex, not only through Qt's event queue: Qt's own locks
// are invisible to the thread checker, this one is not.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace vdz {

class WindowThreadMailbox {
 public:
  // The work runs on receiver's thread; the mailbox must not outlive it.
  explicit WindowThreadMailbox(QObject* receiver) : receiver_(receiver) {}
  WindowThreadMailbox(const WindowThreadMailbox&) = delete;
  WindowThreadMailbox& operator=(const WindowThreadMailbox&) = delete;

  // From any thread.
  void Post(std::function<void()> work);

 private:
  void RunOne();

  QObject* receiver_;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace vdz
