// The ONVIF side of a search: WS-Discovery Probes multicast from every adapter, answers read
// and merged into one entry per device. Never calls into a window.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "onvif/wsd_merge.h"
#include "onvif/wsd_probe.h"

namespace vdz::onvif {

// A burst of ProbeMatches (up to a few KB each) from a large site waits here while the worker
// reads the other adapters.
inline constexpr int kWsdReceiveBuffer = 1024 * 1024;
// The largest UDP payload: a ProbeMatch with many scopes exceeds one Ethernet frame and comes
// as IP fragments, which the socket returns whole.
inline constexpr std::size_t kWsdDatagramMax = 65536;

// A UDP socket bound to the adapter's address (dotted; empty = any) on an ephemeral port, its
// multicasts leaving through that adapter with TTL 1 (WS-Discovery stays on the local link);
// devices answer unicast to the port the Probe left from, so the same socket receives. -1 on
// failure.
int OpenWsdSocket(const std::string& adapter_address, int receive_buffer = kWsdReceiveBuffer);

struct WsDiscoveryOptions {
  // Dotted IPv4 address of every adapter to probe from; empty: one socket on any address.
  std::vector<std::string> adapters;
  // When each Probe leaves, from the search start: UDP may lose one, and a device busy at
  // the first may answer the next. Three over the first 2.5 s.
  std::vector<std::chrono::milliseconds> probe_times{std::chrono::milliseconds(0),
                                                     std::chrono::milliseconds(1000),
                                                     std::chrono::milliseconds(2000)};
  int receive_buffer = kWsdReceiveBuffer;
  std::string destination = kWsdMulticastAddress;
  std::uint16_t port = kWsdPort;
};

// What the worker has read so far.
struct WsDiscoveryStats {
  int probes_sent = 0;  // datagrams, all adapters
  int datagrams = 0;    // received
  int matches = 0;      // video-device matches read (before merging)
  int own_echoes = 0;   // Probes seen (ours or another client's)
  int not_video = 0;    // ProbeMatches naming no video device
  int other = 0;        // malformed or other WS-Discovery messages
};

class WsDiscoverySearch {
 public:
  // Runs on the worker thread with a copy of an entry that is new or changed; it must not
  // block long nor call Stop.
  using EntryCallback = std::function<void(const OnvifDeviceEntry& entry)>;

  WsDiscoverySearch(WsDiscoveryOptions options, EntryCallback on_entry);
  ~WsDiscoverySearch();
  WsDiscoverySearch(const WsDiscoverySearch&) = delete;
  WsDiscoverySearch& operator=(const WsDiscoverySearch&) = delete;

  // Opens the sockets and starts the worker; false when one runs or no socket opened. Entries
  // of an earlier search are dropped.
  bool Start();
  // Request, wake, join. Safe when none runs.
  void Stop();
  bool running() const { return running_.load(); }

  std::vector<OnvifDeviceEntry> Entries() const;
  WsDiscoveryStats Stats() const;
  int open_socket_count() const { return open_sockets_.load(); }

 private:
  struct Socket {
    int fd = -1;
    std::string adapter;
  };
  void Run(const std::stop_token& stop, std::vector<Socket> sockets);
  void SendProbe(const std::vector<Socket>& sockets);
  void HandleDatagram(std::string_view datagram, const std::string& from,
                      const std::string& adapter);

  const WsDiscoveryOptions options_;
  const EntryCallback on_entry_;
  std::atomic<bool> running_{false};
  std::atomic<int> open_sockets_{0};
  int wake_fd_ = -1;
  std::vector<std::string> own_ids_;  // worker only

  mutable std::mutex mutex_;
  WsdMerge merge_;
  WsDiscoveryStats stats_;

  std::jthread worker_;  // last: stopped and joined before the members above go
};

}  // namespace vdz::onvif
