#include "onvif_http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vdz::devsim {

namespace {

std::string AddressText(const sockaddr* a) {
  if (!a || a->sa_family != AF_INET)
    return {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(a);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(in->sin_port));
}

std::string Header(MHD_Connection* c, const char* name) {
  const char* v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
  return v ? v : "";
}

MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char* upload, std::size_t* upload_size, void** state) {
  auto* request = static_cast<HttpRequest*>(*state);
  if (!request) {
    request = new HttpRequest;
    request->method = method;
    request->url = url;
    if (const MHD_ConnectionInfo* info =
            MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD)) {
      sockaddr_in local{};
      socklen_t length = sizeof local;
      if (getsockname(info->connect_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        const std::string text = AddressText(reinterpret_cast<sockaddr*>(&local));
        request->local_ip = text.substr(0, text.find(':'));
      }
    }
    if (const MHD_ConnectionInfo* info =
            MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
      request->peer = AddressText(info->client_addr);
    }
    request->authorization = Header(c, MHD_HTTP_HEADER_AUTHORIZATION);
    request->content_type = Header(c, MHD_HTTP_HEADER_CONTENT_TYPE);
    *state = request;
    return MHD_YES;
  }
  if (*upload_size > 0) {
    if (request->body.size() + *upload_size > OnvifHttpServer::kMaxBody) {
      request->body_too_large = true;
    } else {
      request->body.append(upload, *upload_size);
    }
    *upload_size = 0;
    return MHD_YES;
  }
  const HttpReply reply = static_cast<const OnvifHttpServer*>(cls)->Handle(*request);
  MHD_Response* response = MHD_create_response_from_buffer(
      reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
  if (!reply.content_type.empty())
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.content_type.c_str());
  for (const auto& [name, value] : reply.headers)
    MHD_add_response_header(response, name.c_str(), value.c_str());
  const MHD_Result result = MHD_queue_response(c, reply.status, response);
  MHD_destroy_response(response);
  return result;
}

void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
  delete static_cast<HttpRequest*>(*state);
  *state = nullptr;
}

}  // namespace

OnvifHttpServer::~OnvifHttpServer() {
  CloseAll();
  if (daemon_)
    MHD_stop_daemon(daemon_);
  if (epoll_fd_ >= 0)
    close(epoll_fd_);
}

bool OnvifHttpServer::Start(std::string* error) {
  // No listening socket and no thread of its own: connections come from our listeners, and
  // MHD runs when the caller's loop says its descriptor is ready.
  daemon_ = MHD_start_daemon(MHD_USE_NO_LISTEN_SOCKET | MHD_USE_EPOLL | MHD_USE_ERROR_LOG, 0,
                             nullptr, nullptr, &Access, this, MHD_OPTION_NOTIFY_COMPLETED,
                             &Completed, nullptr, MHD_OPTION_CONNECTION_TIMEOUT, 15u,
                             MHD_OPTION_CONNECTION_LIMIT, 4000u, MHD_OPTION_END);
  if (!daemon_) {
    *error = "ONVIF HTTP: cannot start libmicrohttpd";
    return false;
  }
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
  if (epoll_fd_ < 0 || !info) {
    *error = "ONVIF HTTP: no epoll descriptor";
    return false;
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = -1;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, info->epoll_fd, &ev);
  return true;
}

int OnvifHttpServer::Listen(uint32_t ip, int port) {
  const auto key = std::make_pair(ip, port);
  if (listeners_.count(key))
    return 0;
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0)
    return -errno;
  const int one = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(ip);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 256) != 0) {
    const int e = errno;
    close(s);
    return -e;
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = s;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, s, &ev);
  listeners_[key] = s;
  return 0;
}

void OnvifHttpServer::Close(uint32_t ip, int port) {
  const auto it = listeners_.find({ip, port});
  if (it == listeners_.end())
    return;
  epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, it->second, nullptr);
  close(it->second);
  listeners_.erase(it);
}

void OnvifHttpServer::CloseAll() {
  while (!listeners_.empty())
    Close(listeners_.begin()->first.first, listeners_.begin()->first.second);
}

int64_t OnvifHttpServer::Service() {
  if (!daemon_)
    return -1;
  epoll_event events[64];
  const int n = epoll_wait(epoll_fd_, events, 64, 0);
  for (int i = 0; i < n; ++i) {
    const int s = events[i].data.fd;
    if (s < 0)
      continue;
    for (int budget = 0; budget < 64; ++budget) {
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      const int c =
          accept4(s, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (c < 0)
        break;
      // MHD owns the connection from here on, closing it on failure too.
      MHD_add_connection(daemon_, c, reinterpret_cast<sockaddr*>(&peer), length);
    }
  }
  MHD_run(daemon_);
  MHD_UNSIGNED_LONG_LONG ms = 0;
  if (MHD_get_timeout(daemon_, &ms) != MHD_YES)
    return -1;
  return static_cast<int64_t>(std::min<MHD_UNSIGNED_LONG_LONG>(ms, 1000)) * 1000;
}

}  // namespace vdz::devsim
