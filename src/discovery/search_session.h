// A search as the user sees it: start/stop, the repeat request every second, auto-stop after
// seven ticks, and the one-second refresh that turns registry records into list rows. The
// window's timers 1000/1001 and the command-line tool drive the same object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "discovery/device_registry.h"
#include "discovery/device_row.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_engine.h"

namespace vdz {

inline constexpr int kRefreshTimerId = 1000;
inline constexpr int kRequestTimerId = 1001;

// The front end behind a search: the window's list and captions, or the CLI's table.
class SearchView {
 public:
  virtual ~SearchView() = default;
  virtual void SetTimerActive(int timer_id, bool active) = 0;
  virtual void SetSearchButtonText(const std::string& text) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // Every row is about to go (new search); the select-all box is unchecked.
  virtual void OnRowsCleared() {}
  virtual void BeginRefresh() {}
  virtual void EndRefresh() {}
  // The refresh is about to add this many rows (one OnRowAdded each follows).
  virtual void ReserveRows(int count) { (void)count; }
  // A new row: write its cells, ask for key parameters, log in (the view may set the handle).
  virtual void OnRowAdded(int row_id, DeviceRow& row) = 0;
  // The registry copy differs from the row's: write the cells whose text changed.
  virtual void OnRowChanged(int row_id, DeviceRow& row, const DeviceRecord& fresh) = 0;
  // The device's address changed: log the row out and in again at the fresh address.
  virtual void OnAddressChanged(int row_id, DeviceRow& row, const DeviceRecord& fresh) = 0;
};

class SearchSession {
 public:
  SearchSession(SearchEngine& engine, DeviceRegistry& registry, LocalParameterCache& params,
                SearchView& view);

  int StartSearch();
  int StopSearch();

  // The start/stop button.
  void StartFromButton();
  void StopFromButton();
  void ToggleFromButton();

  void OnRequestTick();  // timer 1001: one more search request
  void OnRefreshTick();  // timer 1000: refresh, then the auto-stop countdown
  void RefreshDeviceList();

  void SetAutoStopPending(bool pending) { auto_stop_pending_ = pending; }
  bool auto_stop_pending() const { return auto_stop_pending_; }

  // Adapter list selection changed: stop if searching, then a new auto-stopping search.
  void ChangeAdapterSelection(uint32_t adapter_key);

  // Closing: a running search is stopped; the rows are released afterwards by the owner.
  void Shutdown();

  bool searching() const { return searching_; }
  int rows_shown() const { return static_cast<int>(rows_.size()); }
  DeviceRow* row(int row_id);
  void ClearRows();

 private:
  void ShowStatus(const char* key, int count);

  SearchEngine& engine_;
  DeviceRegistry& registry_;
  LocalParameterCache& params_;
  SearchView& view_;
  bool searching_ = false;
  bool auto_stop_pending_ = false;
  std::vector<std::unique_ptr<DeviceRow>> rows_;
  unsigned long seen_generation_ = ~0UL;
};

}  // namespace vdz
