#include "app/snapshot_commands.h"

#include <QDesktopServices>
#include <QTimer>

#include "app/command_ids.h"
#include "app/command_table.h"

namespace vdz {

UrlOpener DesktopUrlOpener() {
  return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

SnapshotCommands::SnapshotCommands(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                                   Prompter& prompter, QTimer* watch_timer,
                                   std::function<int()> selected_row)
    : jobs_(jobs),
      sdk_(sdk),
      list_(list),
      prompter_(prompter),
      selected_row_(std::move(selected_row)),
      capture_(std::make_unique<SnapshotCapture>(jobs, sdk, list, prompter)),
      opener_(DesktopUrlOpener()) {
  if (watch_timer != nullptr) {
    QObject::connect(watch_timer, &QTimer::timeout, watch_timer,
                     [this] { capture_->OnWatchTick(); });
  }
}

void SnapshotCommands::SetFolder(std::string folder) {
  capture_ = std::make_unique<SnapshotCapture>(jobs_, sdk_, list_, prompter_, std::move(folder));
  capture_->SetOnvifActions(onvif_);
}

void SnapshotCommands::SetOnvifActions(std::optional<OnvifActions> actions) {
  onvif_ = std::move(actions);
  capture_->SetOnvifActions(onvif_);
}

void SnapshotCommands::OpenFolder() {
  capture_->EnsureFolder();
  const QString path = QString::fromStdString(capture_->folder());
  // Without a file browser the path itself is what the operator needs.
  if (!opener_(QUrl::fromLocalFile(path)))
    prompter_.ShowMessage(path.toStdString());
}

void SnapshotCommands::Register(CommandTable& t) {
  t.Add(cmd::kBatchSnapshot, [this] { capture_->RequestChecked(); });
  t.Add(cmd::kMenuSnapshot, [this] {
    const int position = selected_row_();
    if (position >= 0)
      capture_->RequestRow(position);
  });
  t.Add(cmd::kMenuOpenSnapshotFolder, [this] { OpenFolder(); });
}

}  // namespace vdz
