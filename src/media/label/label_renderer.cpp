#include "media/label/label_renderer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "devops/qr_symbol.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

constexpr QRgb kLabelBackground = qRgb(225, 225, 225);
constexpr int kQuietZone = 4;

// One pixel per module inside a four-module white border.
QImage QrSymbolImage(const QrSymbol& symbol) {
  const int side = symbol.width + 2 * kQuietZone;
  QImage image(side, side, QImage::Format_Mono);
  image.setColor(0, qRgb(255, 255, 255));
  image.setColor(1, qRgb(0, 0, 0));
  image.fill(0);
  for (int j = 0; j < symbol.width; ++j)
    for (int i = 0; i < symbol.width; ++i)
      if (symbol.dark[static_cast<size_t>(j) * symbol.width + i])
        image.setPixel(i + kQuietZone, j + kQuietZone, 1);
  return image;
}

}  // namespace

QString LabelFontFamily() {
  const QStringList families = QFontDatabase::families();
  for (const QString& name :
       {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")}) {
    if (families.contains(name))
      return name;
  }
  return QStringLiteral("Noto Sans CJK SC");
}

int RenderLabel(QPainter& target, const QRect& rect, const DeviceRecord* device,
                const LabelOptions& options, LabelScale scale, int screen_dpi_y,
                LabelLayout* layout) {
  if (device == nullptr || rect.width() <= 0 || rect.height() <= 0)
    return device ? 0 : -1;
  LabelLayout out;
  const LabelLines lines = ComposeLabelLines(*device, options);
  const std::optional<QrSymbol> symbol = EncodeQr(std::string(FieldText(device->P2pId)));

  QImage label(rect.size(), QImage::Format_RGB32);
  label.fill(kLabelBackground);
  QPainter p(&label);
  QFont font(LabelFontFamily());
  const int pixels = std::max(1, static_cast<int>(std::lround(5.5 * screen_dpi_y / 72.0)));
  font.setPixelSize(pixels * std::max(1, scale.x));
  p.setFont(font);
  p.setPen(Qt::black);
  const QFontMetrics metrics(font, &label);
  const int h = metrics.height() + scale.y;
  // The classic average character width of a CJK face is its half-width cell; the CJK
  // fonts here report the full-width one, which would crowd the QR out of the label.
  const int w = metrics.horizontalAdvance(QLatin1Char('x')) + scale.x;
  const int g = 2 * scale.y;
  const int left = 12 * scale.y;
  int top = 12 * scale.y;

  auto draw_line = [&](const std::string& utf8) {
    const QString text = QString::fromStdString(utf8);
    const QRect box(left, top, static_cast<int>(text.size()) * w, h);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
    ++out.lines;
    top = box.top() + h + g;
    return left + box.width();
  };
  for (const std::string& line : lines.upper)
    draw_line(line);
  out.qr_top = top;
  for (const std::string& line : lines.lower)
    out.text_width = std::max(out.text_width, draw_line(line));

  if (options.show_pictures) {
    int x = left;
    for (const std::string* path : {&options.picture1, &options.picture2}) {
      if (path->empty())
        continue;
      const QImage picture(QString::fromStdString(*path));
      if (picture.isNull() || picture.height() == 0)
        continue;
      const int height = label.height() - top;
      if (height <= 0)
        break;
      const int width =
          static_cast<int>(static_cast<long long>(height) * picture.width() / picture.height());
      p.drawImage(QRect(x, top, width, height), picture);
      x += width + g;
      ++out.pictures;
    }
  }

  if (symbol) {
    const int side = std::min(label.height() - out.qr_top, label.width() - out.text_width);
    if (side > 0) {
      out.qr = QRect(label.width() - side, out.qr_top, side, side);
      p.drawImage(out.qr, QrSymbolImage(*symbol));
    }
  }
  p.end();
  target.drawImage(rect, label);
  if (layout)
    *layout = out;
  return 0;
}

}  // namespace vdz
