// What a search session needs from the discovery worker; the engine implements it, tests fake it.
#pragma once

#include <cstdint>
#include <string>

namespace vdz {

class SearchEngine {
 public:
  virtual ~SearchEngine() = default;
  virtual int StartSearchThread() = 0;
  virtual int StopSearchThread() = 0;
  virtual int SendDiscoveryMessage(int code, const char* body) = 0;
  // The same request sent to one device's address too: behind a router it hears no broadcast.
  // 0 sent or queued, 1 nothing sent (the address is on a local subnet, where the broadcast
  // reaches it), -1 the address does not parse.
  virtual int SendDiscoveryMessageTo(int code, const char* body, const std::string& address) = 0;
  virtual void SetAdapterSelection(uint32_t adapter_key) = 0;
  virtual bool running() const = 0;
  // What a stopped search found is still being completed in the registry (other makers'
  // devices being identified): the list keeps refreshing until it is done.
  virtual bool settling() const { return false; }
};

}  // namespace vdz
