// The terminal service of every simulated device (TCP 2220): answers the key-parameter and
// platform requests from the device's own parameter set, applies a platform write attribute
// by attribute, and restarts on request. Runs its own thread; every method is thread-safe.
// Written independently of the application's side so that both are checked against the wire.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vdz::devsim {

enum class TerminalFault {
  kNone,
  kSilent,    // accepts and reads, never answers
  kLate,      // answers after every client's time bound
  kOversize,  // announces a body far beyond any client's buffer
  kSplit,     // sends the body in several writes with pauses
  kOrdOk,     // answers with ord="ok"
  kOtherOrd,  // answers with an ord that belongs to no request
  kClose,     // closes each connection at once
};

bool ParseTerminalFault(const std::string& word, TerminalFault* fault);
const char* TerminalFaultText(TerminalFault fault);

// Attribute name -> value (UTF-8 for devname, model, clientid and deamontime; ASCII else).
using TerminalParams = std::vector<std::pair<std::string, std::string>>;

// The parameter set a device with this serial and index starts with.
TerminalParams DefaultTerminalParams(const std::string& serial, int index, const std::string& ip);

class TerminalServer {
 public:
  explicit TerminalServer(uint16_t port = 2220);
  ~TerminalServer();
  TerminalServer(const TerminalServer&) = delete;
  TerminalServer& operator=(const TerminalServer&) = delete;

  bool Start();
  void Stop();

  // 0, or -errno when the address cannot be bound.
  int Add(const std::string& serial, const std::string& ip, TerminalParams params);
  void Move(const std::string& serial, const std::string& ip);
  void Remove(const std::string& serial);
  void RemoveAll();
  bool SetFault(const std::string& serial, TerminalFault fault);
  // How long a restarted service stays unreachable.
  void SetRestartMs(int ms);
  // "name=value" pairs of the device's current set, blank-separated (values quoted).
  std::string Describe(const std::string& serial) const;
  int Requests(const std::string& serial) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vdz::devsim
