// The host window of a device's remote configuration pages.
#pragma once

#include <QRect>
#include <QWidget>
#include <string>

#include "discovery/device_row.h"

namespace vdz {

class CRemoteCfgDlg : public QWidget {
 public:
  // screen: the available screen area the window is fitted into and centred on.
  CRemoteCfgDlg(const DeviceRow& row, std::string language_code, const QRect& screen,
                QWidget* parent);
  ~CRemoteCfgDlg() override;

  int handle() const { return handle_; }
  const std::string& language_code() const { return language_code_; }
  // Hides and releases the pages; safe to call twice.
  void ReleasePages();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  DeviceRow row_;
  std::string language_code_;
  int handle_ = 0;
};

}  // namespace vdz
