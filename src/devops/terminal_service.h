// Talks to the terminal service of a device over TCP: one framed request, one framed reply,
// within fixed time bounds, the socket closed whatever happens.
#pragma once

#include <cstdint>
#include <string>

#include "devconfig/terminal_parameter_set.h"
#include "devops/terminal_documents.h"
#include "discovery/device_record.h"

namespace vdz {

struct TerminalTimeouts {
  int socket_ms;   // send and receive time-outs of the socket
  int connect_ms;  // until the socket is writable
  int reply_ms;    // until the whole reply is in
};

// The key parameters are asked of every newly listed device: a silent one must cost little.
inline constexpr TerminalTimeouts kKeyParamTimeouts = {2000, 50, 100};
inline constexpr TerminalTimeouts kTerminalTimeouts = {3000, 1000, 3000};

enum TerminalResult {
  kTerminalOk = 0,
  kTerminalSocketFailed = -1,
  kTerminalNotConnected = -2,
  kTerminalSendFailed = -3,
  kTerminalNoReply = -4,
  kTerminalReplyTooLong = -5,
  kTerminalReplyCut = -6,
  kTerminalBadReply = -7,
  kTerminalNoAnswer = -8,
  kTerminalBadAddress = -9,
  kTerminalDocumentRefused = -10,
};

// One exchange with the service at ip; the answer is the reply's root element for request.
int ExchangeTerminalDocument(const std::string& ip, uint16_t port, const std::string& document,
                             const char* request, const TerminalTimeouts& timeouts,
                             TerminalAnswer* answer);

// The four requests, as the rest of the system makes them. Tests give the port.
class TerminalService {
 public:
  virtual ~TerminalService() = default;
  virtual int RequestKeyParameters(const DeviceRecord& record, TerminalKeyParameters* keys) = 0;
  virtual int RequestPlatform(const DeviceRecord& record, TerminalParameterSet* set) = 0;
  virtual int ModifyPlatform(const DeviceRecord& record, const TerminalParameterSet& set,
                             const std::set<std::string>* names = nullptr) = 0;
  virtual int RebootAlarmApp(const DeviceRecord& record) = 0;
};

class SocketTerminalService final : public TerminalService {
 public:
  explicit SocketTerminalService(uint16_t port);
  SocketTerminalService();
  int RequestKeyParameters(const DeviceRecord& record, TerminalKeyParameters* keys) override;
  int RequestPlatform(const DeviceRecord& record, TerminalParameterSet* set) override;
  int ModifyPlatform(const DeviceRecord& record, const TerminalParameterSet& set,
                     const std::set<std::string>* names = nullptr) override;
  int RebootAlarmApp(const DeviceRecord& record) override;

 private:
  uint16_t port_;
};

}  // namespace vdz
