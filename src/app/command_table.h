// Command number -> handler. Every button and menu entry of the window is in the table; one
// whose feature is not in this build says so instead of pretending to work.
#pragma once

#include <functional>
#include <map>

#include "shell/prompter.h"

namespace vdz {

class CommandTable {
 public:
  using Handler = std::function<void()>;

  explicit CommandTable(Prompter& prompter) : prompter_(prompter) {}

  void Add(int id, Handler handler) { handlers_[id] = std::move(handler); }
  // Known to the window but not built yet.
  void AddUnavailable(int id) { handlers_[id] = nullptr; }

  bool Contains(int id) const { return handlers_.count(id) != 0; }
  bool Available(int id) const;
  // False for an id the window does not know.
  bool Dispatch(int id);

 private:
  Prompter& prompter_;
  std::map<int, Handler> handlers_;
};

}  // namespace vdz
