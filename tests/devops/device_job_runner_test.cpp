#include "devops/device_job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "devops/batch_runner.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

// A device that holds its pool thread until the test lets it go.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
  int most = 0;
  bool open = false;

  int Pass(int result) {
    std::unique_lock lock(mutex);
    most = std::max(most, ++running);
    changed.notify_all();
    changed.wait(lock, [this] { return open; });
    --running;
    return result;
  }
  void WaitRunning(int n) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return running >= n; });
  }
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    changed.notify_all();
  }
};

std::vector<DeviceTask> Tasks(int n, Gate& gate, std::vector<int>* ended) {
  std::vector<DeviceTask> tasks;
  for (int i = 0; i < n; ++i) {
    tasks.push_back({std::to_string(i), [&gate, i] { return gate.Pass(i); },
                     [ended](int result) { ended->push_back(result); },
                     [ended] { ended->push_back(-1); }});
  }
  return tasks;
}

TEST(DeviceJobRunnerTest, RunsDevicesSideBySideUpToItsWidthAndReportsEachOnce) {
  test::TestJobs jobs(4);
  Gate gate;
  std::vector<int> ended;
  JobEnd end;
  jobs.runner.Start("k", Tasks(10, gate, &ended), [&](const JobEnd& e) { end = e; });
  gate.WaitRunning(4);
  gate.Open();
  jobs.Wait();
  EXPECT_EQ(gate.most, 4);
  std::sort(ended.begin(), ended.end());
  EXPECT_EQ(ended, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(end.done, 10);
  EXPECT_FALSE(end.cancelled);
}

TEST(DeviceJobRunnerTest, CancelSkipsDevicesNotStartedAndASecondJobOfTheKindIsRefused) {
  test::TestJobs jobs(2);
  Gate gate;
  std::vector<int> ended;
  std::vector<std::string> refused;
  jobs.runner.SetRefusedHandler([&](const std::string& kind) { refused.push_back(kind); });
  JobEnd end;
  const int job = jobs.runner.Start("k", Tasks(6, gate, &ended), [&](const JobEnd& e) { end = e; });
  gate.WaitRunning(2);
  EXPECT_EQ(jobs.runner.Start("k", {}), 0);
  EXPECT_EQ(refused, std::vector<std::string>{"k"});
  EXPECT_NE(jobs.runner.Start("other", {}), 0);  // another kind runs beside it
  jobs.runner.Cancel(job);
  gate.Open();
  jobs.Wait();
  EXPECT_EQ(end.done, 2);
  EXPECT_EQ(end.skipped, 4);
  EXPECT_TRUE(end.cancelled);
  EXPECT_EQ(std::count(ended.begin(), ended.end(), -1), 4);
  EXPECT_NE(jobs.runner.Start("k", {}), 0);  // free again once ended
  jobs.Wait();
}

TEST(DeviceJobRunnerTest, StopWaitsForRunningDevicesAndDeliversNothingAfterwards) {
  OwnerLoop loop;
  DeviceJobRunner runner(loop.Poster(), 1);
  Gate gate;
  std::vector<int> ended;
  runner.Start("k", Tasks(3, gate, &ended));
  gate.WaitRunning(1);
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate.Open();
  });
  runner.Stop();
  opener.join();
  EXPECT_EQ(gate.most, 1);
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_TRUE(ended.empty());
}

// The list is emptied and refilled while the devices work: their results find no row.
TEST(DeviceJobRunnerTest, ABatchWritesOnlyToRowsStillListed) {
  test::FakeDeviceList list;
  for (int handle : {1, 2, 3})
    CopyBounded(list.Add(handle, true, true).record.SerialNumber, "SN" + std::to_string(handle));
  test::TestJobs jobs;
  Gate gate;
  BatchOperation op;
  op.success_key = keys::MSGTIP18;
  op.call = [&gate](int, const DeviceRow&) { return gate.Pass(0); };
  BatchResult result;
  StartBatch(jobs.runner, list, "k", op, [&](const BatchResult& r) { result = r; });
  gate.WaitRunning(1);
  list.entries.erase(list.entries.begin() + 1);  // the second device left the list
  std::swap(list.entries[0], list.entries[1]);   // and the list was sorted
  gate.Open();
  jobs.Wait();
  EXPECT_EQ(result.succeeded, 3);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGTIP18));
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGTIP18));
  EXPECT_EQ(list.entries[0].status_writes + list.entries[1].status_writes, 2);
}

}  // namespace
}  // namespace vdz
