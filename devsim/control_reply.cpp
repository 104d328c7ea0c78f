#include "control_reply.h"

#include <sys/socket.h>
#include <sys/types.h>

#include <utility>

namespace vdz::devsim {

ControlReply ExchangeControlLine(int fd, const std::string& command) {
  ControlReply reply;
  const std::string request = command + "\n";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size()))
    return reply;
  reply.sent = true;
  std::string& buffer = reply.text;
  std::size_t start = 0;
  char chunk[16384];
  for (;;) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
      return reply;
    buffer.append(chunk, static_cast<std::size_t>(n));
    std::size_t nl;
    while ((nl = buffer.find('\n', start)) != std::string::npos) {
      std::string line = buffer.substr(start, nl - start);
      start = nl + 1;
      const bool ok = line == "OK";
      if (ok || line.rfind("ERR", 0) == 0) {
        buffer.resize(start);
        reply.complete = true;
        reply.ok = ok;
        reply.final_line = std::move(line);
        return reply;
      }
      reply.lines.push_back(std::move(line));
    }
  }
}

}  // namespace vdz::devsim
