// The logo download: what goes on the line and in which order, independent of who starts it.
//
//   DownloadPlan plan{width, height, memoryBytes};
//   DownloadJob job(sink, reporter, hooks);
//   job.erase();                                  // "QXE", "ACM", the 10 s erase wait
//   DownloadResult r = job.run(plan, source);     // "QXW", setup block, picture, filler
//   if (!r.ok) ... r.message, r.title
//
// The stream: "QXW", setup bytes 0..255, the picture from its top line down (each line a
// piece of its own), then 128-byte blocks of 0xFF until the node's image memory is full.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "transfer/video_data.h"

namespace osd {

// The length of the stream and its filler, one formula for everyone who needs it.
struct DownloadPlan {
  static constexpr int kSetupBytes = 256;
  static constexpr int kFillerBlock = 128;
  static constexpr int64_t kLargestPicture = 2000001;

  int width = 0;
  int height = 0;
  int64_t memory = 0;  // the node's image memory in bytes

  int64_t pictureBytes() const { return static_cast<int64_t>(width) * height; }
  // Room left in the image memory after the setup block and the picture (may be negative).
  int64_t room() const { return memory - (pictureBytes() + kSetupBytes); }
  // The filler blocks sent after the picture: one more than fits in the room (none when the
  // picture alone overfills the memory by more than a byte).
  int64_t fillerBlocks() const { return room() + 1 >= 0 ? (room() + 1) / kFillerBlock + 1 : 0; }
  // Every byte from "QXW" to the last filler.
  int64_t streamLength() const {
    return 3 + kSetupBytes + pictureBytes() + kFillerBlock * fillerBlocks();
  }
  // A picture the node's download can carry at all.
  bool sendable() const { return width >= 1 && height >= 1 && pictureBytes() <= kLargestPicture; }
};

// Where the stream goes: the serial port, with its own pacing.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Hands the bytes to the port; false when the port did not take them all.
  virtual bool write(const std::string& bytes) = 0;
  // Bytes handed over that the line has not carried yet.
  virtual int64_t waiting() const = 0;
  virtual bool isOpen() const = 0;
  // A node answered: the line has carried everything handed over before.
  virtual void carried() {}
};

// What the job needs from around it: the program's waits and the event loop.
struct DownloadHooks {
  std::function<void(int ticks)> wait;  // a wait of main ticks (25 ms each)
  std::function<void()> yield;          // lets pending events run once
  std::function<void()> armEraseWait;   // starts the 10 s erase wait
  std::function<bool()> eraseWaiting;   // true while it runs
  std::function<void()> eraseSent;      // optional: both erase commands are on their way
  // Optional: true once the download is to stop. It stops before the next block, so the
  // node never gets part of one; the erase wait ends at once.
  std::function<bool()> stopRequested;
};

// Where the picture and the setup block come from.
struct DownloadSource {
  // Fills `pixels` (width x height node values, top row first). An empty text when it did;
  // otherwise why the download must stop (the source has reported its own failure already).
  std::function<std::string(std::vector<int>& pixels)> encode;
  // The setup block for the plan's picture.
  std::function<const video::SetupBlock&()> setupBlock;
};

struct DownloadResult {
  bool ok = false;
  std::string message;   // why not, when !ok
  std::string title;     // the operation that failed
  bool stopped = false;  // stopped on request (nothing failed; nothing was reported)
  int64_t written = 0;   // bytes of the stream handed to the port (from "QXW" on)
};

class DownloadJob {
 public:
  DownloadJob(ByteSink& sink, Reporter& reporter, DownloadHooks hooks)
      : sink_(sink), reporter_(reporter), hooks_(std::move(hooks)) {}

  // Commands that go to the line first: before "QXE", or before "QXW" when there is no erase
  // (the wake-ups that choose which nodes take the download).
  void sendFirst(std::vector<std::string> commands) { first_ = std::move(commands); }
  // "QXE", the erase wait armed, "ACM", then waits until the erase wait has ended.
  DownloadResult erase();
  // Encodes the logo, then sends the whole stream. The busy pointer and the progress bar are
  // shown while it runs and put back when it ends, whichever way.
  DownloadResult run(const DownloadPlan& plan, const DownloadSource& source);

  DownloadPhase phase() const { return progress_.phase; }
  // Bytes of the stream handed to the port so far.
  int64_t position() const { return progress_.sent; }

 private:
  bool stopping() const { return hooks_.stopRequested && hooks_.stopRequested(); }
  void send(const std::string& piece);
  void sendFirstCommands();
  void enter(DownloadPhase phase, const char* status);
  void sendStream(const DownloadPlan& plan, const video::SetupBlock& setup,
                  const std::vector<int>& pixels);

  ByteSink& sink_;
  Reporter& reporter_;
  DownloadHooks hooks_;
  DownloadProgress progress_;
  std::vector<std::string> first_;
};

}  // namespace osd
