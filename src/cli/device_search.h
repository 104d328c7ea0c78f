// The search as the window runs it, driven by a one-second loop instead of timers 1000/1001.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "discovery/device_row.h"
#include "discovery/search_ranges.h"
#include "onvif/onvif_device_client.h"
#include "onvif/onvif_side_search.h"

namespace vdz::cli {

struct SearchRequest {
  SearchRequest(int s = 0, std::string a = {}) : seconds(s), adapter(std::move(a)) {}
  int seconds = 0;      // 0: stop by itself like the window does
  std::string adapter;  // dotted address; empty: all adapters
  // Ranges asked one by one; none given: those of the settings file.
  std::optional<std::vector<AddressRange>> ranges;
  // Single addresses (host order) asked too. With only_hosts nothing is broadcast and the
  // settings file's ranges are left out: the search lists what answers at these addresses.
  std::vector<uint32_t> hosts;
  bool only_hosts = false;
  // Other makers' ONVIF devices are searched beside ours and identified with these accounts.
  bool onvif = true;
  std::vector<onvif::OnvifAccount> onvif_accounts;
};

// The ONVIF accounts a search tries: user with the password given, else read from standard
// input (password_stdin) or VDZ_ONVIF_PASSWORD, so that it need not stand in the process list;
// no user: KeptOnvifAccounts().
std::vector<onvif::OnvifAccount> OnvifAccounts(const std::string& user,
                                               const std::optional<std::string>& password,
                                               bool password_stdin);

// A device command names its devices: those named by an address outside the workstation's
// subnets are asked one by one too (host order), so a routed device is found without a range.
std::vector<uint32_t> RoutedTargets(const std::vector<std::string>& targets);

// The ONVIF accounts a search tries when its caller names none: VDZ_ONVIF_USER with
// VDZ_ONVIF_PASSWORD from the environment, then those kept in the settings.
std::vector<onvif::OnvifAccount> KeptOnvifAccounts();

struct SearchOutcome {
  int status = 0;  // 0 ran; 1 could not run; 2 no such adapter or bad ranges
  std::string error;
  std::vector<DeviceRow> rows;  // in the order the list shows them
  // What the search learned of the ONVIF devices among the rows (profiles, stream and
  // snapshot addresses), when it searched for them.
  std::shared_ptr<onvif::OnvifSideSearch> onvif;
};

// progress (may be null) receives the search's status text once a second.
SearchOutcome SearchDevices(const SearchRequest& request, std::ostream* progress);

// The row whose serial number or address is target, or null.
const DeviceRow* FindDevice(const std::vector<DeviceRow>& rows, const std::string& target);

}  // namespace vdz::cli
