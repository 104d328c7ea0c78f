#include "devops/batch_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "devops/batch_runner.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/record_writer.h"
#include "support/fake_device_list.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

// Walks the checked rows through the shared runner with the report listening.
TEST(BatchReportTest, EveryCheckedDeviceHasOneLineAndTheSummaryCountsThem) {
  const struct {
    int handle;
    bool online, checked;
    const char* serial;
    const char* outcome;  // empty: not in the report
    const char* result_key;
  } rows[] = {
      {1, true, true, "SN,\"1\"", "succeeded", keys::RESTARTING},
      {901, true, true, "SN2", "failed", keys::MSGTIP35},
      {2, false, true, "SN3", "skipped", nullptr},
      {0, true, true, "SN4", "failed", keys::MSGTIP23},  // online, login lost
      {3, true, false, "SN5", "", nullptr},
  };
  test::FakeDeviceList list;
  for (const auto& r : rows)
    CopyBounded(list.Add(r.handle, r.online, r.checked).record.SerialNumber, r.serial);
  BatchReportLog log([] { return std::string("2024-01-02 03:04:05"); });
  list.SetBatchObserver(&log);
  BatchOperation op;
  op.no_login_key = keys::MSGTIP23;
  op.failure_key = keys::MSGTIP35;
  op.success_key = keys::RESTARTING;
  op.call = [](int, const DeviceRow& row) { return row.login_handle >= 900 ? -1 : 0; };
  const int batch = log.Begin("Reboot");
  test::TestJobs jobs;
  jobs.Run(list, op);
  EXPECT_EQ(log.End(batch), BatchSummaryText({1, 2, 1}));

  std::vector<std::string> lines;
  std::istringstream csv(log.Csv());
  for (std::string line; std::getline(csv, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "batch,command,time,address,serial,outcome,result");
  std::size_t line = 1;
  for (const auto& r : rows) {
    if (*r.outcome == '\0')
      continue;
    EXPECT_EQ(lines[line++], "1,Reboot,2024-01-02 03:04:05,192.168.1.10," + CsvField(r.serial) +
                                 "," + r.outcome + "," + CsvField(LookupText(r.result_key)));
  }
}

TEST(BatchReportTest, ADeviceKeepsItsWorstOutcomeAndOnlyTheLastReportsAreKept) {
  test::FakeDeviceList list;
  list.Add(1, true, true);
  BatchReportLog log({}, 2);
  // Empty batches (refused, cancelled) leave no report.
  EXPECT_EQ(log.End(log.Begin("nothing")), "");
  for (int n = 0; n < 3; ++n) {
    const int batch = log.BeginDetached("step");
    log.Record(batch, list, 0, BatchDeviceOutcome::kFailed);
    log.Record(batch, list, 0, BatchDeviceOutcome::kSucceeded);
    log.End(batch);
  }
  ASSERT_EQ(log.Reports().size(), 2u);
  EXPECT_EQ(log.Reports()[0].number, 3);
  ASSERT_EQ(log.Reports()[1].devices.size(), 1u);
  EXPECT_EQ(log.Reports()[1].devices[0].outcome, BatchDeviceOutcome::kFailed);
  // A detached batch does not hear the list.
  const int detached = log.BeginDetached("upgrade");
  list.NoteBatchDevice(0, BatchDeviceOutcome::kSucceeded);
  EXPECT_EQ(log.End(detached), "");
}

}  // namespace
}  // namespace vdz
