#include "cli/device_search.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

#include "devconfig/ipv4_text.h"
#include "discovery/discovery_engine.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_session.h"
#include "onvif/account_store.h"
#include "onvif/onvif_side_search.h"
#include "shell/app_paths.h"
#include "shell/bounded_text.h"
#include "shell/settings_file.h"

namespace vdz::cli {

namespace {

// A search front end without widgets: it only keeps the state the window would show.
class CliSearchView final : public SearchView {
 public:
  void SetTimerActive(int timer_id, bool active) override {
    (timer_id == kRefreshTimerId ? refresh_timer : request_timer) = active;
  }
  void SetSearchButtonText(const std::string&) override {}
  void SetStatusText(const std::string& text) override { status = text; }
  void OnRowAdded(int, DeviceRow&) override {}
  void OnRowChanged(int, DeviceRow&, const DeviceRecord&) override {}
  void OnAddressChanged(int, DeviceRow&, const DeviceRecord&) override {}

  bool refresh_timer = false;
  bool request_timer = false;
  std::string status;
};

}  // namespace

std::vector<onvif::OnvifAccount> KeptOnvifAccounts() {
  std::vector<onvif::OnvifAccount> accounts;
  if (const char* user = std::getenv("VDZ_ONVIF_USER")) {
    const char* password = std::getenv("VDZ_ONVIF_PASSWORD");
    accounts.push_back({user, password ? password : ""});
  }
  auto secrets = onvif::MakeSecretStore();
  for (auto& account : onvif::AccountStore(SettingsFile(), *secrets).Accounts())
    accounts.push_back(std::move(account));
  return accounts;
}

// 100 ms ticks: an ONVIF identity takes a few calls of at most 5 s each.
constexpr int kOnvifIdentityWaitTicks = 150;

SearchOutcome SearchDevices(const SearchRequest& request, std::ostream* progress) {
  SearchOutcome outcome;
  std::shared_ptr<NetworkInfoSource> network = MakeSystemNetworkInfoSource();
  uint32_t selection = 0;
  if (!request.adapter.empty()) {
    selection = AdapterKey(request.adapter.c_str());
    const AdapterTable table = BuildAdapterTable(*network);
    if (selection == 0 || !table.count(selection)) {
      outcome.status = 2;
      outcome.error =
          "no adapter with address '" + request.adapter + "' (see: viduzaver-cli adapters)";
      return outcome;
    }
  }

  std::vector<AddressRange> ranges;
  if (request.ranges) {
    ranges = *request.ranges;
  } else if (!request.only_hosts &&
             !ParseAddressRanges(ReadSearchRanges(), &ranges, &outcome.error)) {
    outcome.status = 2;
    outcome.error = "settings file [SEARCH] Ranges: " + outcome.error;
    return outcome;
  }
  if (progress) {
    for (const std::string& note : LocalSubnetNotes(ranges, BuildAdapterTable(*network)))
      *progress << "viduzaver-cli: note: " << note << "\n";
  }
  std::vector<uint32_t> targets = ExpandRanges(ranges);
  for (const uint32_t host : request.hosts) {
    if (std::find(targets.begin(), targets.end(), host) == targets.end())
      targets.push_back(host);
  }

  auto registry = std::make_shared<DeviceRegistry>();
  DiscoveryEngine engine(registry, network);
  engine.SetAdapterSelection(selection);
  engine.SetUnicastTargets(std::move(targets), ReadUnicastRate(kDefaultUnicastRate));
  engine.SetBroadcastSearch(!request.only_hosts);
  std::shared_ptr<onvif::OnvifSideSearch> onvif;
  if (request.onvif) {
    onvif::OnvifSideOptions side;
    side.accounts = request.onvif_accounts.empty() ? KeptOnvifAccounts() : request.onvif_accounts;
    onvif = std::make_shared<onvif::OnvifSideSearch>(registry, network, std::move(side));
    engine.SetSideSearch(onvif);
  }
  LocalParameterCache params(*network);
  CliSearchView view;
  SearchSession session(engine, *registry, params, view);

  session.SetAutoStopPending(request.seconds == 0);
  session.StartFromButton();
  if (!engine.running()) {
    outcome.status = 1;
    outcome.error = "the search could not be started";
    return outcome;
  }

  using Clock = std::chrono::steady_clock;
  auto next_tick = Clock::now();
  for (int tick = 1; session.searching(); ++tick) {
    next_tick += std::chrono::seconds(1);
    std::this_thread::sleep_until(next_tick);
    if (engine.open_socket_count() == 0) {
      session.StopFromButton();
      outcome.status = 1;
      outcome.error = "no discovery socket could be opened on any adapter";
      return outcome;
    }
    if (view.refresh_timer)
      session.OnRefreshTick();
    if (view.request_timer)
      session.OnRequestTick();
    if (progress)
      *progress << "\r" << view.status << std::flush;
    if (request.seconds > 0 && tick >= request.seconds && session.searching())
      session.StopFromButton();
  }
  // The last ONVIF devices found are still telling who they are.
  for (int wait = 0; onvif && onvif->pending() > 0 && wait < kOnvifIdentityWaitTicks; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  session.RefreshDeviceList();
  if (progress)
    *progress << "\n";
  outcome.onvif = onvif;
  outcome.rows.reserve(static_cast<std::size_t>(session.rows_shown()));
  for (int i = 0; i < session.rows_shown(); ++i)
    outcome.rows.push_back(*session.row(i));
  return outcome;
}

std::vector<onvif::OnvifAccount> OnvifAccounts(const std::string& user,
                                               const std::optional<std::string>& password,
                                               bool password_stdin) {
  if (user.empty())
    return KeptOnvifAccounts();
  onvif::OnvifAccount account{user, {}};
  if (password) {
    account.password = *password;
  } else if (password_stdin) {
    std::getline(std::cin, account.password);
  } else if (const char* env = std::getenv("VDZ_ONVIF_PASSWORD")) {
    account.password = env;
  }
  return {account};
}

std::vector<uint32_t> RoutedTargets(const std::vector<std::string>& targets) {
  std::vector<uint32_t> hosts;
  auto network = MakeSystemNetworkInfoSource();
  const AdapterTable adapters = BuildAdapterTable(*network);
  for (const std::string& target : targets) {
    const auto address = ParseDottedQuad(target);
    if (address && *address != 0 && OutsideLocalSubnets(*address, adapters))
      hosts.push_back(*address);
  }
  return hosts;
}

const DeviceRow* FindDevice(const std::vector<DeviceRow>& rows, const std::string& target) {
  for (const DeviceRow& row : rows) {
    if (target == FieldText(row.record.SerialNumber) ||
        target == FieldText(row.record.Lan.IPAddress))
      return &row;
  }
  return nullptr;
}

}  // namespace vdz::cli
