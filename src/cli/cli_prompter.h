// The command line's message boxes: texts go to stderr, and a question is answered by the
// command line itself (the operator asked for the command; refusing commands answer no).
#pragma once

#include <iostream>
#include <string>

#include "shell/prompter.h"

namespace vdz::cli {

class CliPrompter final : public Prompter {
 public:
  explicit CliPrompter(bool answer = true) : answer_(answer) {}
  void ShowError(const std::string& text) override {
    std::cerr << "viduzaver-cli: " << text << "\n";
  }
  bool AskYesNo(const std::string&, const std::string&) override { return answer_; }
  void ShowInfo(const std::string& text) override { std::cerr << text << "\n"; }
  void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }

 private:
  bool answer_;
};

}  // namespace vdz::cli
