// What the window does with the device the operator points at: its P2P identifier as a QR
// symbol on the panel (a click in the list) and its web page (menu 32777).
#pragma once

#include <QLabel>
#include <functional>

#include "app/snapshot_commands.h"
#include "devops/qr_symbol.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

class CommandTable;

class QrWebCommands {
 public:
  QrWebCommands(DeviceListPort& list, Prompter& prompter, QLabel* panel,
                std::function<int()> selected_row);

  void Register(CommandTable& table);
  // Empty text leaves the panel as it is.
  void ShowText(const std::string& text);
  void SetOpener(UrlOpener opener) { opener_ = std::move(opener); }
  // Told the device of every clicked row after the panel shows it (the label window).
  void SetPointedListener(std::function<void(const DeviceRecord&)> listener) {
    pointed_ = std::move(listener);
  }

  bool present() const { return present_; }
  const QrBitmap& bitmap() const { return bitmap_; }

 private:
  void OpenWebPage();

  DeviceListPort& list_;
  Prompter& prompter_;
  QLabel* panel_;
  std::function<int()> selected_row_;
  UrlOpener opener_;
  std::function<void(const DeviceRecord&)> pointed_;
  bool present_ = false;
  QrBitmap bitmap_;
};

// The bitmap as an image, one pixel per module.
QImage QrImage(const QrBitmap& bitmap);

}  // namespace vdz
