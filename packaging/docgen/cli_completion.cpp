#include "cli_completion.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/cli_help.h"

namespace vdz::docgen {

namespace {

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, by);) {
    if (!part.empty())
      parts.push_back(part);
  }
  return parts;
}

// "[--ip", "[A]]", "SERIAL|IP...|--all" -> "--ip", "A", "SERIAL|IP|--all".
std::string Bare(std::string token) {
  token.erase(
      std::remove_if(token.begin(), token.end(), [](char c) { return c == '[' || c == ']'; }),
      token.end());
  for (std::size_t at; (at = token.find("...")) != std::string::npos;)
    token.erase(at, 3);
  while (!token.empty() && (token.back() == '.' || token.back() == ';' || token.back() == ','))
    token.pop_back();
  return token;
}

// A command word or value the user types as it stands (en_us, H264, 0), not a placeholder
// for one (SERIAL, FILE.mp3, HH:MM:SS, N): placeholders are capital words.
bool IsLiteral(const std::string& word) {
  if (word.empty() || word[0] == '-' || word[0] == '+')
    return false;
  const bool digit =
      std::any_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); });
  bool capital_word = false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const bool upper = std::isupper(static_cast<unsigned char>(word[i])) != 0;
    const bool next_upper =
        i + 1 < word.size() && std::isupper(static_cast<unsigned char>(word[i + 1])) != 0;
    if (upper && (next_upper || !digit))
      capital_word = true;
  }
  return !capital_word;
}

// A second command word ("set language"): lower case letters, digits and dashes.
bool IsWord(const std::string& token) {
  return !token.empty() && std::islower(static_cast<unsigned char>(token[0])) != 0 &&
         std::all_of(token.begin(), token.end(), [](unsigned char c) {
           return std::islower(c) != 0 || std::isdigit(c) != 0 || c == '-';
         });
}

// What completes a placeholder: files, folders or nothing.
std::string PlaceholderKind(const std::string& placeholder) {
  if (placeholder.find("DIR") != std::string::npos)
    return "@dir";
  if (placeholder.find("FILE") != std::string::npos || placeholder == "IMAGE" || placeholder == "F")
    return "@file";
  return "@none";
}

std::string ValueOf(const std::string& value_token) {
  std::vector<std::string> literals;
  std::string kind = "@none";
  for (const std::string& alternative : Split(Bare(value_token), '|')) {
    if (IsLiteral(alternative))
      literals.push_back(alternative);
    else if (kind == "@none")
      kind = PlaceholderKind(alternative);
  }
  if (literals.empty())
    return kind;
  std::string values;
  for (const std::string& literal : literals)
    values += (values.empty() ? "" : " ") + literal;
  return values;
}

// Options of one form's tokens from `from` on, with their values. In prose only an option
// followed by a list of values counts ("also takes --format table|csv|json").
void AddOptions(const std::vector<std::string>& tokens, std::size_t from, bool prose,
                CompletionModel* model, const std::string& key) {
  for (std::size_t i = from; i < tokens.size(); ++i) {
    for (const std::string& part : Split(Bare(tokens[i]), '|')) {
      if (!part.starts_with("--"))
        continue;
      const bool closed = tokens[i].ends_with(']');
      const bool has_value = !closed && i + 1 < tokens.size() &&
                             !Bare(tokens[i + 1]).starts_with("-") &&
                             part == Split(Bare(tokens[i]), '|').back();
      if (prose && (!has_value || tokens[i + 1].find('|') == std::string::npos))
        continue;
      model->options[key].insert(part);
      if (has_value)
        model->option_values[key][part] = ValueOf(tokens[i + 1]);
    }
  }
}

}  // namespace

CompletionModel BuildCompletionModel() {
  using namespace vdz::cli;
  CompletionModel model;
  for (const CommandHelp& command : CommandHelpTable()) {
    model.commands.push_back(command.name);
    std::vector<std::string> keys;
    for (const std::string& line : Split(command.usage, '\n')) {
      const std::vector<std::string> tokens = Split(line, ' ');
      std::string key = command.name;
      std::size_t next = 2;
      if (tokens.size() > 2 && IsWord(tokens[2])) {
        model.subcommands[key].push_back(tokens[2]);
        key += " " + tokens[2];
        next = 3;
        if (tokens.size() > 3 && tokens[3].find('|') != std::string::npos &&
            ValueOf(tokens[3]).front() != '@') {
          model.words[key] = Split(ValueOf(tokens[3]), ' ');
          next = 4;
        }
      }
      keys.push_back(key);
      AddOptions(tokens, next, false, &model, key);
      // A file placeholder that is no option's value is an argument.
      for (std::size_t i = next; i < tokens.size(); ++i) {
        const bool option_value =
            i > 0 && Bare(tokens[i - 1]).starts_with("--") && !tokens[i - 1].ends_with(']');
        if (!option_value && !tokens[i].starts_with("[") &&
            PlaceholderKind(Bare(tokens[i])) == "@file")
          model.file_arguments.insert(key);
      }
    }
    std::vector<std::string> shared = SharedOptionForms(command);
    shared.push_back(command.summary);
    for (const std::string& key : keys) {
      for (const std::string& text : shared)
        AddOptions(Split(text, ' '), 0, text == command.summary, &model, key);
      model.options[key].insert("--help");
    }
  }
  return model;
}

std::string BashCompletion(const CompletionModel& model) {
  const auto join = [](const auto& words) {
    std::string out;
    for (const std::string& word : words)
      out += (out.empty() ? "" : " ") + word;
    return out;
  };
  std::string commands = join(model.commands);
  std::string subcommand_cases, value_cases, key_cases;
  for (const auto& [command, subs] : model.subcommands)
    subcommand_cases += "            " + command + ") words=\"" + join(subs) + "\" ;;\n";
  // One case per kind of value, listing every command and option that takes it.
  std::map<std::string, std::vector<std::string>> by_value;
  for (const auto& [key, values] : model.option_values) {
    for (const auto& [option, value] : values)
      by_value[value].push_back("\"" + key + " " + option + "\"");
  }
  for (const auto& [value, patterns] : by_value) {
    std::string alternatives;
    for (const std::string& pattern : patterns)
      alternatives += (alternatives.empty() ? "" : " |\\\n        ") + pattern;
    value_cases += "    " + alternatives + ")\n        values=\"" + value + "\" ;;\n";
  }
  for (const auto& [key, options] : model.options) {
    key_cases += "        \"" + key + "\") options=\"" + join(options) + "\"";
    if (const auto it = model.words.find(key); it != model.words.end())
      key_cases += " words=\"" + join(it->second) + "\"";
    if (model.file_arguments.count(key) != 0)
      key_cases += " files=1";
    key_cases += " ;;\n";
  }
  std::string subcommand_names;
  for (const auto& [command, subs] : model.subcommands)
    subcommand_names += (subcommand_names.empty() ? "" : "|") + command;

  return "# bash completion for viduzaver-cli                        -*- shell-script -*-\n"
         "# Made at build time from the usage table viduzaver-cli --help prints.\n"
         "\n"
         "_viduzaver_cli()\n"
         "{\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
         "    local command=${COMP_WORDS[1]-} key words=\"\" options=\"\" values=\"\" "
         "files=\"\" first=2\n"
         "    COMPREPLY=()\n"
         "    if ((COMP_CWORD == 1)); then\n"
         "        COMPREPLY=($(compgen -W \"" +
         commands +
         " help --help --version\" -- \"$cur\"))\n"
         "        return\n"
         "    fi\n"
         "    if [[ $command == help ]]; then\n"
         "        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W \"" +
         commands +
         "\" -- \"$cur\"))\n"
         "        return\n"
         "    fi\n"
         "    key=$command\n"
         "    case $command in\n"
         "    " +
         subcommand_names +
         ")\n"
         "        if ((COMP_CWORD == 2)); then\n"
         "            case $command in\n" +
         subcommand_cases +
         "            esac\n"
         "            COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
         "            return\n"
         "        fi\n"
         "        key=\"$command ${COMP_WORDS[2]}\"\n"
         "        first=3\n"
         "        ;;\n"
         "    esac\n"
         "    case \"$key $prev\" in\n" +
         value_cases +
         "    esac\n"
         "    case $values in\n"
         "    \"\") ;;\n"
         "    @none) return ;;\n"
         "    @file) compopt -o filenames 2>/dev/null\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "        return ;;\n"
         "    @dir) compopt -o filenames 2>/dev/null\n"
         "        COMPREPLY=($(compgen -d -- \"$cur\"))\n"
         "        return ;;\n"
         "    *) COMPREPLY=($(compgen -W \"$values\" -- \"$cur\"))\n"
         "        return ;;\n"
         "    esac\n"
         "    case $key in\n" +
         key_cases +
         "    esac\n"
         "    if [[ $cur == -* ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "    elif [[ -n $words ]] && ((COMP_CWORD == first)); then\n"
         "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
         "    elif [[ -n $files ]]; then\n"
         "        compopt -o filenames 2>/dev/null\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    fi\n"
         "} &&\n"
         "    complete -F _viduzaver_cli viduzaver-cli\n";
}

}  // namespace vdz::docgen
