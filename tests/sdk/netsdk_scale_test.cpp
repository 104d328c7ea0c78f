#include <string>
#include <vector>

#include "sdk_test_env.h"
#include "support/process_figures.h"

namespace vdz::test {
namespace {

int CountThreads(const std::string& prefix) {
  return ThreadCountNamed(prefix);
}

TEST_F(SdkTest, TwoHundredSessionsOnAFewThreads) {
  constexpr int kDevices = 10;
  constexpr int kPerDevice = 20;
  std::vector<devserver::DeviceId> devices;
  for (int i = 0; i < kDevices; ++i)
    devices.push_back(AddDevice());
  const int threads_before = CountThreads("");

  std::vector<int> handles;
  for (int i = 0; i < kDevices * kPerDevice; ++i) {
    const int h = Login(devices[i % kDevices]);
    ASSERT_GT(h, 0) << "login " << i;
    handles.push_back(h);
  }
  for (const int h : handles)
    ASSERT_TRUE(recorder_.WaitStatus(h, 4));
  for (const auto d : devices)
    EXPECT_EQ(host_.SessionCount(d), kPerDevice);

  EXPECT_LE(CountThreads("vdz-netsdk"), 4);
  EXPECT_LE(CountThreads("") - threads_before, 4) << "no thread per device";

  // Every session works, and an answer reaches the handle that asked.
  for (std::size_t i = 0; i < handles.size(); i += 7) {
    ASSERT_EQ(QM_NETSDK_IPC_SystemControl(handles[i], 1020, 0, "RESPONSE_PARAM"), QM_NETSDK_OK);
    EXPECT_TRUE(recorder_.WaitAux(handles[i], 1020));
  }
  // Idle connections hold next to no buffer memory.
  usleep(150 * 1000);
  EXPECT_LT(QM_NETSDK_IPC_DebugBufferedBytes(), static_cast<long long>(handles.size()) * 1024);

  for (const int h : handles)
    EXPECT_EQ(QM_NETSDK_IPC_Logout(h), QM_NETSDK_OK);
  for (int i = 0; i < 100 && host_.SessionCount(devices[0]) != 0; ++i)
    usleep(10000);
  EXPECT_EQ(host_.SessionCount(devices[0]), 0);
}

}  // namespace
}  // namespace vdz::test
