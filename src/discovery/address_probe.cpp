#include "discovery/address_probe.h"

#include <arpa/inet.h>

#include <cstring>
#include <memory>
#include <optional>
#include <unordered_set>

#include "devconfig/ip_setting_rules.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

uint16_t InternetChecksum(const uint8_t* data, std::size_t length) {
  uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < length; i += 2) {
    uint16_t word = 0;
    std::memcpy(&word, data + i, 2);
    sum += word;
  }
  if (i < length) {
    uint16_t word = 0;
    std::memcpy(&word, data + i, 1);
    sum += word;
  }
  while (sum >> 16)
    sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t attempt, uint32_t tick_ms) {
  std::array<uint8_t, kEchoRequestSize> packet{};
  packet[0] = 8;
  packet[1] = 0;
  std::memcpy(&packet[4], &attempt, 2);
  std::memcpy(&packet[6], &attempt, 2);
  std::memcpy(&packet[8], &tick_ms, 4);
  const uint16_t checksum = InternetChecksum(packet.data(), packet.size());
  std::memcpy(&packet[2], &checksum, 2);
  return packet;
}

namespace {

// Where the ICMP message starts: after the IPv4 header a raw socket delivers; none when the
// packet is too short to hold that header.
std::optional<std::size_t> IcmpOffset(const uint8_t* packet, std::size_t length,
                                      bool with_ip_header) {
  if (!with_ip_header)
    return 0;
  if (length < 20)
    return std::nullopt;
  return static_cast<std::size_t>(packet[0] & 0x0F) * 4;
}

}  // namespace

EchoVerdict ClassifyEchoPacket(const uint8_t* packet, std::size_t length, bool with_ip_header,
                               uint32_t sender, uint32_t destination, uint32_t* source) {
  *source = 0;
  const std::optional<std::size_t> header = IcmpOffset(packet, length, with_ip_header);
  if (!header)
    return EchoVerdict::kBadLength;
  uint32_t from = sender;
  if (with_ip_header)
    std::memcpy(&from, packet + 12, 4);
  *source = from;
  if (from != destination)
    return EchoVerdict::kOtherSource;
  if (length < *header + 8)
    return EchoVerdict::kBadLength;
  return packet[*header] == 0 ? EchoVerdict::kReplyFromDestination : EchoVerdict::kNotEchoReply;
}

bool EchoAnswers(const uint8_t* packet, std::size_t length, bool with_ip_header,
                 const std::array<uint8_t, kEchoRequestSize>& request) {
  const std::optional<std::size_t> header = IcmpOffset(packet, length, with_ip_header);
  if (!header || length < *header + kEchoRequestSize)
    return false;
  return std::memcmp(packet + *header + 6, request.data() + 6, kEchoRequestSize - 6) == 0;
}

namespace {

// Addresses of registry records, read again only when the registry changed.
class RegistryAddresses {
 public:
  explicit RegistryAddresses(const DeviceRegistry& registry) : registry_(registry) {}

  bool Contains(uint32_t address) {
    if (registry_.Generation() != generation_ || registry_.GetDeviceCount() != count_)
      Reload();
    return addresses_.count(address) != 0;
  }

 private:
  void Reload() {
    generation_ = registry_.Generation();
    count_ = registry_.GetDeviceCount();
    addresses_.clear();
    auto record = std::make_unique<DeviceRecord>();
    for (int i = 0; i < count_; ++i) {
      if (registry_.CopyRecord(i, record.get(), sizeof *record) == 0)
        addresses_.insert(AssignedAddressTable::Parse(record->Lan.IPAddress));
    }
  }

  const DeviceRegistry& registry_;
  unsigned long generation_ = ~0UL;
  int count_ = -1;
  std::unordered_set<uint32_t> addresses_;
};

}  // namespace

std::string FindFreeAddress(FreeAddressSearch& search, bool* found) {
  return FindFreeAddressIn(search, search.params.For({}), found);
}

std::string FindFreeAddressIn(FreeAddressSearch& search, const LocalNetworkParameters& params,
                              bool* found) {
  if (found != nullptr)
    *found = false;
  const std::string local = params.Get(kLocalAddress);
  const std::string gateway = params.Get(kLocalGateway);
  const uint32_t local_address = AssignedAddressTable::Parse(local.c_str());
  // Without a local address there is no network to search; probing from a made-up one would
  // only ping strangers.
  if (local_address == 0)
    return local;
  const uint32_t gateway_address = AssignedAddressTable::Parse(gateway.c_str());

  std::unordered_set<uint32_t> adapter_addresses;
  for (const auto& [key, info] : BuildAdapterTable(search.network)) {
    for (const Ipv4WithMask& entry : info.addresses)
      adapter_addresses.insert(AssignedAddressTable::Parse(entry.address.c_str()));
  }
  RegistryAddresses registry_addresses(search.registry);

  // Only the last octet changes, whatever the local mask.
  const uint32_t prefix = ntohl(local_address) & 0xFFFFFF00u;
  for (uint32_t h = 2; h <= 254; ++h) {
    const uint32_t candidate = htonl(prefix | h);
    if (candidate == local_address || candidate == gateway_address ||
        registry_addresses.Contains(candidate) || search.assigned.Contains(candidate) ||
        adapter_addresses.count(candidate) != 0)
      continue;
    const std::string text = DottedFromHostOrder(ntohl(candidate));
    if (search.on_candidate)
      search.on_candidate(text);
    if (search.prober.PintTest(candidate) == 1) {
      DiagLog("got one ip: %s\n", text.c_str());
      if (found != nullptr)
        *found = true;
      return text;
    }
  }
  return local;
}

int AssignFreeAddress(FreeAddressSearch& search, NetworkChangeTarget target, DeviceRow& row) {
  const LocalNetworkParameters params =
      search.params.For(std::string(FieldText(row.record.Lan.IPAddress)));
  bool found = false;
  const std::string address = FindFreeAddressIn(search, params, &found);
  const std::string serial(FieldText(row.record.SerialNumber));
  // Handing out the workstation's own address would take the workstation off the network.
  if (!found) {
    DiagLog("AssignFreeAddress(): no free ip found, IPC %s keeps its address.\n", serial.c_str());
    return kNoFreeAddress;
  }
  LanConfigRecord& lan = row.record.Lan;
  lan.DHCP = 0;
  CopyBounded(lan.IPAddress, address);
  CopyBounded(lan.Netmask, params.Get(kLocalNetmask));
  CopyBounded(lan.Gateway, params.Get(kLocalGateway));
  CopyBounded(lan.DNS1, params.Get(kLocalDns1));
  CopyBounded(lan.DNS2, params.Get(kLocalDns2));
  // Broadcast only, as on one segment: a device behind a router must not be handed an address
  // of the workstation's subnet.
  target.unicast_copy = false;
  const int result = SetDeviceNetwork(target, row.registry_index, &row.record, sizeof row.record);
  if (result != 0)
    DiagLog("set IPC %s failed. error = %ld\n", serial.c_str(), static_cast<long>(result));
  return result;
}

}  // namespace vdz
