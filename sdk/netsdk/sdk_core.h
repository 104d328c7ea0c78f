// The library's state: one I/O thread multiplexing every login with epoll, and the calls
// that other threads hand to it.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "client_session.h"
#include "pending_call.h"
#include "qm_netsdk.h"

namespace vdz::netsdk {

class SdkCore final : public SessionHost {
 public:
  static SdkCore& Instance();

  int Init();
  int Cleanup();
  int SetTimeouts(int login_ms, int keepalive_ms, int dead_peer_ms, int reconnect_ms);
  void SetStatusCallback(QM_NETSDK_StatusEventCallBack callback, void* owner);
  void SetAuxCallback(QM_NETSDK_AUXResponseCallBack callback, void* owner);
  int SetAutoReconnect(int handle, bool enable);
  int Login(const char* ip, unsigned short port, const char* user, const char* password);
  int Logout(int handle);
  int Call(int handle, const sdkproto::RequestMessage& request);
  // Hands a transfer to the I/O thread. Blocking ones return its result; the others return
  // once it is handed over (or could not be), and end with status events.
  int Transfer(int handle, TransferRequest request);
  int UpgradeProgress(int handle);
  // The device address of a live login.
  bool DeviceAddress(int handle, sockaddr_in& out) const;
  long long BufferedBytes() const { return buffered_bytes_.load(); }

  int epoll_fd() const override { return epoll_fd_; }
  const SdkTiming& timing() const override { return io_timing_; }
  void EmitStatus(int handle, int event, std::string_view data) override;
  void EmitAux(int handle, int command, std::string_view text) override;
  void SetUpgradeProgress(int handle, int percent) override;

 private:
  enum class CommandKind { kLogin, kLoginReturned, kRequest, kLogout, kAutoReconnect, kTransfer };

  struct Command {
    CommandKind kind = CommandKind::kRequest;
    int handle = 0;
    PendingCallPtr call;
    sockaddr_in address{};
    std::string user;
    std::string password;
    bool flag = false;
    sdkproto::RequestOp op = sdkproto::RequestOp::kSetConfig;
    std::int32_t command = 0;
    std::int32_t argument = 0;
    std::string text;
    TransferRequest transfer;
  };

  SdkCore() = default;
  // The application may never call Cleanup: a joinable thread at exit would abort.
  ~SdkCore() { Cleanup(); }
  bool OnIoThread() const;
  bool Post(Command command);
  void Run();
  void RunCommands(Millis now);
  bool LiveHandle(int handle);

  mutable std::mutex state_mutex_;  // guards running_, timing_ writes, live_, callbacks
  std::mutex callback_mutex_;       // held while a callback runs
  bool running_ = false;
  SdkTiming timing_;
  std::unordered_set<int> live_;
  std::unordered_map<int, sockaddr_in> addresses_;
  std::unordered_map<int, int> upgrade_progress_;
  bool default_auto_reconnect_ = false;
  QM_NETSDK_StatusEventCallBack status_cb_ = nullptr;
  void* status_owner_ = nullptr;
  QM_NETSDK_AUXResponseCallBack aux_cb_ = nullptr;
  void* aux_owner_ = nullptr;

  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  std::thread thread_;
  std::atomic<std::thread::id> io_thread_id_{};
  std::atomic<bool> stop_{false};
  std::atomic<int> next_handle_{1};
  std::atomic<long long> buffered_bytes_{0};

  std::mutex queue_mutex_;
  std::deque<Command> queue_;

  // I/O thread only.
  std::unordered_map<int, std::unique_ptr<ClientSession>> sessions_;
  std::string event_buffer_;
  SdkTiming io_timing_;
};

}  // namespace vdz::netsdk
