// Fakes for the network-change, probing and command tests: a registry filled from answers,
// an engine that records what it would broadcast, a prober with chosen answering addresses.
#pragma once

#include <arpa/inet.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "discovery/address_probe.h"
#include "discovery/device_registry.h"
#include "discovery/local_interfaces.h"
#include "discovery/readdress_commands.h"
#include "discovery/search_engine.h"
#include "support/answer_text.h"
#include "support/fake_device_list.h"

namespace vdz::test {

struct SentMessage {
  int code;
  std::string body;
};

class RecordingEngine : public SearchEngine {
 public:
  int StartSearchThread() override { return 0; }
  int StopSearchThread() override { return 0; }
  int SendDiscoveryMessage(int code, const char* body) override {
    sent.push_back({code, body != nullptr ? body : ""});
    return 0;
  }
  int SendDiscoveryMessageTo(int code, const char* body, const std::string& address) override {
    sent_to.push_back({{code, body != nullptr ? body : ""}, address});
    return 0;
  }
  void SetAdapterSelection(uint32_t) override {}
  bool running() const override { return false; }
  std::vector<SentMessage> sent;
  std::vector<std::pair<SentMessage, std::string>> sent_to;
};

class FixedNetwork : public NetworkInfoSource {
 public:
  FixedNetwork() {
    AdapterInfo lan;
    lan.description = "lan0";
    lan.interface_index = 2;
    lan.addresses = {{"192.168.1.100", "255.255.255.0"}};
    lan.gateway = "192.168.1.1";
    adapters.push_back(lan);
  }
  std::optional<std::vector<AdapterInfo>> ReadAdapters() override { return adapters; }
  std::optional<std::vector<std::string>> ReadNameServers() override {
    return std::vector<std::string>{"192.168.1.1", "192.168.1.2"};
  }
  std::optional<int> BestInterfaceFor(const char*) override { return 2; }
  std::vector<AdapterInfo> adapters;
};

inline uint32_t Net(const char* dotted) {
  in_addr a{};
  inet_pton(AF_INET, dotted, &a);
  return a.s_addr;
}

inline std::string Dot(uint32_t network_order) {
  in_addr a{};
  a.s_addr = network_order;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

class FakeProber : public AddressProber {
 public:
  int PintTest(uint32_t destination) override {
    probed.push_back(Dot(destination));
    if (failing.count(probed.back()))
      return -1;
    return answering.count(probed.back()) ? 0 : 1;
  }
  std::set<std::string> answering;
  std::set<std::string> failing;
  std::vector<std::string> probed;
};

inline void AddDevice(DeviceRegistry& registry, const std::string& serial, const std::string& ip) {
  AnswerFields f;
  f.serial = serial;
  f.ip = ip;
  const std::string text = MakeAnswer(f);
  registry.AddDeviceAnswer(text.c_str(), static_cast<int>(text.size()), "192.168.1.100");
}

}  // namespace vdz::test
