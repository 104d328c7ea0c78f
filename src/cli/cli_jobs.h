// The tool's side of device jobs: the same runner the window uses, with this thread as the
// owner; a command starts its jobs and waits here until they ended.
#pragma once

#include "devops/device_job_runner.h"
#include "devops/owner_loop.h"

namespace vdz::cli {

class CliJobs {
 public:
  CliJobs() : runner_(loop_.Poster()) {}

  DeviceJobRunner& runner() { return runner_; }
  // Runs the jobs' per-device results here until no job runs.
  void Wait() {
    loop_.RunUntil([this] { return !runner_.Busy(); });
  }

 private:
  OwnerLoop loop_;
  DeviceJobRunner runner_;  // stops (joins its threads) before the loop goes
};

}  // namespace vdz::cli
