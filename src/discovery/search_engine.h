// What a search session needs from the discovery worker; the engine implements it, tests fake it.
#pragma once

#include <cstdint>

namespace vdz {

class SearchEngine {
 public:
  virtual ~SearchEngine() = default;
  virtual int StartSearchThread() = 0;
  virtual int StopSearchThread() = 0;
  virtual int SendDiscoveryMessage(int code, const char* body) = 0;
  virtual void SetAdapterSelection(uint32_t adapter_key) = 0;
  virtual bool running() const = 0;
};

}  // namespace vdz
