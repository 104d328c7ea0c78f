#include "discovery/local_interfaces.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/log_capture.h"

namespace vdz {
namespace {

class FakeNetwork : public NetworkInfoSource {
 public:
  std::optional<std::vector<AdapterInfo>> adapters = std::vector<AdapterInfo>{};
  std::optional<std::vector<std::string>> name_servers = std::vector<std::string>{};
  std::optional<int> best;
  int adapter_reads = 0;

  std::optional<std::vector<AdapterInfo>> ReadAdapters() override {
    ++adapter_reads;
    return adapters;
  }
  std::optional<std::vector<std::string>> ReadNameServers() override { return name_servers; }
  std::optional<int> BestInterfaceFor(const char*) override { return best; }
};

AdapterInfo Adapter(const char* name, int index, std::vector<Ipv4WithMask> addresses,
                    const char* gateway = "") {
  AdapterInfo info;
  info.description = name;
  info.interface_index = index;
  info.addresses = std::move(addresses);
  info.gateway = gateway;
  return info;
}

TEST(AdapterTableTest, OrdersByLastByteFirstAndSkipsUnusableAdapters) {
  FakeNetwork net;
  net.adapters = std::vector<AdapterInfo>{
      Adapter("eth1", 3, {{"10.0.0.20", "255.255.255.0"}}),
      Adapter("eth0", 2, {{"192.168.1.10", "255.255.255.0"}}),
      Adapter("down", 4, {{"0.0.0.0", "0.0.0.0"}}),
      Adapter("junk", 5, {{"not-an-address", "255.0.0.0"}}),
      Adapter("none", 6, {}),
  };
  const AdapterTable table = BuildAdapterTable(net);
  ASSERT_EQ(table.size(), 2u);
  auto it = table.begin();
  EXPECT_EQ(DottedFromKey(it->first), "192.168.1.10");
  EXPECT_EQ(it->second.description, "eth0");
  ++it;
  EXPECT_EQ(DottedFromKey(it->first), "10.0.0.20");
}

TEST(AdapterTableTest, LaterAdapterWithSameAddressReplacesEarlierAndFailureGivesEmptyTable) {
  FakeNetwork net;
  net.adapters = std::vector<AdapterInfo>{Adapter("a", 2, {{"192.168.1.5", "255.255.255.0"}}),
                                          Adapter("b", 3, {{"192.168.1.5", "255.255.255.0"}})};
  const AdapterTable table = BuildAdapterTable(net);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.begin()->second.description, "b");

  net.adapters.reset();
  EXPECT_TRUE(BuildAdapterTable(net).empty());
}

TEST(AdapterTableTest, KeyIsLittleEndianOfNetworkBytes) {
  EXPECT_EQ(AdapterKey("192.168.1.10"), 0x0A01A8C0u);
  EXPECT_EQ(AdapterKey("10.0.0.20"), 0x1400000Au);
  EXPECT_EQ(AdapterKey("bogus"), 0u);
  EXPECT_EQ(DottedFromKey(AdapterKey("172.16.254.3")), "172.16.254.3");
}

TEST(LocalParametersTest, PicksAddressInGatewaySubnetOfRoutedAdapter) {
  FakeNetwork net;
  net.name_servers = std::vector<std::string>{"10.1.1.1", "10.1.1.2", "10.1.1.3"};
  net.adapters = std::vector<AdapterInfo>{
      Adapter("eth0", 2, {{"172.16.0.5", "255.255.0.0"}}, "172.16.0.1"),
      Adapter("eth1", 7, {{"10.0.0.20", "255.255.255.0"}, {"192.168.1.100", "255.255.255.0"}},
              "192.168.1.1")};
  net.best = 7;
  test::LogCapture log;
  LocalNetworkParameters params;
  EXPECT_EQ(ReadLocalNetworkParameters(net, &params), 1);
  EXPECT_EQ(params.Get(kLocalAddress), "192.168.1.100");
  EXPECT_EQ(params.Get(kLocalNetmask), "255.255.255.0");
  EXPECT_EQ(params.Get(kLocalGateway), "192.168.1.1");
  EXPECT_EQ(params.Get(kLocalDns1), "10.1.1.1");
  EXPECT_EQ(params.Get(kLocalDns2), "10.1.1.2");
  const std::vector<std::string> expected = {
      "GetNetworkParams OK.\n", "DNS1: 10.1.1.1\n",           "DNS2: 10.1.1.2\n",
      "Gateway: 192.168.1.1\n", "IPAddress: 192.168.1.100\n", "NetMask: 255.255.255.0\n"};
  EXPECT_EQ(log.Lines(), expected);
}

TEST(LocalParametersTest, FirstAddressWhenNoneMatchesGateway) {
  FakeNetwork net;
  net.adapters = std::vector<AdapterInfo>{Adapter(
      "eth0", 2, {{"10.0.0.20", "255.255.255.0"}, {"10.0.1.20", "255.255.255.0"}}, "192.168.9.1")};
  net.best = 2;
  LocalNetworkParameters params;
  EXPECT_EQ(ReadLocalNetworkParameters(net, &params), 1);
  EXPECT_EQ(params.Get(kLocalAddress), "10.0.0.20");
  EXPECT_EQ(params.Get(kLocalDns1), "");
}

TEST(LocalParametersTest, NoDefaultRouteTakesTheDevicesSubnetWithoutGateway) {
  FakeNetwork net;
  net.adapters = std::vector<AdapterInfo>{
      Adapter("eth0", 2, {{"192.168.1.100", "255.255.255.0"}}),
      Adapter("eth1", 3, {{"10.0.0.20", "255.255.0.0"}, {"172.16.5.2", "255.255.255.0"}})};
  net.best.reset();
  struct Case {
    const char* device;
    const char* address;
    const char* mask;
  } cases[] = {{"10.0.77.5", "10.0.0.20", "255.255.0.0"},
               {"172.16.5.9", "172.16.5.2", "255.255.255.0"},
               {"192.168.1.10", "192.168.1.100", "255.255.255.0"},
               // Nothing holds it: the first adapter address there is.
               {"8.8.8.8", "192.168.1.100", "255.255.255.0"},
               {"", "192.168.1.100", "255.255.255.0"}};
  for (const Case& c : cases) {
    LocalNetworkParameters params;
    EXPECT_EQ(ReadLocalNetworkParameters(net, &params, c.device), 1);
    EXPECT_EQ(params.Get(kLocalAddress), c.address) << c.device;
    EXPECT_EQ(params.Get(kLocalNetmask), c.mask) << c.device;
    EXPECT_EQ(params.Get(kLocalGateway), "") << c.device;
    // A set without gateway is read per device, never kept for the next.
    LocalParameterCache cache(net);
    EXPECT_EQ(cache.For(c.device).Get(kLocalAddress), c.address) << c.device;
  }
}

TEST(LocalParametersTest, QueryFailuresFallBackToDefaults) {
  struct Case {
    bool fail_name_servers;
    const char* log_line;
  };
  for (const Case c :
       {Case{true, "GetNetworkParams failed.\n"}, Case{false, "GetAdaptersInfo failed!\n"}}) {
    FakeNetwork net;
    net.name_servers = std::vector<std::string>{"10.9.9.9"};
    if (c.fail_name_servers)
      net.name_servers.reset();
    net.adapters.reset();
    test::LogCapture log;
    LocalNetworkParameters params;
    EXPECT_EQ(ReadLocalNetworkParameters(net, &params), -1);
    EXPECT_TRUE(log.Contains(c.log_line));
    EXPECT_EQ(params.Get(kLocalAddress), "192.168.1.253");
    EXPECT_EQ(params.Get(kLocalNetmask), "255.255.255.0");
    EXPECT_EQ(params.Get(kLocalGateway), "192.168.1.1");
    EXPECT_EQ(params.Get(kLocalDns1), "192.168.1.1");  // defaults overwrite what was read
    EXPECT_EQ(params.Get(kLocalDns2), kDefaultPublicNameServer);
  }
}

// Name servers from resolver files in a scratch folder; adapters and route from the fake.
class ResolverFilesNetwork : public FakeNetwork {
 public:
  ResolverFilesNetwork() {
    dir_ = std::filesystem::temp_directory_path() /
           ("vdz-resolv-" + std::to_string(::getpid()) + "-" + std::to_string(++serial_));
    std::filesystem::create_directories(dir_);
    files.resolv_conf = (dir_ / "resolv.conf").string();
    files.resolved_upstream = (dir_ / "upstream.conf").string();
  }
  ~ResolverFilesNetwork() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& path, const char* text) { std::ofstream(path) << text; }
  std::optional<std::vector<std::string>> ReadNameServers() override {
    return ReadNameServerFiles(files);
  }
  NameServerFiles files;

 private:
  std::filesystem::path dir_;
  static inline int serial_ = 0;
};

TEST(LocalParametersTest, NameServersSkipLocalStubsForTheirUpstreamAndSurviveAMissingFile) {
  struct Case {
    const char* name;
    const char* resolv_conf;  // nullptr: no file
    const char* upstream;     // nullptr: no file
    const char* dns1;
    const char* dns2;
  };
  const Case cases[] = {
      {"stub only", "nameserver 127.0.0.53\noptions edns0\n", nullptr, "", ""},
      {"stub plus upstream", "nameserver 127.0.0.53\n",
       "nameserver 10.1.1.1\nnameserver 127.0.0.1\nnameserver 10.2.2.2\n", "10.1.1.1", "10.2.2.2"},
      {"loopback beside a real server", "nameserver 127.0.0.1\nnameserver 192.168.7.1\n",
       "nameserver 10.1.1.1\n", "192.168.7.1", ""},
      {"missing file", nullptr, "nameserver 10.1.1.1\n", "", ""},
  };
  for (const Case& c : cases) {
    ResolverFilesNetwork net;
    if (c.resolv_conf != nullptr)
      net.Write(net.files.resolv_conf, c.resolv_conf);
    if (c.upstream != nullptr)
      net.Write(net.files.resolved_upstream, c.upstream);
    net.adapters = std::vector<AdapterInfo>{
        Adapter("eth0", 2, {{"192.168.1.10", "255.255.255.0"}}, "192.168.1.1")};
    net.best = 2;
    LocalNetworkParameters params;
    EXPECT_EQ(ReadLocalNetworkParameters(net, &params), 1) << c.name;
    EXPECT_EQ(params.Get(kLocalDns1), c.dns1) << c.name;
    EXPECT_EQ(params.Get(kLocalDns2), c.dns2) << c.name;
    EXPECT_EQ(params.Get(kLocalAddress), "192.168.1.10") << c.name;
    EXPECT_EQ(params.Get(kLocalNetmask), "255.255.255.0") << c.name;
    EXPECT_EQ(params.Get(kLocalGateway), "192.168.1.1") << c.name;
  }
}

TEST(LocalParameterCacheTest, RefillsOnlyWhenAddressOrGatewayEmptyAndRejectsBadIndex) {
  FakeNetwork net;
  net.adapters = std::vector<AdapterInfo>{
      Adapter("eth0", 2, {{"192.168.1.100", "255.255.255.0"}}, "192.168.1.1")};
  net.best = 2;
  LocalParameterCache cache(net);
  EXPECT_EQ(cache.GetNetworkParam(kLocalAddress), "192.168.1.100");
  EXPECT_EQ(cache.GetNetworkParam(kLocalGateway), "192.168.1.1");
  EXPECT_EQ(net.adapter_reads, 1);
  cache.Clear();
  EXPECT_EQ(cache.GetNetworkParam(kLocalNetmask), "255.255.255.0");
  EXPECT_EQ(net.adapter_reads, 2);

  test::LogCapture log;
  EXPECT_EQ(cache.GetNetworkParam(5), "");
  EXPECT_TRUE(log.Contains("GetNetworkParam(): bad index: 5\n"));
  EXPECT_EQ(net.adapter_reads, 2);
}

TEST(LocalParametersTest, LongValuesAreCutToTheirField) {
  LocalNetworkParameters params;
  params.Set(kLocalDns1, std::string(100, '9'));
  EXPECT_EQ(params.Get(kLocalDns1), std::string(31, '9'));
  EXPECT_EQ(params.Get(kLocalDns2), "");
}

}  // namespace
}  // namespace vdz
