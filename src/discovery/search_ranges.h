// Address ranges a search also asks one by one: broadcasts stop at a router, so devices in
// other subnets are reached only by a request sent to their own address.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vdz {

// As in local_interfaces.h, whose names would crowd the front ends that only parse ranges.
struct AdapterInfo;
using AdapterTable = std::map<uint32_t, AdapterInfo>;

// A range holds at most this many addresses: 4096 at the default rate take about two seconds,
// which still fits a search pass of the auto-stopping first search.
inline constexpr uint32_t kMaxRangeAddresses = 4096;
// Requests per second of the unicast search; a setting.
inline constexpr int kDefaultUnicastRate = 2000;
inline constexpr int kMinUnicastRate = 10;
inline constexpr int kMaxUnicastRate = 100000;

// Host order, first octet high; first <= last.
struct AddressRange {
  uint32_t first = 0;
  uint32_t last = 0;
  // A CIDR block: its network and broadcast addresses are no device's, so they are not asked.
  int prefix = -1;
  uint32_t Count() const { return last - first + 1; }
  bool operator==(const AddressRange&) const = default;
};

// "10.2.0.0/22" (host bits are cleared), "10.2.0.5-10.2.0.40" or one address "10.2.0.5".
// False and a message naming the text in *error when it is malformed or too large.
bool ParseAddressRange(std::string_view text, AddressRange* range, std::string* error);
// Several ranges separated by commas, blanks or line breaks; the first bad one fails them all.
bool ParseAddressRanges(std::string_view text, std::vector<AddressRange>* ranges,
                        std::string* error);
// The canonical text: "a.b.c.d/p", "a.b.c.d-e.f.g.h" or "a.b.c.d".
std::string RangeText(const AddressRange& range);
std::string RangesText(const std::vector<AddressRange>& ranges);  // comma-separated

// Every address asked, in range order, each once; host order.
std::vector<uint32_t> ExpandRanges(const std::vector<AddressRange>& ranges);

// A note for each range overlapping one of the workstation's own subnets: allowed, but the
// broadcast reaches those devices already and both answers make one row.
std::vector<std::string> LocalSubnetNotes(const std::vector<AddressRange>& ranges,
                                          const AdapterTable& adapters);

// True when the address (host order) lies in none of the adapters' subnets: a device there
// hears no broadcast of ours.
bool OutsideLocalSubnets(uint32_t address, const AdapterTable& adapters);

}  // namespace vdz
