#include "answer_sender.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "answer_writer.h"

namespace vdz::devsim {

bool AnswerSender::Enqueue(PendingAnswer a) {
  if (queue_.size() >= kMaxQueue) {
    ++overflowed_;
    return false;
  }
  const int64_t due = a.due_us;
  queue_.emplace(std::make_pair(due, order_++), std::move(a));
  return true;
}

int64_t AnswerSender::Pump(int64_t now_us, bool* want_writable) {
  *want_writable = false;
  if (rate_ > 0) {
    if (last_us_ == 0)
      last_us_ = now_us;
    tokens_ += static_cast<double>(now_us - last_us_) * rate_ / 1e6;
    if (tokens_ > burst_)
      tokens_ = burst_;
    last_us_ = now_us;
  }
  while (!queue_.empty()) {
    auto it = queue_.begin();
    if (it->first.first > now_us)
      return it->first.first - now_us;
    if (rate_ > 0 && tokens_ < 1.0) {
      return static_cast<int64_t>((1.0 - tokens_) * 1e6 / rate_) + 1;
    }
    PendingAnswer& a = it->second;
    if (a.payload.empty() && a.device)
      a.payload = BuildAnswerDatagram(*a.device, a.asked_ms);
    // The source address and the segment come with the datagram, so one socket serves
    // every device without binding a socket per address.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<char*>(a.payload.data()), a.payload.size()};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&a.destination);
    msg.msg_namelen = sizeof a.destination;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = a.ifindex;
    info.ipi_spec_dst.s_addr = htonl(a.source);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    const ssize_t n = sendmsg(fd_, &msg, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
      *want_writable = errno != ENOBUFS;
      return errno == ENOBUFS ? 1000 : -1;
    }
    if (n < 0) {
      ++errors_;
    } else {
      ++sent_;
    }
    if (rate_ > 0)
      tokens_ -= 1.0;
    queue_.erase(it);
  }
  return -1;
}

}  // namespace vdz::devsim
