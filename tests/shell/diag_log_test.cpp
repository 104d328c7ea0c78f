#include "shell/diag_log.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "shell/temp_env.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;
using test::ReadTextFile;
using test::ScratchFolder;
using test::WriteTextFile;

std::tm MakeTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

std::string ThreadId() {
  char id[16];
  std::snprintf(id, sizeof id, "%08x", static_cast<unsigned>(gettid()));
  return id;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class DiagLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.control_file = scratch_ / "uc_dbg.cfg";
    options_.log_folder = scratch_ / "state/viduzaver/log";  // created by the first line
    auto clock = clock_;
    options_.local_time = [clock] {
      std::lock_guard lock(clock->mutex);
      return clock->now;
    };
    SetClock(2024, 3, 5, 10, 11, 12);
  }
  void TearDown() override { Log().Shutdown(); }

  static DiagnosticLog& Log() { return DiagnosticLog::Instance(); }

  void SetClock(int year, int month, int day, int hour, int minute, int second) {
    std::lock_guard lock(clock_->mutex);
    clock_->now = MakeTime(year, month, day, hour, minute, second);
  }

  void Start(const std::string& control) {
    WriteTextFile(options_.control_file, control);
    Log().Initialise(options_);
  }

  std::string LogFile(const std::string& name) const { return options_.log_folder + "/" + name; }

  struct Clock {
    std::mutex mutex;
    std::tm now{};
  };
  ScratchFolder scratch_;
  std::shared_ptr<Clock> clock_ = std::make_shared<Clock>();
  DiagLogOptions options_;
};

TEST_F(DiagLogTest, WithoutControlFileOnlyTheObserverSeesMessages) {
  test::LogCapture capture;
  Log().Initialise(options_);  // no control file written
  EXPECT_EQ(Log().Log("got one ip: %s\n", "192.0.2.10"), 0);
  EXPECT_EQ(DiagLog("SearchIPCThread(): enter main loop...\n"), 0);

  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"got one ip: 192.0.2.10\n",
                                                       "SearchIPCThread(): enter main loop...\n"}));
  const DiagLogStatus status = Log().Status();
  EXPECT_FALSE(status.file_output);
  EXPECT_FALSE(status.network_output);
  EXPECT_FALSE(fs::exists(options_.log_folder));
}

TEST_F(DiagLogTest, FileOnlyControlWritesStampedLinesToADailyFile) {
  Start("file=1;");
  const DiagLogStatus status = Log().Status();
  EXPECT_TRUE(status.file_output);
  EXPECT_FALSE(status.network_output);
  EXPECT_EQ(status.monitor_address, "");
  EXPECT_EQ(status.start_stamp, "101112");

  SetClock(2024, 3, 5, 10, 11, 13);
  EXPECT_EQ(DiagLog("got one ip: %s\n", "192.0.2.10"), 0);
  SetClock(2024, 3, 5, 9, 8, 7);  // prefix fields are zero-padded
  EXPECT_EQ(DiagLog("count %d", 42), 0);
  DiagLog(" continued\n");  // no newline is added: the next line follows on the same one

  const std::string path = LogFile("ReVirErezi_20240305_101112_0.log");
  ASSERT_EQ(FilesIn(options_.log_folder),
            std::vector<std::string>{"ReVirErezi_20240305_101112_0.log"});
  EXPECT_EQ(Log().Status().current_file, path);
  const std::vector<std::string> lines = SplitLines(ReadTextFile(path));
  ASSERT_EQ(lines.size(), 3u);
  const std::string prefix = ": " + ThreadId() + ": ";
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex("ReVirErezi: 2024-03-05 10:11:12" + prefix +
                           "Build [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")))
      << lines[0];
  EXPECT_EQ(lines[1], "ReVirErezi: 2024-03-05 10:11:13" + prefix + "got one ip: 192.0.2.10");
  EXPECT_EQ(lines[2], "ReVirErezi: 2024-03-05 09:08:07" + prefix + "count 42" +
                          "ReVirErezi: 2024-03-05 09:08:07" + prefix + " continued");
  EXPECT_EQ(Log().Status().line_count, 4);
}

TEST_F(DiagLogTest, MessageIsCutTo10239Characters) {
  test::LogCapture capture;
  Start("file=1;");
  const std::string huge(20000, 'x');
  EXPECT_EQ(DiagLog("%s", huge.c_str()), 0);
  const std::vector<std::string> seen = capture.Lines();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().size(), 10239u);
  EXPECT_TRUE(seen.back() == huge.substr(0, 10239));
  const std::vector<std::string> lines =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  ASSERT_EQ(lines.size(), 2u);
  const std::string prefix = "ReVirErezi: 2024-03-05 10:11:12: " + ThreadId() + ": ";
  EXPECT_EQ(lines[1].size(), prefix.size() + 10239);
  EXPECT_TRUE(lines[1] == prefix + huge.substr(0, 10239));
}

TEST_F(DiagLogTest, The20001stLineOfADayStartsTheNextFile) {
  Start("file=1;");  // the build line is the first of the day
  for (int i = 2; i <= 20000; ++i)
    DiagLog("line %d\n", i);
  EXPECT_EQ(Log().Status().line_count, 20000);
  EXPECT_EQ(Log().Status().file_index, 0);

  DiagLog("line %d\n", 20001);
  DiagnosticLog& log = Log();
  EXPECT_EQ(log.Status().file_index, 1);
  EXPECT_EQ(log.Status().line_count, 1);
  EXPECT_EQ(log.Status().current_file, LogFile("ReVirErezi_20240305_101112_1.log"));

  for (int i = 20002; i <= 40001; ++i)
    DiagLog("line %d\n", i);

  const std::vector<std::string> first =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  const std::vector<std::string> second =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_1.log")));
  const std::vector<std::string> third =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_2.log")));
  ASSERT_EQ(first.size(), 20000u);
  ASSERT_EQ(second.size(), 20000u);
  ASSERT_EQ(third.size(), 1u);
  EXPECT_TRUE(first.back().ends_with(": line 20000"));
  EXPECT_TRUE(second.front().ends_with(": line 20001"));
  EXPECT_TRUE(second.back().ends_with(": line 40000"));
  EXPECT_TRUE(third.front().ends_with(": line 40001"));
}

TEST_F(DiagLogTest, FirstLineAfterMidnightOpensTheNewDatesFirstFile) {
  Start("file=1;");
  for (int i = 0; i < 20000; ++i)
    DiagLog("filler\n");
  ASSERT_EQ(Log().Status().file_index, 1);

  SetClock(2024, 3, 5, 23, 59, 59);
  DiagLog("before midnight\n");
  SetClock(2024, 3, 6, 0, 0, 0);
  DiagLog("after midnight\n");

  const DiagLogStatus status = Log().Status();
  EXPECT_EQ(status.file_index, 0);
  EXPECT_EQ(status.line_count, 1);
  // The start stamp stays that of the run.
  const std::string new_day = LogFile("ReVirErezi_20240306_101112_0.log");
  EXPECT_EQ(status.current_file, new_day);
  EXPECT_EQ(SplitLines(ReadTextFile(new_day)),
            std::vector<std::string>{"ReVirErezi: 2024-03-06 00:00:00: " + ThreadId() +
                                     ": after midnight"});
  const std::string old_day = ReadTextFile(LogFile("ReVirErezi_20240305_101112_1.log"));
  EXPECT_NE(old_day.find("before midnight"), std::string::npos);
  EXPECT_EQ(old_day.find("after midnight"), std::string::npos);
}

TEST_F(DiagLogTest, SameDayOfAnotherMonthIsANewDay) {
  Start("file=1;");
  DiagLog("january\n");
  SetClock(2024, 4, 5, 10, 0, 0);
  DiagLog("april\n");
  EXPECT_EQ(Log().Status().current_file, LogFile("ReVirErezi_20240405_101112_0.log"));
  EXPECT_EQ(Log().Status().line_count, 1);
}

TEST_F(DiagLogTest, TwoRunsOnTheSameDayDoNotShareAFile) {
  Start("file=1;");
  DiagLog("first run\n");
  Log().Shutdown();
  const std::string first = LogFile("ReVirErezi_20240305_101112_0.log");
  const std::string first_text = ReadTextFile(first);

  SetClock(2024, 3, 5, 14, 0, 1);
  Log().Initialise(options_);
  DiagLog("second run\n");
  const std::string second = LogFile("ReVirErezi_20240305_140001_0.log");
  EXPECT_EQ(Log().Status().current_file, second);
  EXPECT_EQ(ReadTextFile(first), first_text);
  const std::string second_text = ReadTextFile(second);
  EXPECT_NE(second_text.find("second run"), std::string::npos);
  EXPECT_EQ(second_text.find("first run"), std::string::npos);
  EXPECT_EQ(SplitLines(second_text).size(), 2u);  // build line and its own line
}

TEST_F(DiagLogTest, UnopenableFileDropsTheLineAndTheNextLineRetries) {
  WriteTextFile(options_.log_folder, "a file where the folder should be");
  Start("file=1;");
  EXPECT_EQ(DiagLog("dropped\n"), 0);
  EXPECT_EQ(Log().Status().current_file, "");
  EXPECT_EQ(Log().Status().line_count, 0);

  fs::remove(options_.log_folder);
  EXPECT_EQ(DiagLog("kept\n"), 0);
  const std::vector<std::string> lines =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(": kept"));
}

TEST_F(DiagLogTest, ShutdownClosesOutputsButObserverStillSeesMessages) {
  test::LogCapture capture;
  Start("file=1;");
  DiagLog("open\n");
  Log().Shutdown();
  const DiagLogStatus status = Log().Status();
  EXPECT_FALSE(status.file_output);
  EXPECT_EQ(status.current_file, "");
  EXPECT_EQ(DiagLog("after shutdown\n"), 0);
  EXPECT_TRUE(capture.Contains("after shutdown\n"));
  EXPECT_EQ(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")).find("after shutdown"),
            std::string::npos);
}

TEST_F(DiagLogTest, ObserverMayLogWithoutDeadlock) {
  std::vector<std::string> seen;
  Log().SetObserver([&seen](std::string_view message) {
    seen.emplace_back(message);
    DiagLog("echo\n");
  });
  Start("file=1;");
  DiagLog("outer\n");
  Log().SetObserver(nullptr);
  EXPECT_EQ(seen.back(), "outer\n");
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "echo\n"), 0);
  const std::string text = ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log"));
  EXPECT_NE(text.find(": echo\n"), std::string::npos);
}

TEST_F(DiagLogTest, LinesFromManyThreadsStayWhole) {
  test::LogCapture capture;
  Start("file=1;");
  constexpr int kThreads = 4;
  constexpr int kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        DiagLog("thread %d line %d\n", t, i);
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  const std::vector<std::string> lines =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  ASSERT_EQ(lines.size(), 1u + kThreads * kLines);
  const std::regex shape("ReVirErezi: 2024-03-05 10:11:12: [0-9a-f]{8}: thread [0-9] line [0-9]+");
  std::vector<int> next(kThreads, 0);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    ASSERT_TRUE(std::regex_match(lines[i], shape)) << lines[i];
    int t = 0, n = 0;
    ASSERT_EQ(std::sscanf(lines[i].c_str() + lines[i].find("thread"), "thread %d line %d", &t, &n),
              2);
    EXPECT_EQ(n, next[t]++) << "thread " << t << " out of order";
  }
  EXPECT_EQ(capture.Lines().size(), 1u + kThreads * kLines);  // with the build line
}

// UDP copies go to an ephemeral receiver on the loop-back address only.
class UdpReceiver {
 public:
  UdpReceiver() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    timeval timeout{2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~UdpReceiver() { ::close(fd_); }
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  std::uint16_t port() const { return port_; }
  // One datagram, or nullopt after the time-out.
  std::optional<std::string> Receive() {
    std::string buffer(65536, '\0');
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0)
      return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
  }

 private:
  int fd_;
  std::uint16_t port_ = 0;
};

TEST_F(DiagLogTest, NetworkOutputSendsEachLineAsOneDatagram) {
  UdpReceiver receiver;
  ASSERT_NE(receiver.port(), 0);
  options_.udp_port = receiver.port();
  // An empty monitor address means the loop-back address.
  Start("network=1;");
  EXPECT_EQ(Log().Status().monitor_address, "");

  const auto build = receiver.Receive();
  ASSERT_TRUE(build.has_value());
  EXPECT_NE(build->find(": Build "), std::string::npos);

  EXPECT_EQ(DiagLog("got one ip: %s\n", "192.0.2.10"), 0);
  const auto line = receiver.Receive();
  ASSERT_TRUE(line.has_value());
  // Exactly the line: no terminating zero travels with it.
  EXPECT_EQ(*line, "ReVirErezi: 2024-03-05 10:11:12: " + ThreadId() + ": got one ip: 192.0.2.10\n");
  EXPECT_FALSE(fs::exists(options_.log_folder));
  // With a monitor address and file output the datagram repeats the file's line.
  Log().Shutdown();
  Start("file=1;network=1;monitor_ip=127.0.0.1;");
  EXPECT_EQ(Log().Status().monitor_address, "127.0.0.1");
  ASSERT_TRUE(receiver.Receive().has_value());  // build line
  EXPECT_EQ(DiagLog("both\n"), 0);
  const auto both = receiver.Receive();
  ASSERT_TRUE(both.has_value());
  const std::vector<std::string> lines =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1] + "\n", *both);
}

TEST_F(DiagLogTest, FailedSendReturnsMinusOneAndFileOutputGoesOn) {
  // Not an address: nothing can be sent, and nothing leaves the machine.
  Start("file=1;network=1;monitor_ip=not-an-address;");
  EXPECT_EQ(DiagLog("first\n"), -1);
  EXPECT_EQ(DiagLog("second\n"), -1);
  const std::vector<std::string> lines =
      SplitLines(ReadTextFile(LogFile("ReVirErezi_20240305_101112_0.log")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[1].ends_with(": first"));
  EXPECT_TRUE(lines[2].ends_with(": second"));
}

TEST(DiagLogDefaults, LocationsComeFromThePathHelper) {
  test::ScopedEnv cfg("VDZ_DEBUG_CFG", "/srv/vdz/uc_dbg.cfg");
  test::ScopedEnv log("VDZ_LOG_DIR", "/srv/vdz/log");
  const DiagLogOptions options = DefaultDiagLogOptions();
  EXPECT_EQ(options.control_file, "/srv/vdz/uc_dbg.cfg");
  EXPECT_EQ(options.log_folder, "/srv/vdz/log");
  EXPECT_EQ(options.udp_port, 3000);
  ASSERT_TRUE(options.local_time);
  const std::tm now = options.local_time();
  EXPECT_GE(now.tm_year + 1900, 2024);
}

}  // namespace
}  // namespace vdz
