// A simulated node on a pseudo-terminal: the program under test opens devicePath() as its
// serial port. The node runs on a background thread; start() and stop() may be called from
// any thread, and several PtyNodes can live in one process (no global state).
//
// The simulator keeps its own handle on the terminal side open, so a program that closes the
// port and opens it again finds the node still there.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "image/node_view.h"
#include "sim/node.h"

namespace osd::sim {

struct PtyOptions {
  NodeConfig node;
  std::vector<int> ids;          // several nodes on the line (empty: node.id alone)
  std::map<int, int> memoryKiB;  // the image memory of an ID, where it is not node.memoryKiB
  int baud = 9600;         // bytes are consumed no faster than baud / 10 a second; 0: no limit
  std::string recordPath;  // every received byte is appended here
  // The received picture as a 24-bit BMP. "%d" in it stands for the node's decimal ID: then
  // every node that took a download writes its own file.
  std::string imageOutPath;
  PixelFormat format = PixelFormat::YCbCr;  // how node values are decoded for imageOutPath
  int64_t hangupAfter = -1;  // close the pseudo-terminal after this many received bytes
  bool babble = false;       // send random bytes without pause
  uint32_t babbleSeed = 1;
};

class PtyNode {
 public:
  explicit PtyNode(PtyOptions options = {});
  ~PtyNode();
  PtyNode(const PtyNode&) = delete;
  PtyNode& operator=(const PtyNode&) = delete;

  // Opens the pseudo-terminal (raw mode) and starts the node's thread. Throws
  // std::runtime_error when no pseudo-terminal can be had. A second call does nothing.
  void start();
  // Stops the thread, writes the picture (with an image file named), closes the terminal.
  void stop();
  bool running() const { return running_; }
  // The terminal device the program opens ("/dev/pts/N"); empty before start().
  std::string devicePath() const;
  // True once the node has hung up (hangupAfter reached).
  bool hungUp() const { return hungUp_; }

  // Replaces the logo the node holds (see Node::setLogoBitmap).
  void setLogoBitmap(const std::vector<uint8_t>& oneBitRows);
  // Runs `f` on the node under the node's lock (state queries from other threads). With
  // several nodes: the one that took the last download, else the lowest ID.
  void inspect(const std::function<void(const Node&)>& f) const;
  // Writes the picture of the last download to imageOutPath now (with "%d" in it, the picture
  // of every node that took one); false when there is none or a file cannot be written.
  bool writeImage();

  // The picture in image memory (rows top line first) as a 24-bit BMP file's bytes; empty when
  // the node has no picture geometry. Transparent values come out black.
  static std::string pictureBmp(const Node& node, PixelFormat format);

 private:
  void run();
  // Records and feeds bytes read from the line; returns the answers that fit in the out queue
  // beside the `queued` bytes already waiting there.
  std::string take(const std::string& chunk, size_t queued);
  // Tells the node how long the line has been quiet; writes the picture of a download that
  // has just ended.
  void noteQuiet(std::chrono::steady_clock::time_point lastRx, int& endedSeen);
  void hangUp();
  bool writeImageLocked();
  // imageOutPath for node `id`.
  std::string imagePath(int id) const;

  PtyOptions opt_;
  mutable std::mutex mutex_;  // guards node_ and the file outputs
  Line node_;
  std::string path_;
  int master_ = -1;
  int slave_ = -1;
  int record_ = -1;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopFlag_{false};
  std::atomic<bool> hungUp_{false};
  int imagesWritten_ = 0;
  std::vector<int> written_;  // per node: its downloads ended when its picture was written
};

}  // namespace osd::sim
