#include "app/command_table.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

bool CommandTable::Insert(int id, Handler handler) {
  if (!handlers_.emplace(id, std::move(handler)).second) {
    duplicates_.push_back(id);
    return false;
  }
  return true;
}

bool CommandTable::Add(int id, Handler handler) {
  // An empty handler would read as "not available": say that with AddUnavailable.
  if (!handler)
    return false;
  return Insert(id, std::move(handler));
}

bool CommandTable::AddUnavailable(int id) {
  return Insert(id, nullptr);
}

std::vector<int> CommandTable::Ids() const {
  std::vector<int> ids;
  ids.reserve(handlers_.size());
  for (const auto& entry : handlers_)
    ids.push_back(entry.first);
  return ids;
}

bool CommandTable::Available(int id) const {
  auto it = handlers_.find(id);
  return it != handlers_.end() && it->second != nullptr;
}

bool CommandTable::Dispatch(int id) {
  auto it = handlers_.find(id);
  if (it == handlers_.end())
    return false;
  if (it->second && around_) {
    around_(id, it->second);
  } else if (it->second) {
    it->second();
  } else {
    prompter_.ShowInfo(LookupText(keys::NOT_AVAILABLE_IN_BUILD));
  }
  return true;
}

}  // namespace vdz
