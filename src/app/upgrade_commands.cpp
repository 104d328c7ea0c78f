#include "app/upgrade_commands.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTimer>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "devops/config_transfer.h"

namespace vdz {

namespace {

// "File(*.bin)|*.bin|All Files(*.*)|*.*||" as a Qt filter: "File(*.bin);;All Files(*.*)".
QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
  QStringList names;
  for (int i = 0; i < parts.size(); i += 2)
    names << parts[i];
  return names.join(QStringLiteral(";;"));
}

}  // namespace

UpgradeCommands::UpgradeCommands(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                                 Prompter& prompter, UpgradeCommandWidgets widgets)
    : jobs_(jobs),
      sdk_(sdk),
      list_(list),
      prompter_(prompter),
      w_(widgets),
      engine_(sdk, list, prompter,
              [timer = widgets.watch_timer](bool active) {
                if (timer == nullptr)
                  return;
                if (active) {
                  timer->start(1000);
                } else {
                  timer->stop();
                }
              }),
      export_folder_(ConfigExportFolder()) {}

QString UpgradeCommands::Choose(const QString& extension, const QString& filter) {
  if (chooser_)
    return chooser_(extension, filter);
  return QFileDialog::getOpenFileName(w_.parent, QString(), QString(), QtFilter(filter));
}

void UpgradeCommands::Export() {
  const int job = ExportConfigOfChecked(jobs_, sdk_, list_, prompter_, export_folder_);
  // The exports are not beside the program: say where they are.
  if (job != 0 && w_.status_line != nullptr)
    w_.status_line->setText(QString::fromStdString(export_folder_));
}

void UpgradeCommands::Register(CommandTable& t) {
  t.Add(cmd::kUpgradeFromFile,
        [this] { engine_.UpgradeFromFile(w_.firmware_file->text().toStdString()); });
  t.Add(cmd::kUpgradeFromFolder,
        [this] { engine_.UpgradeFromFolder(w_.firmware_folder->text().toStdString()); });
  t.Add(cmd::kBrowseFirmwareFile, [this] {
    const QString path =
        Choose(QStringLiteral("*.bin"), QStringLiteral("File(*.bin)|*.bin|All Files(*.*)|*.*||"));
    if (!path.isEmpty())
      w_.firmware_file->setText(path);
  });
  t.Add(cmd::kBrowseConfigFile, [this] {
    const QString path =
        Choose(QStringLiteral("*.xml"), QStringLiteral("File(*.xml)|*.xml|All Files(*.*)|*.*||"));
    if (!path.isEmpty())
      w_.config_file->setText(path);
  });
  t.Add(cmd::kConfigDownload, [this] { Export(); });
  t.Add(cmd::kUploadConfig, [this] {
    ImportConfigToChecked(jobs_, sdk_, list_, prompter_, w_.config_file->text().toStdString());
  });
  t.Add(cmd::kConfigRestore, [this] { FactoryRestoreChecked(jobs_, sdk_, list_, prompter_); });
  t.Add(cmd::kDanaleImport, [this] {
    const QString path =
        Choose(QStringLiteral("*.conf"),
               QStringLiteral("DANALE CONFIG Files(*.conf)|*.conf|All Files(*.*)|*.*||"));
    if (path.isEmpty())
      return;
    DanaleImport(sdk_, list_, prompter_, path.toStdString());
  });
  if (w_.watch_timer != nullptr) {
    QObject::connect(w_.watch_timer, &QTimer::timeout, w_.parent,
                     [this] { engine_.OnWatchTick(); });
  }
}

}  // namespace vdz
