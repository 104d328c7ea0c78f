#include <unistd.h>

#include "sdk_test_env.h"

namespace vdz::test {
namespace {

using devserver::Misbehaviour;

TEST_F(SdkTest, LineDropReconnectsWithEvents) {
  const auto dev = AddDevice();
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_EQ(QM_NETSDK_IPC_SetAutoReconnect(h, 1), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitStatus(h, 4));

  host_.SetMisbehaviour(dev, Misbehaviour::kDropLine);
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_DISCONNECTED));
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, 1012, 0, ""), QM_NETSDK_ERR_NOT_CONNECTED);
  // While the device still drops every line, the attempts fail and say so.
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_RECONNECT_FAILED));
  EXPECT_EQ(recorder_.StatusCount(h, 4), 1);

  host_.SetMisbehaviour(dev, Misbehaviour::kNone);
  ASSERT_TRUE(recorder_.WaitStatus(h, 4, 2, 10000));
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, 1012, 0, ""), QM_NETSDK_OK);
  EXPECT_TRUE(recorder_.WaitAux(h, 1012));
  EXPECT_EQ(host_.SessionCount(dev), 1);
}

TEST_F(SdkTest, WithoutAutoReconnectALostSessionStaysDown) {
  const auto dev = AddDevice();
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_TRUE(recorder_.WaitStatus(h, 4));
  host_.SetMisbehaviour(dev, Misbehaviour::kDropLine);
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_DISCONNECTED));
  host_.SetMisbehaviour(dev, Misbehaviour::kNone);
  usleep(500 * 1000);
  EXPECT_EQ(recorder_.StatusCount(h, 4), 1);
  EXPECT_EQ(QM_NETSDK_IPC_RebootDVR(h), QM_NETSDK_ERR_NOT_CONNECTED);
  // Switching it on later brings the session back.
  ASSERT_EQ(QM_NETSDK_IPC_SetAutoReconnect(h, 1), QM_NETSDK_OK);
  EXPECT_TRUE(recorder_.WaitStatus(h, 4, 2));
}

TEST_F(SdkTest, RebootDropsTheLineAndTheSessionComesBack) {
  devserver::DeviceConfig config;
  config.reboot_ms = 600;
  const auto dev = AddDevice(config);
  const std::uint16_t port = host_.Port(dev);
  QM_NETSDK_IPC_SetAutoReconnect(0, 1);  // default for later logins
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_TRUE(recorder_.WaitStatus(h, 4));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(QM_NETSDK_IPC_RebootDVR(h), QM_NETSDK_OK);
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_DISCONNECTED));
  EXPECT_EQ(host_.Port(dev), 0) << "unreachable while rebooting";
  ASSERT_TRUE(recorder_.WaitStatus(h, 4, 2, 10000));
  EXPECT_GE(ElapsedMs(start), 550);
  EXPECT_EQ(host_.Port(dev), port);
}

TEST_F(SdkTest, SilentPeerIsDeclaredDead) {
  const auto dev = AddDevice();
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_TRUE(recorder_.WaitStatus(h, 4));
  usleep(400 * 1000);  // keep-alives answered: still up
  EXPECT_EQ(recorder_.StatusCount(h, QM_NETSDK_EVENT_DISCONNECTED), 0);
  host_.SetMisbehaviour(dev, Misbehaviour::kSilent);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_DISCONNECTED, 1, 3000));
  EXPECT_GE(ElapsedMs(start), 700);
  EXPECT_EQ(recorder_.LastStatus(h, QM_NETSDK_EVENT_DISCONNECTED).text, "dead peer");
}

class SdkHostileTest : public SdkTest, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(SdkHostileTest, BrokenLineEndsOnlyItsOwnSession) {
  const auto bad = AddDevice();
  const auto good = AddDevice();
  const int hb = Login(bad);
  const int hg = Login(good);
  ASSERT_GT(hb, 0);
  ASSERT_GT(hg, 0);
  ASSERT_TRUE(recorder_.WaitStatus(hb, 4));

  host_.SetMisbehaviour(bad, GetParam());
  ASSERT_TRUE(recorder_.WaitStatus(hb, QM_NETSDK_EVENT_DISCONNECTED));
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(hb, 1012, 0, ""), QM_NETSDK_ERR_NOT_CONNECTED);
  EXPECT_EQ(recorder_.StatusCount(hg, QM_NETSDK_EVENT_DISCONNECTED), 0);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(hg, 1012, 0, ""), QM_NETSDK_OK);
  EXPECT_TRUE(recorder_.WaitAux(hg, 1012));

  // A new login meets the fault right away and fails instead of hanging.
  const int again = Login(bad);
  EXPECT_LE(again, 0);
  EXPECT_NE(again, QM_NETSDK_ERR_TIMEOUT);

  // Nothing of the announced payload was kept.
  usleep(150 * 1000);
  EXPECT_LT(QM_NETSDK_IPC_DebugBufferedBytes(), 16 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Faults, SdkHostileTest,
                         ::testing::Values(Misbehaviour::kGarbage, Misbehaviour::kHugeLength,
                                           Misbehaviour::kCloseMidFrame, Misbehaviour::kDropLine),
                         [](const auto& param_info) {
                           switch (param_info.param) {
                             case Misbehaviour::kGarbage:
                               return "Garbage";
                             case Misbehaviour::kHugeLength:
                               return "HugeLength";
                             case Misbehaviour::kCloseMidFrame:
                               return "CloseMidFrame";
                             default:
                               return "DropLine";
                           }
                         });

}  // namespace
}  // namespace vdz::test
