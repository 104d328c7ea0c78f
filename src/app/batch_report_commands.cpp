#include "app/batch_report_commands.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QStandardPaths>
#include <fstream>

#include "app/command_ids.h"
#include "devops/firmware_upgrade.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

struct BatchCommand {
  int id;
  const char* key;
  const char* detail_key = nullptr;  // the menu entry under the button, when it has one
  const char* detail = nullptr;      // or its literal text
};

// The commands that walk the checked rows, named as their buttons and menu entries are. The
// upgrades are not here: they end with device events, long after their command returns.
constexpr BatchCommand kBatchCommands[] = {
    {cmd::kRestoreChecked, keys::BTNTEXT1},
    {cmd::kConfigRestore, keys::BTNTEXT1},
    {cmd::kRebootChecked, keys::BTNTEXT6},
    {cmd::kConfigDownload, keys::BTNTEXT5},
    {cmd::kUploadConfig, keys::BTNTEXT15},
    {cmd::kMenuAssignFree, keys::ID_BATCH_IP, keys::BTNTEXT2},
    {cmd::kMenuAssignConsecutive, keys::ID_BATCH_IP, keys::BTNTEXT3},
    {cmd::kBatchTitle, keys::BTNTEXT8},
    {cmd::kBatchPassword, keys::BTNTEXT9},
    {cmd::kBatchPlatform, keys::BTNTEXT4},
    {cmd::kBatchImage, keys::BATCHIMAGEPARAM},
    {cmd::kBatchMotion, keys::BTNTEXT12},
    {cmd::kBatchMaintenance, keys::ID_BATCH_MAINTANCE},
    {cmd::kBatchSnapshot, keys::BATCHSNAP},
    {cmd::kBatchTerminal, keys::BATCH_TERMINAL_SET},
    {cmd::kRestartTerminalService, keys::BATCH_REBOOT_SERVICE},
    {cmd::kMenuLanguageEnglish, keys::BTNTEXT10, keys::IDS_STR_ZH_CN_LAN_EN},
    {cmd::kMenuLanguageSimplified, keys::BTNTEXT10, keys::IDS_STR_ZH_CN_LAN_CN},
    {cmd::kMenuLanguageTraditional, keys::BTNTEXT10, keys::IDS_STR_ZH_CN_LAN_TW},
    {cmd::kMenuScanBadPixels, keys::BATCH_SET_CCD, keys::BATCH_SCAN_BADCCD},
    {cmd::kMenuSaveBadPixels, keys::BATCH_SET_CCD, keys::BATCH_SAVE_BADCCD},
    {cmd::kMenuOutputLow, keys::ID_BATCH_IO_OUTPUT, nullptr, "0"},
    {cmd::kMenuOutputHigh, keys::ID_BATCH_IO_OUTPUT, nullptr, "1"},
    {cmd::kMenuEncodeH264, keys::ID_BATCH_SET_VIDEOTYPE, nullptr, "H264"},
    {cmd::kMenuEncodeH265, keys::ID_BATCH_SET_VIDEOTYPE, nullptr, "H265"},
    {cmd::kMenuEncodeDetails, keys::ID_BATCH_SET_VIDEO, keys::ID_BATCH_SET_VIDEOENCODE},
    {cmd::kMenuSyncTime, keys::BTNTEXT7, keys::ID_BATCH_SYNC_TIME},
    {cmd::kMenuConfigTime, keys::BTNTEXT7, keys::ID_BATCH_CONFIG_TIME},
};

const BatchCommand* FindBatchCommand(int id) {
  for (const BatchCommand& command : kBatchCommands) {
    if (command.id == id)
      return &command;
  }
  return nullptr;
}

std::string CommandName(const BatchCommand& command) {
  std::string name = LookupText(command.key);
  if (command.detail_key != nullptr)
    name += ": " + LookupText(command.detail_key);
  else if (command.detail != nullptr)
    name += ": " + std::string(command.detail);
  return name;
}

}  // namespace

BatchReportCommands::BatchReportCommands(DeviceJobRunner& jobs, DeviceListPort& list,
                                         Prompter& prompter, QWidget* parent, QLabel* status_line)
    : jobs_(jobs), list_(list), prompter_(prompter), parent_(parent), status_line_(status_line) {
  list_.SetBatchObserver(&log_);
  jobs_.AddObserver(this);
}

BatchReportCommands::~BatchReportCommands() {
  jobs_.RemoveObserver(this);
  list_.SetBatchObserver(nullptr);
}

void BatchReportCommands::JobStarted(int job, const std::string&, int) {
  auto command = open_.find(current_);
  if (command == open_.end())
    return;
  job_batch_[job] = current_;
  ++command->second.jobs;
}

void BatchReportCommands::JobFinishing(int job) {
  auto it = job_batch_.find(job);
  if (it == job_batch_.end())
    return;
  // The job's handler belongs to its command: what it starts or reports goes to its batch.
  current_ = it->second;
  log_.Attach(current_);
}

void BatchReportCommands::JobFinished(int job, const JobEnd&) {
  auto it = job_batch_.find(job);
  if (it == job_batch_.end())
    return;
  const int batch = it->second;
  job_batch_.erase(it);
  current_ = 0;
  log_.Detach(batch);
  --open_[batch].jobs;
  EndIfDone(batch);
}

void BatchReportCommands::EndIfDone(int batch) {
  auto it = open_.find(batch);
  if (it == open_.end() || !it->second.ran || it->second.jobs > 0)
    return;
  const OpenCommand command = it->second;
  open_.erase(it);
  Show(command.name, log_.End(batch), command.own);
}

void BatchReportCommands::Register(CommandTable& table) {
  table.Add(cmd::kSaveBatchReport, [this] { Save(); });
  table.SetAround([this](int id, const CommandTable::Handler& handler) { Around(id, handler); });
}

void BatchReportCommands::Attach(UpgradeEngine& engine) {
  // A summary comes only with a kept report: the upgrade's is the newest.
  engine.SetReport(&log_, [this](const std::string& summary) {
    Show(log_.Reports().empty() ? std::string() : log_.Reports().back().command, summary);
  });
}

void BatchReportCommands::Around(int id, const CommandTable::Handler& handler) {
  const BatchCommand* command = FindBatchCommand(id);
  if (command == nullptr) {
    handler();
    return;
  }
  const std::string name = CommandName(*command);
  const QString before = status_line_ != nullptr ? status_line_->text() : QString();
  const int batch = log_.Begin(name);
  open_[batch].name = name;
  current_ = batch;
  handler();
  current_ = 0;
  log_.Detach(batch);
  OpenCommand& open = open_[batch];
  open.ran = true;
  // A command that said something there itself (where the exports went) keeps it in front.
  if (status_line_ != nullptr && status_line_->text() != before)
    open.own = status_line_->text();
  EndIfDone(batch);
}

void BatchReportCommands::Show(const std::string& command, const std::string& summary,
                               const QString& own) {
  // Refused, declined or cancelled commands touched no device: nothing to sum up.
  if (summary.empty())
    return;
  last_summary_ = summary;
  DiagLog("batch %s: %s\n", command.c_str(), summary.c_str());
  if (status_line_ == nullptr)
    return;
  const QString line = QString::fromStdString(summary);
  status_line_->setText(own.isEmpty() ? line : own + QStringLiteral("   ") + line);
}

void BatchReportCommands::Save() {
  if (log_.Reports().empty()) {
    prompter_.ShowInfo(LookupText(keys::BATCH_REPORT_EMPTY));
    return;
  }
  const QString suggested =
      QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
          .filePath(
              QStringLiteral("batch_report_%1.csv")
                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))));
  const QString path =
      chooser_ ? chooser_(suggested)
               : QFileDialog::getSaveFileName(
                     parent_, QString::fromStdString(LookupText(keys::SAVE_BATCH_REPORT)),
                     suggested, QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty())
    return;
  const std::string file = path.toStdString();
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  const std::string csv = log_.Csv();
  out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
  out.close();
  if (!out) {
    DiagLog("batch report: cannot write %s\n", file.c_str());
    prompter_.ShowError(LookupText(keys::BATCH_REPORT_SAVE_FAILED) + " " + file);
  }
}

}  // namespace vdz
