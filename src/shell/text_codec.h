// Narrow device text in the "ANSI code page" (GBK by default, as the discovery envelope
// declares GB2312) <-> UTF-8, the system's wide text.
#pragma once

#include <string>
#include <string_view>

namespace vdz {

// Bytes that are not valid in the code page become U+FFFD. Never throws on bad input.
std::string AnsiToUtf8(std::string_view ansi);

// Each byte of invalid UTF-8 becomes '?', as does each character the code page cannot hold.
std::string Utf8ToAnsi(std::string_view utf8);

// Any iconv encoding name ("GBK", "BIG5", "CP1250", ...). Returns false and keeps the current
// code page when iconv does not know the name.
bool SetAnsiCodePage(const char* iconv_name);

std::string AnsiCodePage();

}  // namespace vdz
