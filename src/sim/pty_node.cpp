#include "sim/pty_node.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "common/safe_file.h"

namespace osd::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kOutQueueMax = 1 << 20;  // answers waiting for a reader beyond this are dropped
constexpr size_t kFeedSlice = 64;
constexpr double kPacingSlackBytes = 32;  // line credit after an idle spell
constexpr double kPacingChunkBytes = 16;  // bytes gathered before the paced reader wakes

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

// Paces the reading of the program's bytes to the line's baud rate: the node consumes no
// byte before the line could have delivered it.
class LinePacing {
 public:
  explicit LinePacing(int baud) : rate_(baud > 0 ? baud / 10.0 : 0.0) {}

  // How many bytes may be read now, at most `most`. With none, `timeoutMs` becomes the wait
  // until a small chunk has gathered.
  size_t budget(size_t most, int& timeoutMs) {
    const double now = std::chrono::duration<double>(Clock::now() - t0_).count();
    if (rate_ <= 0) return most;
    if (lineIdle_) lineFree_ = std::max(lineFree_, now - kPacingSlackBytes / rate_);
    const double avail = (now - lineFree_) * rate_;
    const size_t allowed = avail >= 1 ? std::min(most, static_cast<size_t>(avail)) : 0;
    if (allowed == 0) {
      const double wait = lineFree_ + kPacingChunkBytes / rate_ - now;
      timeoutMs = std::max(1, static_cast<int>(wait * 1000));
    }
    return allowed;
  }
  // Nothing was waiting when there was room to read.
  void idle() { lineIdle_ = true; }
  // A read of up to `budget` bytes returned `n`.
  void read(ssize_t n, size_t budget) {
    lineIdle_ = n < static_cast<ssize_t>(budget);
    if (n > 0 && rate_ > 0) lineFree_ += static_cast<double>(n) / rate_;
  }

 private:
  double rate_;  // bytes a second, 0: no limit
  Clock::time_point t0_ = Clock::now();
  double lineFree_ = 0;  // when the line has delivered every byte consumed so far
  // Whether the program's bytes ran out at the last look. Only an idle line limits the credit;
  // while bytes keep waiting, a late wake-up is made good by a larger read, so the average
  // rate stays exact over long transfers.
  bool lineIdle_ = true;
};

}  // namespace

PtyNode::PtyNode(PtyOptions options)
    : opt_(std::move(options)), node_(opt_.node, opt_.ids, opt_.memoryKiB) {}

PtyNode::~PtyNode() {
  stop();
}

std::string PtyNode::devicePath() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void PtyNode::setLogoBitmap(const std::vector<uint8_t>& oneBitRows) {
  std::lock_guard lock(mutex_);
  node_.setLogoBitmap(oneBitRows);
}

void PtyNode::inspect(const std::function<void(const Node&)>& f) const {
  std::lock_guard lock(mutex_);
  f(node_.shown());
}

void PtyNode::start() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
  char name[256] = {};
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    const int e = errno;
    ::close(master);
    throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(e));
  }
  // Our own handle on the terminal side keeps the pair alive between the program's opens.
  const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    const int e = errno;
    ::close(master);
    throw std::runtime_error(std::string(name) + ": " + std::strerror(e));
  }
  termios tio{};
  if (::tcgetattr(slave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  if (!opt_.recordPath.empty()) {
    record_ = ::open(opt_.recordPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (record_ < 0) {
      const int e = errno;
      ::close(slave);
      ::close(master);
      throw std::runtime_error(opt_.recordPath + ": " + std::strerror(e));
    }
  }
  master_ = master;
  slave_ = slave;
  path_ = name;
  stopFlag_ = false;
  hungUp_ = false;
  running_ = true;
  thread_ = std::thread([this] { run(); });
}

void PtyNode::stop() {
  std::thread t;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stopFlag_ = true;
    t = std::move(thread_);
  }
  t.join();
  std::lock_guard lock(mutex_);
  writeImageLocked();
  for (int* fd : {&master_, &slave_, &record_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  running_ = false;
}

bool PtyNode::writeImage() {
  std::lock_guard lock(mutex_);
  return writeImageLocked();
}

std::string PtyNode::imagePath(int id) const {
  std::string path = opt_.imageOutPath;
  const std::string number = std::to_string(id);
  for (size_t at = path.find("%d"); at != std::string::npos; at = path.find("%d", at)) {
    path.replace(at, 2, number);
    at += number.size();
  }
  return path;
}

bool PtyNode::writeImageLocked() {
  if (opt_.imageOutPath.empty()) return false;
  std::string error;
  if (opt_.imageOutPath.find("%d") == std::string::npos) {
    const std::string bmp = pictureBmp(node_.shown(), opt_.format);
    if (bmp.empty()) return false;
    ++imagesWritten_;
    return safeReplace(opt_.imageOutPath, bmp, error);
  }
  // One file per node, written again only when that node took another download.
  const auto& nodes = node_.nodes();
  written_.resize(nodes.size(), 0);
  bool any = false, ok = true;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].downloadsEnded() == written_[i]) continue;
    const std::string bmp = pictureBmp(nodes[i], opt_.format);
    if (bmp.empty()) continue;
    written_[i] = nodes[i].downloadsEnded();
    ++imagesWritten_;
    any = true;
    ok = safeReplace(imagePath(nodes[i].id()), bmp, error) && ok;
  }
  return any && ok;
}

std::string PtyNode::pictureBmp(const Node& node, PixelFormat format) {
  const size_t w = static_cast<size_t>(node.imageWidth());
  const auto& mem = node.imageMemory();
  if (w == 0 || node.imageHeight() <= 0) return {};
  // Only the rows that fit in the image memory exist.
  const size_t h = std::min(static_cast<size_t>(node.imageHeight()), mem.size() / w);
  if (h == 0) return {};
  // The node's own order is bottom row first; rows arrived top line first.
  std::vector<int> values(w * h);
  for (size_t r = 0; r < h; ++r)
    for (size_t c = 0; c < w; ++c) values[r * w + c] = mem[(h - 1 - r) * w + c];
  const std::vector<Rgb8> px = decodeNodeValues(values, format);
  const size_t stride = (w * 3 + 3) / 4 * 4;
  const uint32_t dataSize = static_cast<uint32_t>(stride * h);
  std::string out;
  out.reserve(54 + dataSize);
  out += "BM";
  put32(out, 54 + dataSize);
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, static_cast<uint32_t>(w));
  put32(out, static_cast<uint32_t>(h));  // positive: bottom row first, as `values`
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);
  put32(out, dataSize);
  put32(out, 2835);
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (size_t r = 0; r < h; ++r) {
    for (size_t c = 0; c < w; ++c) {
      const Rgb8& p = px[r * w + c];
      out += static_cast<char>(p.b);
      out += static_cast<char>(p.g);
      out += static_cast<char>(p.r);
    }
    out.append(stride - w * 3, '\0');
  }
  return out;
}

void PtyNode::run() {
  LinePacing pacing(opt_.baud);
  auto lastRx = Clock::now();
  int64_t received = 0;
  std::string outQueue;
  std::mt19937 rng(opt_.babbleSeed);
  std::vector<char> buf(4096);
  int endedSeen = 0;

  while (!stopFlag_) {
    int timeoutMs = 20;
    size_t budget = pacing.budget(buf.size(), timeoutMs);
    if (opt_.hangupAfter >= 0) {
      const int64_t left = opt_.hangupAfter - received;
      budget = std::min<size_t>(budget, static_cast<size_t>(std::max<int64_t>(left, 0)));
    }
    if (opt_.babble && outQueue.size() < 4096) {
      for (int k = 0; k < 256; ++k) outQueue += static_cast<char>(rng() & 0xFF);
    }

    pollfd pfd{master_, 0, 0};
    if (budget > 0) pfd.events |= POLLIN;
    if (!outQueue.empty()) pfd.events |= POLLOUT;
    const int pr = ::poll(&pfd, 1, timeoutMs);
    if (pr < 0 && errno != EINTR) break;

    if ((pfd.revents & POLLOUT) && !outQueue.empty()) {
      const ssize_t w = ::write(master_, outQueue.data(), outQueue.size());
      if (w > 0) outQueue.erase(0, static_cast<size_t>(w));
    }

    std::string answers;
    if (budget > 0 && !(pfd.revents & (POLLIN | POLLHUP | POLLERR))) pacing.idle();
    if (budget > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t n = ::read(master_, buf.data(), budget);
      pacing.read(n, budget);
      if (n > 0) {
        received += n;
        lastRx = Clock::now();
        answers = take(std::string(buf.data(), static_cast<size_t>(n)), outQueue.size());
      } else if (n < 0 && errno == EIO) {
        // Nobody holds the terminal side (cannot happen while we keep it open): wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    noteQuiet(lastRx, endedSeen);
    if (!answers.empty() && outQueue.size() < kOutQueueMax)
      outQueue += answers.substr(0, kOutQueueMax - outQueue.size());

    if (opt_.hangupAfter >= 0 && received >= opt_.hangupAfter) {
      hangUp();
      break;
    }
  }
}

std::string PtyNode::take(const std::string& chunk, size_t queued) {
  std::string answers;
  std::lock_guard lock(mutex_);
  if (record_ >= 0) writeAll(record_, chunk);
  // In small slices, so a flood of read-back requests cannot pile up answers beyond the
  // bounded queue.
  for (size_t at = 0; at < chunk.size(); at += kFeedSlice) {
    const std::string a = node_.feed(chunk.substr(at, kFeedSlice));
    if (queued + answers.size() < kOutQueueMax)
      answers += a.substr(0, kOutQueueMax - queued - answers.size());
  }
  return answers;
}

void PtyNode::noteQuiet(std::chrono::steady_clock::time_point lastRx, int& endedSeen) {
  std::lock_guard lock(mutex_);
  const auto quietMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastRx).count();
  node_.quiet(static_cast<int>(std::min<int64_t>(quietMs, 1 << 30)));
  if (node_.downloadsEnded() != endedSeen) {
    endedSeen = node_.downloadsEnded();
    writeImageLocked();
  }
}

void PtyNode::hangUp() {
  // The node vanishes: both ends of the pair go, the program's port sees a hang-up.
  std::lock_guard lock(mutex_);
  writeImageLocked();
  ::close(master_);
  ::close(slave_);
  master_ = slave_ = -1;
  hungUp_ = true;
}

}  // namespace osd::sim
