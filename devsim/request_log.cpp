#include "request_log.h"

#include "kv_line.h"

namespace vdz::devsim {

std::string FormatRequestLogEntry(const RequestLogEntry& e) {
  char t[48];
  std::snprintf(t, sizeof t, "%lld.%03lld", static_cast<long long>(e.wall_ms / 1000),
                static_cast<long long>(e.wall_ms % 1000));
  std::string line = "req seq=" + std::to_string(e.seq) + " t=" + t +
                     " src=" + QuoteKvValue(e.source) +
                     " if=" + QuoteKvValue(e.iface.empty() ? "-" : e.iface) +
                     " dst=" + QuoteKvValue(e.destination.empty() ? "-" : e.destination) +
                     " len=" + std::to_string(e.length) + " code=" + std::to_string(e.code) +
                     " sn=" + QuoteKvValue(e.serial.empty() ? "-" : e.serial) +
                     " result=" + QuoteKvValue(e.result.empty() ? "-" : e.result);
  if (!e.action.empty())
    line += " action=" + QuoteKvValue(e.action);
  return line;
}

RequestLogEntry& RequestLog::Add(RequestLogEntry e) {
  e.seq = next_seq_++;
  if (entries_.size() >= capacity_) {
    entries_.pop_front();
    ++dropped_;
  }
  entries_.push_back(std::move(e));
  return entries_.back();
}

void RequestLog::Flush(const RequestLogEntry& e) {
  if (!file_)
    return;
  std::fprintf(file_, "%s\n", FormatRequestLogEntry(e).c_str());
  std::fflush(file_);
}

}  // namespace vdz::devsim
