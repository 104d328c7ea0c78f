#include "man_pages.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>
#include <vector>

#include "app/window_options.h"
#include "cli/cli_help.h"

namespace vdz::docgen {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// No hyphenation and a ragged right edge: command forms stay whole words, as --help shows
// them.
std::string Header(const PageInfo& info) {
  return ".TH " + RoffEscape(Upper(info.name)) + " 1 \"\" \"" + RoffEscape(info.version) +
         "\" \"User Commands\"\n.nh\n.ad l\n.SH NAME\n" + RoffEscape(info.name) + " \\- " +
         RoffEscape(info.summary) + "\n";
}

// Lines break between the parts of a form, not inside one: blanks within brackets and
// after an option ("--seconds N") do not break.
std::string KeepTogether(const std::string& escaped_form) {
  std::string out;
  int depth = 0;
  std::size_t word_start = 0;
  for (std::size_t i = 0; i < escaped_form.size(); ++i) {
    const char c = escaped_form[i];
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    if (c != ' ') {
      out += c;
      continue;
    }
    const std::string_view word(escaped_form.data() + word_start, i - word_start);
    const bool option = word.starts_with("\\-\\-") || word.starts_with("[\\-\\-");
    out += depth > 0 || (option && !word.ends_with("]")) ? "\\~" : " ";
    word_start = i + 1;
  }
  return out;
}

// Each form on its own line: the program name in bold, the rest as written; a form too long
// for one line goes on indented.
std::string Forms(const std::vector<std::string>& forms) {
  std::string out = ".PP\n.in +4n\n";
  for (const std::string& form : forms) {
    const std::size_t space = form.find(' ');
    out += ".ti -4n\n\\fB" + RoffEscape(form.substr(0, space)) + "\\fR";
    if (space != std::string::npos)
      out += KeepTogether(RoffEscape(form.substr(space)));
    out += "\n.br\n";
  }
  return out + ".in -4n\n";
}

std::string Paragraph(const std::string& text) {
  return ".PP\n" + RoffEscape(text) + "\n";
}

std::string TaggedParagraph(const std::string& tag, const std::string& text) {
  return ".TP\n\\fB" + RoffEscape(tag) + "\\fR\n" + RoffEscape(text) + "\n";
}

std::string SeeAlso(const PageInfo& info) {
  return info.see_also.empty() ? "" : ".SH SEE ALSO\n" + RoffEscape(info.see_also) + "\n";
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::size_t Indent(const std::string& line) {
  return std::min(line.find_first_not_of(' '), line.size());
}

}  // namespace

std::string RoffEscape(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && (c == '.' || c == '\''))
      out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    line_start = c == '\n';
  }
  return out;
}

std::string CliManPage(const PageInfo& info) {
  using namespace vdz::cli;
  std::vector<std::string> forms = {OverviewForm()};
  for (const CommandHelp& command : CommandHelpTable()) {
    for (const std::string& line : Lines(command.usage))
      forms.push_back(line);
  }
  std::string page = Header(info) + ".SH SYNOPSIS\n" + Forms(forms) + ".SH DESCRIPTION\n";
  for (const std::string& note : UsageNotes())
    page += Paragraph(note);
  page += ".SH COMMANDS\n";
  for (const CommandHelp& command : CommandHelpTable()) {
    page += ".SS " + RoffEscape(command.name) + "\n" + Forms(Lines(command.usage)) +
            Paragraph(command.summary);
  }
  page += ".SH EXIT STATUS\n";
  for (const ExitStatusHelp& status : ExitStatusTable())
    page += TaggedParagraph(std::to_string(status.status), status.meaning);
  return page + SeeAlso(info);
}

std::string WindowManPage(const PageInfo& info) {
  std::string page = Header(info) + ".SH SYNOPSIS\n" + Forms(WindowSynopsis()) +
                     ".SH DESCRIPTION\n" + Paragraph(WindowDescription()) + ".SH OPTIONS\n";
  for (const WindowOptionHelp& option : WindowOptionTable())
    page += TaggedParagraph(option.form, option.summary);
  return page + SeeAlso(info);
}

std::string UsageTextManPage(const PageInfo& info, const std::string& usage_text) {
  std::vector<std::string> forms;
  std::string body;
  std::string paragraph;  // text waiting to be written
  std::string term;       // the entry the paragraph belongs to, if any
  bool in_lines = false;  // entries without text (examples) go one per line
  const auto flush = [&] {
    const bool line = !term.empty() && paragraph.empty();
    if (line)
      body += (in_lines ? ".br\n" : ".PP\n") + KeepTogether(RoffEscape(term)) + "\n";
    else if (!term.empty())
      body += TaggedParagraph(term, paragraph);
    else if (!paragraph.empty())
      body += Paragraph(paragraph);
    in_lines = line || (in_lines && term.empty() && paragraph.empty());
    term.clear();
    paragraph.clear();
  };
  bool in_forms = false;
  for (const std::string& line : Lines(usage_text)) {
    const std::string text = Trim(line);
    const std::size_t indent = Indent(line);
    if (line.starts_with("usage: ")) {
      forms.push_back(Trim(line.substr(7)));
      in_forms = true;
      continue;
    }
    if (in_forms && indent > 0 && text.starts_with(info.name)) {
      forms.push_back(text);
      continue;
    }
    in_forms = false;
    if (text.empty()) {
      flush();
    } else if (indent == 0 && text.ends_with(':')) {
      flush();
      in_lines = false;
      body += ".SS " + RoffEscape(text.substr(0, text.size() - 1)) + "\n";
    } else if (indent == 2) {
      flush();
      const std::size_t gap = text.find("  ");
      term = text.substr(0, gap);
      paragraph = gap == std::string::npos ? "" : Trim(text.substr(gap));
    } else {
      if (indent == 0 && !term.empty())
        flush();
      paragraph += (paragraph.empty() ? "" : " ") + text;
    }
  }
  flush();
  return Header(info) + ".SH SYNOPSIS\n" + Forms(forms) + ".SH DESCRIPTION\n" + body +
         SeeAlso(info);
}

}  // namespace vdz::docgen
