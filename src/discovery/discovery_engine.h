// Search worker: one UDP socket per selected adapter, broadcasts queued requests and hands
// device answers to the registry. Never calls into a window.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/device_registry.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_engine.h"

namespace vdz {

// A bound, broadcast-enabled UDP socket on the address with this adapter key (0 = wildcard),
// or -1.
int OpenDiscoverySocket(uint32_t adapter_key);

class DiscoveryEngine final : public SearchEngine {
 public:
  DiscoveryEngine(std::shared_ptr<DeviceRegistry> registry,
                  std::shared_ptr<NetworkInfoSource> network);
  ~DiscoveryEngine() override;
  DiscoveryEngine(const DiscoveryEngine&) = delete;
  DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

  // 1 when a worker was started, 0 when one already runs or none could be created.
  int StartSearchThread() override;
  // 1 when a worker was stopped, 0 when none ran.
  int StopSearchThread() override;

  // Queued for the worker while a search runs, otherwise broadcast at once on every adapter.
  int SendDiscoveryMessage(int code, const char* body) override;
  void BroadcastOnce(const std::string& text);

  // 0 = all adapters; read by each new worker when it opens its sockets.
  void SetAdapterSelection(uint32_t adapter_key) override { selection_ = adapter_key; }
  uint32_t AdapterSelection() const { return selection_; }

  bool running() const override;
  // Sockets the current worker opened; -1 until it has opened them.
  int open_socket_count() const;

 private:
  struct Shared;
  static void SearchIPCThread(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  std::atomic<uint32_t> selection_{0};
};

}  // namespace vdz
