// What one simulated device is: where it listens, its accounts and its stored documents.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vdz::devserver {

struct DeviceAccount {
  std::string user;
  std::string password;
};

struct DeviceConfig {
  std::string address = "127.0.0.1";
  std::uint16_t port = 0;  // control port (PTZPort); 0 picks a free one
  std::vector<DeviceAccount> accounts{{"admin", "admin"}};
  std::string device_type = "NVS-IPCAM-X1";
  std::string serial_number = "SIM00000001";
  std::string firmware_version = "V2.6.1.20240315";
  std::string device_name = "IPCAM";
  // Features announced in the device information, comma-separated.
  std::string capabilities = "ptz_control,audio";
  // Answer to system command 1020; empty builds one from the fields above.
  std::string device_information;
  int reboot_ms = 3000;                      // unreachable this long after a reboot
  int idle_drop_ms = 30000;                  // a connection silent this long is closed
  std::map<int, std::string> documents;      // configuration store by command number
  std::map<std::string, std::string> files;  // stored files (snapshots, application files)
  int upgrade_write_ms = 800;                // how long "writing" an accepted image takes
  std::string talk_folder = "/tmp";          // where the WAV file of each talk is written
};

// How a device answers a request to join a talk, for tests and the simulator.
enum class TalkFault {
  kNone,
  kBusy,          // another client talks to it: event 35
  kNotSupported,  // it has no talk: event 37
};

// Faults a device can be told to show, for tests and the simulator.
enum class Misbehaviour {
  kNone,
  kRefuseLogins,    // every account is refused
  kSilent,          // accept TCP, never send a byte (live connections go quiet too)
  kDropLine,        // close every connection, and each new one at once
  kGarbage,         // send bytes that are not a frame
  kHugeLength,      // send a header announcing a 100 MB payload, then nothing
  kCloseMidFrame,   // send part of a frame, then close
  kHoldLogins,      // a login is answered only when the device is told to behave again
  kMuteAfterLogin,  // a session answers its first two requests, then never sends another byte
};

// Faults of file transfers, for tests and the simulator.
enum class TransferFault {
  kNone,
  kRefuseImage,      // refuse every firmware image at its start
  kDropMidTransfer,  // close the line when half of an upload has arrived
  kNoEnd,            // take and write an image, then never report the end nor restart
  kStall,            // stop acknowledging half way, keep the line alive
  kGarbageAcks,      // acknowledge with numbers that fit no transfer
  kHugeFile,         // announce a download of a terabyte and send junk
};

}  // namespace vdz::devserver
