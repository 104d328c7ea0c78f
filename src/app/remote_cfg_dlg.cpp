#include "app/remote_cfg_dlg.h"

#include <QCloseEvent>
#include <algorithm>

#include "remote_config.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz {

CRemoteCfgDlg::CRemoteCfgDlg(const DeviceRow& row, std::string language_code, const QRect& screen,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), row_(row), language_code_(std::move(language_code)) {
  setObjectName(QStringLiteral("CRemoteCfgDlg"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QString::fromStdString(LookupText(keys::TEXT37)));
  const int width = std::min(800, screen.width());
  const int height = std::min(840, screen.height());
  setGeometry(screen.x() + (screen.width() - width) / 2,
              screen.y() + (screen.height() - height) / 2, width, height);
  const DeviceRecord& r = row_.record;
  const UserAccount& account = r.Users.Accounts[0];
  const std::string ip(FieldText(r.Lan.IPAddress));
  handle_ =
      CFG_UC_Init(ip.c_str(), static_cast<unsigned short>(r.Stream.PTZPort),
                  std::string(FieldText(account.Username)).c_str(),
                  std::string(FieldText(account.Password)).c_str(), language_code_.c_str(), this);
  DiagLog("CRemoteCfgDlg: CFG_UC_Init %s lang=%s ret=%d\n", ip.c_str(), language_code_.c_str(),
          handle_);
  const QRect client = rect();
  CFG_UC_ShowModelessDlg(handle_, client.left(), client.top(), client.right() + 1,
                         client.bottom() + 1);
}

CRemoteCfgDlg::~CRemoteCfgDlg() {
  ReleasePages();
}

void CRemoteCfgDlg::ReleasePages() {
  if (handle_ <= 0)
    return;
  CFG_UC_ShowModelessDlg(handle_, 0, 0, 0, 0);
  CFG_UC_UnInit(handle_);
  handle_ = 0;
}

void CRemoteCfgDlg::closeEvent(QCloseEvent* event) {
  ReleasePages();
  event->accept();
}

}  // namespace vdz
