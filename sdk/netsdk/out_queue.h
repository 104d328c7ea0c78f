// What a session has to send, in order: frames built in memory, and file ranges that the
// kernel sends straight from the page cache. File chunks never pass through our memory, so
// an upload to fifty devices costs the I/O thread neither a read copy nor a buffer per chunk.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "file_transfer.h"

namespace vdz::netsdk {

class OutQueue {
 public:
  enum class FlushResult { kDrained, kWouldBlock, kError, kFileShort };

  // Frames are built by appending to this; anything appended lands after what is queued.
  std::string& Tail();
  // `length` bytes of `file` from `offset`, sent after what is queued. The queue keeps the
  // file open until they are sent, so a transfer that ends meanwhile leaves no hole.
  void AppendFile(std::shared_ptr<const UniqueFd> file, off_t offset, std::size_t length);

  // Sends as much as the socket takes. kError leaves errno set; kFileShort means the file
  // ended before its range did, so the stream cannot be completed.
  FlushResult Flush(int socket);
  // Drops everything and returns the memory.
  void Clear();

  bool empty() const { return size() == 0; }
  std::size_t size() const;      // bytes still to send, file ranges included
  std::size_t capacity() const;  // bytes of memory held

 private:
  struct Piece {
    std::string bytes;  // a memory piece when file is null
    std::size_t head = 0;
    std::shared_ptr<const UniqueFd> file;
    off_t offset = 0;
    std::size_t length = 0;
  };
  // Folds what was appended to the last memory piece since into size_.
  void Sync();
  void PopFront();

  std::deque<Piece> pieces_;
  std::size_t size_ = 0;
  std::size_t tail_counted_ = 0;  // bytes of the last memory piece already in size_
};

}  // namespace vdz::netsdk
