// The control socket: a unix stream socket speaking one command per line.
#pragma once

#include <poll.h>

#include <functional>
#include <string>
#include <vector>

namespace vdz::devsim {

class ControlServer {
 public:
  using Handler = std::function<std::string(const std::string& line)>;

  ~ControlServer();
  bool Listen(const std::string& path, std::string* error);
  // Adds the listener and the clients to a poll set; HandleEvents reads what poll reported.
  void AddPollFds(std::vector<pollfd>* fds) const;
  void HandleEvents(const std::vector<pollfd>& fds, const Handler& handler);
  bool idle() const;  // nothing left to write

 private:
  struct Client {
    int fd = -1;
    std::string in;
    std::string out;
    bool closing = false;
  };
  void Flush(Client& c);

  int listen_fd_ = -1;
  std::string path_;
  std::vector<Client> clients_;
};

// Client side for scripts: connects (retrying up to wait_s seconds), sends one line, and
// copies the reply to stdout. Returns 0 for OK, 1 for ERR, 2 when it could not talk.
int RunControlClient(const std::string& path, const std::string& line, double wait_s);

}  // namespace vdz::devsim
