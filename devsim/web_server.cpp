#include "web_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace vdz::devsim {

namespace {

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char*, const char* method,
                  const char*, const char*, size_t*, void**) {
  const auto* server = static_cast<const WebServer*>(cls);
  std::string ip;
  if (const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (getsockname(info->connect_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr) {
      ip = text;
    }
  }
  std::string page = std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0
                         ? server->Page(ip)
                         : std::string();
  const unsigned status = page.empty() ? MHD_HTTP_NOT_FOUND : MHD_HTTP_OK;
  if (page.empty())
    page = "<html><body>no such device</body></html>\n";
  MHD_Response* response =
      MHD_create_response_from_buffer(page.size(), page.data(), MHD_RESPMEM_MUST_COPY);
  MHD_add_response_header(response, "Content-Type", "text/html; charset=utf-8");
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

}  // namespace

WebServer::WebServer() = default;

WebServer::~WebServer() {
  RemoveAll();
}

bool WebServer::Add(const std::string& ip, uint16_t port, const std::string& model,
                    const std::string& serial) {
  std::lock_guard lock(mutex_);
  if (daemons_.count(port) == 0) {
    // One thread per port, every address: a site of a thousand devices has a handful of ports.
    // SO_REUSEPORT lets the ONVIF cameras listen on their own addresses at the same port.
    MHD_Daemon* daemon =
        MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG, port,
                         nullptr, nullptr, &Answer, this, MHD_OPTION_CONNECTION_TIMEOUT, 10u,
                         MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END);
    if (daemon == nullptr)
      return false;
    daemons_[port] = daemon;
  }
  sites_[ip] = Site{port, model, serial};
  return true;
}

void WebServer::Remove(const std::string& ip) {
  std::lock_guard lock(mutex_);
  sites_.erase(ip);
}

void WebServer::RemoveAll() {
  std::map<uint16_t, MHD_Daemon*> daemons;
  {
    std::lock_guard lock(mutex_);
    sites_.clear();
    daemons.swap(daemons_);
  }
  for (auto& [port, daemon] : daemons)
    MHD_stop_daemon(daemon);
}

std::string WebServer::Page(const std::string& ip) const {
  std::lock_guard lock(mutex_);
  auto it = sites_.find(ip);
  if (it == sites_.end())
    return {};
  const Site& s = it->second;
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Html(s.model) +
         "</title></head>\n<body><h1>" + Html(s.model) + "</h1>\n<p>address: " + Html(ip) +
         "</p>\n<p>serial: " + Html(s.serial) + "</p>\n</body></html>\n";
}

}  // namespace vdz::devsim
