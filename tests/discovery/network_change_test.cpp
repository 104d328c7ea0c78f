#include "discovery/network_change.h"

#include <gtest/gtest.h>

#include <memory>

#include "discovery/discovery_protocol.h"
#include "readdress_fakes.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

using test::AddDevice;
using test::Net;

class NetworkChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddDevice(registry_, "SN0", "192.168.1.10");
    AddDevice(registry_, "SN1", "192.168.1.11");
  }
  std::unique_ptr<DeviceRecord> Slot(int index) {
    auto record = std::make_unique<DeviceRecord>(ZeroDeviceRecord());
    EXPECT_EQ(registry_.CopyRecord(index, record.get(), sizeof *record), 0);
    return record;
  }
  NetworkChangeTarget Target() { return {registry_, table_, engine_}; }

  DeviceRegistry registry_;
  AssignedAddressTable table_;
  test::RecordingEngine engine_;
};

TEST_F(NetworkChangeTest, EachPrimitiveSendsItsCodeAndBodyForTheRecordsSerial) {
  auto record = Slot(1);
  CopyBounded(record->Lan.IPAddress, "192.168.1.77");
  record->Lan.DHCP = 0;
  ASSERT_EQ(SetDeviceNetwork(Target(), 1, record.get(), sizeof *record), 0);
  ASSERT_EQ(RestoreDeviceDefaults(Target(), 1, record.get(), sizeof *record), 0);
  ASSERT_EQ(RebootDeviceByDiscovery(Target(), 1, record.get(), sizeof *record), 0);
  ASSERT_EQ(engine_.sent.size(), 3u);
  EXPECT_EQ(engine_.sent[0].code, 2);
  EXPECT_EQ(engine_.sent[0].body,
            "<IPC_SERIALNUMBER\r\nSerialNumber=\"SN1\"\r\n/>\r\n<LANConfig\r\n"
            "MacAddress=\"00:11:22:33:44:01\"\r\nDHCP=\"0\"\r\nIPAddress=\"192.168.1.77\"\r\n"
            "Netmask=\"255.255.255.0\"\r\nGateway=\"192.168.1.1\"\r\nDNS1=\"192.168.1.1\"\r\n"
            "DNS2=\"8.8.4.4\"\r\n/>\r\n");
  EXPECT_EQ(engine_.sent[1].code, 5);
  EXPECT_EQ(engine_.sent[1].body, "<IPC_SERIALNUMBER SerialNumber=\"SN1\" />\r\n");
  EXPECT_EQ(engine_.sent[2].code, 7);
  EXPECT_EQ(engine_.sent[2].body, engine_.sent[1].body);
  // Each also goes to the address the device held when it was sent: the change itself went
  // to 192.168.1.11, the restore and reboot to the new 192.168.1.77.
  ASSERT_EQ(engine_.sent_to.size(), 3u);
  const char* to[] = {"192.168.1.11", "192.168.1.77", "192.168.1.77"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(engine_.sent_to[i].first.code, engine_.sent[i].code);
    EXPECT_EQ(engine_.sent_to[i].first.body, engine_.sent[i].body);
    EXPECT_EQ(engine_.sent_to[i].second, to[i]);
  }
}

TEST_F(NetworkChangeTest, BadIndexOrShortBufferChangesNothing) {
  auto record = Slot(0);
  CopyBounded(record->Lan.IPAddress, "192.168.1.99");
  struct Case {
    int index;
    std::size_t size;
    int expected;
  } cases[] = {{2, sizeof(DeviceRecord), -1},
               {-1, sizeof(DeviceRecord), -1},
               {0, sizeof(DeviceRecord) - 1, -2},
               {5, 10, -1}};  // the index is checked first
  for (const Case& c : cases) {
    EXPECT_EQ(SetDeviceNetwork(Target(), c.index, record.get(), c.size), c.expected) << c.index;
    EXPECT_EQ(RestoreDeviceDefaults(Target(), c.index, record.get(), c.size), c.expected);
    EXPECT_EQ(RebootDeviceByDiscovery(Target(), c.index, record.get(), c.size), c.expected);
  }
  EXPECT_EQ(SetDeviceNetwork(Target(), 0, nullptr, sizeof(DeviceRecord)), -2);
  EXPECT_TRUE(engine_.sent.empty());
  EXPECT_EQ(table_.Count(), 0);
  EXPECT_STREQ(Slot(0)->Lan.IPAddress, "192.168.1.10");
}

TEST_F(NetworkChangeTest, SlotTakesTheRecordWholeAndShowsTheNewAddressAtOnce) {
  auto record = Slot(0);
  CopyBounded(record->Lan.IPAddress, "192.168.1.50");
  CopyBounded(record->Osd, "renamed by caller");
  ASSERT_EQ(SetDeviceNetwork(Target(), 0, record.get(), sizeof *record), 0);
  auto stored = Slot(0);
  EXPECT_EQ(std::memcmp(stored.get(), record.get(), sizeof *record), 0);
  EXPECT_STREQ(Slot(1)->Lan.IPAddress, "192.168.1.11");
}

TEST_F(NetworkChangeTest, ChangingTwiceFreesTheFirstAddressAndRecordsTheSecond) {
  auto record = Slot(0);
  CopyBounded(record->Lan.IPAddress, "192.168.1.50");
  ASSERT_EQ(SetDeviceNetwork(Target(), 0, record.get(), sizeof *record), 0);
  EXPECT_TRUE(table_.Contains(Net("192.168.1.50")));
  CopyBounded(record->Lan.IPAddress, "192.168.1.51");
  ASSERT_EQ(SetDeviceNetwork(Target(), 0, record.get(), sizeof *record), 0);
  EXPECT_FALSE(table_.Contains(Net("192.168.1.50")));
  EXPECT_TRUE(table_.Contains(Net("192.168.1.51")));
  EXPECT_EQ(table_.Count(), 1);
  // The freed slot is the first free one again.
  EXPECT_EQ(table_.Slot(0), Net("192.168.1.51"));
}

TEST_F(NetworkChangeTest, FullTableStillSendsTheChangeWithoutRecordingIt) {
  for (int i = 0; i < AssignedAddressTable::kSlots; ++i)
    ASSERT_TRUE(table_.Add(
        Net(("10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1)).c_str())));
  ASSERT_EQ(table_.Count(), 255);
  auto record = Slot(1);
  CopyBounded(record->Lan.IPAddress, "192.168.1.60");
  ASSERT_EQ(SetDeviceNetwork(Target(), 1, record.get(), sizeof *record), 0);
  ASSERT_EQ(engine_.sent.size(), 1u);
  EXPECT_NE(engine_.sent[0].body.find("IPAddress=\"192.168.1.60\""), std::string::npos);
  EXPECT_FALSE(table_.Contains(Net("192.168.1.60")));
  EXPECT_STREQ(Slot(1)->Lan.IPAddress, "192.168.1.60");
}

TEST_F(NetworkChangeTest, RestoreAndRebootAlsoMoveTheTableEntry) {
  table_.Add(Net("192.168.1.10"));
  auto record = Slot(0);
  ASSERT_EQ(RestoreDeviceDefaults(Target(), 0, record.get(), sizeof *record), 0);
  // Old address out, the (same) record address in: still exactly one entry.
  EXPECT_EQ(table_.Count(), 1);
  EXPECT_TRUE(table_.Contains(Net("192.168.1.10")));
}

TEST(AssignedAddressTableTest, FirstSlotRulesAndAddressesNoDeviceIsHanded) {
  AssignedAddressTable table;
  EXPECT_TRUE(table.Add(Net("192.168.1.5")));
  EXPECT_TRUE(table.Add(Net("192.168.1.6")));
  EXPECT_TRUE(table.Add(Net("192.168.1.5")));  // a duplicate takes its own slot
  table.Remove(Net("192.168.1.5"));
  EXPECT_EQ(table.Slot(0), 0u);
  EXPECT_TRUE(table.Contains(Net("192.168.1.5")));  // only the first one went
  EXPECT_TRUE(table.Add(Net("192.168.1.7")));
  EXPECT_EQ(table.Slot(0), Net("192.168.1.7"));
  EXPECT_FALSE(table.Add(0));
  EXPECT_FALSE(table.Add(AssignedAddressTable::Parse("255.255.255.255")));
  EXPECT_EQ(AssignedAddressTable::Parse(""), 0u);
  EXPECT_EQ(AssignedAddressTable::Parse("192.168.1"), 0u);
  table.Remove(0);
  EXPECT_EQ(table.Count(), 3);
  EXPECT_EQ(table.Slot(-1), 0u);
  EXPECT_EQ(table.Slot(AssignedAddressTable::kSlots), 0u);
}

}  // namespace
}  // namespace vdz
