#include "out_queue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace vdz::netsdk {
namespace {

// A non-blocking socket pair with small buffers, so the queue has to stop part way.
class OutQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds_), 0);
    const int small = 4096;
    ::setsockopt(fds_[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  }
  void TearDown() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }

  static std::shared_ptr<const UniqueFd> FileWith(const std::string& bytes) {
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    auto fd = std::make_shared<const UniqueFd>(::dup(::fileno(f)));
    std::fclose(f);
    return fd;
  }

  // Flushes and reads the other end until the queue is drained or stops.
  OutQueue::FlushResult Pump(OutQueue& queue, std::string& received) {
    char buffer[8192];
    for (int round = 0; round < 10000; ++round) {
      const OutQueue::FlushResult result = queue.Flush(fds_[0]);
      for (ssize_t n; (n = ::read(fds_[1], buffer, sizeof buffer)) > 0;)
        received.append(buffer, static_cast<std::size_t>(n));
      if (result != OutQueue::FlushResult::kWouldBlock)
        return result;
    }
    return OutQueue::FlushResult::kWouldBlock;
  }

  int fds_[2] = {-1, -1};
};

TEST_F(OutQueueTest, MemoryAndFileRangesArriveInOrderThroughPartialSends) {
  std::string content(200000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>('a' + i % 26);
  OutQueue queue;
  std::string expected;
  {
    auto file = FileWith(content);
    for (std::size_t at = 0; at < content.size(); at += 65536) {
      const std::string header = "<hdr " + std::to_string(at) + ">";
      queue.Tail() += header;
      const std::size_t n = std::min<std::size_t>(65536, content.size() - at);
      queue.AppendFile(file, static_cast<off_t>(at), n);
      expected += header + content.substr(at, n);
    }
    // The owner lets go of the file while ranges of it are still queued.
  }
  queue.Tail() += "<end>";
  expected += "<end>";
  EXPECT_EQ(queue.size(), expected.size());

  std::string received;
  EXPECT_EQ(Pump(queue, received), OutQueue::FlushResult::kDrained);
  EXPECT_EQ(received, expected);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.capacity(), 0u);
}

TEST_F(OutQueueTest, FileShorterThanItsRangeStopsTheStream) {
  OutQueue queue;
  queue.Tail() += "head";
  queue.AppendFile(FileWith("only ten b"), 0, 64);
  std::string received;
  EXPECT_EQ(Pump(queue, received), OutQueue::FlushResult::kFileShort);
  EXPECT_EQ(received, "headonly ten b");
  queue.Clear();
  EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace vdz::netsdk
