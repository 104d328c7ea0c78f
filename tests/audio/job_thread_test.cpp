#include "audio/job_thread.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace vdz::audio {
namespace {

using namespace std::chrono_literals;

TEST(JobThreadTest, JobsInOrderTimedJobReplacedFinishDropsTheRest) {
  std::mutex lock;
  std::string seen;
  auto note = [&](char c) {
    std::lock_guard guard(lock);
    seen += c;
  };
  std::promise<void> timed_ran;
  std::promise<void> release;
  auto released = release.get_future().share();
  {
    JobThread worker;
    worker.PostAt(JobThread::Clock::now() + 10ms, [&] { note('x'); });  // replaced below
    worker.PostAt(JobThread::Clock::now() + 30ms, [&] {
      note('t');
      timed_ran.set_value();
    });
    worker.Post([&] { note('a'); });
    worker.Post([&] { note('b'); });
    ASSERT_EQ(timed_ran.get_future().wait_for(5s), std::future_status::ready);
    // One job holds the thread; the ones queued behind it never run, the last one does.
    std::promise<void> holding;
    worker.Post([&, released] {
      note('h');
      holding.set_value();
      released.wait();
    });
    ASSERT_EQ(holding.get_future().wait_for(5s), std::future_status::ready);
    worker.Post([&] { note('n'); });
    worker.PostAt(JobThread::Clock::now(), [&] { note('n'); });
    std::thread releaser([&] {
      std::this_thread::sleep_for(50ms);
      release.set_value();
    });
    worker.Finish([&] { note('z'); });
    releaser.join();
    worker.Post([&] { note('n'); });  // after Finish: dropped
  }
  EXPECT_EQ(seen, "abthz");
}

}  // namespace
}  // namespace vdz::audio
