// The talk console in the build's language files, offscreen: a picture for the artifacts,
// and no visible caption that is empty, cut or not from the language files.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <cstdlib>
#include <fstream>

#include "audio/console/audio_play_dlg.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/foreign_captions.h"
#include "support/recording_prompter.h"
#include "support/screenshot_dir.h"

#ifndef VDZ_TEST_LANGUAGE
#define VDZ_TEST_LANGUAGE "English"
#endif

namespace vdz {
namespace {

// The language comes from the settings file, read once per process on the first lookup.
class LanguageEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const QString dir = QDir::temp().filePath(
        QStringLiteral("vdz-console-picture-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    std::ofstream((dir + "/QmDodEveva_cfg.ini").toStdString())
        << "[SETTINGS]\nLanguage=" VDZ_TEST_LANGUAGE "\n";
    setenv("VDZ_CONFIG_DIR", dir.toLocal8Bit().constData(), 1);
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "audio_console_picture_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new LanguageEnvironment);

TEST(AudioConsolePicture, EveryVisibleCaptionIsSetAndFits) {
  auto sdk = MakeNetSdkTalkSdk();
  test::FakeDeviceList list;
  test::RecordingPrompter prompter;
  CAudioPlayDlg console(nullptr, *sdk, list, prompter);
  console.SetFileChooser([](const QString&) {
    return QStringList{QStringLiteral("/srv/audio/opening-announcement.mp3"),
                       QStringLiteral("/srv/audio/closing-time.mp3")};
  });
  console.AddFiles();
  console.SelectEntry(0);
  console.show();
  QApplication::processEvents();

  const QString dir = test::ScreenshotDir(VDZ_ARTIFACT_DIR);
  const QString file = QDir(dir).filePath(
      QStringLiteral("talk-console-%1.png").arg(QString::fromLatin1(CurrentLanguageCode())));
  EXPECT_TRUE(console.grab().save(file)) << file.toStdString();
  std::printf("console picture: %s\n", qPrintable(file));
  // The window caption is a fixed text of its own.
  const QStringList foreign = test::ForeignCaptions(
      console, [](const QString& t) { return t == QString::fromUtf8("对讲/广播控制"); });
  EXPECT_TRUE(foreign.isEmpty()) << foreign.join(" | ").toStdString();
  EXPECT_EQ(console.play_list()->GetColumnCount(), 1);

  int checked = 0;
  for (QAbstractButton* button : console.findChildren<QAbstractButton*>()) {
    if (!button->isVisible())
      continue;
    ++checked;
    EXPECT_FALSE(button->text().isEmpty()) << button->metaObject()->className();
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
  }
  for (QLabel* label : console.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty())
      continue;
    ++checked;
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
  }
  for (QGroupBox* group : console.findChildren<QGroupBox*>()) {
    if (!group->isVisible())
      continue;
    ++checked;
    EXPECT_FALSE(group->title().isEmpty());
    EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()), group->width())
        << group->title().toStdString();
  }
  EXPECT_GE(checked, 10);
}

}  // namespace
}  // namespace vdz
