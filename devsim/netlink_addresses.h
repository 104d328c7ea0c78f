// Adds and removes the simulated devices' addresses on the device namespace's interfaces
// through rtnetlink. Each device holds its address as a /32, so the kernel answers ARP and
// ping only for addresses that a device (or a chosen lab host) really holds.
#pragma once

#include <cstdint>

namespace vdz::devsim {

class NetlinkAddresses {
 public:
  NetlinkAddresses() = default;
  ~NetlinkAddresses();
  NetlinkAddresses(const NetlinkAddresses&) = delete;
  NetlinkAddresses& operator=(const NetlinkAddresses&) = delete;

  // 0 or -errno.
  int Open();
  // Host-order address; 0 on success, -errno from the kernel otherwise (-EEXIST: held).
  int Add(int ifindex, uint32_t ip, int prefix_len = 32);
  int Remove(int ifindex, uint32_t ip, int prefix_len = 32);

 private:
  int Request(int type, int flags, int ifindex, uint32_t ip, int prefix_len);

  int fd_ = -1;
  uint32_t seq_ = 0;
};

}  // namespace vdz::devsim
