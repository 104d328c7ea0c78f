// Print label (1297): the label window for the row at the list's selection mark.
#pragma once

#include <QPointer>
#include <functional>

#include "discovery/device_list_port.h"
#include "media/label/print_dlg.h"

namespace vdz {

class CommandTable;

class LabelCommands {
 public:
  LabelCommands(DeviceListPort& list, QWidget* parent, std::function<int()> selected);
  ~LabelCommands();
  void Register(CommandTable& table);
  void Open();
  // An open label window takes the device the operator pointed at; none is opened for it.
  void HandDevice(const DeviceRecord& device);
  CPrintDlg* window() const { return window_; }

 private:
  DeviceListPort& list_;
  QWidget* parent_;
  std::function<int()> selected_;
  QPointer<CPrintDlg> window_;
};

}  // namespace vdz
