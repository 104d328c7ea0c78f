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
#include <vector>

#include "discovery/device_registry.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_engine.h"
#include "discovery/side_search.h"

namespace vdz {

// What a 1000-device burst needs: each answer of about 2.2 KB takes about 4.5 KB of the
// socket's budget while it waits (the kernel counts its whole buffer).
inline constexpr int kDiscoveryReceiveBuffer = 4 * 1024 * 1024;
// The budget discovery sockets had before answers came in bursts; kept for the benchmark.
inline constexpr int kLegacyReceiveBuffer = 131072;

struct DiscoveryEngineOptions {
  // Asked of every discovery socket; the privileged variant first, so a burst fits even when
  // the system limit for others is lower.
  int receive_buffer = kDiscoveryReceiveBuffer;
  // Every waiting datagram per wake (false: one per socket and pass, the benchmark's
  // reference).
  bool drain_all = true;
};

// What the unicast search of the last finished pass over the targets did.
struct UnicastPassStats {
  int passes = 0;        // passes finished since the search started
  int sent = 0;          // requests of the last finished pass that left
  int failed = 0;        // requests of that pass the system refused (no route, ...)
  double seconds = 0.0;  // first to last request of that pass
};

// A bound, broadcast-enabled UDP socket on the address with this adapter key (0 = wildcard),
// or -1.
int OpenDiscoverySocket(uint32_t adapter_key, int receive_buffer = kDiscoveryReceiveBuffer);
// Receive buffer the system granted to the last socket opened, in bytes (0 before any).
int GrantedReceiveBuffer();

class DiscoveryEngine final : public SearchEngine {
 public:
  DiscoveryEngine(std::shared_ptr<DeviceRegistry> registry,
                  std::shared_ptr<NetworkInfoSource> network, DiscoveryEngineOptions options = {});
  ~DiscoveryEngine() override;
  DiscoveryEngine(const DiscoveryEngine&) = delete;
  DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

  // 1 when a worker was started, 0 when one already runs or none could be created.
  int StartSearchThread() override;
  // 1 when a worker was stopped, 0 when none ran.
  int StopSearchThread() override;

  // Queued for the worker while a search runs, otherwise broadcast at once on every adapter.
  // Texts the worker had not sent when its search stopped go out on every adapter then.
  int SendDiscoveryMessage(int code, const char* body) override;
  void BroadcastOnce(const std::string& text);
  void BroadcastOnce(const std::vector<std::string>& texts);

  int SendDiscoveryMessageTo(int code, const char* body, const std::string& address) override;

  // Addresses (host order) every search pass also asks with a unicast search request, paced at
  // rate requests per second; a pass that is still sending when the next search request comes
  // is followed by one more pass at once. Taken by the next pass.
  void SetUnicastTargets(std::vector<uint32_t> addresses, int rate);
  // Asks one more address (host order) from now on: at once while a search runs, otherwise in
  // the next search.
  void AddUnicastTarget(uint32_t address);
  // False: the search request goes only to the unicast targets (a search of named addresses).
  void SetBroadcastSearch(bool broadcast);
  UnicastPassStats LastUnicastPass() const;

  // 0 = all adapters; read by each new worker when it opens its sockets.
  void SetAdapterSelection(uint32_t adapter_key) override { selection_ = adapter_key; }
  uint32_t AdapterSelection() const { return selection_; }

  // Another protocol's search started and stopped with ours (none by default).
  void SetSideSearch(std::shared_ptr<SideSearch> side) { side_ = std::move(side); }

  bool running() const override;
  bool settling() const override { return side_ && side_->Settling(); }
  // Sockets the current worker opened; -1 until it has opened them.
  int open_socket_count() const;

  // State shared with the worker; defined beside it.
  struct Shared;

 private:
  static void SearchIPCThread(std::shared_ptr<Shared> shared);
  void SendLeftovers(Shared& shared);
  void SendOnceTo(const std::string& text, uint32_t address);

  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  std::atomic<uint32_t> selection_{0};
  std::shared_ptr<SideSearch> side_;
};

}  // namespace vdz
