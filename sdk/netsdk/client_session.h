// One login: its TCP connection, authentication, calls in flight, keep-alive and reconnection.
// Lives on the I/O thread only.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_transfer.h"
#include "out_queue.h"
#include "pending_call.h"
#include "protocol/frame_assembler.h"
#include "protocol/messages.h"
#include "sdk_timing.h"

namespace vdz::netsdk {

class SessionHost {
 public:
  virtual int epoll_fd() const = 0;
  virtual const SdkTiming& timing() const = 0;
  virtual void EmitStatus(int handle, int event, std::string_view data) = 0;
  virtual void EmitAux(int handle, int command, std::string_view text) = 0;
  virtual void SetUpgradeProgress(int handle, int percent) = 0;

 protected:
  ~SessionHost() = default;
};

class ClientSession {
 public:
  ClientSession(SessionHost& host, int handle, const sockaddr_in& address, std::string user,
                std::string password, bool auto_reconnect, PendingCallPtr login_call);
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  void Start(Millis now);
  // `tag` is the epoll tag the event was registered with; a stale one is ignored.
  void OnIo(std::uint64_t tag, std::uint32_t events, Millis now, std::uint8_t* scratch,
            std::size_t scratch_size);
  void OnTick(Millis now);
  void LoginReturned();
  void SetAutoReconnect(bool enable, Millis now);
  void Request(const sdkproto::RequestMessage& request, PendingCallPtr call, Millis now);
  void StartTransfer(TransferRequest request, Millis now);
  void Close();

  // True once the first login failed or was abandoned: the session is to be dropped.
  bool finished() const { return state_ == State::kFinished; }
  std::size_t BufferedBytes() const { return assembler_.capacity() + out_.capacity(); }
  std::size_t TransferCount() const { return transfers_.size(); }

 private:
  enum class State { kConnecting, kAwaitChallenge, kAwaitLoginReply, kUp, kDown, kFinished };

  struct InFlight {
    std::uint32_t sequence;
    Millis deadline;
    PendingCallPtr call;
  };

  std::uint64_t Tag() const;
  void Connect(Millis now);
  void OnConnected(Millis now);
  bool OnFrame(const sdkproto::FrameHeader& header, std::string_view payload, Millis now);
  void Send(Millis now);
  void WatchWritable(bool on);
  // Ends the connection; `login_error` is the Login result when this was the first login.
  void Lost(std::string_view reason, int login_error, Millis now);
  void Up(Millis now);
  void FailCalls(int result);
  bool OnFileFrame(const sdkproto::FrameHeader& header, std::string_view payload, Millis now);
  bool OnBeginAnswer(Transfer& t, const sdkproto::ResultMessage& answer, Millis now);
  Transfer* FindTransfer(std::uint32_t id);
  void PumpTransfers(Millis now);
  // Ends transfer `id`: result is the QM_NETSDK_* outcome, device_result the device's word.
  void FinishTransfer(std::uint32_t id, int result, int device_result, bool emit, bool tell_device,
                      Millis now);
  void FailTransfers(bool emit, Millis now);
  void CheckStalls(Millis now);
  void NoteWritingProgress(std::string_view text);

  SessionHost& host_;
  const int handle_;
  const sockaddr_in address_;
  const std::string user_;
  const std::string password_;
  bool auto_reconnect_;
  PendingCallPtr login_call_;
  bool announced_ = false;  // Login has returned to its caller
  bool ever_up_ = false;

  State state_ = State::kDown;
  int fd_ = -1;
  std::uint32_t generation_ = 0;
  bool watching_out_ = false;
  sdkproto::FrameAssembler assembler_;
  OutQueue out_;
  std::uint32_t next_sequence_ = 1;
  std::vector<InFlight> in_flight_;
  std::vector<Transfer> transfers_;
  std::uint32_t next_transfer_id_ = 1;
  Millis deadline_ = 0;  // connect/authentication bound, or the next reconnection
  Millis reconnect_delay_ = 0;
  Millis last_rx_ = 0;
  Millis last_tx_ = 0;
};

}  // namespace vdz::netsdk
