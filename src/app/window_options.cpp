#include "app/window_options.h"

#include <algorithm>
#include <cstring>

#ifndef VDZ_VERSION
#define VDZ_VERSION "0"
#endif

namespace vdz {

const std::vector<WindowOptionHelp>& WindowOptionTable() {
  static const std::vector<WindowOptionHelp> table = {
      {"--screenshot FILE.png",
       "After the first search has stopped by itself, saves a picture of the window as "
       "FILE.png, prints its path and the text of the status line, and quits: for machines "
       "without a display (with QT_QPA_PLATFORM=offscreen).",
       false},
      {"--help", "Prints the forms and options and exits.", true},
      {"--version", "Prints the version and exits.", true},
  };
  return table;
}

const char* WindowDescription() {
  return "Finds every network video device (IP cameras, video servers, recorders, decoders) on "
         "the workstation's network segments by broadcast discovery, lists them, and acts on one "
         "device or on every checked device at once: network settings, firmware upgrades, "
         "configuration, live preview, labels, talk and broadcast. Qt's own options (-platform "
         "NAME, -style NAME) are passed to Qt.";
}

namespace {

// Words of text on lines of at most width characters, each after indent.
std::string Wrap(const std::string& text, const std::string& indent, std::size_t width) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
      out += indent + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = end + 1;
  }
  if (!line.empty())
    out += indent + line + "\n";
  return out;
}

constexpr std::size_t kWidth = 80;

}  // namespace

std::vector<std::string> WindowSynopsis() {
  std::string window = "viduzaver";
  std::vector<std::string> forms;
  for (const WindowOptionHelp& option : WindowOptionTable()) {
    if (option.exits)
      forms.push_back(std::string("viduzaver ") + option.form);
    else
      window += std::string(" [") + option.form + "]";
  }
  forms.insert(forms.begin(), window);
  return forms;
}

std::string WindowUsage() {
  std::string text;
  const std::vector<std::string> forms = WindowSynopsis();
  for (std::size_t i = 0; i < forms.size(); ++i)
    text += (i == 0 ? "usage: " : "       ") + forms[i] + "\n";
  text += "\n" + Wrap(WindowDescription(), "", kWidth) + "\noptions:\n";
  for (const WindowOptionHelp& option : WindowOptionTable())
    text += std::string("  ") + option.form + "\n" + Wrap(option.summary, "      ", kWidth);
  return text;
}

std::optional<int> RunWindowHelpOrVersion(const std::vector<std::string>& args, std::ostream& out) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out << WindowUsage();
      return 0;
    }
    if (arg == "--version") {
      out << "viduzaver " VDZ_VERSION "\n";
      return 0;
    }
    // The value of an option that takes one is never read as an option.
    for (const WindowOptionHelp& option : WindowOptionTable()) {
      const char* space = std::strchr(option.form, ' ');
      if (space != nullptr && arg == std::string(option.form, space))
        ++i;
    }
  }
  return std::nullopt;
}

}  // namespace vdz
