// File transfers beside devices that misbehave in them: one stops acknowledging half way,
// one acknowledges with numbers of no transfer, one announces a terabyte download. The
// healthy upgrades finish long before the stalled one is given up, the hostile ones end with
// their event or refusal, and the process does not grow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "lab/devsim_control.h"
#include "lab/sdk_lab_session.h"
#include "protocol/firmware_image.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "support/process_figures.h"

namespace vdz::lab {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
#define VDZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VDZ_ASAN 1
#endif
#endif
#ifdef VDZ_ASAN
// ASan keeps freed blocks in its quarantine, so resident memory counts every transfer buffer
// ever used; there the bound only catches runaway growth such as a buffered terabyte. The
// library's own buffered bytes are checked exactly below in both builds.
constexpr long kRssGrowthLimitKiB = 128 * 1024;
#else
constexpr long kRssGrowthLimitKiB = 16 * 1024;
#endif
constexpr int kStallBoundMs = 3000;
constexpr std::size_t kImageBody = 2 * 1024 * 1024;

constexpr const char* kStalls = "SIM00000002";
constexpr const char* kGarbageAcks = "SIM00000003";
constexpr const char* kHugeDownload = "SIM00000004";
constexpr const char* kHealthy[] = {"SIM00000001", "SIM00000005", "SIM00000006", "SIM00000007",
                                    "SIM00000008", "SIM00000009", "SIM00000010", "SIM00000011"};

class SdkHostileTransfersLab : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vdz-hostile-xfer-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ASSERT_TRUE(control_.Send("reset all"));
    ASSERT_TRUE(control_.Send("sdk-write-ms all 0"));
    ASSERT_TRUE(control_.Send(std::string("sdk-transfer-fault ") + kStalls + " stall"));
    ASSERT_TRUE(control_.Send(std::string("sdk-transfer-fault ") + kGarbageAcks + " garbage-acks"));
    ASSERT_TRUE(control_.Send(std::string("sdk-transfer-fault ") + kHugeDownload + " huge-file"));
  }
  void TearDown() override {
    control_.Send("sdk-transfer-fault all none");
    fs::remove_all(dir_);
  }

  // An image of the device's model, made once per model.
  std::string Image(const std::string& serial) {
    const std::string type = control_.Device(serial)->type;
    auto it = images_.find(type);
    if (it != images_.end())
      return it->second;
    std::string body(kImageBody, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
      body[i] = static_cast<char>(i * 131 + (i >> 12));
    const std::string path = (dir_ / ("fw_" + std::to_string(images_.size()) + ".bin")).string();
    std::ofstream(path, std::ios::binary)
        << sdkproto::FirmwareImageHeader(type, "V6.6.6-hostile", body) << body;
    return images_[type] = path;
  }

  DevsimControl control_ = DevsimControl::FromEnvironment();
  fs::path dir_;
  std::map<std::string, std::string> images_;
};

TEST_F(SdkHostileTransfersLab, OthersFinishAndMemoryStaysBounded) {
  SdkLabSession session;
  std::string error;
  SdkTimeouts timeouts;
  timeouts.keepalive_ms = 500;
  timeouts.dead_peer_ms = kStallBoundMs;
  ASSERT_TRUE(session.Start(timeouts, 2, &error)) << error;
  session.LoginAll();
  ASSERT_TRUE(session.WaitSettled(10s));
  const auto handle = [&](const char* serial) { return session.Row(serial)->login_handle; };
  std::vector<std::string> paths;
  for (const char* s : kHealthy)
    paths.push_back(Image(s));
  const std::string hostile_image = Image(kStalls), garbage_image = Image(kGarbageAcks);
  const long rss_before = vdz::test::ResidentKiB();
  ASSERT_GT(rss_before, 0);

  // The hostile ones go first, so every healthy transfer shares the line with them.
  const auto start = Clock::now();
  ASSERT_EQ(session.sdk().Upgrade(handle(kStalls), hostile_image.c_str()), 0);
  ASSERT_EQ(session.sdk().Upgrade(handle(kGarbageAcks), garbage_image.c_str()), 0);
  ASSERT_EQ(session.sdk().GetFileByName(handle(kHugeDownload), 0, "/mnt/mtd/mp3/huge.mp3",
                                        dir_.string().c_str()),
            0);
  for (std::size_t i = 0; i < std::size(kHealthy); ++i)
    ASSERT_EQ(session.sdk().Upgrade(handle(kHealthy[i]), paths[i].c_str()), 0) << kHealthy[i];

  long rss_peak = rss_before;
  const auto ended = [&](const char* serial, int code) {
    rss_peak = std::max(rss_peak, vdz::test::ResidentKiB());
    return session.EventCount(handle(serial), code) > 0;
  };
  const auto healthy_done = [&] {
    for (const char* s : kHealthy) {
      if (!ended(s, proto::kEventUpgradeDone))
        return false;
    }
    return true;
  };
  EXPECT_TRUE(session.PumpUntil(healthy_done, 20s));
  const auto healthy_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  // Done before the stall bound could even have run out: nobody waited for the stalled one.
  EXPECT_LT(healthy_ms, kStallBoundMs) << "healthy upgrades took " << healthy_ms << " ms";
  EXPECT_EQ(session.EventCount(handle(kStalls), proto::kEventUpgradeInterrupted), 0);

  EXPECT_TRUE(
      session.PumpUntil([&] { return ended(kStalls, proto::kEventUpgradeInterrupted); }, 10s));
  EXPECT_TRUE(
      session.PumpUntil([&] { return ended(kGarbageAcks, proto::kEventUpgradeInterrupted); }, 10s));
  // The terabyte announcement is refused before a byte is written; the line stays up.
  EXPECT_TRUE(session.PumpUntil([&] { return !fs::exists(dir_ / "huge.mp3.part"); }, 5s));
  EXPECT_FALSE(fs::exists(dir_ / "huge.mp3"));
  EXPECT_EQ(session.EventCount(handle(kHugeDownload), proto::kEventDisconnected), 0);
  EXPECT_EQ(control_.Device(kStalls)->version.find("V6.6.6"), std::string::npos);

  const long rss_after = vdz::test::ResidentKiB();
  RecordProperty("healthy_ms", static_cast<int>(healthy_ms));
  RecordProperty("rss_peak_growth_kib", static_cast<int>(rss_peak - rss_before));
  EXPECT_LT(rss_peak - rss_before, kRssGrowthLimitKiB)
      << "RSS " << rss_before << " KiB, peak " << rss_peak << " KiB, after " << rss_after;
  EXPECT_LT(QM_NETSDK_IPC_DebugBufferedBytes(), 16 * 256 * 1024);
}

}  // namespace
}  // namespace vdz::lab
