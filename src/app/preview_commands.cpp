#include "app/preview_commands.h"

#include <QCheckBox>
#include <QCursor>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cstring>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "ui/report_colour.h"
#include "ui/report_ctrl.h"
#include "ui/wnd_ctrl.h"
#include "ui/wnd_manager.h"

namespace vdz {

namespace {

constexpr ColorRef kPreviewRowColour = 0x0000FF;  // red, as 0x00BBGGRR

void LogRtsp(const char* line) {
  DiagLog("%s\n", line);
}

Qt::CursorShape CursorOf(PtzPointer pointer) {
  switch (pointer) {
    case PtzPointer::kLeft:
    case PtzPointer::kRight:
      return Qt::SizeHorCursor;
    case PtzPointer::kUp:
    case PtzPointer::kDown:
      return Qt::SizeVerCursor;
    case PtzPointer::kLeftUp:
    case PtzPointer::kRightDown:
      return Qt::SizeFDiagCursor;
    case PtzPointer::kRightUp:
    case PtzPointer::kLeftDown:
      return Qt::SizeBDiagCursor;
    case PtzPointer::kZoom:
      return Qt::CrossCursor;
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

PreviewCommands::PreviewCommands(DeviceSdk& sdk, DeviceListPort& rows, Prompter& prompter,
                                 PreviewWidgets widgets)
    : sdk_(sdk),
      rows_(rows),
      w_(widgets),
      steering_(
          PtzSteering::Hooks{[this](int command, int pan, int tilt) {
                               const int handle = controller_->SdkHandle();
                               if (handle > 0)
                                 sdk_.PTZControl(handle, command, pan, tilt);
                             },
                             [this](PtzPointer pointer) { w_.grid->setCursor(CursorOf(pointer)); },
                             [this](int ms, std::function<void()> work) {
                               QTimer::singleShot(ms, this, std::move(work));
                             }}) {
  controller_ = std::make_unique<PreviewController>(
      sdk, prompter,
      PreviewController::Hooks{
          [this](int cell) { return w_.grid->GetPort(cell); },
          [this](int cell, const std::string& label) {
            w_.grid->SetLabel(cell, QString::fromStdString(label));
          },
          [this] { return w_.sound->isChecked(); },
          [this](const DeviceRow& row, bool previewed) { MarkRow(row, previewed); },
          [this](const DeviceRow& row, int stream) {
            return stream_address_ ? stream_address_(row, stream) : StreamAddress{};
          }});
  for (int i = 0; i < CWndManager::kMaxCells; ++i) {
    if (CWndCtrl* cell = w_.grid->Cell(i)) {
      cell->RenderSurface()->setMouseTracking(true);
      cell->RenderSurface()->installEventFilter(this);
    }
  }
  connect(w_.grid, &CWndManager::CellDoubleClicked, this, [this] { ToggleFullScreen(); });
}

PreviewCommands::~PreviewCommands() {
  ShutDown();
}

std::unique_ptr<MediaRuntime> PreviewCommands::StartLibrary() {
  return MediaRuntime::Start(LogRtsp);
}

void PreviewCommands::ShutDown() {
  if (shut_down_)
    return;
  shut_down_ = true;
  controller_->StopPreview();
}

int PreviewCommands::StreamNumberForWindow() const {
  return w_.grid->IsFullScreen() ? 0 : 1;
}

int PreviewCommands::StartRow(int position) {
  const DeviceRow* row = position >= 0 ? rows_.RowAt(position) : nullptr;
  const int rc = controller_->StartPreview(row, StreamNumberForWindow(), w_.grid->GetFreeCell());
  steering_.SetActive(controller_->Steerable());
  return rc;
}

void PreviewCommands::Register(CommandTable& t) {
  auto selected = [this] { return w_.list->GetFirstSelectedItem(); };
  t.Add(cmd::kListRowDoubleClick, [this, selected] {
    const int position = selected();
    if (position >= 0)
      StartRow(position);
  });
  t.Add(cmd::kMenuStartPreview, [this, selected] {
    const int position = selected();
    if (position >= 0 && !Playing())
      StartRow(position);
  });
  t.Add(cmd::kMenuStopPreview, [this] { controller_->StopPreview(); });
  t.Add(cmd::kMenuPreviewSound, [this] {
    w_.sound->setChecked(!controller_->State().sound_wanted);
    controller_->ApplySound();
  });
  t.Add(cmd::kPreviewSound, [this] {
    w_.sound->toggle();
    controller_->ApplySound();
  });
  // The box keeps its own state; full screen reads it when it switches.
  t.Add(cmd::kSwitchStream, [this] { w_.switch_stream->toggle(); });
  connect(w_.sound, &QCheckBox::clicked, this, [this] { controller_->ApplySound(); });
}

void PreviewCommands::OnVersionKnown(int position, DeviceRow& row) {
  if (Playing()) {
    controller_->AdoptLogin(row);
    steering_.SetActive(controller_->Steerable());
    return;
  }
  if (std::strstr(row.record.DeviceType, "NVS-") == nullptr)
    return;
  StartRow(position);
}

void PreviewCommands::ToggleFullScreen() {
  const bool reopen = w_.switch_stream->isChecked();
  if (!w_.grid->IsFullScreen()) {
    if (reopen)
      controller_->Reopen(0);
    w_.grid->EnterFullScreen();
  } else {
    if (reopen)
      controller_->Reopen(1);
    w_.grid->LeaveFullScreen();
  }
}

void PreviewCommands::MarkRow(const DeviceRow& row, bool previewed) {
  // The preview keeps a copy of the row: find the listed one by its serial number.
  int position = previewed ? -1 : marked_position_;
  for (int p = 0; previewed && p < rows_.RowCount(); ++p) {
    const DeviceRow* listed = rows_.RowAt(p);
    if (listed != nullptr && std::strncmp(listed->record.SerialNumber, row.record.SerialNumber,
                                          sizeof row.record.SerialNumber) == 0) {
      position = p;
      break;
    }
  }
  if (position >= 0 && position < w_.list->GetItemCount()) {
    for (int c = 0; c < w_.list->GetColumnCount(); ++c)
      w_.list->SetItemBkColor(position, c, previewed ? kPreviewRowColour : kColorDefault);
  }
  marked_position_ = previewed ? position : -1;
}

bool PreviewCommands::eventFilter(QObject* watched, QEvent* event) {
  auto* surface = qobject_cast<QWidget*>(watched);
  if (surface == nullptr || !steering_.Active())
    return false;
  const QRect area = w_.grid->rect();
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton)
        break;
      const QPoint p = surface->mapTo(w_.grid, e->position().toPoint());
      steering_.Press(p.x(), p.y(), area.width(), area.height(), area.contains(p));
      break;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      const QPoint p = surface->mapTo(w_.grid, e->position().toPoint());
      steering_.Move(p.x(), p.y(), area.width(), area.height());
      break;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        steering_.Release();
      break;
    case QEvent::Wheel:
      steering_.Wheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
      break;
    default:
      break;
  }
  return false;
}

}  // namespace vdz
