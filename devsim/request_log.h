// Every datagram the simulator saw on the discovery port, with what the devices made of it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

namespace vdz::devsim {

struct RequestLogEntry {
  uint64_t seq = 0;
  int64_t wall_ms = 0;      // wall-clock time of arrival
  std::string source;       // address:port of the sender
  std::string iface;        // interface it came in on
  std::string destination;  // address it was sent to
  std::size_t length = 0;
  int code = -1;       // -1: not readable as a request
  std::string serial;  // empty: none named
  std::string result;  // what happened, e.g. answered:20 or moved:192.168.1.10->192.168.1.50
  std::string action;  // ONVIF: the SOAP call or "Probe"; empty for our discovery requests
};

// One log line: `req seq=.. t=SEC.MSEC src=A:P if=.. dst=.. len=.. code=.. sn=.. result=..`
// (sn=- when no serial was named; values quoted where they need it), then ` action=..` for
// ONVIF requests.
std::string FormatRequestLogEntry(const RequestLogEntry& e);

class RequestLog {
 public:
  explicit RequestLog(std::size_t capacity = 200000) : capacity_(capacity) {}

  // Also appended to the log file when one was given.
  RequestLogEntry& Add(RequestLogEntry e);
  void Flush(const RequestLogEntry& e);  // writes an entry whose result is now known
  void Clear() { entries_.clear(); }
  void SetFile(std::FILE* f) { file_ = f; }

  const std::deque<RequestLogEntry>& entries() const { return entries_; }
  uint64_t dropped() const { return dropped_; }

 private:
  std::size_t capacity_;
  std::deque<RequestLogEntry> entries_;
  uint64_t next_seq_ = 1;
  uint64_t dropped_ = 0;
  std::FILE* file_ = nullptr;
};

}  // namespace vdz::devsim
