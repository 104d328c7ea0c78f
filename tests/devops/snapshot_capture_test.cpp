#include "devops/snapshot_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "devops/qr_symbol.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

TEST(SnapshotNames, DeviceDataCannotLeaveTheDeviceFolder) {
  EXPECT_EQ(SnapshotDeviceFolder("/s", "10.0.0.2"), "/s/10.0.0.2");
  for (const char* ip : {"", "..", "10.0.0", "10.0.0.256", "10.0.0.2/..", "a.b.c.d", "1.2.3.4.5"})
    EXPECT_EQ(SnapshotDeviceFolder("/s", ip), "") << ip;
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {{"/mnt/sd/a.jpg", "a.jpg"},
               {"../../../../tmp/x.jpg", "x.jpg"},
               {"c:\\snap\\b.jpg", "b.jpg"},
               {"/mnt/..", ""},
               {"/mnt/", ""},
               {"/mnt/a\x01.jpg", ""},
               {"/mnt/a\n.jpg", ""}};
  for (const Case& c : cases)
    EXPECT_EQ(SnapshotLocalName(c.path), c.name) << c.path;
}

// A picture fetched whole is named by its time and never replaces an earlier one.
TEST(SnapshotNames, SavedPicturesAreNamedByTimeAndKeepEarlierOnes) {
  setenv("TZ", "UTC", 1);
  tzset();
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vdz-save-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const int64_t when = 1735787045;  // 2025-01-02 03:04:05 UTC
  std::string error;
  std::vector<std::string> saved;
  for (const char* bytes : {"\xFF\xD8"
                            "first",
                            "\xFF\xD8"
                            "second",
                            "\xFF\xD8"
                            "third"})
    saved.push_back(SaveSnapshotPicture(dir.string(), "10.0.0.2", bytes, when, &error));
  EXPECT_EQ(saved, (std::vector<std::string>{(dir / "10.0.0.2/20250102030405.jpg").string(),
                                             (dir / "10.0.0.2/20250102030405-1.jpg").string(),
                                             (dir / "10.0.0.2/20250102030405-2.jpg").string()}));
  std::stringstream first;
  first << std::ifstream(saved[0], std::ios::binary).rdbuf();
  EXPECT_EQ(first.str(),
            "\xFF\xD8"
            "first");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "10.0.0.2"), fs::directory_iterator()), 3)
      << "no temporary file left";
  EXPECT_EQ(SaveSnapshotPicture(dir.string(), "../x", "\xFF\xD8", when, &error), "");
  EXPECT_FALSE(error.empty());
  fs::remove_all(dir);
}

TEST(SnapshotCaptureTest, PendingRowsAreRefusedAndTheWatchReleasesLateOnes) {
  test::FakeDeviceList list;
  test::FakeSdk sdk;
  test::RecordingPrompter prompter;
  int64_t now = 1000;
  test::TestJobs jobs;
  SnapshotCapture capture(jobs.runner, sdk, list, prompter, "/nonexistent", [&] { return now; });
  for (int i = 0; i < 4; ++i)
    list.Add(10 + i, true, true);
  list.entries[3].row->login_handle = 0;
  list.entries[1].row->snapshot_pending = 1;
  list.entries[1].row->snapshot_request_time = now;
  capture.RequestChecked();
  jobs.Wait();
  EXPECT_EQ(sdk.controls.size(), 2u);
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].kind, "INFO");
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::SNAPPING_WAIT));
  EXPECT_EQ(sdk.controls[0], std::string("10:1043:") + kSnapshotRequestPayload);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::SNAPPIC));
  EXPECT_EQ(list.entries[3].status, LookupText(keys::MSGTIP23));
  now += 5;
  capture.OnWatchTick();
  EXPECT_TRUE(list.entries[0].row->snapshot_pending);
  now += 1;
  capture.OnWatchTick();
  EXPECT_FALSE(list.entries[0].row->snapshot_pending);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::SNAPPING_TIMEOUT));
}

// Records where each picture would be fetched to.
class DownloadSdk : public test::FakeSdk {
 public:
  int GetFileByName(int handle, int, const char* device_file, const char* folder) override {
    downloads.push_back(std::to_string(handle) + " " + device_file + " -> " + folder);
    return 0;
  }
  std::vector<std::string> downloads;
};

SdkEventRecord SnapshotEvent(int handle, const char* path) {
  SdkEventRecord e{};
  e.handle = handle;
  e.code = 23;
  const int32_t kind = 23;
  std::memcpy(e.payload + 28, &kind, sizeof kind);
  std::strncpy(e.payload + 40, path, 100);
  return e;
}

TEST(SnapshotCaptureTest, TwoDevicesWithOneAddressShareAFolderAndOnlyPendingRowsDownload) {
  test::FakeDeviceList list;
  DownloadSdk sdk;
  test::RecordingPrompter prompter;
  const std::string folder = ::testing::TempDir() + "vdz-snap-test";
  test::TestJobs jobs;
  SnapshotCapture capture(jobs.runner, sdk, list, prompter, folder);
  list.Add(7, true, true, "10.0.0.9");
  list.Add(8, true, true, "10.0.0.9");
  list.Add(9, true, true, "10.0.0.7");
  capture.RequestChecked();
  jobs.Wait();
  list.entries[2].row->snapshot_pending = 0;  // released by the watch meanwhile
  for (int p = 0; p < 3; ++p) {
    capture.OnSnapshotEvent(p, *list.entries[static_cast<std::size_t>(p)].row,
                            SnapshotEvent(7 + p, "/mnt/sd/a.jpg"));
  }
  EXPECT_EQ(sdk.downloads,
            (std::vector<std::string>{"7 /mnt/sd/a.jpg -> " + folder + "/10.0.0.9",
                                      "8 /mnt/sd/a.jpg -> " + folder + "/10.0.0.9"}));
  EXPECT_EQ(list.entries[0].status, LookupText(keys::FILEDOWNLOADDING));
  EXPECT_FALSE(list.entries[0].row->snapshot_pending);
  // A control character in the picture's name: nothing is fetched.
  list.entries[0].row->snapshot_pending = 1;
  capture.OnSnapshotEvent(0, *list.entries[0].row, SnapshotEvent(7, "/mnt/a\x01.jpg"));
  EXPECT_EQ(sdk.downloads.size(), 2u);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::FILEDOWN_REQFAIL));
}

TEST(QrSymbol, SmallestVersionWithAQuietZoneOfFourModules) {
  struct Case {
    std::string text;
    int modules;
  } cases[] = {
      {"qmws0000000000000001", 21}, {std::string(32, 'a'), 25}, {std::string(127, 'x'), 41}};
  for (const Case& c : cases) {
    QrBitmap b;
    ASSERT_TRUE(EncodeQrBitmap(c.text, &b));
    EXPECT_EQ(b.modules, c.modules) << c.text;
    EXPECT_EQ(b.side, b.modules + 8);
    for (int i = 0; i < b.side; ++i) {
      for (int q = 0; q < kQrQuietZone; ++q) {
        EXPECT_FALSE(b.Dark(i, q) || b.Dark(q, i) || b.Dark(i, b.side - 1 - q) ||
                     b.Dark(b.side - 1 - q, i));
      }
    }
    // The finder pattern's corner module is dark.
    EXPECT_TRUE(b.Dark(kQrQuietZone, kQrQuietZone));
  }
  QrBitmap b;
  EXPECT_FALSE(EncodeQrBitmap("", &b));
}

}  // namespace
}  // namespace vdz
