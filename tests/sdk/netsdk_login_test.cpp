#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "sdk_test_env.h"

namespace vdz::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST_F(SdkTest, LoginGivesAHandleAndThenEventFour) {
  const auto dev = AddDevice();
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_TRUE(recorder_.WaitStatus(h, QM_NETSDK_EVENT_SESSION_UP));
  EXPECT_EQ(recorder_.LastStatus(h, 4).text, "127.0.0.1:" + std::to_string(host_.Port(dev)));
  EXPECT_EQ(host_.SessionCount(dev), 1);

  const int h2 = Login(dev);
  ASSERT_GT(h2, 0);
  EXPECT_NE(h2, h);
  EXPECT_TRUE(recorder_.WaitStatus(h2, 4));
  EXPECT_EQ(QM_NETSDK_IPC_Logout(h), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_Logout(h), QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, 1012, 0, "RESPONSE_PARAM"),
            QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h2, 1012, 0, "RESPONSE_PARAM"), QM_NETSDK_OK);
}

TEST_F(SdkTest, RefusedAccountsFailFast) {
  devserver::DeviceConfig config;
  config.accounts = {{"admin", "s3cret"}, {"guest", ""}};
  const auto dev = AddDevice(config);
  struct Case {
    const char* user;
    const char* password;
    bool accepted;
  } cases[] = {
      {"admin", "s3cret", true}, {"admin", "admin", false}, {"root", "s3cret", false},
      {"guest", "", true},       {"guest", "x", false},     {"ADMIN", "s3cret", false},
  };
  for (const auto& c : cases) {
    const auto start = Clock::now();
    const int h = Login(dev, c.user, c.password);
    if (c.accepted) {
      EXPECT_GT(h, 0) << c.user << "/" << c.password;
    } else {
      EXPECT_EQ(h, QM_NETSDK_ERR_AUTH) << c.user << "/" << c.password;
      EXPECT_LT(ElapsedMs(start), 500) << "a refusal is known at once";
    }
  }
  host_.SetMisbehaviour(dev, devserver::Misbehaviour::kRefuseLogins);
  EXPECT_EQ(Login(dev, "admin", "s3cret"), QM_NETSDK_ERR_AUTH);
}

TEST_F(SdkTest, NothingListeningFailsWithinTheBound) {
  // A port that was free a moment ago: bind, read it back, close.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  const auto start = Clock::now();
  EXPECT_EQ(QM_NETSDK_IPC_Login("127.0.0.1", ntohs(a.sin_port), "admin", "admin", 0),
            QM_NETSDK_ERR_CONNECT);
  EXPECT_LT(ElapsedMs(start), 1500);
}

TEST_F(SdkTest, SilentDeviceFailsAtTheLoginBound) {
  ASSERT_EQ(QM_NETSDK_IPC_SetTimeouts(3000, 0, 0, 0), QM_NETSDK_OK);  // the documented default
  const auto dev = AddDevice();
  host_.SetMisbehaviour(dev, devserver::Misbehaviour::kSilent);
  const auto start = Clock::now();
  EXPECT_EQ(Login(dev), QM_NETSDK_ERR_TIMEOUT);
  const auto elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 2900);
  EXPECT_LT(elapsed, 3700);
  // The library let the connection go: the device sees it closed.
  for (int i = 0; i < 100 && host_.ConnectionCount(dev) != 0; ++i)
    ::usleep(10000);
  EXPECT_EQ(host_.ConnectionCount(dev), 0);
}

TEST_F(SdkTest, BadArgumentsAndStatesAreReported) {
  EXPECT_EQ(QM_NETSDK_IPC_Login(nullptr, 80, "a", "b", 0), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Login("not an address", 80, "a", "b", 0), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Login("127.0.0.1", 0, "a", "b", 0), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_Login("127.0.0.1", 80, nullptr, "b", 0), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_SetDVRConfig(1, 525, 0, nullptr, 0), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_RebootDVR(987654), QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_EQ(QM_NETSDK_IPC_SetAutoReconnect(987654, 1), QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_EQ(QM_NETSDK_IPC_SetTimeouts(-1, 0, 0, 0), QM_NETSDK_ERR_INVALID_ARG);

  const auto dev = AddDevice();
  const int h = Login(dev);
  ASSERT_GT(h, 0);
  ASSERT_EQ(QM_NETSDK_IPC_Cleanup(), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_Login("127.0.0.1", host_.Port(dev), "admin", "admin", 0),
            QM_NETSDK_ERR_NOT_INIT);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, 1012, 0, ""), QM_NETSDK_ERR_NOT_INIT);
  // Init again: old handles are gone, new logins work.
  ASSERT_EQ(QM_NETSDK_IPC_Init(), QM_NETSDK_OK);
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, 1012, 0, ""), QM_NETSDK_ERR_INVALID_HANDLE);
  EXPECT_GT(Login(dev), 0);
}

}  // namespace
}  // namespace vdz::test

namespace vdz::test {
namespace {

// The application never logs out nor cleans up before it ends: leaving must still be clean.
TEST(SdkExit, EndingWithLiveLoginsExitsNormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        devserver::DeviceServerHost host;
        host.Start();
        const auto id = host.AddDevice({});
        QM_NETSDK_IPC_Init();
        const int h = QM_NETSDK_IPC_Login("127.0.0.1", host.Port(id), "admin", "admin", 0);
        std::exit(h > 0 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vdz::test
