#include "transfer/download_job.h"

#include <exception>
#include <utility>

#include "common/textnum.h"
#include "platform/seams.h"

namespace osd {

namespace {

// Thrown between two blocks when the download is to stop.
struct StopRequested {};

int checkedByte(int value, const char* what, long long index) {
  if (value < 0 || value > 255) {
    throw Failure(std::string(what) + " " + std::to_string(index) + " holds " +
                  std::to_string(value) + ", which is not a byte value.");
  }
  return value;
}

}  // namespace

void DownloadJob::enter(DownloadPhase phase, const char* status) {
  progress_.phase = phase;
  if (status) reporter_.status(status);
  reporter_.download(progress_);
}

// A download must not go on writing after the port was lost: a failed write ends it here.
void DownloadJob::send(const std::string& piece) {
  if (stopping()) throw StopRequested{};
  if (!sink_.write(piece) || !sink_.isOpen()) {
    throw Failure("The download stopped: the serial port did not take the data.");
  }
  progress_.sent += static_cast<int64_t>(piece.size());
  progress_.waiting = sink_.waiting();
  reporter_.download(progress_);
}

void DownloadJob::sendFirstCommands() {
  for (const std::string& c : std::exchange(first_, {})) {
    if (!sink_.write(c) || !sink_.isOpen()) {
      throw Failure("The download stopped: the serial port did not take the data.");
    }
  }
}

DownloadResult DownloadJob::erase() {
  progress_ = DownloadProgress{};
  enter(DownloadPhase::Erasing, nullptr);
  try {
    sendFirstCommands();
  } catch (const Failure& e) {
    progress_.phase = DownloadPhase::Idle;
    return {false, e.what(), "DivUvOR"};
  }
  sink_.write("QXE");
  hooks_.armEraseWait();
  sink_.write("ACM");
  if (hooks_.eraseSent) hooks_.eraseSent();
  while (hooks_.eraseWaiting() && !stopping()) hooks_.yield();
  progress_.phase = DownloadPhase::Idle;
  if (stopping()) return {false, "stopped", {}, true};
  return {true, {}, {}};
}

DownloadResult DownloadJob::run(const DownloadPlan& plan, const DownloadSource& source) {
  progress_ = DownloadProgress{};
  progress_.total = plan.streamLength();
  try {
    if (!plan.sendable()) {
      throw Failure("The logo size " + std::to_string(plan.width) + " x " +
                    std::to_string(plan.height) + " cannot be downloaded.");
    }
    reporter_.busy(true);
    reporter_.progress(0);
    reporter_.progressShown(true);
    reporter_.progress(1);

    enter(DownloadPhase::Reading, "Reading Logo From Disk");
    std::vector<int> pixels(static_cast<size_t>(DownloadPlan::kLargestPicture), 0);
    const std::string unread = source.encode(pixels);
    if (!unread.empty()) throw Failure(unread);
    reporter_.progress(10);
    reporter_.status("Preparing For Download");
    reporter_.status("Starting Download");
    enter(DownloadPhase::Setup, "Sending setup data");
    sendStream(plan, source.setupBlock(), pixels);

    reporter_.progressShown(false);
    reporter_.status("");
    reporter_.busy(false);
    enter(DownloadPhase::Done, nullptr);
    return {true, {}, {}, false, progress_.sent};
  } catch (const StopRequested&) {
    progress_.phase = DownloadPhase::Failed;
    reporter_.busy(false);
    reporter_.progressShown(false);
    reporter_.download(progress_);
    return {false, "stopped", {}, true, progress_.sent};
  } catch (const std::exception& e) {
    progress_.phase = DownloadPhase::Failed;
    reporter_.error(e.what(), ErrorAt::DownloadStream);
    // The busy pointer and the bar would otherwise stay as if the download still ran.
    reporter_.busy(false);
    reporter_.progressShown(false);
    reporter_.download(progress_);
    return {false, e.what(), "DivUvOR", false, progress_.sent};
  }
}

void DownloadJob::sendStream(const DownloadPlan& plan, const video::SetupBlock& setupBlock,
                             const std::vector<int>& pixels) {
  const int w = plan.width;
  const int h = plan.height;
  std::string setup = "QXW";
  for (int i = 0; i <= 255; ++i) {
    setup += byteChar(checkedByte(setupBlock[static_cast<size_t>(i)], "Setup byte", i));
    reporter_.progress(1 + 99.0 * i / 255);
  }
  sendFirstCommands();
  send(setup);
  reporter_.progress(1);
  hooks_.wait(2);

  enter(DownloadPhase::Image, "Sending Image");
  for (int r = h - 1; r >= 0; --r) {
    std::string row;
    row.reserve(static_cast<size_t>(w));
    for (int c = 0; c < w; ++c) {
      const long long index = static_cast<long long>(w) * r + c;
      row += byteChar(checkedByte(pixels[static_cast<size_t>(index)], "Pixel", index));
      if (w % 2 == 0 && c == w / 2) hooks_.wait(1);
    }
    send(row);
    // A one-line logo is complete after its only row.
    reporter_.progress(h > 1 ? 1 + 99.0 * (h - 1 - r) / (h - 1) : 100);
    hooks_.yield();
  }
  hooks_.wait(2);

  enter(DownloadPhase::Filler, "Sending Filler");
  const std::string filler(DownloadPlan::kFillerBlock, static_cast<char>(0xFF));
  const long long n = plan.room();
  for (long long i = 0; i <= n + 1; i += DownloadPlan::kFillerBlock) {
    send(filler);
    // With no room left beyond the logo (n = 0) the single filler completes the memory.
    reporter_.progress(n > 0 ? 99.0 * static_cast<double>(i) / static_cast<double>(n) : 99);
    hooks_.yield();
  }
}

}  // namespace osd
