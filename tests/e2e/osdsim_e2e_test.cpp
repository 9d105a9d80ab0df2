// The osdsim program itself: its first line, its exit on signals, its usage errors, and the
// picture it writes when it is stopped in the middle of a download.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

using namespace osd::e2e;

namespace {

struct Proc {
  pid_t pid = -1;
  int out = -1;  // its standard output
  int err = -1;  // its standard error
};

Proc launch(const std::vector<std::string>& options) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  Proc p;
  p.pid = ::fork();
  if (p.pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    execProgram(binDir() + "/osdsim", options);
  }
  ::close(out[1]);
  ::close(err[1]);
  p.out = out[0];
  p.err = err[0];
  return p;
}

std::string readLine(int fd) {
  std::string line;
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

std::string readAll(int fd) {
  std::string s;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}

// Waits for the process; its exit status, or -1 when it did not end within two seconds.
int finish(Proc& p) {
  for (int k = 0; k < 200; ++k) {
    int status = 0;
    if (::waitpid(p.pid, &status, WNOHANG) == p.pid) {
      ::close(p.out);
      ::close(p.err);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(p.pid, SIGKILL);
  ::waitpid(p.pid, nullptr, 0);
  return -1;
}

int openPort(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

std::string readFor(int fd, size_t want, int timeoutMs) {
  std::string got;
  char buf[256];
  while (got.size() < want) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) break;
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - got.size()));
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

}  // namespace

TEST(OsdsimProgram, FirstLineIsTheTerminalAndSignalsEndItCleanly) {
  for (int sig : {SIGTERM, SIGINT}) {
    Proc p = launch({"--memory", "512", "--id", "26", "--baud", "0"});
    ASSERT_GT(p.pid, 0);
    const std::string path = readLine(p.out);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "WK,1AQXS", 8), 8);
    EXPECT_EQ(readFor(fd, 8, 2000), "QX512K\r\n");
    ::close(fd);
    ::kill(p.pid, sig);
    EXPECT_EQ(finish(p), 0) << "signal " << sig;
  }
}

TEST(OsdsimProgram, BadOptionsAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {{"--memory", "128"},
                                                     {"--id", "0"},
                                                     {"--id", "256"},
                                                     {"--baud", "fast"},
                                                     {"--format", "cmyk"},
                                                     {"--no-such-switch"},
                                                     {"stray"},
                                                     {"--baud"},
                                                     {"--color=yes"},
                                                     {"--logo", "/nonexistent/logo.bmp"}};
  for (const auto& options : bad) {
    Proc p = launch(options);
    ASSERT_GT(p.pid, 0);
    const std::string out = readAll(p.out);
    const std::string err = readAll(p.err);
    EXPECT_EQ(finish(p), 2) << options.front();
    EXPECT_TRUE(out.empty()) << options.front();
    EXPECT_NE(err.find("osdsim: "), std::string::npos) << options.front();
  }
}

TEST(OsdsimProgram, StoppedMidDownloadItStillWritesWhatItReceived) {
  const std::string dir = ::testing::TempDir();
  const std::string image = dir + "osdsim_e2e_" + std::to_string(::getpid()) + ".bmp";
  ::unlink(image.c_str());
  Proc p = launch({"--baud", "0", "--image-out", image, "--format", "rgb"});
  ASSERT_GT(p.pid, 0);
  const int fd = openPort(readLine(p.out));
  ASSERT_GE(fd, 0);
  std::string setup(256, '\0');
  setup[8] = 1;   // 4 pixels wide
  setup[10] = 1;  // 2 lines
  const std::string stream = "WK,00QXW" + setup + std::string(4, static_cast<char>(128 + 3));
  ASSERT_EQ(::write(fd, stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::close(fd);
  ::kill(p.pid, SIGTERM);
  EXPECT_EQ(finish(p), 0);
  std::ifstream in(image, std::ios::binary);
  const std::string bmp{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // 4 x 2 pixels of 3 bytes, rows of 12 bytes: no padding.
  ASSERT_EQ(bmp.size(), 54u + 24);
  // The top line (received, red) is the file's last row; the bottom line never came (erased
  // memory, 0xFF, is opaque white in RGB values).
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 12 + 2]), 255);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 12 + 1]), 0);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 1]), 255);
  ::unlink(image.c_str());
}
