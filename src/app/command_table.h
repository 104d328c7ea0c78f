// Command number -> handler. Every button and menu entry of the window is in the table; one
// whose feature is not in this build says so instead of pretending to work.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "shell/prompter.h"

namespace vdz {

class CommandTable {
 public:
  using Handler = std::function<void()>;
  // Wraps every bound handler when set (the batch report opens and closes batches there).
  using Around = std::function<void(int id, const Handler& handler)>;

  explicit CommandTable(Prompter& prompter) : prompter_(prompter) {}

  // An id enters the table once, bound or unavailable: a second entry is refused and
  // remembered, so that a forgotten AddUnavailable cannot shadow a handler (or the reverse).
  bool Add(int id, Handler handler);
  // Known to the window but not built yet: says so when run.
  bool AddUnavailable(int id);

  bool Contains(int id) const { return handlers_.count(id) != 0; }
  bool Available(int id) const;
  std::vector<int> Ids() const;
  const std::vector<int>& Duplicates() const { return duplicates_; }
  // False for an id the window does not know.
  bool Dispatch(int id);
  void SetAround(Around around) { around_ = std::move(around); }

 private:
  bool Insert(int id, Handler handler);

  Prompter& prompter_;
  std::map<int, Handler> handlers_;
  std::vector<int> duplicates_;
  Around around_;
};

}  // namespace vdz
