// Where a test writes its pictures: $VDZ_SCREENSHOT_DIR when set (scripts/guide-screenshots
// collects them there for the user guide), else $VDZ_ARTIFACT_DIR, else the build's folder.
#pragma once

#include <QDir>
#include <QString>
#include <cstdlib>

namespace vdz::test {

inline QString ScreenshotDir(const char* built_in) {
  const char* dir = std::getenv("VDZ_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0')
    dir = std::getenv("VDZ_ARTIFACT_DIR");
  const QString path = QString::fromLocal8Bit(dir != nullptr && *dir != '\0' ? dir : built_in);
  QDir().mkpath(path);
  return path;
}

}  // namespace vdz::test
