// A picture of every batch settings dialog in the language the build of this test names, for
// the artifacts; every caption is there, none is cut, and each comes from the language files.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "devconfig/dialogs/dialog_image_param.h"
#include "devconfig/dialogs/dialog_ip_setting.h"
#include "devconfig/dialogs/dialog_ipvs_setting.h"
#include "devconfig/dialogs/dialog_maintenance.h"
#include "devconfig/dialogs/dialog_media_code.h"
#include "devconfig/dialogs/dialog_motion_alarm.h"
#include "devconfig/dialogs/dialog_time_setting.h"
#include "devconfig/dialogs/dialog_title_setting.h"
#include "devconfig/dialogs/dlg_rk_platform_setting.h"
#include "devconfig/media_setting_tables.h"
#include "devconfig/time_zone_table.h"
#include "shell/language_table.h"
#include "support/foreign_captions.h"
#include "support/recording_prompter.h"
#include "support/screenshot_dir.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

class Env : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path dir = fs::temp_directory_path() / ("vdz-dialog-pictures-" VDZ_PICTURE_LANG);
    fs::create_directories(dir);
    std::ofstream(dir / "QmDodEveva_cfg.ini") << "[SETTINGS]\nLanguage=" VDZ_TEST_LANGUAGE "\n";
    setenv("VDZ_CONFIG_DIR", dir.c_str(), 1);
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "settings_dialogs_picture_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

TEST(SettingsDialogPictures, EveryDialogHasWholeCaptions) {
  ASSERT_TRUE(LanguageTable::Instance().Loaded());
  test::RecordingPrompter prompter;
  const std::pair<const char*, std::function<std::unique_ptr<QDialog>()>> dialogs[] = {
      {"title", [] { return std::make_unique<CDialogTitleSetting>(); }},
      {"ip", [&] { return std::make_unique<CDialogIpSetting>(prompter); }},
      {"ipvs", [&] { return std::make_unique<CDlgIpvsSetting>(prompter); }},
      {"time", [&] { return std::make_unique<CSYSTimeSet>(prompter); }},
      {"maintenance", [] { return std::make_unique<CSYSRMDlg>(); }},
      {"image", [&] { return std::make_unique<CImageParamDialog>(prompter); }},
      {"motion", [&] { return std::make_unique<CMdAlarmDialog>(prompter); }},
      {"encoding", [&] { return std::make_unique<CMediaCode>(prompter); }},
      {"platform-one",
       [] {
         auto d = std::make_unique<DlgRkPlatformSetting>();
         d->values.devname = "门口机-1";
         d->values.reboottime = "04:30:00";
         return d;
       }},
      {"platform-batch",
       [] {
         auto d = std::make_unique<DlgRkPlatformSetting>();
         d->Mode = 3;
         return d;
       }},
  };
  // What the dialogs show as it stands: the time source "P2P", time zone, gain, grid, codec,
  // rate-control and resolution names, the ranges and the batch note.
  QStringList literals = {
      "P2P", "H264", "H265", "CBR", "VBR", "CVBR", QString::fromUtf8("当前为批量修改模式!")};
  for (const TimeZoneEntry& z : TimeZoneList(CurrentLanguageCode()))
    literals.append(QString::fromUtf8(z.name != nullptr ? z.name : ""));
  for (const GainEntry& g : GainTable())
    literals.append(QString::fromUtf8(g.name));
  for (const MotionGridEntry& g : MotionGridTable())
    literals.append(QString::fromUtf8(g.name));
  for (const EncodeCapability& r : EncodeCapabilities())
    literals.append(QString::fromStdString(r.resolution));
  const QRegularExpression ranges(QStringLiteral("^(kbps\\([0-9]+-[0-9]+\\)|1/\\(25~[0-9]+s\\))$"));
  const auto literal = [&](const QString& t) {
    return literals.contains(t) || ranges.match(t).hasMatch();
  };
  const QString dir = test::ScreenshotDir(VDZ_ARTIFACT_DIR);
  for (const auto& [name, make] : dialogs) {
    std::unique_ptr<QDialog> dialog = make();
    dialog->show();
    QApplication::processEvents();
    EXPECT_FALSE(dialog->windowTitle().isEmpty()) << name;
    const QString file = QDir(dir).filePath(
        QStringLiteral("dialog-%1-%2.png")
            .arg(QString::fromLatin1(name), QString::fromLatin1(CurrentLanguageCode())));
    EXPECT_TRUE(dialog->grab().save(file)) << file.toStdString();
    std::printf("dialog picture: %s\n", qPrintable(file));
    const QStringList foreign = test::ForeignCaptions(*dialog, literal);
    EXPECT_TRUE(foreign.isEmpty()) << name << ": " << foreign.join(" | ").toStdString();
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
      if (!b->isVisible())
        continue;
      EXPECT_FALSE(b->text().isEmpty()) << name << " " << b->objectName().toStdString();
      EXPECT_LE(b->sizeHint().width(), b->width()) << name << " " << b->text().toStdString();
    }
    for (QLabel* l : dialog->findChildren<QLabel*>()) {
      if (!l->isVisible())
        continue;
      EXPECT_FALSE(l->text().isEmpty()) << name << " " << l->objectName().toStdString();
      EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
          << name << " " << l->text().toStdString();
    }
    // The time zone list is as wide as the layout says; its pop-up shows the long names.
    for (QComboBox* c : dialog->findChildren<QComboBox*>()) {
      if (!c->isVisible() || c->objectName() == QLatin1String("1097"))
        continue;
      EXPECT_LE(c->fontMetrics().horizontalAdvance(c->currentText()) + 20, c->width())
          << name << " " << c->currentText().toStdString();
    }
    for (QGroupBox* g : dialog->findChildren<QGroupBox*>()) {
      EXPECT_FALSE(g->title().isEmpty()) << name;
      EXPECT_LE(g->minimumSizeHint().width(), g->width()) << name;
    }
  }
}

}  // namespace
}  // namespace vdz
