// Answers message boxes in tests and remembers what was shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shell/prompter.h"

namespace vdz::test {

class RecordingPrompter : public Prompter {
 public:
  struct Box {
    std::string kind;  // "ERROR", "YESNO", "INFO", "MESSAGE"
    std::string text;
    std::string caption;
  };

  void ShowError(const std::string& text) override { boxes.push_back({"ERROR", text, "ERROR"}); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    boxes.push_back({"YESNO", text, caption});
    if (answers.empty())
      return default_answer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowInfo(const std::string& text) override { boxes.push_back({"INFO", text, "INFO"}); }
  void ShowMessage(const std::string& text) override { boxes.push_back({"MESSAGE", text, ""}); }

  std::vector<Box> boxes;
  std::deque<bool> answers;  // next yes/no answers; default_answer when empty
  bool default_answer = true;
};

}  // namespace vdz::test
