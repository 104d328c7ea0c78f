// Devices that accept the line and then never answer, send garbage, announce a 100 MB frame
// or close in the middle of one: at login and on live sessions. The other devices still come
// online, the process stays small and nothing crashes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devops/device_login.h"
#include "lab/devsim_control.h"
#include "lab/sdk_lab_session.h"
#include "shell/bounded_text.h"
#include "support/process_figures.h"

namespace vdz::lab {
namespace {

using namespace std::chrono_literals;

constexpr long kRssGrowthLimitKiB = 64 * 1024;

struct Fault {
  const char* serial;
  const char* mode;
};

// Misbehaving from the first connection on.
constexpr Fault kAtLogin[] = {{"SIM00000002", "silent"},
                              {"SIM00000003", "garbage"},
                              {"SIM00000004", "huge-length"},
                              {"SIM00000005", "close-mid-frame"},
                              {"SIM00000006", "drop-line"}};
// Healthy at login, then turning on their live sessions.
constexpr Fault kLater[] = {{"SIM00000008", "silent"},
                            {"SIM00000009", "garbage"},
                            {"SIM00000010", "huge-length"},
                            {"SIM00000011", "close-mid-frame"}};

bool IsFaulty(const std::string& serial, bool with_later) {
  for (const Fault& f : kAtLogin) {
    if (serial == f.serial)
      return true;
  }
  if (with_later) {
    for (const Fault& f : kLater) {
      if (serial == f.serial)
        return true;
    }
  }
  return false;
}

class SdkHostileDevicesLab : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(control_.Send("reset all"));
    for (const Fault& f : kAtLogin)
      ASSERT_TRUE(control_.Send(std::string("sdk-misbehave ") + f.serial + " " + f.mode));
  }
  void TearDown() override { control_.Send("reset all"); }

  DevsimControl control_ = DevsimControl::FromEnvironment();
};

TEST_F(SdkHostileDevicesLab, OthersComeOnlineAndMemoryStaysBounded) {
  SdkLabSession session;
  std::string error;
  SdkTimeouts timeouts;
  timeouts.login_ms = 1500;
  timeouts.keepalive_ms = 500;
  timeouts.dead_peer_ms = 2000;
  timeouts.reconnect_ms = 200;
  ASSERT_TRUE(session.Start(timeouts, 2, &error)) << error;
  auto& list = session.list();
  ASSERT_GE(list.RowCount(), 12);
  const long rss_before = vdz::test::ResidentKiB();
  ASSERT_GT(rss_before, 0);

  session.LoginAll();
  EXPECT_TRUE(session.WaitSettled(10s));
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow& row = *list.RowAt(p);
    const std::string serial(FieldText(row.record.SerialNumber));
    SCOPED_TRACE(serial);
    if (IsFaulty(serial, false)) {
      EXPECT_LE(row.login_handle, 0);
      EXPECT_EQ(list.StatusText(p), kLoginFailedText);
    } else {
      EXPECT_GT(row.login_handle, 0);
      EXPECT_EQ(row.online, 1);
      EXPECT_EQ(FieldText(row.firmware_version), control_.Device(serial)->version);
    }
  }

  // Live sessions turn hostile; every healthy one keeps answering meanwhile.
  std::vector<int> later_handles;
  for (const Fault& f : kLater) {
    later_handles.push_back(session.Row(f.serial)->login_handle);
    ASSERT_TRUE(control_.Send(std::string("sdk-misbehave ") + f.serial + " " + f.mode));
  }
  const auto lost = [&] {
    for (const int h : later_handles) {
      if (session.EventCount(h, 60) < 1)
        return false;
    }
    return true;
  };
  EXPECT_TRUE(session.PumpUntil(lost, 8s));
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow& row = *list.RowAt(p);
    const std::string serial(FieldText(row.record.SerialNumber));
    if (IsFaulty(serial, true))
      continue;
    EXPECT_EQ(session.sdk().SystemControl(row.login_handle, 1012, 0, "RESPONSE_PARAM"), 0)
        << serial;
  }
  session.checker().Drain();

  // Healed, the turned devices come back by themselves.
  std::vector<int> up_before;
  for (const int h : later_handles)
    up_before.push_back(session.EventCount(h, 4));
  for (const Fault& f : kLater)
    ASSERT_TRUE(control_.Send(std::string("sdk-misbehave ") + f.serial + " none"));
  const auto back = [&] {
    for (std::size_t i = 0; i < later_handles.size(); ++i) {
      if (session.EventCount(later_handles[i], 4) <= up_before[i])
        return false;
    }
    return true;
  };
  EXPECT_TRUE(session.PumpUntil(back, 20s));

  const long rss_after = vdz::test::ResidentKiB();
  EXPECT_LT(rss_after - rss_before, kRssGrowthLimitKiB)
      << "RSS " << rss_before << " KiB -> " << rss_after << " KiB";
  EXPECT_EQ(session.queue().dropped(), 0u);
}

}  // namespace
}  // namespace vdz::lab
