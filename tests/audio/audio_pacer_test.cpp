#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "audio/audio_decode_base.h"
#include "audio/pacing_timer.h"

namespace vdz::audio {
namespace {

// A timer that ticks only when the test says so, on the test's thread.
struct ManualTimers {
  struct Timer final : PeriodicTimer {
    Timer(ManualTimers& o, unsigned i, TickFunction t) : owner(o), id(i), tick(std::move(t)) {}
    // The pacer may release a killed timer at once: the test keeps only its flag.
    ~Timer() override {
      if (owner.current == this)
        owner.current = nullptr;
    }
    void Kill() override { *killed = true; }
    ManualTimers& owner;
    unsigned id;
    TickFunction tick;
    std::shared_ptr<bool> killed = std::make_shared<bool>(false);
  };
  TimerFactory Factory() {
    return [this](unsigned id, std::chrono::microseconds period, TickFunction tick) {
      EXPECT_EQ(period, std::chrono::milliseconds(40));
      auto t = std::make_unique<Timer>(*this, id, std::move(tick));
      current = t.get();
      current_killed = t->killed;
      ids.push_back(id);
      return std::unique_ptr<PeriodicTimer>(std::move(t));
    };
  }
  void Fire(int n = 1) {
    for (int i = 0; i < n; ++i)
      if (current != nullptr && !*current->killed)
        current->tick(current->id);
  }
  Timer* current = nullptr;
  std::shared_ptr<bool> current_killed = std::make_shared<bool>(false);
  std::vector<unsigned> ids;
};

struct Recorder final : AudioDecodeOwner {
  void PostEndOfFile() override { ++ends; }
  static void Sink(AudioDecodeOwner* owner, const char* data, unsigned length) {
    auto* self = static_cast<Recorder*>(owner);
    self->chunks.push_back(length);
    if (length > 0)
      self->first_bytes.push_back(static_cast<unsigned char>(data[0]));
  }
  std::vector<unsigned> chunks;
  std::vector<unsigned char> first_bytes;
  std::atomic<int> ends{0};
};

// A block of `bytes` bytes whose byte i is i / chunk (so each chunk starts with its number).
class FixedBlock final : public CAudioDecodeBase {
 public:
  FixedBlock(Recorder* r, int rate, int channels, std::size_t bytes)
      : CAudioDecodeBase(r, "", rate, channels, 2560, &Recorder::Sink), bytes_(bytes) {}
  int Decode() override {
    if (AllocBuffer(BlockCapacity(bytes_)) != 0)
      return -1;
    std::vector<char> v(bytes_);
    for (std::size_t i = 0; i < bytes_; ++i)
      v[i] = static_cast<char>(i / static_cast<std::size_t>(chunk_size()));
    Append(v.data(), v.size());
    return 0;
  }

 private:
  std::size_t bytes_;
};

TEST(AudioPacerTest, ChunkIsFortyMillisecondsOfTheTargetFormat) {
  const struct {
    int rate, channels, bytes;
  } cases[] = {{8000, 1, 640},  {16000, 1, 1280}, {32000, 1, 2560}, {48000, 1, 3840},
               {8000, 2, 1280}, {32000, 2, 5120}, {48000, 2, 7680}, {44100, 1, 3528}};
  for (const auto& c : cases)
    EXPECT_EQ(PacingChunkSize(c.rate, c.channels), c.bytes) << c.rate << "/" << c.channels;
  EXPECT_EQ(BlockCapacity(1024), 2048u);
  EXPECT_EQ(BlockCapacity(1023), 1024u);
  EXPECT_EQ(BlockCapacity(0), 1024u);
}

TEST(AudioPacerTest, LeadTicksThenFullChunksThenShortLastAndEndNotice) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 32000, 1, 2560 * 3 + 100);
  block.SetTimerFactory(timers.Factory());
  ASSERT_EQ(block.Decode(), 0);
  ASSERT_EQ(block.StartPacing(), 0);
  timers.Fire(20);
  EXPECT_TRUE(r.chunks.empty());
  timers.Fire(1);  // the 21st tick sends the first chunk
  ASSERT_EQ(r.chunks.size(), 1u);
  timers.Fire(3);
  EXPECT_EQ(r.chunks, (std::vector<unsigned>{2560, 2560, 2560, 100}));
  EXPECT_EQ(r.first_bytes, (std::vector<unsigned char>{0, 1, 2, 3}));
  EXPECT_EQ(r.ends.load(), 1);
  EXPECT_FALSE(block.pacing());
  EXPECT_TRUE(*timers.current_killed);
  EXPECT_EQ(block.position(), 0u);
}

TEST(AudioPacerTest, FollowingFileSendsItsFirstChunkInsideStartWithoutLead) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 8000, 1, 640 * 2 + 10);
  block.SetTimerFactory(timers.Factory());
  ASSERT_EQ(block.Decode(), 0);
  block.set_lead_ticks(0);
  ASSERT_EQ(block.StartPacing(true), 0);
  EXPECT_EQ(r.chunks, (std::vector<unsigned>{640}));
  EXPECT_TRUE(block.pacing());
  timers.Fire(2);
  EXPECT_EQ(r.chunks, (std::vector<unsigned>{640, 640, 10}));
  EXPECT_EQ(r.ends.load(), 1);
  // A file no longer than one chunk ends inside the start: no timer is left behind.
  Recorder tiny_owner;
  FixedBlock tiny(&tiny_owner, 8000, 1, 300);
  tiny.SetTimerFactory(timers.Factory());
  ASSERT_EQ(tiny.Decode(), 0);
  tiny.set_lead_ticks(0);
  const std::size_t made = timers.ids.size();
  ASSERT_EQ(tiny.StartPacing(true), 0);
  EXPECT_EQ(tiny_owner.chunks, (std::vector<unsigned>{300}));
  EXPECT_EQ(tiny_owner.ends.load(), 1);
  EXPECT_FALSE(tiny.pacing());
  EXPECT_EQ(timers.ids.size(), made);
}

TEST(AudioPacerTest, ResumeSendsOnFirstTickFromKeptPosition) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 8000, 1, 640 * 10);
  block.SetTimerFactory(timers.Factory());
  ASSERT_EQ(block.Decode(), 0);
  block.StartPacing();
  timers.Fire(22);
  block.StopPacing();
  EXPECT_TRUE(*timers.current_killed);
  block.StartPacing();
  timers.Fire(1);
  EXPECT_EQ(r.first_bytes, (std::vector<unsigned char>{0, 1, 2}));
  EXPECT_EQ(block.tick_count(), 23);
}

TEST(AudioPacerTest, StaleTimerIdIsIgnored) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 8000, 1, 6400);
  block.SetTimerFactory(timers.Factory());
  block.Decode();
  block.StartPacing();
  block.StartPacing();  // replaces the first timer
  ASSERT_EQ(timers.ids.size(), 2u);
  EXPECT_NE(timers.ids[0], timers.ids[1]);
  for (int i = 0; i < 30; ++i)
    block.Tick(timers.ids[0]);
  block.Tick(0);
  EXPECT_EQ(block.tick_count(), 0);
  EXPECT_TRUE(r.chunks.empty());
}

TEST(AudioPacerTest, EmptyBlockSendsNothingAndEnds) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 32000, 1, 0);
  block.SetTimerFactory(timers.Factory());
  ASSERT_EQ(block.Decode(), 0);
  block.StartPacing();
  timers.Fire(21);
  EXPECT_EQ(r.chunks, (std::vector<unsigned>{0}));
  EXPECT_EQ(r.ends.load(), 1);
}

TEST(AudioPacerTest, RepeatCountSendsSeveralPasses) {
  Recorder r;
  ManualTimers timers;
  FixedBlock block(&r, 8000, 1, 640 * 2);
  block.SetTimerFactory(timers.Factory());
  block.Decode();
  block.set_repeat_count(3);
  block.StartPacing();
  timers.Fire(40);
  EXPECT_EQ(r.first_bytes, (std::vector<unsigned char>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(r.ends.load(), 1);
}

// The real timer thread: a running tick finishes before Kill returns, and ticks keep the grid.
TEST(ThreadTimerTest, KillWaitsForRunningTickAndGridHolds) {
  std::atomic<int> ticks{0};
  std::atomic<bool> in_tick{false};
  std::atomic<bool> overlap{false};
  std::vector<std::chrono::steady_clock::time_point> times;
  std::mutex times_mutex;
  const auto start = std::chrono::steady_clock::now();
  auto timer = ThreadTimerFactory()(7, std::chrono::milliseconds(5), [&](unsigned id) {
    EXPECT_EQ(id, 7u);
    if (in_tick.exchange(true))
      overlap = true;
    {
      std::lock_guard<std::mutex> lock(times_mutex);
      times.push_back(std::chrono::steady_clock::now());
    }
    if (++ticks == 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    in_tick = false;
  });
  while (ticks.load() < 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  timer->Kill();
  EXPECT_FALSE(in_tick.load());
  const int after_kill = ticks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ticks.load(), after_kill);
  EXPECT_FALSE(overlap.load());
  // Tick n never comes before start + n periods.
  std::lock_guard<std::mutex> lock(times_mutex);
  for (std::size_t i = 0; i < times.size(); ++i)
    EXPECT_GE(times[i] - start, std::chrono::milliseconds(5) * static_cast<int>(i + 1) -
                                    std::chrono::microseconds(200));
}

TEST(ThreadTimerTest, DecoderDestroyedWhilePacing) {
  Recorder r;
  for (int i = 0; i < 5; ++i) {
    auto block = std::make_unique<FixedBlock>(&r, 48000, 2, 7680 * 4);
    block->Decode();
    block->StartPacing();
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 7));
    block.reset();
  }
  SUCCEED();
}

}  // namespace
}  // namespace vdz::audio
