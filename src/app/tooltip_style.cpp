#include "app/tooltip_style.h"

namespace vdz {

int TooltipStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returned) const {
  if (hint == SH_ToolTip_WakeUpDelay)
    return kTooltipDelayMs;
  return QProxyStyle::styleHint(hint, option, widget, returned);
}

QString TooltipStyleSheet() {
  return QStringLiteral("QToolTip { color: #0000ff; background-color: #ffffff; max-width: %1px; }")
      .arg(kTooltipMaxWidth);
}

QString WrappedTooltip(const QString& text) {
  return QStringLiteral("<p style=\"white-space:normal\">%1</p>").arg(text.toHtmlEscaped());
}

}  // namespace vdz
