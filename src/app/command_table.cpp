#include "app/command_table.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

bool CommandTable::Available(int id) const {
  auto it = handlers_.find(id);
  return it != handlers_.end() && it->second != nullptr;
}

bool CommandTable::Dispatch(int id) {
  auto it = handlers_.find(id);
  if (it == handlers_.end())
    return false;
  if (it->second) {
    it->second();
  } else {
    prompter_.ShowInfo(LookupText(keys::NOT_AVAILABLE_IN_BUILD));
  }
  return true;
}

}  // namespace vdz
