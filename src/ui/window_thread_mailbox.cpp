#include "ui/window_thread_mailbox.h"

#include <QMetaObject>

namespace vdz {

void WindowThreadMailbox::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  QMetaObject::invokeMethod(
      receiver_, [this] { RunOne(); }, Qt::QueuedConnection);
}

void WindowThreadMailbox::RunOne() {
  // One item per queued call, as a plain queued call would: work that opens a modal box
  // still lets later work run inside the box's event loop.
  std::function<void()> work;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty())
      return;
    work = std::move(pending_.front());
    pending_.pop_front();
  }
  work();
}

}  // namespace vdz
