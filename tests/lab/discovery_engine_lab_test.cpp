// The search worker, registry and session against the simulated site, two adapters.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "devconfig/request_bodies.h"
#include "discovery/discovery_engine.h"
#include "discovery/discovery_protocol.h"
#include "discovery/search_session.h"
#include "lab/devsim_control.h"
#include "shell/bounded_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using Clock = std::chrono::steady_clock;
using lab::DevsimControl;
using lab::DevsimRequest;

constexpr char kFirstAdapter[] = "192.168.1.100";
constexpr char kSecondAdapter[] = "10.0.0.20";

class NullView : public SearchView {
 public:
  void SetTimerActive(int id, bool active) override { timers[id] = active; }
  void SetSearchButtonText(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void OnRowAdded(int, DeviceRow&) override {}
  void OnRowChanged(int, DeviceRow&, const DeviceRecord&) override {}
  void OnAddressChanged(int, DeviceRow&, const DeviceRecord&) override {}
  std::map<int, bool> timers;
};

class DiscoveryLab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
    ASSERT_TRUE(control_.ClearRequestLog());
    device_count_ = static_cast<int>(control_.Devices().size());
    ASSERT_GT(device_count_, 0);
  }

  // Waits until the registry holds n devices, repeating the request every second as the
  // window's timer does (answers lost to a full receive buffer come with the next round);
  // false after the deadline.
  bool WaitForCount(int n, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    auto next_request = Clock::now() + std::chrono::seconds(1);
    while (registry_->GetDeviceCount() < n) {
      if (Clock::now() > deadline)
        return false;
      if (engine_.running() && Clock::now() > next_request) {
        engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
        next_request += std::chrono::seconds(1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  DeviceRecord Find(const std::string& serial) {
    auto record = std::make_unique<DeviceRecord>();
    for (int i = 0; i < registry_->GetDeviceCount(); ++i) {
      registry_->CopyRecord(i, record.get(), sizeof *record);
      if (serial == record->SerialNumber)
        return *record;
    }
    return ZeroDeviceRecord();
  }

  // Requests seen since the log was cleared, code 1 only, in arrival order.
  std::vector<DevsimRequest> SearchRequests() {
    std::vector<DevsimRequest> out;
    for (const DevsimRequest& r : control_.RequestLog()) {
      if (r.code == 1)
        out.push_back(r);
    }
    return out;
  }

  DevsimControl control_ = DevsimControl::FromEnvironment();
  std::shared_ptr<DeviceRegistry> registry_ = std::make_shared<DeviceRegistry>();
  std::shared_ptr<NetworkInfoSource> network_ = MakeSystemNetworkInfoSource();
  DiscoveryEngine engine_{registry_, network_};
  int device_count_ = 0;
};

TEST_F(DiscoveryLab, AllAdaptersOpenThreeSocketsAndSendEachRequestInKeyOrder) {
  test::LogCapture log;
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  ASSERT_TRUE(WaitForCount(device_count_, std::chrono::seconds(5)));
  EXPECT_EQ(engine_.open_socket_count(), 3);
  EXPECT_EQ(log.Count("SearchIPCThread(): bind() ok!\n"), 3);
  ASSERT_TRUE(control_.ClearRequestLog());
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  engine_.StopSearchThread();

  // Key order: wildcard 0, then 10.0.0.20 (last byte 20), then 192.168.1.100 (last byte 100).
  // The wildcard socket leaves through the default route, so the simulator sees the first
  // adapter's address with a third source port.
  const std::vector<DevsimRequest> requests = SearchRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].source_ip, kSecondAdapter);
  EXPECT_EQ(requests[2].source_ip, kFirstAdapter);
  std::set<int> ports;
  for (const auto& r : requests)
    ports.insert(r.source_port);
  EXPECT_EQ(ports.size(), 3u);
  // Every request, the first one and any repeat, went out on all three sockets.
  const int sends = log.Count("send INADDR_BROADCAST to seach ipc......\r\n");
  EXPECT_GE(sends, 3 * 2);
  EXPECT_EQ(sends % 3, 0);
}

TEST_F(DiscoveryLab, OneSelectedAdapterOpensOneSocketWithoutWildcard) {
  test::LogCapture log;
  engine_.SetAdapterSelection(AdapterKey(kSecondAdapter));
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(engine_.open_socket_count(), 1);
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  engine_.StopSearchThread();

  const std::vector<DevsimRequest> requests = SearchRequests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& r : requests)
    EXPECT_EQ(r.source_ip, kSecondAdapter);
  EXPECT_EQ(requests[0].source_port, requests[1].source_port);
  // Only the second segment's devices were reached.
  for (int i = 0; i < registry_->GetDeviceCount(); ++i) {
    DeviceRecord record = ZeroDeviceRecord();
    registry_->CopyRecord(i, &record, sizeof record);
    EXPECT_EQ(std::string(record.Lan.IPAddress).rfind("10.0.0.", 0), 0u) << record.Lan.IPAddress;
    EXPECT_STREQ(record.LocalAddress, kSecondAdapter);
  }
  EXPECT_GT(registry_->GetDeviceCount(), 0);
}

TEST_F(DiscoveryLab, RequestWithoutSearchGoesOutOnEveryAdapterWhateverTheSelection) {
  engine_.SetAdapterSelection(AdapterKey(kSecondAdapter));
  ASSERT_FALSE(engine_.running());
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<DevsimRequest> requests = SearchRequests();
  ASSERT_EQ(requests.size(), 3u);
  std::set<std::string> sources;
  for (const auto& r : requests)
    sources.insert(r.source_ip);
  EXPECT_EQ(sources, (std::set<std::string>{kFirstAdapter, kSecondAdapter}));
}

TEST_F(DiscoveryLab, StopRightAfterQueueingEndsWorkerWellWithinASecond) {
  test::LogCapture log;
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(engine_.StartSearchThread(), 1);
    engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(engine_.StopSearchThread(), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(engine_.running());
  }
  EXPECT_EQ(log.Count("CQmDadIvidudEvuzDlg::StopSearchThread: TerminateThread SearchIPCThread.\n"),
            0);
  EXPECT_EQ(log.Count("SearchIPCThread(): exit main loop\n"), 5);
}

TEST_F(DiscoveryLab, AutoStopSearchEndsByItselfOnSeventhTick) {
  LocalParameterCache params(*network_);
  NullView view;
  SearchSession session(engine_, *registry_, params, view);
  session.SetAutoStopPending(true);
  session.StartFromButton();
  int ticks = 0;
  while (session.searching() && ticks < 20) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    session.OnRefreshTick();
    if (view.timers[kRequestTimerId])
      session.OnRequestTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 7);
  EXPECT_FALSE(engine_.running());
  EXPECT_EQ(session.rows_shown(), device_count_);
}

TEST_F(DiscoveryLab, ThousandDevicesRegisteredAndTheNextSerialRefused) {
  std::string error;
  ASSERT_TRUE(control_.Send("site devices=1001 first-ip=192.168.1.10", nullptr, &error)) << error;
  test::LogCapture log;
  engine_.SetAdapterSelection(AdapterKey(kFirstAdapter));
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  ASSERT_TRUE(WaitForCount(1000, std::chrono::seconds(30)));
  // Repeat requests like the window's timer until the refusal has been seen.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!log.Contains("found new entry, but ipc count exceed 1000\n") && Clock::now() < deadline) {
    engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  EXPECT_TRUE(log.Contains("found new entry, but ipc count exceed 1000\n"));
  EXPECT_EQ(registry_->GetDeviceCount(), 1000);

  // Known devices still update: their running time moves on in later answers.
  DeviceRecord before = ZeroDeviceRecord();
  registry_->CopyRecord(0, &before, sizeof before);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  DeviceRecord after = ZeroDeviceRecord();
  registry_->CopyRecord(0, &after, sizeof after);
  engine_.StopSearchThread();
  EXPECT_STREQ(after.SerialNumber, before.SerialNumber);
  EXPECT_GT(after.RunningTime, before.RunningTime);
  ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
}

TEST_F(DiscoveryLab, DeviceHeardThroughTwoSocketsIsOneRecord) {
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  ASSERT_TRUE(WaitForCount(device_count_, std::chrono::seconds(5)));
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  engine_.StopSearchThread();
  EXPECT_EQ(registry_->GetDeviceCount(), device_count_);
  std::set<std::string> serials;
  for (int i = 0; i < registry_->GetDeviceCount(); ++i) {
    DeviceRecord record = ZeroDeviceRecord();
    registry_->CopyRecord(i, &record, sizeof record);
    serials.insert(record.SerialNumber);
    const std::string local = record.LocalAddress;
    const bool first_segment = std::string(record.Lan.IPAddress).rfind("192.168.", 0) == 0;
    // First-segment devices answer both the wildcard and the first adapter's socket.
    if (first_segment) {
      EXPECT_TRUE(local == "0.0.0.0" || local == kFirstAdapter) << local;
    } else {
      EXPECT_EQ(local, kSecondAdapter);
    }
  }
  EXPECT_EQ(static_cast<int>(serials.size()), device_count_);
}

TEST_F(DiscoveryLab, DroppedTypesAreLoggedAndNeverRegistered) {
  std::string error;
  ASSERT_TRUE(control_.Send("site devices=40 first-ip=192.168.1.10 mixed-types=1", nullptr, &error))
      << error;
  int expected = 0;
  for (const auto& d : control_.Devices()) {
    const bool cls =
        d.type.find("NVS") != std::string::npos || d.type.find("DVS") != std::string::npos ||
        d.type.find("DEC") != std::string::npos || d.type.find("NVR") != std::string::npos;
    const bool family =
        d.type.find("RK") != std::string::npos || d.type.find("_SIP") != std::string::npos ||
        d.type.find("AIO") != std::string::npos || d.type.find("MCK2") != std::string::npos;
    if (cls && family)
      ++expected;
  }
  ASSERT_LT(expected, 40);
  test::LogCapture log;
  engine_.SetAdapterSelection(AdapterKey(kFirstAdapter));
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  WaitForCount(expected, std::chrono::seconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  engine_.StopSearchThread();
  EXPECT_EQ(registry_->GetDeviceCount(), expected);
  bool class_line = false;
  for (const auto& line : log.Lines()) {
    if (line.rfind("Found one device not NVS or DVS, type=", 0) == 0)
      class_line = true;
  }
  EXPECT_TRUE(class_line);
  ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
}

TEST_F(DiscoveryLab, AnswersMissingABlockAreDroppedWithTheirLine) {
  const auto devices = control_.Devices();
  ASSERT_GE(devices.size(), 3u);
  std::string error;
  const char* modes[] = {"omit-lan", "omit-stream", "omit-users"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(control_.Send("misbehave " + devices[i].serial + " " + modes[i], nullptr, &error))
        << error;
  }
  test::LogCapture log;
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  WaitForCount(device_count_ - 3, std::chrono::seconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  engine_.StopSearchThread();
  EXPECT_EQ(registry_->GetDeviceCount(), device_count_ - 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Find(devices[i].serial).SerialNumber[0], 0);
  EXPECT_TRUE(log.Contains("lan config not found.\n"));
  EXPECT_TRUE(log.Contains("stream config not found.\n"));
  EXPECT_TRUE(log.Contains("user config not found.\n"));
  ASSERT_TRUE(control_.Send("misbehave all none", nullptr, &error)) << error;
}

TEST_F(DiscoveryLab, MovedDeviceShowsNewAddressAndRebootedOneComesBack) {
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  ASSERT_TRUE(WaitForCount(device_count_, std::chrono::seconds(5)));
  DeviceRecord record = ZeroDeviceRecord();
  registry_->CopyRecord(0, &record, sizeof record);
  const std::string serial = record.SerialNumber;
  const bool first_segment = std::string(record.Lan.IPAddress).rfind("192.168.1.", 0) == 0;
  const std::string new_ip = first_segment ? "192.168.1.200" : "10.0.0.200";

  LanConfigRecord lan = record.Lan;
  CopyBounded(lan.IPAddress, new_ip);
  const std::string body = BuildLanConfigBody(serial, lan);
  engine_.SendDiscoveryMessage(proto::kDiscoverySetParameters, body.c_str());
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Find(serial).Lan.IPAddress != new_ip && Clock::now() < deadline) {
    engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  EXPECT_EQ(std::string(Find(serial).Lan.IPAddress), new_ip);
  EXPECT_EQ(control_.Device(serial)->ip, new_ip);

  // Reboot by discovery: silent for a while, then back with its running time reset.
  const int runtime_before = Find(serial).RunningTime;
  const std::string reboot = BuildSerialBody(serial);
  ASSERT_TRUE(control_.ClearRequestLog());
  engine_.SendDiscoveryMessage(proto::kDiscoveryReboot, reboot.c_str());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  bool came_back = false;
  for (int i = 0; i < 30 && !came_back; ++i) {
    engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    came_back = Find(serial).RunningTime < runtime_before;
  }
  engine_.StopSearchThread();
  EXPECT_TRUE(came_back);
  std::string error;
  ASSERT_TRUE(control_.Send("reset " + serial, nullptr, &error)) << error;
}

TEST_F(DiscoveryLab, BadDatagramsNeitherStallTheSearchNorLoseDevices) {
  ASSERT_EQ(engine_.StartSearchThread(), 1);
  ASSERT_TRUE(WaitForCount(device_count_, std::chrono::seconds(5)));
  std::string error;
  const auto devices = control_.Devices();
  const char* modes[] = {"malformed", "noroot", "oversize", "wrong-code"};
  for (std::size_t i = 0; i < devices.size(); ++i) {
    ASSERT_TRUE(
        control_.Send("misbehave " + devices[i].serial + " " + modes[i % 4], nullptr, &error))
        << error;
  }
  test::LogCapture log;
  for (int i = 0; i < 4; ++i) {
    engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  EXPECT_TRUE(engine_.running());
  EXPECT_EQ(registry_->GetDeviceCount(), device_count_);
  bool recv_failed = false;
  bool recv_message = false;
  for (const auto& line : log.Lines()) {
    if (line.rfind("SearchIPCThread(): recvfrom failed, error=", 0) == 0)
      recv_failed = true;
    if (line.rfind("recv message: ", 0) == 0)
      recv_message = true;
  }
  EXPECT_TRUE(recv_failed);   // the oversized datagrams
  EXPECT_TRUE(recv_message);  // no root, wrong code

  // Back to good answers: the same search goes on and still finds them.
  ASSERT_TRUE(control_.Send("misbehave all none", nullptr, &error)) << error;
  const int runtime = Find(devices[0].serial).RunningTime;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  engine_.SendDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GT(Find(devices[0].serial).RunningTime, runtime);
  engine_.StopSearchThread();
}

}  // namespace
}  // namespace vdz
