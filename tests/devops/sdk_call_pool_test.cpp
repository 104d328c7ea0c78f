#include "devops/sdk_call_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "devops/pending_sdk_events.h"

namespace vdz {
namespace {

// The owner's thread: posted completions wait here until the test runs them.
class ManualPoster {
 public:
  void Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
  }
  int RunAll() {
    std::vector<std::function<void()>> work;
    {
      std::lock_guard lock(mutex_);
      work.swap(posted_);
    }
    for (auto& w : work)
      w();
    return static_cast<int>(work.size());
  }
  int Waiting() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(posted_.size());
  }

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> posted_;
};

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(SdkCallPoolTest, SlowCallsDoNotHoldTheOthersAndResultsComeBackThroughThePoster) {
  ManualPoster poster;
  SdkCallPool pool([&](std::function<void()> w) { poster.Post(std::move(w)); }, 3);
  std::atomic<bool> release{false};
  std::vector<int> results;
  // One call hangs like a device that never answers; the others finish meanwhile.
  pool.Submit(
      [&] {
        while (!release)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return -5;
      },
      [&](int r) { results.push_back(r); });
  for (int i = 1; i <= 10; ++i) {
    pool.Submit([i] { return i; }, [&](int r) { results.push_back(r); });
  }
  ASSERT_TRUE(WaitUntil([&] { return poster.Waiting() == 10; }));
  EXPECT_TRUE(results.empty());  // nothing runs on the owner's thread until it looks
  poster.RunAll();
  EXPECT_EQ(results.size(), 10u);
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return poster.Waiting() == 1; }));
  poster.RunAll();
  EXPECT_EQ(results.back(), -5);
  EXPECT_EQ(pool.thread_count(), 3);
}

TEST(SdkCallPoolTest, NoCompletionRunsAfterStop) {
  ManualPoster poster;
  int completions = 0;
  {
    SdkCallPool pool([&](std::function<void()> w) { poster.Post(std::move(w)); }, 1);
    pool.Submit([] { return 0; }, [&](int) { ++completions; });
    ASSERT_TRUE(WaitUntil([&] { return poster.Waiting() == 1; }));
    for (int i = 0; i < 50; ++i)
      pool.Submit([] { return 0; }, [&](int) { ++completions; });
    pool.Stop();
    pool.Submit([] { return 0; }, [&](int) { ++completions; });
  }
  poster.RunAll();
  EXPECT_EQ(completions, 0);
}

TEST(SdkCallPoolTest, DroppingATagRemovesOnlyItsCallsNotYetStarted) {
  ManualPoster poster;
  SdkCallPool pool([&](std::function<void()> w) { poster.Post(std::move(w)); }, 1);
  const SdkCallPool::Tag old_rows = pool.NewTag();
  const SdkCallPool::Tag new_rows = pool.NewTag();
  ASSERT_NE(old_rows, new_rows);
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};
  std::vector<int> ran;  // written by the pool's one thread, read once it is idle
  pool.Submit(
      [&] {
        started = true;
        while (!release)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ran.push_back(0);
        return 0;
      },
      nullptr, old_rows);
  ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
  const struct {
    int id;
    SdkCallPool::Tag tag;
  } queued[] = {{1, old_rows}, {2, new_rows}, {3, SdkCallPool::kUntagged}, {4, old_rows}};
  int completions = 0;
  for (const auto& call : queued) {
    pool.Submit(
        [&ran, id = call.id] {
          ran.push_back(id);
          return id;
        },
        [&](int) { ++completions; }, call.tag);
  }
  EXPECT_EQ(pool.Drop(old_rows), 2);
  EXPECT_EQ(pool.Drop(SdkCallPool::kUntagged), 0);
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return pool.pending() == 0; }));
  EXPECT_EQ(ran, (std::vector<int>{0, 2, 3}));  // the running one finishes
  poster.RunAll();
  EXPECT_EQ(completions, 2);
}

TEST(PendingSdkEventsTest, EventsWaitForTheirHandleInOrderAndExpire) {
  PendingSdkEvents pending;
  SdkEventRecord record{};
  const auto t0 = PendingSdkEvents::Clock::now();
  for (int code : {4, 60, 4}) {
    record.handle = 7;
    record.code = code;
    pending.Add(true, record, t0);
  }
  record.handle = 9;
  record.code = 1012;
  pending.Add(false, record, t0);
  auto taken = pending.Take(7);
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].record->code, 4);
  EXPECT_EQ(taken[1].record->code, 60);
  EXPECT_TRUE(pending.Take(7).empty());
  EXPECT_EQ(pending.size(), 1u);

  // Too old: dropped when the next event arrives.
  record.handle = 11;
  pending.Add(true, record, t0 + PendingSdkEvents::kMaxAge + std::chrono::seconds(1));
  EXPECT_TRUE(pending.Take(9).empty());
  EXPECT_EQ(pending.Take(11).size(), 1u);

  for (std::size_t i = 0; i < PendingSdkEvents::kMaxEvents + 10; ++i)
    pending.Add(true, record, t0);
  EXPECT_EQ(pending.size(), PendingSdkEvents::kMaxEvents);
}

}  // namespace
}  // namespace vdz
