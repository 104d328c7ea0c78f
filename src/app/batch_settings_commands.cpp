#include "app/batch_settings_commands.h"

#include <QMenu>
#include <QPushButton>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "devconfig/dialogs/dialog_image_param.h"
#include "devconfig/dialogs/dialog_ipvs_setting.h"
#include "devconfig/dialogs/dialog_maintenance.h"
#include "devconfig/dialogs/dialog_media_code.h"
#include "devconfig/dialogs/dialog_motion_alarm.h"
#include "devconfig/dialogs/dialog_pwd.h"
#include "devconfig/dialogs/dialog_time_setting.h"
#include "devconfig/dialogs/dialog_title_setting.h"
#include "devconfig/request_bodies.h"
#include "devconfig/settings_documents.h"
#include "devops/batch_settings.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

}  // namespace

BatchSettingsCommands::BatchSettingsCommands(DeviceJobRunner& jobs, DeviceSdk& sdk,
                                             DeviceListPort& list, Prompter& prompter,
                                             QWidget* parent,
                                             std::function<QPushButton*(int)> button)
    : jobs_(jobs),
      sdk_(sdk),
      list_(list),
      prompter_(prompter),
      parent_(parent),
      button_(std::move(button)) {}

void BatchSettingsCommands::Run(QDialog& dialog) {
  if (dialog_runner_) {
    dialog_runner_(dialog);
    return;
  }
  dialog.exec();
}

bool BatchSettingsCommands::Checked() {
  return CountCheckedRows(list_, prompter_) >= 1;
}

bool BatchSettingsCommands::Confirmed(const char* key) {
  return prompter_.AskYesNo(LookupText(key), ConfirmationCaption());
}

std::unique_ptr<QMenu> BatchSettingsCommands::BuildMenu(int button_id) {
  auto menu = std::make_unique<QMenu>(parent_);
  auto add = [this](QMenu* m, int id, const QString& text) {
    QAction* action = m->addAction(text);
    action->setData(id);
    QObject::connect(action, &QAction::triggered, parent_, [this, id] {
      if (table_ != nullptr)
        table_->Dispatch(id);
    });
  };
  switch (button_id) {
    case cmd::kBatchLanguage:
      add(menu.get(), cmd::kMenuLanguageEnglish, Text(keys::IDS_STR_ZH_CN_LAN_EN));
      add(menu.get(), cmd::kMenuLanguageSimplified, Text(keys::IDS_STR_ZH_CN_LAN_CN));
      add(menu.get(), cmd::kMenuLanguageTraditional, Text(keys::IDS_STR_ZH_CN_LAN_TW));
      break;
    case cmd::kBatchCcd:
      add(menu.get(), cmd::kMenuScanBadPixels, Text(keys::BATCH_SCAN_BADCCD));
      add(menu.get(), cmd::kMenuSaveBadPixels, Text(keys::BATCH_SAVE_BADCCD));
      break;
    case cmd::kBatchIoOutput:
      add(menu.get(), cmd::kMenuOutputLow, QStringLiteral("0"));
      add(menu.get(), cmd::kMenuOutputHigh, QStringLiteral("1"));
      break;
    case cmd::kBatchVideo: {
      QMenu* type = menu->addMenu(Text(keys::ID_BATCH_SET_VIDEOTYPE));
      add(type, cmd::kMenuEncodeH264, QStringLiteral("H264"));
      add(type, cmd::kMenuEncodeH265, QStringLiteral("H265"));
      add(menu.get(), cmd::kMenuEncodeDetails, Text(keys::ID_BATCH_SET_VIDEOENCODE));
      break;
    }
    case cmd::kBatchTime:
      add(menu.get(), cmd::kMenuSyncTime, Text(keys::ID_BATCH_SYNC_TIME));
      add(menu.get(), cmd::kMenuConfigTime, Text(keys::ID_BATCH_CONFIG_TIME));
      break;
    default:
      return nullptr;
  }
  return menu;
}

void BatchSettingsCommands::ShowMenuAtButton(int button_id) {
  std::unique_ptr<QMenu> menu = BuildMenu(button_id);
  if (!menu)
    return;
  QPushButton* button = button_ ? button_(button_id) : nullptr;
  const QPoint at =
      button != nullptr ? button->mapToGlobal(QPoint(0, button->height())) : QPoint(0, 0);
  if (menu_runner_) {
    menu_runner_(*menu, at);
    return;
  }
  menu->exec(at);
}

void BatchSettingsCommands::Title() {
  if (!Checked())
    return;
  CDialogTitleSetting dialog(parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SetTitleOnChecked(jobs_, sdk_, list_, dialog.values);
}

void BatchSettingsCommands::Password() {
  if (!Checked())
    return;
  CDialogPwd dialog(parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  if (dialog.Password != dialog.Confirmation) {
    prompter_.ShowError(LookupText(keys::MSGTIP51));
    return;
  }
  SetPasswordOnChecked(jobs_, sdk_, list_, dialog.Password, onvif_ ? &*onvif_ : nullptr);
}

void BatchSettingsCommands::Platform() {
  if (!Checked())
    return;
  CDlgIpvsSetting dialog(prompter_, parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SetPlatformOnChecked(jobs_, sdk_, list_, dialog.values);
}

void BatchSettingsCommands::EncodingDetails() {
  if (!Checked())
    return;
  CMediaCode dialog(prompter_, parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SendSettingToChecked(jobs_, sdk_, list_, settings::kEncoding, dialog.document);
}

void BatchSettingsCommands::Image() {
  if (!Checked())
    return;
  CImageParamDialog dialog(prompter_, parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SendSettingToChecked(jobs_, sdk_, list_, settings::kImage, dialog.request);
}

void BatchSettingsCommands::Motion() {
  if (!Checked())
    return;
  CMdAlarmDialog dialog(prompter_, parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SetMotionOnChecked(jobs_, sdk_, list_, dialog.values);
}

void BatchSettingsCommands::Maintenance() {
  if (!Checked())
    return;
  CSYSRMDlg dialog(parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SendSettingToChecked(jobs_, sdk_, list_, settings::kMaintenance, dialog.document);
}

void BatchSettingsCommands::TimeConfig() {
  if (!Checked())
    return;
  CSYSTimeSet dialog(prompter_, parent_);
  Run(dialog);
  if (dialog.cancelled)
    return;
  SetTimeConfigOnChecked(jobs_, sdk_, list_, dialog.values, onvif_ ? &*onvif_ : nullptr);
}

void BatchSettingsCommands::Register(CommandTable& t) {
  table_ = &t;
  for (int id : {cmd::kBatchLanguage, cmd::kBatchCcd, cmd::kBatchIoOutput, cmd::kBatchVideo,
                 cmd::kBatchTime})
    t.Add(id, [this, id] { ShowMenuAtButton(id); });
  t.Add(cmd::kBatchTitle, [this] { Title(); });
  t.Add(cmd::kBatchPassword, [this] { Password(); });
  t.Add(cmd::kBatchPlatform, [this] { Platform(); });
  t.Add(cmd::kBatchImage, [this] { Image(); });
  t.Add(cmd::kBatchMotion, [this] { Motion(); });
  t.Add(cmd::kBatchMaintenance, [this] { Maintenance(); });
  t.Add(cmd::kMenuEncodeDetails, [this] { EncodingDetails(); });
  t.Add(cmd::kMenuConfigTime, [this] { TimeConfig(); });
  t.Add(cmd::kMenuSyncTime, [this] {
    SyncTimeOnChecked(jobs_, sdk_, list_, prompter_, {}, CurrentLocalTime,
                      onvif_ ? &*onvif_ : nullptr);
  });
  for (auto [id, language] : {std::pair{cmd::kMenuLanguageEnglish, "en_us"},
                              std::pair{cmd::kMenuLanguageSimplified, "zh_cn"},
                              std::pair{cmd::kMenuLanguageTraditional, "zh_tw"}}) {
    t.Add(id, [this, language = language] {
      if (!Checked() || !Confirmed(keys::MSG_BATCH_SET_LANGUAGE))
        return;
      SendSettingToChecked(jobs_, sdk_, list_, settings::kLanguage,
                           BuildDeviceLanguageDocument(language));
    });
  }
  for (auto [id, format] :
       {std::pair{cmd::kMenuEncodeH264, "H264"}, std::pair{cmd::kMenuEncodeH265, "H265"}}) {
    t.Add(id, [this, format = format] {
      if (!Checked() || !Confirmed(keys::ID_BATCH_SET_VIDEOTYPE_TIPS))
        return;
      SendSettingToChecked(jobs_, sdk_, list_, settings::kEncoding,
                           BuildEncodingTypeDocument(format));
    });
  }
  for (auto [id, preset] : {std::pair{cmd::kMenuScanBadPixels, kPresetScanBadPixels},
                            std::pair{cmd::kMenuSaveBadPixels, kPresetSaveBadPixels}}) {
    t.Add(id, [this, preset = preset] {
      if (Checked())
        BadPixelPresetOnChecked(jobs_, sdk_, list_, prompter_, preset);
    });
  }
  for (auto [id, value] : {std::pair{cmd::kMenuOutputLow, 0}, std::pair{cmd::kMenuOutputHigh, 1}}) {
    t.Add(id, [this, value = value] {
      if (Checked())
        SendSettingToChecked(jobs_, sdk_, list_, settings::kOutputPort,
                             BuildOutputPortRequest(value));
    });
  }
}

}  // namespace vdz
