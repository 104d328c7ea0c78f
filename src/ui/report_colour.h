// Cell colours are given as Windows colour values 0x00BBGGRR, as the owners of the list pass
// them; -1 stands for the system colour.
#pragma once

#include <QColor>
#include <cstdint>

namespace vdz {

using ColorRef = std::uint32_t;

inline constexpr ColorRef kColorDefault = 0xFFFFFFFFu;  // -1

inline QColor ColorFromRef(ColorRef value) {
  return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                static_cast<int>((value >> 16) & 0xFFu));
}

inline ColorRef RefFromColor(const QColor& colour) {
  return static_cast<ColorRef>(colour.red()) | (static_cast<ColorRef>(colour.green()) << 8) |
         (static_cast<ColorRef>(colour.blue()) << 16);
}

}  // namespace vdz
