// Device jobs in unit tests: the window's runner with the test's thread as the owner. One
// pool thread keeps the fakes' call order the list order.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "devops/batch_runner.h"
#include "devops/device_job_runner.h"
#include "devops/owner_loop.h"

namespace vdz::test {

struct TestJobs {
  explicit TestJobs(int width = 1) : runner(loop.Poster(), width) {}

  // Until every job started has ended (and its handlers ran).
  void Wait() {
    EXPECT_TRUE(loop.RunUntil([this] { return !runner.Busy(); }, std::chrono::seconds(20)));
  }

  // A batch run to its end.
  BatchResult Run(DeviceListPort& list, BatchOperation operation,
                  const std::string& kind = "test") {
    BatchResult result;
    StartBatch(runner, list, kind, std::move(operation),
               [&result](const BatchResult& r) { result = r; });
    Wait();
    return result;
  }

  OwnerLoop loop;
  DeviceJobRunner runner;
};

}  // namespace vdz::test
