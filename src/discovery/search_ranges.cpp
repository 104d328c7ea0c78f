#include "discovery/search_ranges.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <unordered_set>

#include "devconfig/ipv4_text.h"
#include "discovery/local_interfaces.h"

namespace vdz {

namespace {

std::string Quoted(std::string_view text) {
  return "range '" + std::string(text) + "'";
}

std::optional<int> ParsePrefix(std::string_view text) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 32)
    return std::nullopt;
  return value;
}

uint32_t MaskOf(int prefix) {
  return prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix);
}

struct Subnet {
  uint32_t network;
  uint32_t mask;
};

std::vector<Subnet> LocalSubnets(const AdapterTable& adapters) {
  std::vector<Subnet> subnets;
  for (const auto& [key, info] : adapters) {
    for (const Ipv4WithMask& a : info.addresses) {
      const auto address = ParseDottedQuad(a.address);
      const auto mask = ParseDottedQuad(a.mask);
      if (address && mask && *mask != 0)
        subnets.push_back({*address & *mask, *mask});
    }
  }
  return subnets;
}

}  // namespace

bool ParseAddressRange(std::string_view text, AddressRange* range, std::string* error) {
  const std::string_view original = text;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  const std::string malformed = Quoted(original) +
                                " is not CIDR (10.2.0.0/22), first-last (10.2.0.1-10.2.0.200) "
                                "or one address";
  AddressRange parsed;
  if (const auto slash = text.find('/'); slash != std::string_view::npos) {
    const auto base = ParseDottedQuad(text.substr(0, slash));
    const auto prefix = ParsePrefix(text.substr(slash + 1));
    if (!base || !prefix) {
      *error = malformed;
      return false;
    }
    const uint64_t count = uint64_t{1} << (32 - *prefix);
    if (count > kMaxRangeAddresses) {
      *error = Quoted(original) + " holds " + std::to_string(count) + " addresses; at most " +
               std::to_string(kMaxRangeAddresses) + " per range (a /20)";
      return false;
    }
    parsed.first = *base & MaskOf(*prefix);
    parsed.last = parsed.first + static_cast<uint32_t>(count - 1);
    parsed.prefix = *prefix;
  } else if (const auto dash = text.find('-'); dash != std::string_view::npos) {
    const auto first = ParseDottedQuad(text.substr(0, dash));
    const auto last = ParseDottedQuad(text.substr(dash + 1));
    if (!first || !last) {
      *error = malformed;
      return false;
    }
    if (*last < *first) {
      *error = Quoted(original) + " ends before it starts";
      return false;
    }
    if (uint64_t{*last} - *first + 1 > kMaxRangeAddresses) {
      *error = Quoted(original) + " holds " + std::to_string(uint64_t{*last} - *first + 1) +
               " addresses; at most " + std::to_string(kMaxRangeAddresses) + " per range";
      return false;
    }
    parsed.first = *first;
    parsed.last = *last;
  } else {
    const auto address = ParseDottedQuad(text);
    if (!address) {
      *error = malformed;
      return false;
    }
    parsed.first = parsed.last = *address;
  }
  *range = parsed;
  return true;
}

bool ParseAddressRanges(std::string_view text, std::vector<AddressRange>* ranges,
                        std::string* error) {
  std::vector<AddressRange> parsed;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(", \t\r\n", start);
    if (end == std::string_view::npos)
      end = text.size();
    if (end > start) {
      AddressRange range;
      if (!ParseAddressRange(text.substr(start, end - start), &range, error))
        return false;
      parsed.push_back(range);
    }
    start = end + 1;
  }
  *ranges = std::move(parsed);
  return true;
}

std::string RangeText(const AddressRange& range) {
  if (range.prefix >= 0)
    return DottedFromHostOrder(range.first) + "/" + std::to_string(range.prefix);
  if (range.first == range.last)
    return DottedFromHostOrder(range.first);
  return DottedFromHostOrder(range.first) + "-" + DottedFromHostOrder(range.last);
}

std::string RangesText(const std::vector<AddressRange>& ranges) {
  std::string text;
  for (const AddressRange& range : ranges) {
    if (!text.empty())
      text += ",";
    text += RangeText(range);
  }
  return text;
}

std::vector<uint32_t> ExpandRanges(const std::vector<AddressRange>& ranges) {
  std::vector<uint32_t> addresses;
  std::unordered_set<uint32_t> seen;
  for (const AddressRange& range : ranges) {
    uint32_t first = range.first;
    uint32_t last = range.last;
    if (range.prefix >= 0 && range.prefix <= 30) {
      ++first;
      --last;
    }
    for (uint64_t a = first; a <= last; ++a) {
      if (seen.insert(static_cast<uint32_t>(a)).second)
        addresses.push_back(static_cast<uint32_t>(a));
    }
  }
  return addresses;
}

std::vector<std::string> LocalSubnetNotes(const std::vector<AddressRange>& ranges,
                                          const AdapterTable& adapters) {
  std::vector<std::string> notes;
  const std::vector<Subnet> subnets = LocalSubnets(adapters);
  for (const AddressRange& range : ranges) {
    for (const Subnet& s : subnets) {
      const uint32_t broadcast = s.network | ~s.mask;
      if (range.first <= broadcast && range.last >= s.network) {
        int prefix = 0;
        for (uint32_t m = s.mask; m & 0x80000000u; m <<= 1)
          ++prefix;
        notes.push_back(Quoted(RangeText(range)) + " lies in the workstation's subnet " +
                        DottedFromHostOrder(s.network) + "/" + std::to_string(prefix) +
                        ": its broadcast already reaches those devices; their answers merge");
        break;
      }
    }
  }
  return notes;
}

bool OutsideLocalSubnets(uint32_t address, const AdapterTable& adapters) {
  for (const Subnet& s : LocalSubnets(adapters)) {
    if ((address & s.mask) == s.network)
      return false;
  }
  return true;
}

}  // namespace vdz
