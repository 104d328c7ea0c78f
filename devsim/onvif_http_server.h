// HTTP/1.1 for the simulated ONVIF cameras: a listening socket on each camera's address and
// port (SO_REUSEPORT, so it lives beside the devices' web server on *:80), the accepted
// connections handed to one libmicrohttpd daemon. Everything runs on the caller's thread:
// watch fd() and call Service().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace vdz::devsim {

struct HttpRequest {
  std::string method;
  std::string url;
  std::string local_ip;  // the camera address the connection came in on
  std::string peer;      // address:port of the client
  std::string authorization;
  std::string content_type;
  std::string body;
  bool body_too_large = false;
};

struct HttpReply {
  unsigned status = 200;
  std::string content_type;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

class OnvifHttpServer {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;
  explicit OnvifHttpServer(Handler handler) : handler_(std::move(handler)) {}
  ~OnvifHttpServer();
  OnvifHttpServer(const OnvifHttpServer&) = delete;
  OnvifHttpServer& operator=(const OnvifHttpServer&) = delete;

  bool Start(std::string* error);
  // Listens on ip:port; 0 or -errno.
  int Listen(uint32_t ip, int port);
  void Close(uint32_t ip, int port);
  void CloseAll();

  // One descriptor that is readable whenever Service has work.
  int fd() const { return epoll_fd_; }
  // Returns microseconds until MHD wants another turn (data it has read but not yet
  // processed leaves no descriptor readable), or -1.
  int64_t Service();

  static constexpr std::size_t kMaxBody = 256 * 1024;
  HttpReply Handle(const HttpRequest& r) const { return handler_(r); }

 private:
  Handler handler_;
  MHD_Daemon* daemon_ = nullptr;
  int epoll_fd_ = -1;
  std::map<std::pair<uint32_t, int>, int> listeners_;  // (ip, port) -> socket
};

}  // namespace vdz::devsim
