// Bash completion for viduzaver-cli, made from its command help table: commands, the words
// after a command (set language, terminal get, ...), each form's options and the values an
// option lists (--format table|csv|json), files and folders where a form names them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vdz::docgen {

// What completes where; key: the command, or the command and its second word.
struct CompletionModel {
  std::vector<std::string> commands;
  std::map<std::string, std::vector<std::string>> subcommands;  // command -> second words
  std::map<std::string, std::set<std::string>> options;         // key -> options
  // key -> option -> values, or "@file", "@dir", "@none" (a value nothing can offer)
  std::map<std::string, std::map<std::string, std::string>> option_values;
  std::map<std::string, std::vector<std::string>> words;  // key -> literal third words
  std::set<std::string> file_arguments;                   // keys whose arguments are files
};

CompletionModel BuildCompletionModel();

std::string BashCompletion(const CompletionModel& model);

}  // namespace vdz::docgen
