#include "app/qr_web_commands.h"

#include <QImage>
#include <QPixmap>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "shell/bounded_text.h"

namespace vdz {

QImage QrImage(const QrBitmap& bitmap) {
  QImage image(bitmap.side, bitmap.side, QImage::Format_RGB32);
  for (int y = 0; y < bitmap.side; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.side; ++x)
      line[x] = bitmap.Dark(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
  }
  return image;
}

QrWebCommands::QrWebCommands(DeviceListPort& list, Prompter& prompter, QLabel* panel,
                             std::function<int()> selected_row)
    : list_(list),
      prompter_(prompter),
      panel_(panel),
      selected_row_(std::move(selected_row)),
      opener_(DesktopUrlOpener()) {}

void QrWebCommands::ShowText(const std::string& text) {
  if (text.empty())
    return;
  QrBitmap bitmap;
  present_ = EncodeQrBitmap(text, &bitmap);
  if (!present_) {
    panel_->clear();
    return;
  }
  bitmap_ = std::move(bitmap);
  // Stretched over the whole panel with hard module edges: a smoothed symbol reads badly.
  const QSize area = panel_->contentsRect().size();
  panel_->setPixmap(QPixmap::fromImage(
      QrImage(bitmap_).scaled(area, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

void QrWebCommands::OpenWebPage() {
  const int position = selected_row_();
  const DeviceRow* row = position >= 0 ? list_.RowAt(position) : nullptr;
  if (row == nullptr)
    return;
  // Another maker's camera serves its page where its device service is; port 443 is its
  // https service.
  const bool https = row->protocol != kProtocolOurs && row->record.Stream.WEBPort == 443;
  const QString address =
      QStringLiteral("%1://%2:%3")
          .arg(https ? QStringLiteral("https") : QStringLiteral("http"))
          .arg(QString::fromLatin1(FieldText(row->record.Lan.IPAddress).data(),
                                   static_cast<int>(FieldText(row->record.Lan.IPAddress).size())))
          .arg(row->record.Stream.WEBPort);
  // Without a browser the address itself is what the operator needs.
  if (!opener_(QUrl(address)))
    prompter_.ShowMessage(address.toStdString());
}

void QrWebCommands::Register(CommandTable& t) {
  t.Add(cmd::kListRowClick, [this] {
    const int position = selected_row_();
    const DeviceRow* row = position >= 0 ? list_.RowAt(position) : nullptr;
    if (row == nullptr)
      return;
    ShowText(std::string(FieldText(row->record.P2pId)));
    if (pointed_)
      pointed_(row->record);
  });
  t.Add(cmd::kMenuOpenWeb, [this] { OpenWebPage(); });
}

}  // namespace vdz
