// Shared fixture of the SDK tests: the library with short time bounds, a device host on
// 127.0.0.1 with ephemeral ports, and a recorder of every callback.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device_server_host.h"
#include "qm_netsdk.h"

namespace vdz::test {

struct SdkEvent {
  int handle = 0;
  int code = 0;
  std::string text;  // up to the first NUL
  std::string raw;   // QM_NETSDK_EVENT_DATA_MIN bytes for status events
};

class SdkRecorder {
 public:
  void AddStatus(int handle, int code, const char* data) {
    std::lock_guard lock(mutex_);
    status_.push_back({handle, code, data, std::string(data, QM_NETSDK_EVENT_DATA_MIN)});
    cv_.notify_all();
  }
  void AddAux(int handle, int code, const char* text) {
    std::lock_guard lock(mutex_);
    aux_.push_back({handle, code, text, {}});
    cv_.notify_all();
  }
  // Waits for the n-th status event (n from 1) matching handle and code.
  bool WaitStatus(int handle, int code, int n = 1, int timeout_ms = 5000) {
    return Wait(timeout_ms, [&] { return Count(status_, handle, code) >= n; });
  }
  bool WaitAux(int handle, int code, int timeout_ms = 5000) {
    return Wait(timeout_ms, [&] { return Count(aux_, handle, code) >= 1; });
  }
  int StatusCount(int handle, int code) {
    std::lock_guard lock(mutex_);
    return Count(status_, handle, code);
  }
  SdkEvent LastAux(int handle, int code) { return Last(aux_, handle, code); }
  SdkEvent LastStatus(int handle, int code) { return Last(status_, handle, code); }

 private:
  static int Count(const std::vector<SdkEvent>& v, int handle, int code) {
    int n = 0;
    for (const auto& e : v)
      n += e.handle == handle && e.code == code;
    return n;
  }
  SdkEvent Last(const std::vector<SdkEvent>& v, int handle, int code) {
    std::lock_guard lock(mutex_);
    for (auto it = v.rbegin(); it != v.rend(); ++it) {
      if (it->handle == handle && it->code == code)
        return *it;
    }
    return {};
  }
  bool Wait(int timeout_ms, const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<SdkEvent> status_;
  std::vector<SdkEvent> aux_;
};

class SdkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QM_NETSDK_IPC_Init(), QM_NETSDK_OK);
    // login, keep-alive, dead peer, first reconnect interval
    ASSERT_EQ(QM_NETSDK_IPC_SetTimeouts(1000, 200, 1000, 100), QM_NETSDK_OK);
    QM_NETSDK_IPC_SetStatusEventCallBack(&OnStatus, &recorder_);
    QM_NETSDK_IPC_SetAUXResponseCallBack(&OnAux, &recorder_);
    QM_NETSDK_IPC_SetAutoReconnect(0, 0);
    ASSERT_TRUE(host_.Start());
  }
  void TearDown() override {
    QM_NETSDK_IPC_Cleanup();
    QM_NETSDK_IPC_SetStatusEventCallBack(nullptr, nullptr);
    QM_NETSDK_IPC_SetAUXResponseCallBack(nullptr, nullptr);
    host_.Stop();
  }

  devserver::DeviceId AddDevice(devserver::DeviceConfig config = {}) {
    config.address = "127.0.0.1";
    config.port = 0;
    const devserver::DeviceId id = host_.AddDevice(config);
    EXPECT_GT(id, 0);
    return id;
  }
  int Login(devserver::DeviceId id, const char* user = "admin", const char* password = "admin") {
    return QM_NETSDK_IPC_Login("127.0.0.1", host_.Port(id), user, password, 0);
  }

  static int OnStatus(int handle, int code, const char* data, void* owner) {
    static_cast<SdkRecorder*>(owner)->AddStatus(handle, code, data);
    return 0;
  }
  static int OnAux(int handle, int code, const char* text, void* owner) {
    static_cast<SdkRecorder*>(owner)->AddAux(handle, code, text);
    return 0;
  }

  SdkRecorder recorder_;
  devserver::DeviceServerHost host_;
};

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

}  // namespace vdz::test
