#include "shell/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "shell/utf8_text.h"

namespace vdz {
namespace {

constexpr char kDefaultCodePage[] = "GBK";
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
constexpr std::string_view kAnsiReplacement = "?";

std::mutex g_code_page_mutex;
std::string g_code_page = kDefaultCodePage;

std::string CurrentCodePage() {
  std::lock_guard lock(g_code_page_mutex);
  return g_code_page;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok())
      iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // An undecodable input unit is skipped and replaced; from_utf8 skips a whole well-formed
  // sequence the target cannot hold instead of leaving its trail bytes behind.
  std::string Run(std::string_view in, std::string_view replacement, bool from_utf8) {
    std::string out(in.size() * 2 + 16, '\0');
    std::size_t used = 0;
    char* in_ptr = const_cast<char*>(in.data());  // iconv's signature; it does not write
    std::size_t in_left = in.size();
    while (in_left > 0) {
      char* out_ptr = out.data() + used;
      std::size_t out_left = out.size() - used;
      const std::size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      const int error = errno;
      used = out.size() - out_left;
      if (result != static_cast<std::size_t>(-1))
        continue;
      if (error == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      if (in_left == 0)
        break;
      std::size_t skip = 1;
      if (from_utf8) {
        const std::size_t length = Utf8SequenceLength(std::string_view(in_ptr, in_left));
        if (length > 0)
          skip = length;
      }
      in_ptr += skip;
      in_left -= skip;
      if (out.size() - used < replacement.size())
        out.resize(out.size() * 2);
      std::memcpy(out.data() + used, replacement.data(), replacement.size());
      used += replacement.size();
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    }
    // Stateful encodings may owe a final shift sequence.
    while (true) {
      char* out_ptr = out.data() + used;
      std::size_t out_left = out.size() - used;
      const std::size_t result = iconv(cd_, nullptr, nullptr, &out_ptr, &out_left);
      const int error = errno;
      used = out.size() - out_left;
      if (result == static_cast<std::size_t>(-1) && error == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      break;
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  // Addresses, MAC texts and most versions are ASCII, the same bytes in every code page this
  // tool uses; they skip the converter, which the list refresh would otherwise open per cell.
  if (IsAscii(ansi))
    return std::string(ansi);
  const std::string code_page = CurrentCodePage();
  Converter converter("UTF-8", code_page.c_str());
  if (!converter.ok())
    return SanitizeUtf8(ansi);
  return converter.Run(ansi, kUtf8Replacement, false);
}

std::string Utf8ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8))
    return std::string(utf8);
  const std::string code_page = CurrentCodePage();
  Converter converter(code_page.c_str(), "UTF-8");
  if (!converter.ok()) {
    std::string out;
    for (const char c : utf8)
      out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return out;
  }
  return converter.Run(utf8, kAnsiReplacement, true);
}

bool SetAnsiCodePage(const char* iconv_name) {
  if (!iconv_name || !*iconv_name)
    return false;
  Converter probe("UTF-8", iconv_name);
  if (!probe.ok())
    return false;
  std::lock_guard lock(g_code_page_mutex);
  g_code_page = iconv_name;
  return true;
}

std::string AnsiCodePage() {
  return CurrentCodePage();
}

}  // namespace vdz
