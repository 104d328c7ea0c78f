// The upgrade buttons' tips: blue on white, at most 400 pixels wide, up after 200 ms.
#pragma once

#include <QProxyStyle>
#include <QString>

namespace vdz {

inline constexpr int kTooltipDelayMs = 200;
inline constexpr int kTooltipMaxWidth = 400;

class TooltipStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override;
};

// The window's style sheet rule for tips.
QString TooltipStyleSheet();
// A tip as rich text, so that the tip label wraps it within the width.
QString WrappedTooltip(const QString& text);

}  // namespace vdz
