#include "onvif/onvif_side_search.h"

#include <algorithm>

#include "devconfig/ipv4_text.h"
#include "onvif/oui_maker.h"
#include "onvif/xaddr_choice.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz::onvif {

DeviceRecord OnvifRecord(const OnvifKnown& known) {
  DeviceRecord record = ZeroDeviceRecord();
  // A camera's web page is served where its device service is; most serve it at 80.
  const int port = UrlPort(known.entry.device_url);
  record.Stream.WEBPort = static_cast<decltype(record.Stream.WEBPort)>(port != 0 ? port : 80);
  CopyBounded(record.Lan.IPAddress, known.entry.address);
  CopyBounded(record.LocalAddress, known.entry.adapter);
  CopyBounded(record.DeviceType, known.entry.hardware);
  CopyBounded(record.Osd, known.entry.name);
  if (const auto& id = known.identity; id && !id->login_failed && id->reachable) {
    if (!id->model.empty())
      CopyBounded(record.DeviceType, id->model);
    CopyBounded(record.SerialNumber, id->serial);
    CopyBounded(record.Version, id->firmware);
    CopyBounded(record.Lan.MacAddress, id->mac);
    CopyBounded(record.Uuid, id->hardware);
    record.Lan.DHCP = id->dhcp ? 1 : 0;
    if (id->prefix_length > 0)
      CopyBounded(record.Lan.Netmask, NetmaskFromPrefix(id->prefix_length));
  }
  return record;
}

OnvifSideSearch::OnvifSideSearch(std::shared_ptr<DeviceRegistry> registry,
                                 std::shared_ptr<NetworkInfoSource> network,
                                 OnvifSideOptions options)
    : registry_(std::move(registry)),
      network_(std::move(network)),
      options_(std::move(options)),
      accounts_(options_.accounts) {}

OnvifSideSearch::~OnvifSideSearch() {
  Stop();
  StopIdentities();
}

void OnvifSideSearch::SetAccounts(std::vector<OnvifAccount> accounts) {
  std::call_once(accounts_loaded_, [] {});  // what the installer saved replaces any loading
  std::lock_guard lock(mutex_);
  accounts_ = std::move(accounts);
}

std::vector<OnvifAccount> OnvifSideSearch::Accounts() const {
  std::call_once(accounts_loaded_, [this] {
    if (!options_.load_accounts)
      return;
    auto loaded = options_.load_accounts();
    std::lock_guard lock(mutex_);
    accounts_ = std::move(loaded);
  });
  std::lock_guard lock(mutex_);
  return accounts_;
}

void OnvifSideSearch::Start(uint32_t adapter_key) {
  Stop();
  StopIdentities();
  WsDiscoveryOptions wsd = options_.discovery;
  wsd.adapters.clear();
  for (const auto& [key, adapter] : BuildAdapterTable(*network_)) {
    if (adapter_key != 0 && key != adapter_key)
      continue;
    for (const Ipv4WithMask& a : adapter.addresses)
      if (std::find(wsd.adapters.begin(), wsd.adapters.end(), a.address) == wsd.adapters.end())
        wsd.adapters.push_back(a.address);
  }
  {
    std::lock_guard lock(mutex_);
    known_.clear();
    queue_.clear();
  }
  search_ = std::make_unique<WsDiscoverySearch>(
      std::move(wsd), [this](const OnvifDeviceEntry& entry) { OnEntry(entry); });
  if (!search_->Start())
    DiagLog("OnvifSideSearch: no WS-Discovery socket could be opened\n");
  for (int i = 0; i < std::max(1, options_.identity_workers); ++i)
    workers_.emplace_back([this](std::stop_token stop) { IdentityWorker(stop); });
}

void OnvifSideSearch::Stop() {
  // Identities still being read are finished: a search stops before its last devices are known.
  if (search_)
    search_->Stop();
}

void OnvifSideSearch::StopIdentities() {
  for (auto& w : workers_)
    w.request_stop();
  wake_.notify_all();
  workers_.clear();  // joins; a call under way ends at its HTTP bound or its stop check
  std::lock_guard lock(mutex_);
  queue_.clear();
  busy_ = 0;
}

void OnvifSideSearch::Publish(const OnvifKnown& known, const char* state,
                              const std::string& detail) {
  ForeignDetails details;
  details.protocol = kProtocolOnvif;
  if (known.identity && !known.identity->manufacturer.empty())
    details.maker = known.identity->manufacturer;
  else if (known.identity && !known.identity->mac.empty())
    details.maker = MakerFromMac(known.identity->mac);
  details.state = detail.empty() ? std::string(state) : std::string(state) + "\t" + detail;
  registry_->PutForeignDevice(known.entry.endpoint, OnvifRecord(known), details);
}

void OnvifSideSearch::OnEntry(const OnvifDeviceEntry& entry) {
  OnvifKnown known;
  bool fresh = false;
  {
    std::lock_guard lock(mutex_);
    auto [it, inserted] = known_.try_emplace(entry.endpoint);
    const bool moved = !inserted && it->second.entry.device_url != entry.device_url;
    it->second.entry = entry;
    if (inserted || moved) {
      it->second.identity.reset();
      queue_.push_back(entry.endpoint);
      fresh = true;
    }
    known = it->second;
  }
  if (fresh) {
    Publish(known, kStateIdentifying, {});
    wake_.notify_one();
  }
}

void OnvifSideSearch::IdentityWorker(std::stop_token stop) {
  for (;;) {
    OnvifKnown known;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return !queue_.empty(); }))
        return;
      auto it = known_.find(queue_.front());
      queue_.pop_front();
      if (it == known_.end())
        continue;
      known = it->second;
      ++busy_;
    }
    HttpOptions http = options_.http;
    http.stop = stop;
    OnvifDeviceClient client(known.entry.device_url, http,
                             known.entry.soap11 ? SoapVersion::k11 : SoapVersion::k12);
    known.identity = client.ReadIdentity(AccountsFor(known.entry.endpoint));
    {
      std::lock_guard lock(mutex_);
      --busy_;
      if (stop.stop_requested())
        return;
      auto it = known_.find(known.entry.endpoint);
      if (it == known_.end() || it->second.entry.device_url != known.entry.device_url)
        continue;  // moved meanwhile: read again from its new address
      it->second.identity = known.identity;
    }
    const OnvifIdentity& id = *known.identity;
    if (id.login_failed)
      Publish(known, kStateLoginFailed, id.login_error);
    else if (!id.reachable)
      Publish(known, kStateUnreachable, id.error);
    else
      Publish(known, kStateOnline, {});
  }
}

std::optional<OnvifKnown> OnvifSideSearch::FindByAddress(const std::string& address) const {
  std::lock_guard lock(mutex_);
  for (const auto& [endpoint, known] : known_)
    if (known.entry.address == address)
      return known;
  return std::nullopt;
}

std::optional<OnvifSideSearch::Stream> OnvifSideSearch::StreamOf(const std::string& address,
                                                                 int profile) const {
  const auto known = FindByAddress(address);
  if (!known || !known->identity || profile < 0 ||
      profile >= static_cast<int>(known->identity->profiles.size()))
    return std::nullopt;
  const OnvifProfile& p = known->identity->profiles[static_cast<std::size_t>(profile)];
  if (p.stream_uri.empty())
    return std::nullopt;
  return Stream{p.stream_uri, known->identity->user,
                PasswordFor(known->entry.endpoint, known->identity->user), p.width, p.height};
}

std::optional<OnvifSideSearch::Stream> OnvifSideSearch::SnapshotOf(
    const std::string& address) const {
  const auto known = FindByAddress(address);
  if (!known || !known->identity || known->identity->login_failed || !known->identity->reachable ||
      known->identity->snapshot_uri.empty())
    return std::nullopt;
  return Stream{known->identity->snapshot_uri, known->identity->user,
                PasswordFor(known->entry.endpoint, known->identity->user), 0, 0};
}

std::optional<OnvifDeviceClient> OnvifSideSearch::ClientFor(const std::string& address) const {
  const auto known = FindByAddress(address);
  if (!known || !known->identity || known->identity->login_failed || !known->identity->reachable)
    return std::nullopt;
  OnvifDeviceClient client(known->entry.device_url, options_.http,
                           known->entry.soap11 ? SoapVersion::k11 : SoapVersion::k12);
  client.UseAccount(
      {known->identity->user, PasswordFor(known->entry.endpoint, known->identity->user)});
  return client;
}

std::vector<OnvifAccount> OnvifSideSearch::AccountsFor(const std::string& endpoint) const {
  std::vector<OnvifAccount> accounts = Accounts();
  std::lock_guard lock(mutex_);
  if (auto own = own_accounts_.find(endpoint); own != own_accounts_.end()) {
    std::erase_if(accounts, [&](const OnvifAccount& a) { return a.user == own->second.user; });
    accounts.insert(accounts.begin(), own->second);
  }
  return accounts;
}

std::string OnvifSideSearch::PasswordFor(const std::string& endpoint,
                                         const std::string& user) const {
  for (const OnvifAccount& a : AccountsFor(endpoint))
    if (a.user == user)
      return a.password;
  return {};
}

void OnvifSideSearch::KeepOwnAccount(const std::string& address, const OnvifAccount& account) {
  std::lock_guard lock(mutex_);
  for (const auto& [endpoint, known] : known_)
    if (known.entry.address == address)
      own_accounts_[endpoint] = account;
}

void OnvifSideSearch::Moved(const std::string& old_address, const std::string& new_address,
                            const OnvifIdentity& identity) {
  std::optional<OnvifKnown> moved;
  {
    std::lock_guard lock(mutex_);
    for (auto& [endpoint, known] : known_) {
      if (known.entry.address != old_address)
        continue;
      known.entry.address = new_address;
      known.entry.device_url = WithHost(known.entry.device_url, new_address);
      known.identity = identity;
      moved = known;
      break;
    }
  }
  if (moved)
    Publish(*moved, identity.login_failed ? kStateLoginFailed : kStateOnline, identity.login_error);
}

int OnvifSideSearch::pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(queue_.size()) + busy_;
}

WsDiscoveryStats OnvifSideSearch::Stats() const {
  return search_ ? search_->Stats() : WsDiscoveryStats{};
}

}  // namespace vdz::onvif
