// viduzaver-cli snapshot-stream against the simulated cameras: the PNG has the stream's size
// and a picture in it; a device that is not there or may not be previewed fails.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <filesystem>

#include "lab/devsim_control.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

int Cli(const std::string& args) {
  const std::string command = std::string(VDZ_CLI) + " " + args + " </dev/null";
  const int w = std::system(command.c_str());
  return WIFEXITED(w) ? WEXITSTATUS(w) : -1;
}

double MeanLuma(const QImage& image) {
  double sum = 0;
  int n = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4, ++n)
      sum += qGray(image.pixel(x, y));
  return n > 0 ? sum / n : 0.0;
}

class SnapshotCliLab : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
    control.Send("add sn=SNAP-IPC ip=192.168.1.210 type=NVS-IPCAM-RK3588");
    control.Send("add sn=SNAP-NVR ip=192.168.1.211 type=NVS-NVR-RK8CH");
  }
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vdz-snapshot-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(SnapshotCliLab, WritesOnePictureOfTheChosenStream) {
  struct Case {
    const char* target;
    const char* stream;  // extra arguments
    int status;
    int width, height;  // of the written file; 0: none written
  } const cases[] = {
      {"SNAP-IPC", "", 0, 1280, 720},                // main stream by default
      {"192.168.1.210", "--stream 1", 0, 640, 360},  // by address, sub stream
      {"SNAP-NVR", "", 1, 0, 0},                     // a type the preview refuses
      {"NO-SUCH-CAMERA", "", 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const fs::path out = dir_ / (std::string(c.target) + ".png");
    const int status = Cli(std::string("snapshot-stream --seconds 2 --timeout 10 ") + c.target +
                           " " + c.stream + " --out " + out.string());
    EXPECT_EQ(status, c.status);
    if (c.width == 0) {
      EXPECT_FALSE(fs::exists(out));
      continue;
    }
    const QImage image(QString::fromStdString(out.string()));
    ASSERT_FALSE(image.isNull()) << "no PNG written";
    EXPECT_EQ(image.width(), c.width);
    EXPECT_EQ(image.height(), c.height);
    const double luma = MeanLuma(image);
    std::printf("snapshot %s: %dx%d, mean luma %.1f\n", c.target, image.width(), image.height(),
                luma);
    EXPECT_GT(luma, 40.0) << "the picture is black";
  }
}

TEST_F(SnapshotCliLab, RefusesBadArguments) {
  for (const char* args : {"snapshot-stream SNAP-IPC", "snapshot-stream --out x.png",
                           "snapshot-stream SNAP-IPC --stream 2 --out x.png"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Cli(std::string(args) + " 2>/dev/null"), 2);
  }
}

}  // namespace
}  // namespace vdz
