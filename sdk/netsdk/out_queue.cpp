#include "out_queue.h"

#include <errno.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vdz::netsdk {

std::string& OutQueue::Tail() {
  if (pieces_.empty() || pieces_.back().file) {
    Sync();
    pieces_.emplace_back();
    tail_counted_ = 0;
  }
  return pieces_.back().bytes;
}

void OutQueue::AppendFile(std::shared_ptr<const UniqueFd> file, off_t offset, std::size_t length) {
  if (length == 0)
    return;
  Sync();
  Piece piece;
  piece.file = std::move(file);
  piece.offset = offset;
  piece.length = length;
  pieces_.push_back(std::move(piece));
  size_ += length;
}

void OutQueue::Sync() {
  if (pieces_.empty() || pieces_.back().file)
    return;
  const std::size_t now = pieces_.back().bytes.size();
  size_ += now - tail_counted_;
  tail_counted_ = now;
}

std::size_t OutQueue::size() const {
  if (pieces_.empty() || pieces_.back().file)
    return size_;
  return size_ + pieces_.back().bytes.size() - tail_counted_;
}

std::size_t OutQueue::capacity() const {
  std::size_t total = 0;
  for (const Piece& piece : pieces_)
    total += piece.bytes.capacity();
  return total;
}

void OutQueue::PopFront() {
  pieces_.pop_front();
  if (pieces_.empty())
    tail_counted_ = 0;
}

OutQueue::FlushResult OutQueue::Flush(int socket) {
  Sync();
  while (!pieces_.empty()) {
    Piece& piece = pieces_.front();
    ssize_t n = 0;
    if (!piece.file) {
      const std::size_t left = piece.bytes.size() - piece.head;
      if (left == 0) {
        PopFront();
        continue;
      }
      // A frame header is sent together with the file bytes that follow it.
      const int flags = MSG_NOSIGNAL | (pieces_.size() > 1 ? MSG_MORE : 0);
      n = ::send(socket, piece.bytes.data() + piece.head, left, flags);
      if (n > 0) {
        piece.head += static_cast<std::size_t>(n);
        size_ -= static_cast<std::size_t>(n);
        if (piece.head == piece.bytes.size())
          PopFront();
        continue;
      }
    } else {
      n = ::sendfile(socket, piece.file->get(), &piece.offset, piece.length);
      if (n > 0) {
        piece.length -= static_cast<std::size_t>(n);
        size_ -= static_cast<std::size_t>(n);
        if (piece.length == 0)
          PopFront();
        continue;
      }
      if (n == 0)
        return FlushResult::kFileShort;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return FlushResult::kWouldBlock;
    return FlushResult::kError;
  }
  return FlushResult::kDrained;
}

void OutQueue::Clear() {
  pieces_.clear();
  size_ = 0;
  tail_counted_ = 0;
}

}  // namespace vdz::netsdk
