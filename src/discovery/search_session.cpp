#include "discovery/search_session.h"

#include <cstdio>
#include <cstring>

#include "discovery/discovery_protocol.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {
// Ticks counted while auto-stop is pending; one counter for the whole process.
int g_auto_stop_counter = 0;
}  // namespace

SearchSession::SearchSession(SearchEngine& engine, DeviceRegistry& registry,
                             LocalParameterCache& params, SearchView& view)
    : engine_(engine), registry_(registry), params_(params), view_(view) {}

int SearchSession::StartSearch() {
  DiagLog("CQmDadIvidudEvuzDlg::StartSearch()\n");
  params_.Clear();
  if (engine_.StartSearchThread() == 0 && !engine_.running())
    return -1;
  view_.SetTimerActive(kRequestTimerId, true);
  return 0;
}

int SearchSession::StopSearch() {
  if (engine_.StopSearchThread() == 0)
    return -1;
  view_.SetTimerActive(kRequestTimerId, false);
  return 0;
}

void SearchSession::ShowStatus(const char* key, int count) {
  char text[512];
  std::snprintf(text, sizeof text, "%s %d", LookupText(key).c_str(), count);
  view_.SetStatusText(text);
}

void SearchSession::ClearRows() {
  view_.OnRowsCleared();
  rows_.clear();
  seen_generation_ = ~0UL;
}

void SearchSession::StartFromButton() {
  ClearRows();
  StartSearch();
  view_.SetTimerActive(kRefreshTimerId, true);
  searching_ = true;
  view_.SetSearchButtonText(LookupText(keys::STOPSEARCH));
  ShowStatus(keys::TEXT35, 0);
}

void SearchSession::StopFromButton() {
  StopSearch();
  // Devices found but not yet identified still reach their rows.
  view_.SetTimerActive(kRefreshTimerId, engine_.settling());
  view_.SetSearchButtonText(LookupText(keys::STARTSEARCH));
  ShowStatus(keys::TEXT34, registry_.GetDeviceCount());
  searching_ = false;
}

void SearchSession::ToggleFromButton() {
  if (searching_) {
    StopFromButton();
  } else {
    StartFromButton();
  }
}

void SearchSession::OnRequestTick() {
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
}

void SearchSession::OnRefreshTick() {
  RefreshDeviceList();
  if (!searching_) {
    if (!engine_.settling())
      view_.SetTimerActive(kRefreshTimerId, false);
    return;
  }
  if (!auto_stop_pending_)
    return;
  // The value before the increment is compared, so the seventh tick stops the search.
  if (g_auto_stop_counter++ > 5) {
    g_auto_stop_counter = 0;
    auto_stop_pending_ = false;
    if (searching_)
      StopFromButton();
  }
}

namespace {

// True when the row's copy changed.
bool CopyForeignDetails(const ForeignDetails& details, DeviceRow* row) {
  const bool changed = row->protocol != details.protocol ||
                       FieldText(row->maker) != details.maker ||
                       FieldText(row->foreign_state) != details.state;
  row->protocol = details.protocol;
  CopyBounded(row->maker, details.maker);
  CopyBounded(row->foreign_state, details.state);
  return changed;
}

}  // namespace

void SearchSession::RefreshDeviceList() {
  view_.BeginRefresh();
  const unsigned long generation = registry_.Generation();
  const int count = registry_.GetDeviceCount();
  // Nothing appended or replaced since the last tick: every row already shows its record.
  if (generation != seen_generation_) {
    seen_generation_ = generation;
    auto scratch = std::make_unique<DeviceRecord>();
    for (int k = 0; k < rows_shown(); ++k) {
      DeviceRow& existing = *rows_[static_cast<std::size_t>(k)];
      if (registry_.CopyRecord(existing.registry_index, scratch.get(), sizeof *scratch) != 0) {
        continue;
      }
      // Another maker's device may change only its maker or state as it is identified.
      const bool details_changed =
          existing.protocol != kProtocolOurs &&
          CopyForeignDetails(registry_.Foreign(existing.registry_index), &existing);
      // Records start zero-filled and are only ever copied whole, padding included, so
      // equal bytes mean an unchanged device.
      // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
      if (std::memcmp(scratch.get(), &existing.record, sizeof *scratch) == 0) {
        if (details_changed)
          view_.OnRowChanged(k, existing, existing.record);
        continue;
      }
      view_.OnRowChanged(k, existing, *scratch);
      if (std::strcmp(scratch->Lan.IPAddress, existing.record.Lan.IPAddress) != 0) {
        view_.OnAddressChanged(k, existing, *scratch);
      }
      std::memcpy(&existing.record, scratch.get(), sizeof *scratch);
    }
    if (count > rows_shown())
      view_.ReserveRows(count - rows_shown());
    bool added = false;
    for (int l = rows_shown(); l < count; ++l) {
      auto entry = std::make_unique<DeviceRow>();
      std::memset(&entry->record, 0, sizeof entry->record);
      entry->registry_index = l;
      if (registry_.CopyRecord(l, &entry->record, sizeof entry->record) != 0)
        continue;
      CopyForeignDetails(registry_.Foreign(l), entry.get());
      rows_.push_back(std::move(entry));
      const int row_id = rows_shown() - 1;
      view_.OnRowAdded(row_id, *rows_.back());
      added = true;
    }
    // Every new row would show the same count; once per tick is enough.
    if (added)
      ShowStatus(keys::TEXT35, count);
  }
  view_.EndRefresh();
}

void SearchSession::ChangeAdapterSelection(uint32_t adapter_key) {
  engine_.SetAdapterSelection(adapter_key);
  if (searching_)
    StopFromButton();
  auto_stop_pending_ = true;
  StartFromButton();
}

void SearchSession::Shutdown() {
  if (searching_) {
    view_.SetTimerActive(kRefreshTimerId, false);
    StopSearch();
    searching_ = false;
  }
}

DeviceRow* SearchSession::row(int row_id) {
  if (row_id < 0 || row_id >= rows_shown())
    return nullptr;
  return rows_[static_cast<std::size_t>(row_id)].get();
}

}  // namespace vdz
