#include "discovery/device_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "shell/bounded_text.h"
#include "support/answer_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using test::AnswerFields;
using test::MakeAnswer;

int Add(DeviceRegistry& registry, const AnswerFields& fields, const char* local = "192.168.1.100") {
  const std::string text = MakeAnswer(fields);
  return registry.AddDeviceAnswer(text.c_str(), static_cast<int>(text.size()), local);
}

DeviceRecord Copy(const DeviceRegistry& registry, int index) {
  DeviceRecord record = ZeroDeviceRecord();
  EXPECT_EQ(registry.CopyRecord(index, &record, sizeof record), 0);
  return record;
}

TEST(DeviceRegistryTest, NewAnswerFillsRecordFromEveryBlock) {
  DeviceRegistry registry;
  test::LogCapture log;
  AnswerFields f;
  f.rk = true;
  EXPECT_EQ(Add(registry, f), 0);
  ASSERT_EQ(registry.GetDeviceCount(), 1);
  EXPECT_TRUE(log.Contains("found new entry, mac=[00:11:22:33:44:01]\n"));
  const DeviceRecord r = Copy(registry, 0);
  EXPECT_STREQ(r.SerialNumber, "SN0001");
  EXPECT_STREQ(r.DeviceType, "IPC_NVS_RK3516");
  EXPECT_STREQ(r.Osd, "Gate");
  EXPECT_STREQ(r.Version, "V2.1.0");
  EXPECT_EQ(r.RunningTime, 100);
  EXPECT_EQ(r.P2pStatus, 1);
  EXPECT_STREQ(r.Lan.IPAddress, "192.168.1.10");
  EXPECT_EQ(r.Stream.PTZPort, 5000);
  EXPECT_EQ(r.Users.Count, 1);
  EXPECT_STREQ(r.Users.Accounts[0].Username, "admin");
  EXPECT_STREQ(r.RkSystem.EXTNUMBER, "101");
  EXPECT_STREQ(r.LocalAddress, "192.168.1.100");
  EXPECT_EQ(std::string(r.AnswerText), MakeAnswer(f));
}

TEST(DeviceRegistryTest, ClassAndFamilyFilters) {
  struct Case {
    const char* type;
    bool kept;
    bool class_log;
  };
  const Case cases[] = {
      {"NVR_RK_X", true, false}, {"DEC-AIO", true, false},    {"DVS_SIP2", true, false},
      {"NVS_MCK2", true, false}, {"IPC_RK3516", false, true}, {"NVS_HI3516", false, false},
      {"nvs_rk", false, true},
  };
  for (const Case& c : cases) {
    DeviceRegistry registry;
    test::LogCapture log;
    AnswerFields f;
    f.type = c.type;
    f.serial = std::string("S-") + c.type;
    EXPECT_EQ(Add(registry, f), c.kept ? 0 : -1) << c.type;
    EXPECT_EQ(registry.GetDeviceCount(), c.kept ? 1 : 0) << c.type;
    const std::string class_line =
        std::string("Found one device not NVS or DVS, type=") + c.type + ", sn=S-" + c.type + "\n";
    EXPECT_EQ(log.Contains(class_line), c.class_log) << c.type;
    if (!c.kept && !c.class_log) {
      EXPECT_TRUE(log.Lines().empty()) << c.type;
    }
  }
}

TEST(DeviceRegistryTest, MissingBlocksAreDroppedWithTheirLine) {
  struct Case {
    bool lan, stream, users;
    const char* line;
  };
  for (const Case c : {Case{false, true, true, "lan config not found.\n"},
                       Case{true, false, true, "stream config not found.\n"},
                       Case{true, true, false, "user config not found.\n"},
                       Case{false, false, false, "lan config not found.\n"}}) {
    DeviceRegistry registry;
    test::LogCapture log;
    AnswerFields f;
    f.lan = c.lan;
    f.stream = c.stream;
    f.users = c.users;
    EXPECT_EQ(Add(registry, f), -1);
    EXPECT_EQ(registry.GetDeviceCount(), 0);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
  }
}

TEST(DeviceRegistryTest, NoRootOrBodyLogsSerialNotFound) {
  DeviceRegistry registry;
  test::LogCapture log;
  const char* text = "<XML_VORTAN><MESSAGE_HEADER /></XML_VORTAN>";
  EXPECT_EQ(registry.AddDeviceAnswer(text, static_cast<int>(std::strlen(text)), "0.0.0.0"), -1);
  EXPECT_TRUE(log.Contains(std::string("serial number not found\n, msg=") + text + "\n"));
  EXPECT_EQ(registry.AddDeviceAnswer(nullptr, 5, "0.0.0.0"), 0);
  EXPECT_EQ(registry.AddDeviceAnswer(text, -1, "0.0.0.0"), 0);
  EXPECT_EQ(registry.GetDeviceCount(), 0);
}

TEST(DeviceRegistryTest, SameSerialFromTwoAdaptersIsOneRecordWithLaterAddress) {
  DeviceRegistry registry;
  AnswerFields f;
  EXPECT_EQ(Add(registry, f, "0.0.0.0"), 0);
  f.ip = "192.168.1.77";
  f.runtime = 200;
  EXPECT_EQ(Add(registry, f, "192.168.1.100"), -1);
  ASSERT_EQ(registry.GetDeviceCount(), 1);
  const DeviceRecord r = Copy(registry, 0);
  EXPECT_STREQ(r.LocalAddress, "192.168.1.100");
  EXPECT_STREQ(r.Lan.IPAddress, "192.168.1.77");
  EXPECT_EQ(r.RunningTime, 200);
}

TEST(DeviceRegistryTest, MissingSerialSharesTheEmptySerialRecord) {
  DeviceRegistry registry;
  AnswerFields f;
  f.serial = "";
  EXPECT_EQ(Add(registry, f), 0);
  f.ip = "192.168.1.11";
  f.mac = "00:11:22:33:44:02";
  EXPECT_EQ(Add(registry, f), -1);
  EXPECT_EQ(registry.GetDeviceCount(), 1);
  EXPECT_STREQ(Copy(registry, 0).Lan.MacAddress, "00:11:22:33:44:02");
}

TEST(DeviceRegistryTest, ThousandAndFirstSerialIsRefusedKnownStillUpdate) {
  DeviceRegistry registry;
  AnswerFields f;
  for (int i = 0; i < DeviceRegistry::kCapacity; ++i) {
    f.serial = "SN" + std::to_string(i);
    ASSERT_EQ(Add(registry, f), 0);
  }
  test::LogCapture log;
  f.serial = "SN-new";
  EXPECT_EQ(Add(registry, f), -1);
  EXPECT_TRUE(log.Contains("found new entry, but ipc count exceed 1000\n"));
  EXPECT_EQ(registry.GetDeviceCount(), 1000);

  f.serial = "SN999";
  f.ip = "192.168.1.250";
  EXPECT_EQ(Add(registry, f), -1);
  EXPECT_STREQ(Copy(registry, 999).Lan.IPAddress, "192.168.1.250");
}

TEST(DeviceRegistryTest, CopyAndReplaceCheckIndexAndSize) {
  DeviceRegistry registry;
  Add(registry, AnswerFields{});
  DeviceRecord record = ZeroDeviceRecord();
  EXPECT_EQ(registry.CopyRecord(1, &record, sizeof record), -1);
  EXPECT_EQ(registry.CopyRecord(-1, &record, sizeof record), -1);
  EXPECT_EQ(registry.CopyRecord(0, &record, sizeof record - 1), -2);
  EXPECT_EQ(registry.CopyRecord(0, &record, sizeof record), 0);

  CopyBounded(record.Lan.IPAddress, "192.168.1.99");
  EXPECT_EQ(registry.ReplaceRecord(1, &record, sizeof record), -1);
  EXPECT_EQ(registry.ReplaceRecord(0, &record, sizeof record - 1), -2);
  EXPECT_EQ(registry.ReplaceRecord(0, &record, sizeof record), 0);
  EXPECT_STREQ(Copy(registry, 0).Lan.IPAddress, "192.168.1.99");

  // A replaced record is still found by its serial number.
  AnswerFields f;
  f.ip = "192.168.1.12";
  EXPECT_EQ(Add(registry, f), -1);
  EXPECT_EQ(registry.GetDeviceCount(), 1);

  registry.ClearRegistry();
  EXPECT_EQ(registry.GetDeviceCount(), 0);
  EXPECT_EQ(registry.CopyRecord(0, &record, sizeof record), -1);
}

TEST(DeviceRegistryTest, LongAnswerIsCutAndRecordBytesStayZeroBehindText) {
  DeviceRegistry registry;
  AnswerFields f;
  f.version = std::string(6000, 'v');  // forces the answer past 5119 characters
  const std::string text = MakeAnswer(f);
  ASSERT_GT(text.size(), 5119u);
  registry.AddDeviceAnswer(text.c_str(), static_cast<int>(text.size()), "0.0.0.0");
  // The cut text lost its closing root tag, so the answer is not readable: nothing registered.
  EXPECT_EQ(registry.GetDeviceCount(), 0);

  f.version = std::string(200, 'v');
  Add(registry, f);
  ASSERT_EQ(registry.GetDeviceCount(), 1);
  const DeviceRecord r = Copy(registry, 0);
  EXPECT_EQ(std::strlen(r.Version), sizeof r.Version - 1);
  const char* tail = r.Lan.IPAddress + std::strlen(r.Lan.IPAddress);
  for (const char* p = tail; p < r.Lan.IPAddress + sizeof r.Lan.IPAddress; ++p)
    ASSERT_EQ(*p, 0);
}

TEST(DeviceRegistryTest, ConcurrentAnswersAndCopiesSeeWholeRecords) {
  DeviceRegistry registry;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    AnswerFields f;
    for (int round = 0; round < 20; ++round) {
      for (int i = 0; i < 50; ++i) {
        f.serial = "SN" + std::to_string(i);
        f.ip = "192.168." + std::to_string(round) + "." + std::to_string(i);
        Add(registry, f);
      }
    }
    done = true;
  });
  auto record = std::make_unique<DeviceRecord>();
  while (!done) {
    const int n = registry.GetDeviceCount();
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(registry.CopyRecord(i, record.get(), sizeof *record), 0);
      // Serial and address always belong to the same answer.
      const std::string ip = record->Lan.IPAddress;
      ASSERT_EQ(ip.substr(ip.rfind('.') + 1), std::string(record->SerialNumber).substr(2));
    }
  }
  writer.join();
  EXPECT_EQ(registry.GetDeviceCount(), 50);
}

}  // namespace
}  // namespace vdz
