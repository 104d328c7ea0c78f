// Hosts the device side of our SDK protocol for any number of simulated devices in one
// process, all on one epoll set. Integrate either by running its own thread (Start/Stop)
// or by watching Fd() for readability in the simulator's own loop and calling Poll(0)
// then, plus at least every 100 ms for the timers. Every method is thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_config.h"
#include "talk_receiver.h"

namespace vdz::devserver {

using DeviceId = int;
inline constexpr int kPresetKey = -1;

// One pan/tilt/zoom command as the device received it; `at_ms` on the host's monotonic clock.
struct PtzCommand {
  int command = 0;
  int pan_speed = 0;
  int tilt_speed = 0;
  std::int64_t at_ms = 0;
};

class DeviceServerHost {
 public:
  DeviceServerHost();
  ~DeviceServerHost();
  DeviceServerHost(const DeviceServerHost&) = delete;
  DeviceServerHost& operator=(const DeviceServerHost&) = delete;

  // Starts listening; returns an id > 0, or -errno when the address cannot be bound.
  DeviceId AddDevice(const DeviceConfig& config);
  bool RemoveDevice(DeviceId id);
  // Drops every connection and listens on the new address and port (0 keeps the port).
  int MoveDevice(DeviceId id, const std::string& address, std::uint16_t port);
  bool SetMisbehaviour(DeviceId id, Misbehaviour misbehaviour);
  bool SetTransferFault(DeviceId id, TransferFault fault);
  // Bytes per second the device reads from all its connections together; 0: no limit.
  bool SetBandwidthCap(DeviceId id, std::int64_t bytes_per_second);
  bool SetUpgradeWriteMs(DeviceId id, int ms);
  bool StoreFile(DeviceId id, const std::string& name, std::string bytes);
  bool SetTalkFault(DeviceId id, TalkFault fault);
  // The device's current or last talk.
  TalkStats Talk(DeviceId id) const;
  // The stored MP3 file the device plays on request; empty when none.
  std::string PlayingFile(DeviceId id) const;
  // Stored MP3 (true) or application (false) files: path and length.
  std::map<std::string, std::uint64_t> ListedFiles(DeviceId id, bool mp3) const;
  std::optional<std::string> StoredFile(DeviceId id, const std::string& name) const;
  std::string FirmwareVersion(DeviceId id) const;
  // Firmware images the device accepted and wrote.
  int UpgradeCount(DeviceId id) const;
  // As a reboot command does: drop every connection, unreachable for the reboot time.
  bool Reboot(DeviceId id);
  // Pushed to every logged-in connection of the device.
  bool PushEvent(DeviceId id, int event_type, std::string_view data);
  bool PushAux(DeviceId id, int command, std::string_view text);

  std::uint16_t Port(DeviceId id) const;  // 0 for an unknown device or while rebooting
  std::optional<std::string> Document(DeviceId id, int command) const;
  // Refuse every settings document, request and preset command with a failure.
  bool SetRefuseSettings(DeviceId id, bool refuse);
  // Settings documents carrying attribute = value are refused; an empty attribute clears.
  bool SetRefusedValue(DeviceId id, const std::string& attribute, const std::string& value);
  // Seconds the device's clock runs ahead of the host's since its last time sync.
  std::optional<std::int64_t> ClockOffset(DeviceId id) const;
  // Parameter text of the last system command of that number the device accepted; the last
  // preset command is kept under kPresetKey as "COMMAND PRESET".
  std::optional<std::string> LastSystemControl(DeviceId id, int command) const;
  // System commands of that number the device accepted so far.
  int SystemControlCount(DeviceId id, int command) const;
  // The device answers that system command with a failure while refuse is set.
  bool RefuseSystemCommand(DeviceId id, int command, bool refuse);
  int SessionCount(DeviceId id) const;
  // Every PTZ control command received (the oldest first; at most 100000 kept).
  std::vector<PtzCommand> PtzLog(DeviceId id, bool clear = false);
  int KeyFrameRequests(DeviceId id) const;  // logged-in connections
  int ConnectionCount(DeviceId id) const;

  int Fd() const;
  void Poll(int timeout_ms);
  bool Start();  // own thread calling Poll
  void Stop();

  struct Impl;  // opaque; named here so the implementation's helpers can take it

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vdz::devserver
