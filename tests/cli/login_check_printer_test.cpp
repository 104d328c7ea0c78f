#include <gtest/gtest.h>

#include <sstream>

#include "cli/login_check.h"

namespace vdz::cli {
namespace {

const std::vector<LoginCheckLine> kLines = {
    {"192.168.1.10", "SIM00000001", true, "V5.3.1 build 240312", "GATE-1", "RK-T1"},
    {"192.168.1.12", "SIM\"3,x", false, "QM_NETSDK_IPC_Login FAILED", "", ""},
};

TEST(PrintLoginCheck, EachFormatCarriesEveryDevice) {
  struct Case {
    OutputFormat format;
    std::string expected;
  };
  const Case cases[] = {
      {OutputFormat::kCsv,
       "ip,serial,online,version_or_status,name,model\n"
       "192.168.1.10,SIM00000001,yes,V5.3.1 build 240312,GATE-1,RK-T1\n"
       "192.168.1.12,\"SIM\"\"3,x\",no,QM_NETSDK_IPC_Login FAILED,,\n"},
      {OutputFormat::kJson,
       "[\n {\"ip\": \"192.168.1.10\", \"serial\": \"SIM00000001\", \"online\": true, "
       "\"version_or_status\": \"V5.3.1 build 240312\", \"name\": \"GATE-1\", \"model\": "
       "\"RK-T1\"},\n"
       " {\"ip\": \"192.168.1.12\", \"serial\": \"SIM\\\"3,x\", \"online\": false, "
       "\"version_or_status\": \"QM_NETSDK_IPC_Login FAILED\", \"name\": \"\", \"model\": "
       "\"\"}\n]\n"},
      {OutputFormat::kTable,
       "IP            SERIAL       ONLINE  VERSION/STATUS              NAME    MODEL\n"
       "192.168.1.10  SIM00000001  yes     V5.3.1 build 240312         GATE-1  RK-T1\n"
       "192.168.1.12  SIM\"3,x      no      QM_NETSDK_IPC_Login FAILED          \n"
       "2 device(s), 1 online\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    PrintLoginCheck(out, kLines, c.format);
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(PrintLoginCheck, NoDevices) {
  std::ostringstream json, table;
  PrintLoginCheck(json, {}, OutputFormat::kJson);
  PrintLoginCheck(table, {}, OutputFormat::kTable);
  EXPECT_EQ(json.str(), "[]\n");
  EXPECT_EQ(table.str(),
            "IP  SERIAL  ONLINE  VERSION/STATUS  NAME  MODEL\n0 device(s), 0 online\n");
}

}  // namespace
}  // namespace vdz::cli
