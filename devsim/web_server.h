// The small web page of every simulated device (its model, address and serial number), served
// by libmicrohttpd: one daemon per web port on every address of the device namespace, which
// tells the devices apart by the address a connection came in on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct MHD_Daemon;

namespace vdz::devsim {

class WebServer {
 public:
  WebServer();
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // False when the port cannot be served.
  bool Add(const std::string& ip, uint16_t port, const std::string& model,
           const std::string& serial);
  void Remove(const std::string& ip);
  void RemoveAll();

  // The page of the device at ip, or empty when there is none.
  std::string Page(const std::string& ip) const;

 private:
  struct Site {
    uint16_t port;
    std::string model;
    std::string serial;
  };
  mutable std::mutex mutex_;
  std::map<std::string, Site> sites_;  // by address
  std::map<uint16_t, MHD_Daemon*> daemons_;
};

}  // namespace vdz::devsim
