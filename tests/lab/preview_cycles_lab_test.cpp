// 200 preview starts and stops against a simulated camera, each stopped at another moment
// (while connecting, at the stream header, while pictures come): every stop must leave no
// thread, descriptor or memory behind (the sanitizer build checks the memory at exit).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "devops/device_sdk.h"
#include "lab/devsim_control.h"
#include "media/preview_controller.h"
#include "player/qm_player.h"
#include "rtspclient/qm_rtsp_client.h"
#include "support/process_figures.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

constexpr int kCycles = 200;

// What each open descriptor points at, so a leak says what it is.
std::multiset<std::string> OpenDescriptors() {
  std::multiset<std::string> targets;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
    targets.insert(std::filesystem::read_symlink(e.path(), ec).string());
  return targets;
}

void Turn(int ms) {
  QElapsedTimer t;
  t.start();
  do
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  while (t.elapsed() < ms);
}

TEST(PreviewCyclesLab, StartStopLeavesNothingBehind) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "preview_cycles_lab_test";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
  ASSERT_TRUE(control.Send("add sn=CYCLE-IPC ip=192.168.1.240 type=NVS-IPCAM-RK3588"));
  QM_PLAYER_Init();
  ASSERT_EQ(QM_RTSP_CLINET_LIB_InitLib(), 0);
  QWidget surface;
  surface.resize(320, 180);
  surface.show();
  const int port = QM_PLAYER_CreatePlayer(&surface);
  test::RecordingPrompter prompter;
  auto sdk = MakeNetSdkDeviceSdk();
  DeviceRow row{};
  std::strcpy(row.record.DeviceType, "NVS-IPCAM-RK3588");
  std::strcpy(row.record.Lan.IPAddress, "192.168.1.240");
  std::strcpy(row.record.Users.Accounts[0].Username, "admin");
  std::strcpy(row.record.Users.Accounts[0].Password, "admin");
  row.record.Stream.VideoPort = 554;

  // Stop moments in ms after the start: at once, during the handshake, around the stream
  // header, and with pictures coming.
  const int dwell_ms[] = {0, 15, 60, 150, 200};
  int threads_before = 0;
  std::multiset<std::string> fds_before;
  int long_cycles = 0;
  int long_cycles_with_pictures = 0;
  {
    PreviewController preview(
        *sdk, prompter,
        {[port](int) { return port; }, nullptr, [] { return false; }, nullptr, nullptr});
    for (int i = 0; i < kCycles; ++i) {
      const int dwell = dwell_ms[i % 5];
      ASSERT_EQ(preview.StartPreview(&row, i % 2, 0), 0) << "cycle " << i;
      Turn(dwell);
      if (dwell == dwell_ms[4]) {
        // The last kind stops only once pictures come (bounded, on a busy machine).
        QElapsedTimer t;
        t.start();
        while (preview.State().frame_count < 3 && t.elapsed() < 3000)
          Turn(10);
        ++long_cycles;
        long_cycles_with_pictures += preview.State().frame_count > 0 ? 1 : 0;
      }
      preview.StopPreview();
      if (i == 4) {
        // Threads made once for the process (Qt's, the sound's) exist by now.
        Turn(200);
        threads_before = test::ThreadCountNamed("");
        fds_before = OpenDescriptors();
      }
    }
  }
  Turn(200);
  EXPECT_EQ(test::ThreadCountNamed(""), threads_before) << "threads left behind";
  EXPECT_THAT(OpenDescriptors(), testing::ContainerEq(fds_before)) << "descriptors left behind";
  std::printf("cycles: %d, %d of %d long ones showed pictures\n", kCycles,
              long_cycles_with_pictures, long_cycles);
  EXPECT_GE(long_cycles_with_pictures, long_cycles * 9 / 10) << "the stream did not play";
  QM_PLAYER_ReleaseAll();
  EXPECT_EQ(QM_RTSP_CLINET_LIB_ReleaseLib(), 0);
}

}  // namespace
}  // namespace vdz
