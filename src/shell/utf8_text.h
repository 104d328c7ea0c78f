// UTF-8 is the system's wide text; Qt converts it at the window edge.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vdz {

// Well-formed UTF-8 of at most max_code_points code points: each byte that does not start a
// well-formed sequence (overlong forms, surrogates and values above U+10FFFF included)
// becomes U+FFFD, and the text is cut only between whole characters.
std::string SanitizeUtf8(std::string_view text,
                         std::size_t max_code_points = std::string_view::npos);

// The longest prefix of text with at most max_code_points code points, bytes unchanged; an
// invalid byte counts as one code point, and no well-formed character is split.
std::string_view Utf8Prefix(std::string_view text, std::size_t max_code_points);

// Code points in text; each invalid byte counts as one.
std::size_t Utf8CodePointCount(std::string_view text);

// Length in bytes of the well-formed sequence at the start of text, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text);

}  // namespace vdz
