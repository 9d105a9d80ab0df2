// Reply reception and node identification: collecting the node's answers, the size answer
// that identifies a graphics node, the read-back hand-over, the 25 ms main tick with its
// node watchdog and node poll, and the 10-second erase wait.
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {

// One read of the port delivers at most this many bytes.
constexpr int64_t kInputLen = 2500;
// Reads per call: whatever arrives meanwhile is taken by the next poll or event, so a node
// that never stops talking cannot keep one call busy forever.
constexpr int kMaxReadsPerCall = 8;
// The receive buffer keeps at most the newest this many bytes of an ordinary answer. A
// read-back ends by itself after 9000 bytes, so it never reaches the bound.
constexpr size_t kMaxBuffered = 16384;

constexpr int kMonoStreamLength = 2051;
constexpr int kColorStreamLength = 8195;
constexpr int kReadBackEnd = 9000;

constexpr const char* kNodeMenus[] = {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                                      "mnuSaveLogoinNVRAM", "mnuUpLoadLogo",
                                      "mnuSaveVideoContolData"};

// 1-based position of `needle` in `text`, 0 when absent.
size_t position(const std::string& text, const char* needle) {
  size_t at = text.find(needle);
  return at == std::string::npos ? 0 : at + 1;
}

}  // namespace

void App::setNodeMenusEnabled(bool enabled) {
  for (const char* name : kNodeMenus) ui_.setEnabled(name, enabled);
}

// ---------------------------------------------------------------------------------------
// Reception
// ---------------------------------------------------------------------------------------

void App::recvData() {
  if (!portValid) return;

  // Whatever went wrong, the port is given up and re-opened by the reconnect tick.
  auto giveUpPort = [this]() {
    try {
      if (pf_.port.isOpen()) pf_.port.close();
    } catch (const std::exception&) {
      // Closing a port that already failed may fail as well; it is closed either way.
    }
    portValid = false;
    ui_.setBackColor("txtCom", kRed);
    setNodeMenusEnabled(false);
    recvBuffer.clear();
    ui_.setText("lblCopyright", "");
    // A read-back cannot survive the loss of its bytes: stop waiting for it.
    if (uploadPending) {
      uploadPending = false;
      readPolls = 0;
      showProgress(false);
    }
  };

  // Reads and drops what waits in the port (a bounded amount: a node that keeps talking
  // cannot hold the call).
  auto dropWaitingInput = [this]() {
    for (int reads = 0;
         reads < kMaxReadsPerCall && pf_.port.isOpen() && pf_.port.bytesAvailable() > 0; ++reads) {
      if (pf_.port.read(kInputLen).empty()) break;
    }
  };

  std::string stepMark;
  try {
    if (recvBuffer.size() < 10 && uploadPending) {
      ui_.setText("lblCopyright", "Waiting for Reply " + std::to_string(readPolls));
      if (readPolls > 1) {
        showProgress(true);
      } else {
        showProgress(false);
        ui_.setText("lblCopyright", "");
      }
      ui_.repaint("lblCopyright");
    }

    try {
      bool trimmed = false;
      for (int reads = 0; reads < kMaxReadsPerCall && pf_.port.bytesAvailable() > 0; ++reads) {
        const std::string chunk = pf_.port.read(kInputLen);
        if (chunk.empty()) break;
        for (char c : chunk) {
          recvBuffer.push_back(c);
          if (!uploadPending) {
            readPolls = recvBuffer.compare(0, 3, "(C)") == 0 ? 3 : 2;
          } else {
            readPolls = 20;
            const size_t length = recvBuffer.size();
            if (length % 16 == 0) {
              const double total = colorNode ? 8096.0 : 2077.0;
              long long percent = roundHalfEven(static_cast<double>(length) * 100.0 / total);
              setProgress(static_cast<double>(percent > 100 ? 100 : percent));
              if (length > 10) {
                ui_.setText("lblCopyright", "Reading Data " + std::to_string(length));
              }
            }
            if (length > static_cast<size_t>(kReadBackEnd)) readPolls = 0;
          }
        }
        if (!uploadPending && recvBuffer.size() > kMaxBuffered) {
          recvBuffer.erase(0, recvBuffer.size() - kMaxBuffered);
          trimmed = true;
        }
      }
      if (trimmed) {
        showStatus("The node keeps sending without a pause; only the newest " +
                   std::to_string(kMaxBuffered) + " bytes are kept.");
      }
    } catch (const std::exception& e) {
      // The port failed while it was read (it vanished, for instance).
      giveUpPort();
      showError(e.what(), "RecvData");
    }

    if (readPolls > 0) return;

    if (recvBuffer.empty()) {
      // A read-back request whose wait ran out without a single byte: say so and stop
      // waiting, instead of taking the next ordinary answer for a logo.
      if (!uploadPending) return;
    }

    if (uploadPending) showProgress(false);
    currentAnswer = recvBuffer;
    recvBuffer.clear();
    stepMark = "2";

    if (!uploadPending) {
      if (currentAnswer.size() < 5) {
        currentAnswer.clear();
        readPolls = 2;
        return;
      }
      if (currentAnswer.size() > 100) currentAnswer = rightChars(currentAnswer, 100);
      ui_.setBackColor("txtCom", kGreen);
      setNodeMenusEnabled(true);
      silentTicks = 0;
      processData(currentAnswer);
    } else {
      lastReadBackLength = currentAnswer.size();
      const size_t needed = colorNode ? kColorStreamLength : kMonoStreamLength;
      if (currentAnswer.size() >= needed) {
        std::string stream;
        stream.swap(currentAnswer);
        savePicture(stream);
      } else {
        showStatus("Data stream too short: " + std::to_string(currentAnswer.size()) +
                   (colorNode ? " Bytes of 8196." : " Bytes of 2052."));
      }
      uploadPending = false;
      dropWaitingInput();
      showProgress(false);
    }

    currentAnswer.clear();
    // Drop what arrived while the answer was processed. Only the receive side: commands
    // that the processing sent (the logo selection) must still reach the node.
    dropWaitingInput();
  } catch (const std::exception& e) {
    showError(std::string(e.what()) + " " + stepMark, "RecvData");
    giveUpPort();
    currentAnswer.clear();
  }
}

// ---------------------------------------------------------------------------------------
// Answers
// ---------------------------------------------------------------------------------------

void App::processData(const std::string& answer) {
  std::string stepMark;
  // Each step reports its own failure and processing goes on with the next one.
  auto step = [&](auto&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      showError(std::string(e.what()) + ": " + stepMark, "ProcessData");
    }
  };

  step([&] {
    replyCount = (replyCount + 1) % 10000;
    ui_.setText("lblCount", std::to_string(replyCount));
  });
  step([&] {
    std::string shown;
    shown.reserve(answer.size());
    for (char c : answer) {
      if (c == '\r') {
        shown.push_back(' ');
      } else if (c != '\n') {
        shown.push_back(c);
      }
    }
    ui_.setText("lblDiag", rightChars(shown, 80));
    stepMark = "3";
  });

  const size_t p = position(answer, "QX");
  const size_t q = position(answer, "K");
  const size_t e = position(answer, "QXERA");

  if (p > 0 && q > 0 && q >= p + 3 && e == 0) {
    const std::string digits = answer.substr(p + 1, q - p - 2);
    const long long n = leadingInt(digits);
    if (n == 0) return;
    // A memory size must be positive and fit the byte count; anything else is a garbled
    // answer and must not set the window up for a node that does not exist.
    if (n < 0 || n * 1024 > std::numeric_limits<int32_t>::max()) {
      showError("Memory size out of range (" + digits + "K): " + stepMark, "ProcessData");
      return;
    }
    step([&] { ui_.setTitle("QX3/QX7 -" + digits + "K Grapics Node Detected"); });
    step([&] {
      imageMemorySize = static_cast<int>(n * 1024);
      ui_.setText("lblEEPSize", std::to_string(imageMemorySize - 256) + " Pixels");
    });
    step([&] {
      sxModel = 1;
      graphicsNode = true;
    });
    step([&] {
      if (n == 64) largeMemory = false;
      if (n == 512) largeMemory = true;
    });
    step([&] {
      ui_.setChecked(indexed("mnuLogoSel", 1), true);
      for (int i = 2; i <= 4; ++i) ui_.setVisible(indexed("mnuLogoSel", i), false);
    });
    step([&] { logoSelMenuClick(1); });
    step([&] {
      ui_.setChecked(indexed("optRGB", 0), false);
      ui_.setChecked(indexed("optRGB", 1), true);
      optRgbClick(1);
    });
    step([&] {
      ui_.setVisible("mnu_Erase", true);
      ui_.setEnabled("mnu_Erase", true);
      for (const char* name : {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                               "mnuSaveVideoContolData", "mnuUpLoadLogo"}) {
        ui_.setVisible(name, false);
      }
      for (int i = 2; i <= 4; ++i) ui_.setVisible(indexed("optLOGO", i), false);
      showSlotOptions();  // the one logo a graphics node offers stays choosable
    });
  } else if (e > 0) {
    step([&] {
      pf_.loop.setTimerEnabled(TimerId::TenSec, true);
      ui_.setEnabled("mnu_ImageToEEPROM", false);
      ui_.setVisible("mnu_ImageToEEPROM", true);
    });
  }
}

// ---------------------------------------------------------------------------------------
// The main tick (25 ms)
// ---------------------------------------------------------------------------------------

void App::tickDelay() {
  try {
    if (delayCountdown > 0) --delayCountdown;

    if (readPolls > 0) {
      --readPolls;
      recvData();
    }

    if (moveThrottle > 0) --moveThrottle;

    if (!portValid) reconnectTick();

    // Node watchdog.
    ++silentTicks;
    if (silentTicks == 800) {
      setNodeMenusEnabled(false);
      // A node being erased or programmed says nothing: that is no sign of a lost node.
      if (!downloading && !downloadStarting) {
        ui_.setBackColor("txtCom", kCyan);
        // The node that was detected is silent: say so until it answers again.
        ui_.setTitle(std::string(kDesignTitle) + " - trying COM" + std::to_string(comPort));
      }
    } else if (silentTicks == 1200) {
      // Closing the port would throw away the bytes of a running download that still wait
      // to go out; then the cycle only starts again.
      if (!downloading) {
        if (pf_.port.isOpen()) pf_.port.close();
        ui_.setBackColor("txtCom", kRed);
      }
      silentTicks = 601;
    } else if (silentTicks > 600 && !downloading) {
      if (silentTicks % 200 == 0) {
        cmdTree(15, "");
      } else if (silentTicks % 200 == 100) {
        sendCom("ARS");
      }
    }

    // Clock.
    if (clockCountdown > 0) {
      --clockCountdown;
    } else {
      const double seconds = pf_.loop.now().secondsSinceMidnight;
      long long whole = static_cast<long long>(std::floor(seconds));
      if (whole < 0) whole = 0;
      whole %= 86400;
      const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
      ui_.setText("lblCurrentTime", std::to_string(h) + ":" + (m < 10 ? "0" : "") +
                                        std::to_string(m) + ":" + (s < 10 ? "0" : "") +
                                        std::to_string(s));
      clockCountdown = 5;
    }

    reportTick();

    // Node poll: copyright request and settings request in turn.
    if (!downloading) {
      if (pollTicks < 50) {
        ++pollTicks;
      } else {
        pollTicks = 0;
        ++pollStep;
        if (pollStep == 1) {
          cmdTree(22);
        } else if (pollStep == 2) {
          cmdTree(17);
        } else {
          pollStep = 0;
        }
      }
    }
  } catch (const std::exception& e) {
    showError(e.what(), "Tmr_Delay_Timer");
  }
}

// ---------------------------------------------------------------------------------------
// The 10-second erase wait (100 ms)
// ---------------------------------------------------------------------------------------

void App::tick10sec() {
  try {
    if (tenSecCount < 100) {
      ++tenSecCount;
      showProgress(true);
      setProgress(tenSecCount);
    } else {
      pf_.loop.setTimerEnabled(TimerId::TenSec, false);
      ui_.setEnabled("mnu_ImageToEEPROM", true);
      ui_.setVisible("mnu_ImageToEEPROM", true);
      showProgress(false);
      tenSecCount = 0;
    }
  } catch (const std::exception& e) {
    showError(e.what(), "tmr10sec_Timer");
  }
}

}  // namespace osd
