#include "cli/device_table_printer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vdz::cli {
namespace {

const std::vector<DeviceLine> kDevices = {
    {"192.168.1.10", "02:56:44:00:00:01", "SIM00000001", "NVR_AIO_8CH", "V5.1.2 build 240312",
     "1 day 2 hours", "192.168.1.100", 80, 5001, "GATE-1", "RK-T1", "ours", ""},
    {"10.0.0.30", "02:56:44:00:00:02", "SIM\"2,x", "DEC_MCK2_4K", "", "", "", 0, 5002, "", "",
     "onvif", "Nordlicht"},
};

TEST(PrintDevices, EachFormatCarriesEveryDevice) {
  struct Case {
    OutputFormat format;
    std::string expected;
  };
  const Case cases[] = {
      {OutputFormat::kCsv,
       "ip,mac,serial,type,version,running_time,local_address,web_port,control_port,name,model,"
       "protocol,maker\n"
       "192.168.1.10,02:56:44:00:00:01,SIM00000001,NVR_AIO_8CH,V5.1.2 build 240312,"
       "1 day 2 hours,192.168.1.100,80,5001,GATE-1,RK-T1,ours,\n"
       "10.0.0.30,02:56:44:00:00:02,\"SIM\"\"2,x\",DEC_MCK2_4K,,,,0,5002,,,onvif,Nordlicht\n"},
      {OutputFormat::kJson,
       "[\n {\"ip\": \"192.168.1.10\", \"mac\": \"02:56:44:00:00:01\", \"serial\": "
       "\"SIM00000001\", \"type\": \"NVR_AIO_8CH\", \"version\": \"V5.1.2 build 240312\", "
       "\"running_time\": \"1 day 2 hours\", \"local_address\": \"192.168.1.100\", "
       "\"web_port\": 80, \"control_port\": 5001, \"name\": \"GATE-1\", \"model\": \"RK-T1\", "
       "\"protocol\": \"ours\", \"maker\": \"\"},\n"
       " {\"ip\": \"10.0.0.30\", \"mac\": \"02:56:44:00:00:02\", \"serial\": \"SIM\\\"2,x\", "
       "\"type\": \"DEC_MCK2_4K\", \"version\": \"\", \"running_time\": \"\", "
       "\"local_address\": \"\", \"web_port\": 0, \"control_port\": 5002, \"name\": \"\", "
       "\"model\": \"\", \"protocol\": \"onvif\", \"maker\": \"Nordlicht\"}\n]\n"},
      {OutputFormat::kTable,
       "IP            MAC                SERIAL       TYPE         VERSION              RUNNING    "
       "    LOCAL          WEB  CONTROL  NAME    MODEL  PROTOCOL  MAKER\n"
       "192.168.1.10  02:56:44:00:00:01  SIM00000001  NVR_AIO_8CH  V5.1.2 build 240312  1 day 2 "
       "hours  192.168.1.100  80   5001     GATE-1  RK-T1  ours      \n"
       "10.0.0.30     02:56:44:00:00:02  SIM\"2,x      DEC_MCK2_4K                              "
       "                       0    5002                    onvif     Nordlicht\n"
       "2 device(s)\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    PrintDevices(out, kDevices, c.format);
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(PrintDevices, NoDevices) {
  std::ostringstream csv, json, table;
  PrintDevices(csv, {}, OutputFormat::kCsv);
  PrintDevices(json, {}, OutputFormat::kJson);
  PrintDevices(table, {}, OutputFormat::kTable);
  EXPECT_EQ(csv.str(),
            "ip,mac,serial,type,version,running_time,local_address,web_port,control_port,name,"
            "model,protocol,maker\n");
  EXPECT_EQ(json.str(), "[]\n");
  EXPECT_EQ(table.str(),
            "IP  MAC  SERIAL  TYPE  VERSION  RUNNING  LOCAL  WEB  CONTROL  NAME  MODEL  PROTOCOL  "
            "MAKER\n0 device(s)\n");
}

}  // namespace
}  // namespace vdz::cli
