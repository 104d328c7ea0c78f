#include "kv_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vdz::devsim {

std::optional<std::string> KvLine::Get(std::string_view key) const {
  std::optional<std::string> found;
  for (const auto& [k, v] : pairs) {
    if (k == key)
      found = v;
  }
  return found;
}

std::vector<std::string> KvLine::GetAll(std::string_view key) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : pairs) {
    if (k != key)
      continue;
    std::size_t start = 0;
    while (start <= v.size()) {
      const std::size_t comma = v.find(',', start);
      const std::size_t end = comma == std::string::npos ? v.size() : comma;
      if (end > start)
        out.push_back(v.substr(start, end - start));
      if (comma == std::string::npos)
        break;
      start = comma + 1;
    }
  }
  return out;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<KvLine> ParseKvLine(std::string_view line, std::string* error) {
  KvLine out;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
      ++i;
    if (i >= n || line[i] == '#')
      break;
    std::string word;
    std::size_t eq = std::string::npos;
    bool quoted_any = false;
    while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') {
      const char c = line[i];
      if (c == '=' && eq == std::string::npos && !quoted_any) {
        eq = word.size();
        word.push_back(c);
        ++i;
        continue;
      }
      if (c != '"') {
        word.push_back(c);
        ++i;
        continue;
      }
      quoted_any = true;
      ++i;
      bool closed = false;
      while (i < n) {
        const char q = line[i++];
        if (q == '"') {
          closed = true;
          break;
        }
        if (q != '\\') {
          word.push_back(q);
          continue;
        }
        if (i >= n)
          break;
        const char e = line[i++];
        switch (e) {
          case '"':
          case '\\':
            word.push_back(e);
            break;
          case 'n':
            word.push_back('\n');
            break;
          case 't':
            word.push_back('\t');
            break;
          case 'x': {
            const int hi = i < n ? HexDigit(line[i]) : -1;
            const int lo = i + 1 < n ? HexDigit(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
              if (error)
                *error = "bad \\x escape";
              return std::nullopt;
            }
            word.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
          }
          default:
            if (error)
              *error = std::string("unknown escape \\") + e;
            return std::nullopt;
        }
      }
      if (!closed) {
        if (error)
          *error = "unterminated quote";
        return std::nullopt;
      }
    }
    if (eq != std::string::npos && eq > 0) {
      out.pairs.emplace_back(word.substr(0, eq), word.substr(eq + 1));
    } else {
      out.words.push_back(std::move(word));
    }
  }
  return out;
}

std::string QuoteKvValue(std::string_view value) {
  bool plain = !value.empty();
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f || c == '"' || c == '\\' || c == '#')
      plain = false;
  }
  if (plain)
    return std::string(value);
  std::string out = "\"";
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (u < 0x20 || u >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

bool ParseInt(std::string_view text, long long lo, long long hi, long long* out) {
  if (text.empty() || text.size() > 24)
    return false;
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size() || v < lo || v > hi)
    return false;
  *out = v;
  return true;
}

bool ParseDouble(std::string_view text, double lo, double hi, double* out) {
  if (text.empty() || text.size() > 32)
    return false;
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !(v >= lo && v <= hi))
    return false;
  *out = v;
  return true;
}

bool ParseBool(std::string_view text, bool* out) {
  if (text == "1" || text == "yes" || text == "true" || text == "on") {
    *out = true;
    return true;
  }
  if (text == "0" || text == "no" || text == "false" || text == "off") {
    *out = false;
    return true;
  }
  return false;
}

}  // namespace vdz::devsim
