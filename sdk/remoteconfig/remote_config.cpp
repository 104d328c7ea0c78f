#include "remote_config.h"

#include <tinyxml2.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "aux_waiter.h"
#include "config_page.h"
#include "document_values.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz::remoteconfig {
namespace {

constexpr auto kAnswerLimit = std::chrono::milliseconds(3000);

struct PageInfo {
  const char* key;
  int command;  // 0: the connection itself, nothing to read
};

constexpr PageInfo kPages[] = {
    {"RC_PAGE_NETWORK", 0},
    {"RC_PAGE_TIME", proto::kCfgTime},
    {"RC_PAGE_OSD", proto::kCfgTitleOverlay},
    {"RC_PAGE_ENCODE", proto::kCfgEncoding},
    {"RC_PAGE_IMAGE", proto::kCfgVideoCapture},
    {"RC_PAGE_MOTION", proto::kCfgMotionDetection},
    {"RC_PAGE_MAINTAIN", proto::kCfgMaintenance},
    {"RC_PAGE_USERS", proto::kCfgPassword},
    {"RC_PAGE_PLATFORM", proto::kCfgPlatform},
};

// The device's identity rows of the network page: attribute of its information, label key.
constexpr std::pair<const char*, const char*> kIdentityRows[] = {
    {"DeviceType", "MODEL"}, {"SerialNumber", "SN"}, {"FileSystemVersion", "VERSIONNUMBER"}};

// The pages speak the language they were opened in, whatever the host's own is.
std::map<std::string, std::string> LoadTexts(const std::string& code) {
  std::map<std::string, std::string> texts;
  const QString index = QString::fromStdString(LanguageTable::Instance().IndexFilePath());
  const std::string folder =
      index.isEmpty() ? std::string(".") : QFileInfo(index).path().toStdString();
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile((folder + "/" + code + ".xml").c_str()) != tinyxml2::XML_SUCCESS &&
      doc.LoadFile((folder + "/en-us.xml").c_str()) != tinyxml2::XML_SUCCESS)
    return texts;
  const auto* root = doc.RootElement();
  const auto* resources = root ? root->FirstChildElement("Resources") : nullptr;
  for (auto* e = resources ? resources->FirstChildElement() : nullptr; e;
       e = e->NextSiblingElement())
    texts[e->Name()] = e->GetText() ? e->GetText() : "";
  return texts;
}

// What the device calls of one set of pages need. The worker holds it too, so that it can
// finish a call that is under way after the pages have gone.
struct Link {
  Link(std::string ip_, unsigned short port_, std::string user_, std::string password_)
      : ip(std::move(ip_)), port(port_), user(std::move(user_)), password(std::move(password_)) {}
  const std::string ip;
  const unsigned short port;
  const std::string user;
  const std::string password;
  // Set on the host's thread when the pages close; nothing is read or shown after it.
  std::atomic<bool> closed{false};
  int login = 0;  // written and read on the worker only
};

// Device calls block for up to seconds, so they run here, one after another, off the
// host's thread. When the pages close, the worker is retired: its queue is dropped, the call
// under way finishes in the background, and the worker logs its session out before it ends.
class Worker {
 public:
  explicit Worker(std::shared_ptr<Link> link)
      : link_(std::move(link)), thread_([this] { Run(); }) {}
  ~Worker() {
    Retire();
    thread_.join();
  }
  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
  }
  // Asks the worker to stop after the call under way; returns at once.
  void Retire() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      tasks_.clear();
    }
    wake_.notify_all();
  }
  bool finished() const { return finished_; }

 private:
  void Run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
        if (stop_)
          break;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    if (link_->login > 0) {
      AuxWaiter::Instance().Forget(link_->login);
      QM_NETSDK_IPC_Logout(link_->login);
      link_->login = 0;
    }
    finished_ = true;
  }
  std::shared_ptr<Link> link_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// Workers of closed pages, until their last call has ended. Joined as they finish, and all
// of them when the process ends.
class RetiredWorkers {
 public:
  static RetiredWorkers& Instance() {
    // The workers wait on it: it must outlive this list.
    AuxWaiter::Instance();
    static RetiredWorkers retired;
    return retired;
  }
  void Add(std::unique_ptr<Worker> worker) {
    Reap();
    worker->Retire();
    workers_.push_back(std::move(worker));
  }
  void Reap() {
    std::erase_if(workers_, [](const std::unique_ptr<Worker>& w) { return w->finished(); });
  }

 private:
  std::vector<std::unique_ptr<Worker>> workers_;
};

class Session {
 public:
  Session(std::string ip, unsigned short port, std::string user, std::string password,
          const std::string& language, QWidget* host)
      : link_(std::make_shared<Link>(std::move(ip), port, std::move(user), std::move(password))),
        texts_(LoadTexts(language)),
        worker_(std::make_unique<Worker>(link_)) {
    view_ = new QWidget(host);
    view_->setObjectName(QStringLiteral("CFG_UC_Pages"));
    auto* layout = new QVBoxLayout(view_);
    tabs_ = new QTabWidget(view_);
    layout->addWidget(tabs_, 1);
    auto* buttons = new QHBoxLayout;
    status_ = new QLabel(Text("RC_CONNECTING"), view_);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    buttons->addWidget(status_, 1);
    auto* reload = new QPushButton(Text("RC_RELOAD"), view_);
    reload->setObjectName(QStringLiteral("reload"));
    apply_ = new QPushButton(Text("RC_APPLY"), view_);
    apply_->setObjectName(QStringLiteral("apply"));
    apply_->setEnabled(false);
    buttons->addWidget(reload);
    buttons->addWidget(apply_);
    layout->addLayout(buttons);
    auto lookup = [this](const char* key) { return Text(key); };
    for (const PageInfo& page_info : kPages) {
      auto* page = new ConfigPage(QString::fromLatin1(page_info.key), page_info.command, lookup,
                                  language, tabs_);
      tabs_->addTab(page, Text(page_info.key));
      pages_.push_back(page);
    }
    pages_[0]->SetReadOnly(Text("RC_ADDRESS"), QString::fromStdString(link_->ip) +
                                                   QLatin1Char(':') + QString::number(link_->port));
    QObject::connect(reload, &QPushButton::clicked, view_, [this] { Read(); });
    QObject::connect(apply_, &QPushButton::clicked, view_, [this] { Apply(); });
    view_->hide();
    Read();
  }

  // Returns at once, whatever the device is doing: a login or a page read under way ends in
  // the background, its result goes nowhere, and its session is logged out.
  ~Session() {
    link_->closed = true;
    AuxWaiter::Instance().WakeAll();
    RetiredWorkers::Instance().Add(std::move(worker_));
    delete view_;
  }

  void Show(int left, int top, int right, int bottom) {
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
      view_->hide();
      return;
    }
    view_->setGeometry(left, top, right - left, bottom - top);
    view_->show();
    view_->raise();
  }

 private:
  QString Text(const char* key) const {
    auto it = texts_.find(key);
    return it == texts_.end() ? QString() : QString::fromStdString(it->second);
  }

  // Runs fn on the host's thread unless the pages have closed by then. Called on the worker,
  // so it touches nothing of the session but the shared link.
  static void ToView(const std::shared_ptr<Link>& link, std::function<void()> fn) {
    // Closed pages want nothing more, and a retired worker may outlive the application.
    QCoreApplication* app = QCoreApplication::instance();
    if (link->closed || app == nullptr)
      return;
    QMetaObject::invokeMethod(
        app,
        [link, fn = std::move(fn)] {
          if (!link->closed)
            fn();
        },
        Qt::QueuedConnection);
  }

  void Read() {
    apply_->setEnabled(false);
    status_->setText(Text("RC_CONNECTING"));
    // The worker gets the pages' commands now; it never looks at the pages themselves.
    std::vector<std::pair<ConfigPage*, int>> reads;
    for (ConfigPage* page : pages_) {
      if (page->command() != 0)
        reads.emplace_back(page, page->command());
    }
    worker_->Post([this, link = link_, reads = std::move(reads)] {
      if (link->login <= 0) {
        const int result = QM_NETSDK_IPC_Login(link->ip.c_str(), link->port, link->user.c_str(),
                                               link->password.c_str(), 0);
        if (result > 0)
          link->login = result;
        if (link->closed)
          return;
        if (result <= 0) {
          const char* key = result == QM_NETSDK_ERR_AUTH ? "RC_LOGIN_REFUSED" : "RC_UNREACHABLE";
          ToView(link, [this, key] {
            status_->setText(Text(key));
            for (ConfigPage* page : pages_)
              page->ShowMessage(Text(key));
          });
          return;
        }
      }
      // Who the device is, for the network page.
      AuxWaiter::Instance().Expect(link->login, proto::kCmdDeviceInformation);
      std::optional<std::string> identity;
      if (QM_NETSDK_IPC_SystemControl(link->login, proto::kCmdDeviceInformation, 0, "") == 0)
        identity = AuxWaiter::Instance().Wait(link->login, proto::kCmdDeviceInformation,
                                              kAnswerLimit, &link->closed);
      else
        AuxWaiter::Instance().Wait(link->login, proto::kCmdDeviceInformation,
                                   std::chrono::milliseconds(0));
      if (identity) {
        ToView(link, [this, identity] {
          const auto values = ReadDocumentValues(*identity);
          for (const auto& [attribute, key] : kIdentityRows)
            for (const DocumentValue& v : values ? *values : std::vector<DocumentValue>{})
              if (v.attribute == attribute)
                pages_[0]->SetReadOnly(Text(key), QString::fromStdString(AnsiToUtf8(v.value)));
        });
      }
      for (const auto& [page, command] : reads) {
        if (link->closed)
          return;
        AuxWaiter::Instance().Expect(link->login, command);
        const int asked = QM_NETSDK_IPC_GetDVRConfig(link->login, command, 0, "", 0, nullptr);
        std::optional<std::string> xml;
        if (asked == 0)
          xml = AuxWaiter::Instance().Wait(link->login, command, kAnswerLimit, &link->closed);
        else
          AuxWaiter::Instance().Wait(link->login, command, std::chrono::milliseconds(0));
        const bool reachable =
            asked != QM_NETSDK_ERR_NOT_CONNECTED && asked != QM_NETSDK_ERR_TIMEOUT;
        ToView(link, [this, page = page, xml, reachable] {
          if (!reachable)
            page->ShowMessage(Text("RC_UNREACHABLE"));
          else if (!xml || !page->Load(*xml))
            page->ShowMessage(Text("RC_NO_DOCUMENT"));
          else
            page->ShowMessage(QString());
        });
      }
      ToView(link, [this] {
        status_->clear();
        apply_->setEnabled(true);
      });
    });
  }

  // Writes only the pages with edits. A page the device refuses is written again one edited
  // value at a time, so the values it takes are kept and the ones it refuses are shown at
  // their fields.
  void Apply() {
    status_->clear();
    bool any = false;
    for (ConfigPage* page : pages_) {
      if (page->command() == 0 || !page->Changed())
        continue;
      any = true;
      QString bad;
      const std::string xml = page->Compose(&bad);
      if (xml.empty()) {
        page->ShowMessage(Text("RC_BAD_VALUE") + QLatin1Char(' ') + bad);
        Mark(page, false);
        continue;
      }
      page->ShowMessage(QString());
      Write(page, xml, -1, {});
    }
    if (!any)
      status_->setText(Text("RC_UNCHANGED"));
  }

  // field -1: the whole page; else the one field of a page the device refused.
  void Write(ConfigPage* page, std::string xml, int field, std::set<int> refused) {
    const int command = page->command();
    worker_->Post([this, link = link_, page, command, xml = std::move(xml), field,
                   refused = std::move(refused)] {
      if (link->closed)
        return;
      const int result = QM_NETSDK_IPC_SetDVRConfig(link->login, command, 0, xml.c_str(),
                                                    static_cast<int>(xml.size()));
      ToView(link, [this, page, xml, field, refused, result]() mutable {
        Written(page, xml, field, std::move(refused), result == 0);
      });
    });
  }

  void Written(ConfigPage* page, const std::string& xml, int field, std::set<int> refused,
               bool ok) {
    if (ok)
      page->Accept(xml);
    if (field < 0 && ok) {
      Finish(page, true);
      return;
    }
    if (field >= 0 && !ok) {
      refused.insert(field);
      page->ShowRefused(field);
    }
    int next = -1;
    if (auto one = page->ComposeOne(refused, &next)) {
      Write(page, std::move(*one), next, std::move(refused));
      return;
    }
    Finish(page, refused.empty());
  }

  void Finish(ConfigPage* page, bool ok) {
    page->ShowMessage(Text(ok ? "RC_APPLY_OK" : "RC_APPLY_FAILED"));
    Mark(page, ok);
  }

  void Mark(ConfigPage* page, bool ok) {
    tabs_->setTabText(tabs_->indexOf(page),
                      Text(PageKey(page)) + (ok ? QStringLiteral(" ✓") : QStringLiteral(" ✗")));
  }

 public:
  void SetPicture(const QImage& picture) {
    for (ConfigPage* page : pages_)
      page->SetPicture(picture);
  }

 private:
  static const char* PageKey(const ConfigPage* page) {
    for (const PageInfo& page_info : kPages)
      if (page->name() == QLatin1String(page_info.key))
        return page_info.key;
    return "";
  }

  std::shared_ptr<Link> link_;
  std::map<std::string, std::string> texts_;
  QWidget* view_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* apply_ = nullptr;
  std::vector<ConfigPage*> pages_;
  std::unique_ptr<Worker> worker_;
};

std::map<int, std::unique_ptr<Session>>& Sessions() {
  static std::map<int, std::unique_ptr<Session>> sessions;
  return sessions;
}

}  // namespace
}  // namespace vdz::remoteconfig

using vdz::remoteconfig::Sessions;

extern "C" int CFG_UC_Init(const char* ip, unsigned short port, const char* user,
                           const char* password, const char* language, void* host_window) {
  if (!ip || !user || !password || !host_window)
    return 0;
  vdz::remoteconfig::RetiredWorkers::Instance().Reap();
  static int next_handle = 0;
  const int handle = ++next_handle;
  Sessions()[handle] = std::make_unique<vdz::remoteconfig::Session>(
      ip, port, user, password, language ? language : "en-us", static_cast<QWidget*>(host_window));
  return handle;
}

extern "C" int CFG_UC_ShowModelessDlg(int handle, int left, int top, int right, int bottom) {
  auto it = Sessions().find(handle);
  if (it == Sessions().end())
    return -1;
  it->second->Show(left, top, right, bottom);
  return 0;
}

extern "C" int CFG_UC_UnInit(int handle) {
  auto it = Sessions().find(handle);
  if (it == Sessions().end())
    return -1;
  Sessions().erase(it);
  return 0;
}

extern "C" int CFG_UC_SetPicture(int handle, const unsigned char* rgb32, int width, int height,
                                 int bytes_per_line) {
  auto it = Sessions().find(handle);
  if (it == Sessions().end())
    return -1;
  if (!rgb32 || width <= 0 || height <= 0 || bytes_per_line < width * 4)
    return -1;
  it->second->SetPicture(QImage(rgb32, width, height, bytes_per_line, QImage::Format_RGB32).copy());
  return 0;
}

extern "C" void CFG_UC_OnAuxResponse(int login_handle, int command, const char* text) {
  vdz::remoteconfig::AuxWaiter::Instance().Deliver(login_handle, command, text);
}
