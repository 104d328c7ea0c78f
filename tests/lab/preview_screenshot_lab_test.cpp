// The window with a playing preview, pictured for the record in the language it is built for
// (build/artifacts/preview_window_<language>.png).
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/preview_commands.h"
#include "lab/devsim_control.h"
#include "support/recording_prompter.h"
#include "support/screenshot_dir.h"
#include "ui/report_ctrl.h"
#include "ui/wnd_ctrl.h"
#include "ui/wnd_manager.h"
#include "window_lab_support.h"

#ifndef VDZ_TEST_LANGUAGE
#define VDZ_TEST_LANGUAGE "English"
#define VDZ_SHOT_NAME "en"
#endif

namespace vdz {
namespace {

class LanguageEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string dir = "/tmp/vdz-preview-shot-" VDZ_SHOT_NAME;
    std::system(("mkdir -p " + dir).c_str());
    std::ofstream(dir + "/QmDodEveva_cfg.ini") << "[SETTINGS]\nLanguage=" VDZ_TEST_LANGUAGE "\n";
    setenv("VDZ_CONFIG_DIR", dir.c_str(), 1);
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "preview_screenshot_lab_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new LanguageEnvironment);

double MeanLuma(const QImage& image) {
  double sum = 0;
  int n = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4, ++n)
      sum += qGray(image.pixel(x, y));
  return n > 0 ? sum / n : 0.0;
}

TEST(PreviewScreenshotLab, WindowWithAPlayingPreview) {
  lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
  control.Send("add sn=SHOT-IPC ip=192.168.1.230 type=NVS-IPCAM-RK3588");
  test::RecordingPrompter prompter;
  MainWindowOptions options;
  options.prompter = &prompter;
  CQmDadIvidudEvuzDlg window(options);
  window.Initialise();
  window.resize(1280, 800);
  window.show();
  auto row_of = [&] {
    for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r)
      if (window.DeviceList()->GetItemText(r, 0) == QLatin1String("192.168.1.230"))
        return r;
    return -1;
  };
  ASSERT_TRUE(lab::WaitFor([&] { return row_of() >= 0; }, 20000));
  window.DeviceList()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  window.DeviceList()->SetItemStates(row_of(), CReportCtrl::kItemSelected);
  window.RunCommand(cmd::kListRowDoubleClick);
  ASSERT_TRUE(window.Preview().Playing());
  ASSERT_TRUE(
      lab::WaitFor([&] { return window.Preview().Controller().State().frame_count >= 50; }, 20000));
  // A few more paints so that the cell shows a current picture.
  lab::WaitFor([] { return false; }, 300);
  const QImage cell = window.VideoGrid()->Cell(0)->RenderSurface()->grab().toImage();
  EXPECT_GT(MeanLuma(cell), 40.0) << "the cell is black";
  const QString file = QDir(test::ScreenshotDir(VDZ_ARTIFACT_DIR))
                           .filePath(QStringLiteral("preview_window_" VDZ_SHOT_NAME ".png"));
  EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
  std::printf("screenshot: %s\n", file.toUtf8().constData());
  window.RunCommand(cmd::kMenuStopPreview);
  window.close();
}

}  // namespace
}  // namespace vdz
