#include "discovery/search_session.h"

#include <gtest/gtest.h>

#include <map>

#include "discovery/running_time_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/answer_text.h"

namespace vdz {
namespace {

class FakeEngine : public SearchEngine {
 public:
  int StartSearchThread() override {
    if (running_)
      return 0;
    ++starts;
    running_ = true;
    return 1;
  }
  int StopSearchThread() override {
    if (!running_)
      return 0;
    ++stops;
    running_ = false;
    return 1;
  }
  int SendDiscoveryMessage(int code, const char*) override {
    sent.push_back(code);
    return 0;
  }
  int SendDiscoveryMessageTo(int, const char*, const std::string&) override { return 1; }
  void SetAdapterSelection(uint32_t key) override { selection = key; }
  bool running() const override { return running_; }
  bool settling() const override { return settling_; }

  bool running_ = false;
  bool settling_ = false;
  int starts = 0;
  int stops = 0;
  uint32_t selection = 0;
  std::vector<int> sent;
};

class FakeNetwork : public NetworkInfoSource {
 public:
  std::optional<std::vector<AdapterInfo>> ReadAdapters() override { return std::nullopt; }
  std::optional<std::vector<std::string>> ReadNameServers() override { return std::nullopt; }
  std::optional<int> BestInterfaceFor(const char*) override { return std::nullopt; }
};

class RecordingView : public SearchView {
 public:
  void SetTimerActive(int id, bool active) override { timers[id] = active; }
  void SetSearchButtonText(const std::string& text) override { button = text; }
  void SetStatusText(const std::string& text) override { status = text; }
  void OnRowsCleared() override { ++cleared; }
  void OnRowAdded(int row_id, DeviceRow& row) override {
    added.push_back(row_id);
    row.login_handle = 100 + row_id;
  }
  void OnRowChanged(int row_id, DeviceRow&, const DeviceRecord&) override {
    changed.push_back(row_id);
  }
  void OnAddressChanged(int row_id, DeviceRow& row, const DeviceRecord& fresh) override {
    readdressed.push_back(
        {row_id, std::string(row.record.Lan.IPAddress) + ">" + fresh.Lan.IPAddress});
  }

  std::map<int, bool> timers;
  std::string button, status;
  int cleared = 0;
  std::vector<int> added, changed;
  std::vector<std::pair<int, std::string>> readdressed;
};

class SearchSessionTest : public ::testing::Test {
 protected:
  void AddAnswer(const std::string& serial, const std::string& ip, int runtime = 10) {
    test::AnswerFields f;
    f.serial = serial;
    f.ip = ip;
    f.runtime = runtime;
    const std::string text = test::MakeAnswer(f);
    registry.AddDeviceAnswer(text.c_str(), static_cast<int>(text.size()), "192.168.1.100");
  }
  static std::string Status(const char* key, int n) {
    return LookupText(key) + " " + std::to_string(n);
  }

  FakeEngine engine;
  DeviceRegistry registry;
  FakeNetwork network;
  LocalParameterCache params{network};
  RecordingView view;
  SearchSession session{engine, registry, params, view};
};

TEST_F(SearchSessionTest, StartClearsRowsStartsTimersAndStopShowsCount) {
  session.StartFromButton();
  EXPECT_TRUE(session.searching());
  EXPECT_EQ(engine.starts, 1);
  EXPECT_EQ(view.cleared, 1);
  EXPECT_TRUE(view.timers[kRefreshTimerId]);
  EXPECT_TRUE(view.timers[kRequestTimerId]);
  EXPECT_EQ(view.button, LookupText(keys::STOPSEARCH));
  EXPECT_EQ(view.status, Status(keys::TEXT35, 0));

  AddAnswer("A", "192.168.1.10");
  AddAnswer("B", "192.168.1.11");
  session.OnRefreshTick();
  EXPECT_EQ(view.added, (std::vector<int>{0, 1}));
  EXPECT_EQ(view.status, Status(keys::TEXT35, 2));
  EXPECT_EQ(session.row(1)->registry_index, 1);
  EXPECT_EQ(session.row(1)->login_handle, 101);

  session.ToggleFromButton();
  EXPECT_FALSE(session.searching());
  EXPECT_EQ(engine.stops, 1);
  EXPECT_FALSE(view.timers[kRefreshTimerId]);
  EXPECT_FALSE(view.timers[kRequestTimerId]);
  EXPECT_EQ(view.button, LookupText(keys::STARTSEARCH));
  EXPECT_EQ(view.status, Status(keys::TEXT34, 2));
  EXPECT_EQ(session.rows_shown(), 2);  // stopping keeps the list
}

TEST_F(SearchSessionTest, RequestTickQueuesSearchRequest) {
  session.StartFromButton();
  session.OnRequestTick();
  session.OnRequestTick();
  EXPECT_EQ(engine.sent, (std::vector<int>{1, 1}));
}

TEST_F(SearchSessionTest, RefreshReportsOnlyChangesAndAddressMoves) {
  session.StartFromButton();
  AddAnswer("A", "192.168.1.10", 10);
  AddAnswer("B", "192.168.1.11", 10);
  session.OnRefreshTick();
  view.added.clear();

  session.OnRefreshTick();  // nothing new
  EXPECT_TRUE(view.added.empty());
  EXPECT_TRUE(view.changed.empty());

  AddAnswer("B", "192.168.1.11", 10);  // same bytes again
  session.OnRefreshTick();
  EXPECT_TRUE(view.changed.empty());

  AddAnswer("A", "192.168.1.10", 11);  // running time moved on
  AddAnswer("B", "192.168.1.50", 11);  // device re-addressed
  session.OnRefreshTick();
  EXPECT_EQ(view.changed, (std::vector<int>{0, 1}));
  ASSERT_EQ(view.readdressed.size(), 1u);
  EXPECT_EQ(view.readdressed[0], (std::pair<int, std::string>{1, "192.168.1.11>192.168.1.50"}));
  EXPECT_STREQ(session.row(1)->record.Lan.IPAddress, "192.168.1.50");
  EXPECT_EQ(session.row(1)->login_handle, 101);  // the view decides about the login
}

TEST_F(SearchSessionTest, AutoStopEndsSearchOnSeventhTick) {
  session.SetAutoStopPending(true);
  session.StartFromButton();
  for (int tick = 1; tick <= 6; ++tick) {
    session.OnRefreshTick();
    ASSERT_TRUE(session.searching()) << tick;
  }
  session.OnRefreshTick();
  EXPECT_FALSE(session.searching());
  EXPECT_FALSE(session.auto_stop_pending());
  EXPECT_EQ(engine.stops, 1);

  // Without auto-stop a search goes on.
  session.StartFromButton();
  for (int tick = 0; tick < 20; ++tick)
    session.OnRefreshTick();
  EXPECT_TRUE(session.searching());
}

TEST_F(SearchSessionTest, AdapterChangeRestartsWithAutoStopAndEmptiesList) {
  session.StartFromButton();
  AddAnswer("A", "192.168.1.10");
  session.OnRefreshTick();
  ASSERT_EQ(session.rows_shown(), 1);

  session.ChangeAdapterSelection(0x0A01A8C0);
  EXPECT_EQ(engine.selection, 0x0A01A8C0u);
  EXPECT_EQ(engine.stops, 1);
  EXPECT_EQ(engine.starts, 2);
  EXPECT_TRUE(session.searching());
  EXPECT_TRUE(session.auto_stop_pending());
  EXPECT_EQ(session.rows_shown(), 0);
  EXPECT_EQ(view.cleared, 2);
}

TEST_F(SearchSessionTest, ShutdownStopsRunningWorker) {
  session.StartFromButton();
  session.Shutdown();
  EXPECT_FALSE(engine.running());
  EXPECT_FALSE(view.timers[kRefreshTimerId]);
  EXPECT_FALSE(view.timers[kRequestTimerId]);
}

TEST(RunningTimeTextTest, JoinsNonZeroPartsWithoutSeparator) {
  EXPECT_EQ(RunningTimeText(90061, "D", "H", "M", "S"), "1 D1 H1 M1 S");
  EXPECT_EQ(RunningTimeText(3600, "D", "H", "M", "S"), "1 H");
  EXPECT_EQ(RunningTimeText(86400 * 3 + 59, "D", "H", "M", "S"), "3 D59 S");
  EXPECT_EQ(RunningTimeText(0, "D", "H", "M", "S"), "");
  EXPECT_EQ(RunningTimeText(-5, "D", "H", "M", "S"), "");
}

TEST_F(SearchSessionTest, AStoppedSearchRefreshesTheListUntilWhatItFoundIsIdentified) {
  session.StartFromButton();
  AddAnswer("A", "192.168.1.10");
  session.OnRefreshTick();
  engine.settling_ = true;
  session.ToggleFromButton();
  EXPECT_TRUE(view.timers[kRefreshTimerId]);
  EXPECT_FALSE(view.timers[kRequestTimerId]);

  AddAnswer("A", "192.168.1.20");  // the device's row changes after the stop
  session.OnRefreshTick();
  EXPECT_EQ(view.changed, (std::vector<int>{0}));
  EXPECT_TRUE(view.timers[kRefreshTimerId]);
  EXPECT_EQ(view.status, Status(keys::TEXT34, 1));

  engine.settling_ = false;
  session.OnRefreshTick();
  EXPECT_FALSE(view.timers[kRefreshTimerId]);
  EXPECT_FALSE(session.searching());
}

}  // namespace
}  // namespace vdz
