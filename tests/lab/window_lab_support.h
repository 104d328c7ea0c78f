// The real window in a lab test: one offscreen QApplication per process, in English, with
// the language files of this build; and a bounded wait that keeps the event loop turning.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace vdz::lab {

class OffscreenWindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string dir =
        QDir::temp()
            .filePath(QStringLiteral("vdz-window-%1").arg(QCoreApplication::applicationPid()))
            .toStdString();
    QDir().mkpath(QString::fromStdString(dir));
    std::ofstream(dir + "/QmDodEveva_cfg.ini") << "[SETTINGS]\nLanguage=English\n";
    setenv("VDZ_CONFIG_DIR", dir.c_str(), 1);
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "window_lab_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

template <typename Predicate>
bool WaitFor(Predicate done, int limit_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit_ms)
      return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace vdz::lab
