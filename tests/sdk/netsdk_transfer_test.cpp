// File transfers over the login connection against the device side on 127.0.0.1.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "protocol/firmware_image.h"
#include "protocol/protocol_numbers.h"
#include "sdk_test_env.h"

namespace vdz::test {
namespace {

namespace fs = std::filesystem;

std::string Body(std::size_t n) {
  std::string body(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    body[i] = static_cast<char>((i * 131) ^ (i >> 7));
  return body;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The image checksum is the standard CRC-32, whatever the split of the bytes fed to it, and
// the fast path agrees with the tables for every length and alignment around its block sizes.
TEST(ImageChecksumTest, StandardValuesAndAnySplit) {
  std::string ramp(256, '\0');
  for (std::size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<char>(i);
  const struct {
    std::string bytes;
    std::uint32_t crc;
  } cases[] = {{"", 0},
               {"123456789", 0xCBF43926u},
               {std::string(32, '\0'), 0x190A55ADu},
               {ramp, 0x29058C73u}};
  for (const auto& c : cases)
    EXPECT_EQ(sdkproto::Crc32(0, c.bytes), c.crc) << c.bytes.size();
  const std::string body = Body(1000);
  const std::string_view v(body);
  for (const std::size_t cut : {1, 7, 8, 9, 63, 64, 65, 513}) {
    EXPECT_EQ(sdkproto::Crc32(sdkproto::Crc32(0, v.substr(0, cut)), v.substr(cut)),
              sdkproto::Crc32(0, v))
        << cut;
  }
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t n = 0; n + offset <= 300; ++n) {
      const std::string_view piece = v.substr(offset, n);
      ASSERT_EQ(sdkproto::Crc32(0x1234u, piece), sdkproto::Crc32Tables(0x1234u, piece))
          << offset << " " << n;
    }
  }
}

class SdkTransferTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    QM_NETSDK_IPC_SetAutoReconnect(0, 1);
    dir_ = fs::temp_directory_path() / ("vdz-xfer-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    devserver::DeviceConfig config;
    config.device_type = "NVS-IPCAM-X1";
    config.upgrade_write_ms = 40;
    config.reboot_ms = 200;
    config.documents[222] = "<Time Zone=\"8\" />";
    config.documents[525] = "<Overlay Title=\"a&lt;b\" />";
    dev_ = AddDevice(config);
    handle_ = Login(dev_);
    ASSERT_GT(handle_, 0);
    ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventSessionUp));
  }
  void TearDown() override {
    SdkTest::TearDown();
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string Image(const std::string& name, const std::string& model, std::size_t n,
                    const std::string& version = "V9.9.9") {
    const std::string body = Body(n);
    return Write(name, sdkproto::FirmwareImageHeader(model, version, body) + body);
  }

  fs::path dir_;
  devserver::DeviceId dev_ = 0;
  int handle_ = 0;
};

TEST_F(SdkTransferTest, AcceptedImageReportsProgressEndsWithTwoAndComesBackWithItsVersion) {
  const std::string image = Image("fw.bin", "X1", 700 * 1024 + 17);
  ASSERT_EQ(QM_NETSDK_IPC_Upgrade(handle_, image.c_str()), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventUpgradeDone));
  EXPECT_GE(recorder_.StatusCount(handle_, proto::kEventUpgradeSending), 2);
  EXPECT_EQ(recorder_.LastStatus(handle_, proto::kEventUpgradeSending).text, "100");
  EXPECT_EQ(recorder_.LastStatus(handle_, proto::kEventUpgradeWriting).text, "100");
  EXPECT_EQ(QM_NETSDK_IPC_GetUpgradeProgress(handle_), 100);
  EXPECT_EQ(host_.FirmwareVersion(dev_), "V9.9.9");
  // The restart drops the line; the library logs in again by itself.
  ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventSessionUp, 2));
  EXPECT_EQ(recorder_.StatusCount(handle_, proto::kEventUpgradeInterrupted), 0);
}

TEST_F(SdkTransferTest, RefusedAndBrokenTransfersEndWithTheirEvent) {
  struct Case {
    const char* what;
    devserver::TransferFault fault;
    std::string model;
    std::function<void(std::string&)> damage;
    int event;
  } cases[] = {
      {"another model", devserver::TransferFault::kNone, "X2", nullptr,
       proto::kEventUpgradeWrongImage},
      {"bad checksum", devserver::TransferFault::kNone, "X1",
       [](std::string& b) { b[b.size() - 3] ^= 0x55; }, proto::kEventUpgradeWrongImage},
      {"truncated", devserver::TransferFault::kNone, "X1",
       [](std::string& b) { b.resize(b.size() - 1000); }, proto::kEventUpgradeWrongImage},
      {"refused by the device", devserver::TransferFault::kRefuseImage, "X1", nullptr,
       proto::kEventUpgradeWrongImage},
      {"dropped mid-transfer", devserver::TransferFault::kDropMidTransfer, "X1", nullptr,
       proto::kEventUpgradeInterrupted},
      {"stalled", devserver::TransferFault::kStall, "X1", nullptr, proto::kEventUpgradeInterrupted},
      {"garbage acknowledgements", devserver::TransferFault::kGarbageAcks, "X1", nullptr,
       proto::kEventUpgradeInterrupted},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.SetTransferFault(dev_, c.fault);
    const std::string body = Body(400 * 1024);
    std::string bytes = sdkproto::FirmwareImageHeader(c.model, "V1", body) + body;
    if (c.damage)
      c.damage(bytes);
    const std::string path = Write("case.bin", bytes);
    ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventSessionUp, round + 1, 5000));
    const int before = recorder_.StatusCount(handle_, c.event);
    ASSERT_EQ(QM_NETSDK_IPC_Upgrade(handle_, path.c_str()), QM_NETSDK_OK);
    ASSERT_TRUE(recorder_.WaitStatus(handle_, c.event, before + 1, 5000));
    EXPECT_EQ(host_.UpgradeCount(dev_), 0);
    host_.SetTransferFault(dev_, devserver::TransferFault::kNone);
    // Faults that cost the line come back through the reconnection.
    if (c.fault == devserver::TransferFault::kDropMidTransfer ||
        c.fault == devserver::TransferFault::kGarbageAcks) {
      ++round;
    }
  }
  EXPECT_EQ(host_.FirmwareVersion(dev_), devserver::DeviceConfig().firmware_version);
}

// Chunks are sent straight from the file: one shortened under a running upgrade must end it
// as interrupted, never leave the device waiting for bytes that will not come.
TEST_F(SdkTransferTest, ImageShortenedDuringTheUpgradeEndsItInterrupted) {
  const std::string image = Image("shrinks.bin", "X1", 8 * 1024 * 1024);
  ASSERT_TRUE(host_.SetBandwidthCap(dev_, 2 * 1024 * 1024));
  ASSERT_EQ(QM_NETSDK_IPC_Upgrade(handle_, image.c_str()), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventUpgradeSending, 1, 5000));
  fs::resize_file(image, 1024 * 1024);
  ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventUpgradeInterrupted, 1, 10000));
  EXPECT_EQ(recorder_.StatusCount(handle_, proto::kEventUpgradeDone), 0);
  EXPECT_EQ(host_.UpgradeCount(dev_), 0);
}

TEST_F(SdkTransferTest, BadArgumentsAreRefusedAtOnce) {
  EXPECT_EQ(QM_NETSDK_IPC_Upgrade(handle_, ""), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Upgrade(handle_, (dir_ / "missing.bin").c_str()),
            QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Upgrade(handle_, dir_.c_str()), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_SetConfigFile(handle_, ""), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Upgrade(handle_ + 1000, Image("a.bin", "X1", 10).c_str()),
            QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_EQ(QM_NETSDK_IPC_GetFileByName(handle_, 1, "../..", dir_.c_str()),
            QM_NETSDK_ERR_INVALID_ARG);
}

TEST_F(SdkTransferTest, ConfigurationExportsImportsAndRefusesMalformedFilesWhole) {
  const std::string exported = (dir_ / "config.xml").string();
  ASSERT_EQ(QM_NETSDK_IPC_GetConfigFile(handle_, exported.c_str()), QM_NETSDK_OK);
  const std::string text = ReadAll(exported);
  EXPECT_NE(text.find("<DeviceConfigFile"), std::string::npos);
  EXPECT_NE(text.find("command=\"525\""), std::string::npos);
  EXPECT_FALSE(fs::exists(exported + ".part"));

  // Changed on the device, then the exported file brings the old documents back.
  ASSERT_EQ(QM_NETSDK_IPC_SetDVRConfig(handle_, 525, 0, "<Overlay />", 11), QM_NETSDK_OK);
  ASSERT_EQ(QM_NETSDK_IPC_SetConfigFile(handle_, exported.c_str()), QM_NETSDK_OK);
  EXPECT_EQ(host_.Document(dev_, 525), "<Overlay Title=\"a&lt;b\" />");

  for (const char* bad :
       {"<DeviceConfigFile><Document command=\"525\">x</Document>",
        "<Other><Document command=\"525\">x</Document></Other>",
        "<DeviceConfigFile><Document>x</Document></DeviceConfigFile>", "not xml at all"}) {
    const std::string path = Write("bad.xml", bad);
    EXPECT_EQ(QM_NETSDK_IPC_SetConfigFile(handle_, path.c_str()), QM_NETSDK_ERR_DEVICE) << bad;
    EXPECT_EQ(host_.Document(dev_, 525), "<Overlay Title=\"a&lt;b\" />") << bad;
  }
}

TEST_F(SdkTransferTest, StoredFilesDownloadAndApplicationFilesUpload) {
  const std::string picture = Body(150 * 1024);
  host_.StoreFile(dev_, "/mnt/sd/snap/pic1.jpg", picture);
  ASSERT_EQ(QM_NETSDK_IPC_GetFileByName(handle_, 1, "/mnt/sd/snap/pic1.jpg", dir_.c_str()),
            QM_NETSDK_OK);
  const std::string local = (dir_ / "pic1.jpg").string();
  for (int i = 0; i < 200 && ReadAll(local) != picture; ++i)
    usleep(10000);
  EXPECT_EQ(ReadAll(local), picture);

  const std::string app = Write("app.conf", "danale=1\n");
  ASSERT_EQ(QM_NETSDK_IPC_UploadOEMAppFile(handle_, app.c_str()), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitStatus(handle_, proto::kEventFileUploadDone));
  EXPECT_EQ(host_.StoredFile(dev_, "app.conf"), "danale=1\n");
}

TEST_F(SdkTransferTest, AHugeAnnouncedDownloadIsRefusedAndLeavesNoFile) {
  host_.SetTransferFault(dev_, devserver::TransferFault::kHugeFile);
  const std::string target = (dir_ / "huge.xml").string();
  EXPECT_NE(QM_NETSDK_IPC_GetConfigFile(handle_, target.c_str()), QM_NETSDK_OK);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(target + ".part"));
  // The line stays usable.
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(handle_, 1012, 0, ""), QM_NETSDK_OK);
}

}  // namespace
}  // namespace vdz::test
