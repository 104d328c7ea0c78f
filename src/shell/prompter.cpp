#include "shell/prompter.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

std::string ConfirmationCaption() {
  return LookupText(keys::TEXT21);
}

}  // namespace vdz
