#include "devconfig/device_identity_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devconfig/fixture_text.h"
#include "devconfig/p2p_type_table.h"
#include "shell/bounded_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using test::AnswerWithBody;
using test::ReadFixture;
using test::TailIsZero;

TEST(ReadDeviceIdentityTest, ReadsTheFullAnswer) {
  DeviceIdentity id{};
  id.P2PSTATUS = -1;
  ASSERT_EQ(ReadDeviceIdentity(ReadFixture("answer_nvs_rk.xml").c_str(), &id), 0);
  EXPECT_STREQ(id.SerialNumber, "RK1F20A3C7D90012");
  EXPECT_STREQ(id.OEM_SN, "OEM-7731-0042");
  EXPECT_STREQ(id.PLATFORMID, "PLT00217");
  EXPECT_STREQ(id.VERSION, "V5.2.1 build 20240611 (IPC_RK3516_SIP)");
  EXPECT_STREQ(id.AF_VERSION, "AF 1.0.9 build 20240302");
  EXPECT_STREQ(id.P2PID, "3f2a9c0d41e87b5521c6a0fd93e1b247");
  EXPECT_EQ(id.P2PTYPE, 1);  // 32 characters, reported as 0
  EXPECT_STREQ(id.UUID, "5a7c3e10b94f4e2d8c1a");
  EXPECT_EQ(id.runtime, 90061);
  EXPECT_EQ(id.P2PSTATUS, 1);
  EXPECT_STREQ(id.DeviceType, "NVS_RK3516_SIP");
  EXPECT_STREQ(id.OSD, "Gate 3 - loading bay");
}

TEST(ReadDeviceIdentityTest, LaterDeviceTypeWinsAndEntitiesAreDecoded) {
  DeviceIdentity id{};
  id.P2PSTATUS = -1;
  ASSERT_EQ(ReadDeviceIdentity(ReadFixture("answer_lumeriant_nvr.xml").c_str(), &id), 0);
  EXPECT_STREQ(id.SerialNumber, "NVR0099AIO");
  EXPECT_STREQ(id.DeviceType, "NVR_AIO_X");
  EXPECT_STREQ(id.OSD, "Recorder & Hall");
  EXPECT_EQ(id.P2PSTATUS, -1);  // not reported
  EXPECT_EQ(id.runtime, 3600);
  EXPECT_EQ(id.P2PTYPE, 8);  // "@" and a known cloud product
}

TEST(ReadDeviceIdentityTest, ClearsOnlyTheIdentityTextsAndRuntime) {
  DeviceIdentity id;
  std::memset(&id, 'q', sizeof id);
  id.P2PTYPE = 4;
  id.P2PSTATUS = -1;
  CopyBounded(id.DeviceType, "kept");
  const std::string text = AnswerWithBody("<OTHER />");
  ASSERT_EQ(ReadDeviceIdentity(text.c_str(), &id), 0);
  for (const char* field : {id.SerialNumber, id.OEM_SN, id.PLATFORMID, id.P2PID}) {
    EXPECT_STREQ(field, "");
  }
  EXPECT_TRUE(TailIsZero(id.SerialNumber));
  EXPECT_TRUE(TailIsZero(id.P2PID));
  EXPECT_EQ(id.runtime, 0);
  EXPECT_EQ(id.P2PTYPE, 4);
  EXPECT_EQ(id.P2PSTATUS, -1);
  EXPECT_STREQ(id.DeviceType, "kept");
  EXPECT_EQ(id.VERSION[0], 'q');
}

TEST(ReadDeviceIdentityTest, FailsWithoutRootOrBody) {
  {
    test::LogCapture log;
    DeviceIdentity id{};
    EXPECT_EQ(ReadDeviceIdentity("<XML_VORTAN></XML_LUMERIANT>", &id), -1);
    EXPECT_TRUE(
        log.Contains("Invalid message, XML root not found:\n<XML_VORTAN></XML_LUMERIANT>\n"));
  }
  {
    test::LogCapture log;
    DeviceIdentity id{};
    EXPECT_EQ(
        ReadDeviceIdentity("<XML_VORTAN><IPC_SERIALNUMBER SerialNumber=\"S\" /></XML_VORTAN>", &id),
        -1);
    EXPECT_STREQ(id.SerialNumber, "");
    EXPECT_TRUE(log.Lines().empty());
  }
}

TEST(ReadDeviceIdentityTest, TakesTheFirstRootNamedElementAndItsFirstBody) {
  const char* text =
      "<XML_LUMERIANT />"
      "<XML_VORTAN><MESSAGE_BODY><IPC_SERIALNUMBER SerialNumber=\"A\" />"
      "<IPC_SERIALNUMBER SerialNumber=\"B\" /></MESSAGE_BODY>"
      "<MESSAGE_BODY><IPC_SERIALNUMBER SerialNumber=\"C\" /></MESSAGE_BODY></XML_VORTAN>";
  DeviceIdentity id{};
  ASSERT_EQ(ReadDeviceIdentity(text, &id), 0);
  EXPECT_STREQ(id.SerialNumber, "A");
}

TEST(ReadDeviceIdentityTest, CutsLongValuesToTheirFields) {
  const std::string serial(80, 'S');
  const std::string osd(300, 'O');
  const std::string text = AnswerWithBody("<IPC_SERIALNUMBER SerialNumber=\"" + serial +
                                          "\" P2PTYPE=\"2\" /><DEVICE_TYPE OSD=\"" + osd + "\" />");
  DeviceIdentity id;
  std::memset(&id, 'q', sizeof id);
  ASSERT_EQ(ReadDeviceIdentity(text.c_str(), &id), 0);
  EXPECT_EQ(std::string(id.SerialNumber), serial.substr(0, 31));
  EXPECT_EQ(std::string(id.OSD), osd.substr(0, 255));
  EXPECT_EQ(id.P2PTYPE, 2);
  EXPECT_EQ(id.OEM_SN[0], '\0');  // the field after SerialNumber is untouched by the cut
  EXPECT_TRUE(TailIsZero(id.OEM_SN));
}

struct P2pCase {
  const char* name;
  std::string p2ptype_attribute;  // empty: absent
  std::string p2pid;
  int32_t expected;
};

std::string Repeat(char c, std::size_t n) {
  return std::string(n, c);
}

TEST(ReadDeviceIdentityTest, InfersTheP2pType) {
  const P2pTypeTable& table = kP2pTypeTable;
  const std::string suffix(table.iot_domain_suffix);
  const std::string product(table.cloud_product_ids[0]);
  const std::string qmws20 = "qmws" + Repeat('7', 16);
  const P2pCase cases[] = {
      {"32 characters", "", Repeat('a', 32), 1},
      {"32 characters, reported type kept", "3", Repeat('a', 32), 3},
      {"32 characters, explicit zero", "0", Repeat('a', 32), 1},
      {"31 characters", "", Repeat('a', 31), 0},
      {"33 characters", "", Repeat('a', 33), 0},
      {"qmws, 20 characters", "", qmws20, 9},
      {"qmws, 21 characters", "", qmws20 + "7", 0},
      {"qmws, 20 characters with @", "", "qmws@" + Repeat('7', 15), 9},
      {"IoT domain", "", "dev42" + suffix, 5},
      {"IoT domain, 32 characters", "", Repeat('d', 32 - suffix.size()) + suffix, 5},
      {"IoT domain before qmws", "", "qmws" + suffix, 5},
      {"@ with product", "", "cam7@" + product, 8},
      {"@ without product", "", "cam7@elsewhere", 10},
      {"@, 32 characters", "", Repeat('b', 31) + "@", 10},
      {"product without @", "", product, 0},
      {"empty", "", "", 0},
      {"reported type kept without rule", "6", "cam7@elsewhere", 6},
      // The rules see the stored identifier, cut to 127 characters.
      {"long, @ beyond the field", "", Repeat('c', 130) + "@", 0},
  };
  for (const P2pCase& c : cases) {
    std::string attrs = "P2PID=\"" + c.p2pid + "\"";
    if (!c.p2ptype_attribute.empty())
      attrs += " P2PTYPE=\"" + c.p2ptype_attribute + "\"";
    const std::string text = AnswerWithBody("<IPC_SERIALNUMBER " + attrs + " />");
    DeviceIdentity id{};
    ASSERT_EQ(ReadDeviceIdentity(text.c_str(), &id), 0) << c.name;
    EXPECT_EQ(id.P2PTYPE, c.expected) << c.name;
  }
}

TEST(InferP2pTypeTest, EveryCloudProductMarksType8) {
  for (std::string_view product : kP2pTypeTable.cloud_product_ids) {
    EXPECT_EQ(product.size(), 11u);
    EXPECT_EQ(InferP2pType("x@" + std::string(product)), 8) << product;
    // Without "@" a product identifier means nothing.
    EXPECT_EQ(InferP2pType(std::string(product)), 0) << product;
  }
}

}  // namespace
}  // namespace vdz
