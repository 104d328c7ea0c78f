#include "devops/row_jobs.h"

#include <memory>

#include "devops/batch_runner.h"
#include "shell/bounded_text.h"

namespace vdz {

RowRunner MakeRowRunner(DeviceJobRunner& jobs, DeviceListPort& list, std::string kind) {
  return [&jobs, &list, kind = std::move(kind)](std::vector<RowWork> rows,
                                                std::function<void()> finished) {
    std::vector<DeviceTask> tasks;
    for (RowWork& row : rows) {
      const DeviceRow* live = list.RowAt(row.position);
      if (live == nullptr)
        continue;
      auto work = std::make_shared<RowWork>(std::move(row));
      const RowKey key = KeyOf(*live);
      DeviceTask task;
      task.device = std::string(FieldText(work->copy.record.Lan.IPAddress));
      task.work = [work] { return work->work(work->copy); };
      task.done = [&list, work, key](int result) {
        const int at = Relocate(list, key);
        work->done(at, at >= 0 ? list.RowAt(at) : nullptr, work->copy, result);
      };
      task.skipped = [&list, work, key] {
        const int at = Relocate(list, key);
        if (work->skipped)
          work->skipped(at, at >= 0 ? list.RowAt(at) : nullptr);
      };
      tasks.push_back(std::move(task));
    }
    jobs.StartInOrder(kind, std::move(tasks), [finished = std::move(finished)](const JobEnd&) {
      if (finished)
        finished();
    });
  };
}

}  // namespace vdz
