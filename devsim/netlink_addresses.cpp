#include "netlink_addresses.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace vdz::devsim {

NetlinkAddresses::~NetlinkAddresses() {
  if (fd_ >= 0)
    close(fd_);
}

int NetlinkAddresses::Open() {
  fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd_ < 0)
    return -errno;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int e = errno;
    close(fd_);
    fd_ = -1;
    return -e;
  }
  timeval tv{2, 0};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return 0;
}

int NetlinkAddresses::Add(int ifindex, uint32_t ip, int prefix_len) {
  return Request(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, ifindex, ip, prefix_len);
}

int NetlinkAddresses::Remove(int ifindex, uint32_t ip, int prefix_len) {
  return Request(RTM_DELADDR, 0, ifindex, ip, prefix_len);
}

int NetlinkAddresses::Request(int type, int flags, int ifindex, uint32_t ip, int prefix_len) {
  if (fd_ < 0)
    return -EBADF;
  struct {
    nlmsghdr nh;
    ifaddrmsg ifa;
    char attrs[64];
  } req{};
  req.nh.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
  req.nh.nlmsg_type = static_cast<uint16_t>(type);
  req.nh.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | NLM_F_ACK | flags);
  req.nh.nlmsg_seq = ++seq_;
  req.ifa.ifa_family = AF_INET;
  req.ifa.ifa_prefixlen = static_cast<unsigned char>(prefix_len);
  req.ifa.ifa_scope = RT_SCOPE_UNIVERSE;
  req.ifa.ifa_index = static_cast<unsigned>(ifindex);
  const uint32_t net = htonl(ip);
  for (const uint16_t attr_type : {uint16_t{IFA_LOCAL}, uint16_t{IFA_ADDRESS}}) {
    auto* rta =
        reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&req) + NLMSG_ALIGN(req.nh.nlmsg_len));
    rta->rta_type = attr_type;
    rta->rta_len = RTA_LENGTH(sizeof net);
    std::memcpy(RTA_DATA(rta), &net, sizeof net);
    req.nh.nlmsg_len = NLMSG_ALIGN(req.nh.nlmsg_len) + RTA_ALIGN(rta->rta_len);
  }
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (sendto(fd_, &req, req.nh.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) <
      0) {
    return -errno;
  }
  alignas(nlmsghdr) char buf[8192];
  for (;;) {
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return -errno;
    }
    std::size_t offset = 0;
    const auto total = static_cast<std::size_t>(n);
    while (offset + sizeof(nlmsghdr) <= total) {
      nlmsghdr h{};
      std::memcpy(&h, buf + offset, sizeof h);
      if (h.nlmsg_len < sizeof(nlmsghdr) || h.nlmsg_len > total - offset)
        break;
      // A late answer to an earlier, timed-out request carries an older sequence number.
      if (h.nlmsg_seq == seq_ && h.nlmsg_type == NLMSG_ERROR) {
        if (h.nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
          return -EPROTO;
        nlmsgerr err{};
        std::memcpy(&err, buf + offset + NLMSG_HDRLEN, sizeof err);
        return err.error;
      }
      offset += NLMSG_ALIGN(h.nlmsg_len);
    }
  }
}

}  // namespace vdz::devsim
