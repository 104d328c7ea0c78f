// The window as an installer starts it, with the test's prompter in place of message boxes.
#pragma once

#include <memory>

#include "app/main_window.h"

namespace vdz::lab {

inline std::unique_ptr<CQmDadIvidudEvuzDlg> OpenMainWindow(Prompter& prompter) {
  MainWindowOptions options;
  options.prompter = &prompter;
  auto window = std::make_unique<CQmDadIvidudEvuzDlg>(options);
  window->Initialise();
  window->show();
  return window;
}

}  // namespace vdz::lab
