#include "document_values.h"

#include <algorithm>
#include <map>

namespace vdz::remoteconfig {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'';
}

void AppendUtf8(std::string* out, unsigned long code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Resolves the five named entities and character references; nullopt for anything else.
std::optional<std::string> Unescape(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out.push_back(raw[i]);
      continue;
    }
    const std::size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12)
      return std::nullopt;
    const std::string_view name = raw.substr(i + 1, semi - i - 1);
    static const std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    const auto named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                    [&](const auto& n) { return n.first == name; });
    if (named != std::end(kNamed)) {
      out.push_back(named->second);
    } else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits(name.substr(hex ? 2 : 1));
      if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                         : "0123456789") != std::string::npos)
        return std::nullopt;
      const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
      if (code == 0 || code > 0x10FFFF)
        return std::nullopt;
      AppendUtf8(&out, code);
    } else {
      return std::nullopt;
    }
    i = semi;
  }
  return out;
}

std::string Escape(std::string_view value, char quote) {
  std::string out;
  for (const char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += quote == '"' ? "&quot;" : "\"";
        break;
      case '\'':
        out += quote == '\'' ? "&apos;" : "'";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {}

  std::optional<std::vector<DocumentValue>> Run() {
    bool root_done = false;
    while (i_ < t_.size()) {
      if (t_[i_] != '<') {
        const std::size_t lt = t_.find('<', i_);
        const std::size_t stop = lt == std::string_view::npos ? t_.size() : lt;
        if (stack_.empty()) {
          // Outside the root only blanks may stand.
          for (std::size_t k = i_; k < stop; ++k)
            if (!IsSpace(t_[k]))
              return std::nullopt;
        } else if (!Unescape(t_.substr(i_, stop - i_))) {
          return std::nullopt;
        }
        i_ = stop;
        continue;
      }
      if (Skip("<?", "?>") || Skip("<!--", "-->"))
        continue;
      if (t_.compare(i_, 9, "<![CDATA[") == 0) {
        if (stack_.empty() || !Skip("<![CDATA[", "]]>"))
          return std::nullopt;
        stack_.back().has_cdata = true;
        continue;
      }
      if (t_.compare(i_, 2, "<!") == 0) {
        if (!stack_.empty() || root_done || !Skip("<!", ">"))
          return std::nullopt;
        continue;
      }
      if (t_.compare(i_, 2, "</") == 0) {
        if (!EndTag())
          return std::nullopt;
        if (stack_.empty())
          root_done = true;
        continue;
      }
      if (root_done && stack_.empty())
        return std::nullopt;  // a second root
      bool closed = false;
      if (!StartTag(&closed))
        return std::nullopt;
      if (closed && stack_.empty())
        root_done = true;
    }
    if (!stack_.empty() || !root_done)
      return std::nullopt;
    return std::move(values_);
  }

 private:
  struct Open {
    std::string name;
    std::string path;
    int occurrence;
    std::size_t content_begin;
    bool has_child = false;
    bool has_cdata = false;
  };

  bool Skip(std::string_view open, std::string_view close) {
    if (t_.compare(i_, open.size(), open) != 0)
      return false;
    const std::size_t end = t_.find(close, i_ + open.size());
    if (end == std::string_view::npos) {
      i_ = t_.size() + 1;  // ends the loop; the open element check fails the read
      stack_.push_back({});
      return true;
    }
    i_ = end + close.size();
    return true;
  }

  std::string Name() {
    const std::size_t begin = i_;
    while (i_ < t_.size() && IsNameChar(t_[i_]))
      ++i_;
    return std::string(t_.substr(begin, i_ - begin));
  }

  void Blanks() {
    while (i_ < t_.size() && IsSpace(t_[i_]))
      ++i_;
  }

  bool StartTag(bool* closed) {
    ++i_;
    std::string name = Name();
    if (name.empty())
      return false;
    const std::string path = stack_.empty() ? name : stack_.back().path + "/" + name;
    if (!stack_.empty())
      stack_.back().has_child = true;
    const int occurrence = seen_[path]++;
    std::vector<std::string> attributes;
    for (;;) {
      Blanks();
      if (i_ >= t_.size())
        return false;
      if (t_[i_] == '>') {
        ++i_;
        stack_.push_back({name, path, occurrence, i_});
        return true;
      }
      if (t_.compare(i_, 2, "/>") == 0) {
        i_ += 2;
        *closed = true;
        return true;
      }
      // Attributes may follow each other without a blank, as some devices write them.
      std::string attribute = Name();
      if (attribute.empty())
        return false;
      if (std::find(attributes.begin(), attributes.end(), attribute) != attributes.end())
        return false;
      Blanks();
      if (i_ >= t_.size() || t_[i_] != '=')
        return false;
      ++i_;
      Blanks();
      if (i_ >= t_.size() || (t_[i_] != '"' && t_[i_] != '\''))
        return false;
      const char quote = t_[i_++];
      const std::size_t end = t_.find(quote, i_);
      if (end == std::string_view::npos)
        return false;
      const std::string_view raw = t_.substr(i_, end - i_);
      auto value = Unescape(raw);
      if (!value || raw.find('<') != std::string_view::npos)
        return false;
      values_.push_back({path, attribute, occurrence, std::move(*value), i_, end, quote});
      attributes.push_back(std::move(attribute));
      i_ = end + 1;
    }
  }

  bool EndTag() {
    i_ += 2;
    const std::size_t close_begin = i_ - 2;
    const std::string name = Name();
    Blanks();
    if (stack_.empty() || name != stack_.back().name || i_ >= t_.size() || t_[i_] != '>')
      return false;
    ++i_;
    const Open& open = stack_.back();
    if (!open.has_child && !open.has_cdata) {
      auto value = Unescape(t_.substr(open.content_begin, close_begin - open.content_begin));
      if (!value)
        return false;
      values_.push_back(
          {open.path, {}, open.occurrence, std::move(*value), open.content_begin, close_begin, 0});
    }
    stack_.pop_back();
    return true;
  }

  std::string_view t_;
  std::size_t i_ = 0;
  std::vector<Open> stack_;
  std::map<std::string, int> seen_;
  std::vector<DocumentValue> values_;
};

}  // namespace

std::optional<std::vector<DocumentValue>> ReadDocumentValues(std::string_view text) {
  return Reader(text).Run();
}

std::string WriteDocumentValues(std::string_view text,
                                std::vector<std::pair<const DocumentValue*, std::string>> changes) {
  std::sort(changes.begin(), changes.end(),
            [](const auto& a, const auto& b) { return a.first->begin < b.first->begin; });
  std::string out;
  out.reserve(text.size() + 64);
  std::size_t at = 0;
  for (const auto& [value, now] : changes) {
    if (value->begin < at || value->end > text.size())
      continue;  // not from this text
    out.append(text.substr(at, value->begin - at));
    out += Escape(now, value->quote);
    at = value->end;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace vdz::remoteconfig
