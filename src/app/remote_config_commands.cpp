#include "app/remote_config_commands.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstring>

#include "app/camera_still.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "remote_config.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz {

RemoteConfigCommands::RemoteConfigCommands(DeviceListPort& list, Prompter& prompter,
                                           QWidget* parent, SelectedRow selected)
    : list_(list), prompter_(prompter), parent_(parent), selected_(std::move(selected)) {
  screen_ = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 840);
  };
}

RemoteConfigCommands::~RemoteConfigCommands() {
  CloseWindow();
  Detach();
}

void RemoteConfigCommands::Register(CommandTable& table) {
  table.Add(cmd::kMenuRemoteZhCn, [this] { Open("zh-cn"); });
  table.Add(cmd::kMenuRemoteZhTw, [this] { Open("zh-tw"); });
  table.Add(cmd::kMenuRemoteEnglish, [this] { Open("en-us"); });
  table.Add(cmd::kMenuRemoteKorean, [this] { Open("ko-ko"); });
  table.Add(cmd::kMenuRemotePolish, [this] { Open("pl-pl"); });
}

void RemoteConfigCommands::Attach(SdkRuntime* runtime) {
  Detach();
  runtime_ = runtime;
  if (runtime_)
    runtime_->Subscribe(this);
}

void RemoteConfigCommands::Detach() {
  if (runtime_)
    runtime_->Unsubscribe(this);
  runtime_ = nullptr;
}

void RemoteConfigCommands::OnSdkEvent(SdkEventKind kind,
                                      std::shared_ptr<const SdkEventRecord> record) {
  if (kind != SdkEventKind::kAux || !record)
    return;
  const size_t length = strnlen(record->payload, sizeof record->payload);
  const std::string text(record->payload, length);
  CFG_UC_OnAuxResponse(record->handle, record->code, text.c_str());
}

void RemoteConfigCommands::CloseWindow() {
  if (!window_)
    return;
  window_->ReleasePages();
  delete window_.data();
}

void RemoteConfigCommands::Open(const char* language_code) {
  const int position = selected_();
  DeviceRow* row = position >= 0 ? list_.RowAt(position) : nullptr;
  if (row == nullptr)
    return;
  if (row->protocol != kProtocolOurs) {  // another maker's pages are its own web page
    list_.SetStatusText(position, LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
    return;
  }
  const std::string type(FieldText(row->record.DeviceType));
  if (type.find("NVS-") == std::string::npos) {
    char text[512];
    std::snprintf(text, sizeof text, "不支持设备类型为%s的远程配置", AnsiToUtf8(type).c_str());
    prompter_.ShowError(text);
    return;
  }
  // The old window lets go of its pages before the new one asks for its own.
  CloseWindow();
  window_ = new CRemoteCfgDlg(*row, language_code, screen_(), parent_);
  window_->show();
  if (still_sdk_ && still_media_) {
    auto* still = new CameraStill(*still_sdk_, *still_media_, prompter_, window_);
    QPointer<CRemoteCfgDlg> window = window_;
    still->Take(*row, [window](const QImage& picture) {
      if (window)
        CFG_UC_SetPicture(window->handle(), picture.constBits(), picture.width(), picture.height(),
                          static_cast<int>(picture.bytesPerLine()));
    });
  }
}

}  // namespace vdz
