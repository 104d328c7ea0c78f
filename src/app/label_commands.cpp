#include "app/label_commands.h"

#include "app/command_ids.h"
#include "app/command_table.h"

namespace vdz {

LabelCommands::LabelCommands(DeviceListPort& list, QWidget* parent, std::function<int()> selected)
    : list_(list), parent_(parent), selected_(std::move(selected)) {}

LabelCommands::~LabelCommands() {
  delete window_.data();
}

void LabelCommands::Register(CommandTable& table) {
  table.Add(cmd::kPrintLabel, [this] { Open(); });
}

void LabelCommands::Open() {
  const int position = selected_();
  DeviceRow* row = position >= 0 ? list_.RowAt(position) : nullptr;
  if (!window_)
    window_ = new CPrintDlg(parent_);
  // The window works on a copy: the row may go with the next search while it is open.
  window_->SetDevice(row ? &row->record : nullptr);
  window_->show();
  window_->raise();
}

void LabelCommands::HandDevice(const DeviceRecord& device) {
  if (window_)
    window_->SetDevice(&device);
}

}  // namespace vdz
