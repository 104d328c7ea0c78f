// The client side of one control exchange: a command line out, the reply read up to its
// final OK or ERR line. Shared by `viduzaver-devsim ctl` and the lab tests' control client.
#pragma once

#include <string>
#include <vector>

namespace vdz::devsim {

struct ControlReply {
  bool sent = false;               // the whole command line went out
  bool complete = false;           // a final line (OK or ERR ...) arrived
  bool ok = false;                 // that final line was OK
  std::string text;                // what was read, up to and including the final line
  std::vector<std::string> lines;  // the reply lines before the final one
  std::string final_line;
};

// Sends command plus "\n" on the connected stream socket fd and reads the reply until its
// final line, end of stream or a receive error (a time-out the caller set on fd ends it too).
ControlReply ExchangeControlLine(int fd, const std::string& command);

}  // namespace vdz::devsim
