// Linux view of the IP configuration: getifaddrs for addresses, rtnetlink for routes, the
// resolver configuration for name servers.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "discovery/local_interfaces.h"

namespace vdz {

namespace {

std::string Dotted(const in_addr& addr) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &addr, text, sizeof text);
  return text;
}

class NetlinkSocket {
 public:
  NetlinkSocket() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {
    if (fd_ >= 0) {
      timeval timeout{2, 0};
      setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
  }
  ~NetlinkSocket() {
    if (fd_ >= 0)
      close(fd_);
  }
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;

  bool ok() const { return fd_ >= 0; }

  bool Send(const void* request, size_t length) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(fd_, request, length, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) ==
           static_cast<ssize_t>(length);
  }

  // Calls on_message for each route message until NLMSG_DONE (dump) or the first reply.
  template <typename F>
  bool Receive(uint32_t seq, bool dump, F on_message) {
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0)
        return false;
      auto remaining = static_cast<unsigned>(n);
      for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, remaining);
           h = NLMSG_NEXT(h, remaining)) {
        if (h->nlmsg_seq != seq)
          continue;
        if (h->nlmsg_type == NLMSG_DONE)
          return true;
        if (h->nlmsg_type == NLMSG_ERROR) {
          const auto* err = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
          return dump ? err->error == 0 : false;
        }
        on_message(h);
        if (!dump)
          return true;
      }
    }
  }

 private:
  int fd_;
};

struct RouteAttributes {
  int oif = 0;
  bool has_gateway = false;
  in_addr gateway{};
};

RouteAttributes ParseRoute(const nlmsghdr* h) {
  RouteAttributes out;
  const auto* rt = static_cast<const rtmsg*>(NLMSG_DATA(h));
  int length = static_cast<int>(RTM_PAYLOAD(h));
  for (const rtattr* a = RTM_RTA(rt); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
    if (a->rta_type == RTA_OIF && RTA_PAYLOAD(a) >= sizeof(int)) {
      std::memcpy(&out.oif, RTA_DATA(a), sizeof(int));
    } else if (a->rta_type == RTA_GATEWAY && RTA_PAYLOAD(a) >= sizeof(in_addr)) {
      std::memcpy(&out.gateway, RTA_DATA(a), sizeof(in_addr));
      out.has_gateway = true;
    }
  }
  return out;
}

// First default-route gateway per interface index.
std::map<int, std::string> DefaultGateways() {
  std::map<int, std::string> gateways;
  NetlinkSocket nl;
  if (!nl.ok())
    return gateways;
  struct {
    nlmsghdr header;
    rtmsg route;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = 1;
  request.route.rtm_family = AF_INET;
  if (!nl.Send(&request, request.header.nlmsg_len))
    return gateways;
  nl.Receive(1, true, [&](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWROUTE)
      return;
    const auto* rt = static_cast<const rtmsg*>(NLMSG_DATA(h));
    if (rt->rtm_dst_len != 0 || rt->rtm_table != RT_TABLE_MAIN)
      return;
    const RouteAttributes route = ParseRoute(h);
    if (route.has_gateway && route.oif > 0 && !gateways.count(route.oif)) {
      gateways[route.oif] = Dotted(route.gateway);
    }
  });
  return gateways;
}

// IPv4 name servers of one resolv.conf-style file, in order; nullopt when it cannot be read.
std::optional<std::vector<std::string>> NameServersIn(const std::string& path) {
  std::ifstream file(path);
  if (!file)
    return std::nullopt;
  std::vector<std::string> servers;
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string keyword;
    std::string value;
    if (!(words >> keyword >> value) || keyword != "nameserver")
      continue;
    in_addr addr{};
    if (inet_pton(AF_INET, value.c_str(), &addr) == 1)
      servers.push_back(value);
  }
  return servers;
}

bool IsLoopback(const std::string& dotted) {
  in_addr addr{};
  return inet_pton(AF_INET, dotted.c_str(), &addr) == 1 && (ntohl(addr.s_addr) >> 24) == 127;
}

std::vector<std::string> Usable(std::vector<std::string> servers) {
  std::erase_if(servers, IsLoopback);
  return servers;
}

class SystemNetworkInfoSource final : public NetworkInfoSource {
 public:
  explicit SystemNetworkInfoSource(NameServerFiles files) : files_(std::move(files)) {}

  std::optional<std::vector<AdapterInfo>> ReadAdapters() override {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
      return std::nullopt;
    std::vector<AdapterInfo> adapters;
    std::map<std::string, size_t> by_name;
    for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
      if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET)
        continue;
      if ((ifa->ifa_flags & IFF_LOOPBACK) != 0 || (ifa->ifa_flags & IFF_UP) == 0)
        continue;
      auto [it, inserted] = by_name.try_emplace(ifa->ifa_name, adapters.size());
      if (inserted) {
        AdapterInfo info;
        info.description = ifa->ifa_name;
        info.interface_index = static_cast<int>(if_nametoindex(ifa->ifa_name));
        adapters.push_back(std::move(info));
      }
      Ipv4WithMask entry;
      entry.address = Dotted(reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr)->sin_addr);
      entry.mask = ifa->ifa_netmask
                       ? Dotted(reinterpret_cast<const sockaddr_in*>(ifa->ifa_netmask)->sin_addr)
                       : std::string("0.0.0.0");
      adapters[it->second].addresses.push_back(std::move(entry));
    }
    freeifaddrs(list);
    const auto gateways = DefaultGateways();
    for (auto& adapter : adapters) {
      auto found = gateways.find(adapter.interface_index);
      if (found != gateways.end())
        adapter.gateway = found->second;
    }
    return adapters;
  }

  std::optional<std::vector<std::string>> ReadNameServers() override {
    return ReadNameServerFiles(files_);
  }

  std::optional<int> BestInterfaceFor(const char* destination) override {
    in_addr dst{};
    if (inet_pton(AF_INET, destination, &dst) != 1)
      return std::nullopt;
    NetlinkSocket nl;
    if (!nl.ok())
      return std::nullopt;
    struct {
      nlmsghdr header;
      rtmsg route;
      char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 2;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    auto* attr = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) +
                                           NLMSG_ALIGN(request.header.nlmsg_len));
    attr->rta_type = RTA_DST;
    attr->rta_len = RTA_LENGTH(sizeof dst);
    std::memcpy(RTA_DATA(attr), &dst, sizeof dst);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attr->rta_len);
    if (!nl.Send(&request, request.header.nlmsg_len))
      return std::nullopt;
    std::optional<int> oif;
    nl.Receive(2, false, [&](const nlmsghdr* h) {
      if (h->nlmsg_type != RTM_NEWROUTE)
        return;
      const RouteAttributes route = ParseRoute(h);
      if (route.oif > 0)
        oif = route.oif;
    });
    return oif;
  }

 private:
  NameServerFiles files_;
};

}  // namespace

std::vector<std::string> ReadNameServerFiles(const NameServerFiles& files) {
  const auto listed = NameServersIn(files.resolv_conf);
  if (!listed)
    return {};
  std::vector<std::string> usable = Usable(*listed);
  if (usable.empty() && !listed->empty()) {
    const auto upstream = NameServersIn(files.resolved_upstream);
    if (upstream)
      usable = Usable(*upstream);
  }
  return usable;
}

std::unique_ptr<NetworkInfoSource> MakeSystemNetworkInfoSource(NameServerFiles files) {
  const char* path = std::getenv("VDZ_RESOLV_CONF");
  if (path != nullptr && *path != '\0' && files.resolv_conf == NameServerFiles{}.resolv_conf)
    files.resolv_conf = path;
  return std::make_unique<SystemNetworkInfoSource>(std::move(files));
}

}  // namespace vdz
