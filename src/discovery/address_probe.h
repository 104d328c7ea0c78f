// Free addresses in the workstation's /24: skip what is known to be taken, then ask each
// remaining candidate with an ICMP echo whether anybody answers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "discovery/assigned_address_table.h"
#include "discovery/device_registry.h"
#include "discovery/device_row.h"
#include "discovery/local_interfaces.h"
#include "discovery/network_change.h"

namespace vdz {

// 1: nothing answered (usable), 0: the address answered (taken), -1: socket error.
// destination is in network byte order. Blocks for about 0.5 s on a free address, at most
// about 1 s when stray packets keep arriving.
int PintTest(uint32_t destination);

// The probe as the free-address search sees it; tests decide which addresses answer.
class AddressProber {
 public:
  virtual ~AddressProber() = default;
  virtual int PintTest(uint32_t destination) = 0;
};

// The real ICMP probe: a raw socket where permitted, else an unprivileged ping socket.
class IcmpAddressProber final : public AddressProber {
 public:
  int PintTest(uint32_t destination) override { return vdz::PintTest(destination); }
};

inline constexpr int kPintAttempts = 5;
inline constexpr int kPintWaitMs = 100;
inline constexpr std::size_t kEchoRequestSize = 12;
inline constexpr std::size_t kEchoReplyBufferSize = 256;

// RFC 1071 over length bytes.
uint16_t InternetChecksum(const uint8_t* data, std::size_t length);

// Type 8, code 0, checksum, identifier and sequence = attempt, data = tick; the two counters
// and the tick in host byte order.
std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t attempt, uint32_t tick_ms);

enum class EchoVerdict {
  kReplyFromDestination,  // the address is taken
  kOtherSource,           // a packet from somebody else
  kBadLength,             // shorter than its headers
  kNotEchoReply,          // from the destination, but no echo reply
};

// Reads one received packet. A raw socket delivers the IPv4 header first (its source decides);
// a ping socket delivers the ICMP message alone and the sender comes from recvfrom. *source
// gets the packet's source (network order) when it could be read.
EchoVerdict ClassifyEchoPacket(const uint8_t* packet, std::size_t length, bool with_ip_header,
                               uint32_t sender, uint32_t destination, uint32_t* source);

// Whether an echo reply answers this request: it carries the request's sequence and data back.
// A raw socket sees every reply of its network, a late one to an earlier probe of the same
// address included; only the answer to this probe tells that the address is taken now. (A
// ping socket's identifier is the kernel's, so it is not compared.)
bool EchoAnswers(const uint8_t* packet, std::size_t length, bool with_ip_header,
                 const std::array<uint8_t, kEchoRequestSize>& request);

// Everything the free-address search reads.
struct FreeAddressSearch {
  LocalParameterCache& params;
  NetworkInfoSource& network;
  const DeviceRegistry& registry;
  const AssignedAddressTable& assigned;
  AddressProber& prober;
  // Told each candidate before it is probed, so a front end can show what it waits for.
  std::function<void(const std::string& candidate)> on_candidate;
};

// A usable address x.y.z.h (h = 2..254) of the local address's first three octets, or the
// local address itself when none is usable; *found tells which.
std::string FindFreeAddress(FreeAddressSearch& search, bool* found = nullptr);
// The same within a parameter set the caller already holds.
std::string FindFreeAddressIn(FreeAddressSearch& search, const LocalNetworkParameters& params,
                              bool* found = nullptr);

// FindFreeAddress failed to find a usable address, so the device was left alone.
inline constexpr int kNoFreeAddress = -4;

// Gives row a free address with the local mask, gateway and name servers and sends it.
// 0, kNoFreeAddress, or SetDeviceNetwork's failure (logged with the serial number).
int AssignFreeAddress(FreeAddressSearch& search, NetworkChangeTarget target, DeviceRow& row);

}  // namespace vdz
