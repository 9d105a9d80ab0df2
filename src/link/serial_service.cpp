// The serial port service: the port search, opening and re-opening the selected port, the
// port menu, the port's events and the wake-up after an open.
#include <exception>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {

constexpr int kMenuSlots = 12;
constexpr int kHighestPort = 255;
constexpr int kComInitTicks = 20;
constexpr int kReconnectTicks = 40;
// Failures that carry no number of their own are reported with this one.
constexpr int kUnnumberedFailure = -1;

int failureNumber(const std::exception& e) {
  if (auto f = dynamic_cast<const Failure*>(&e); f && f->number() != 0) return f->number();
  return kUnnumberedFailure;
}

std::string eventTextOf(int code) {
  switch (code) {
    case kEvCts:
      return "Change in CTS Detected";
    case kEvDsr:
      return "Change in DSR Detected";
    case kEvCd:
      return "Change in CD Detected";
    case kEvRing:
      return "The Phone is Ringing";
    case kEvEof:
      return "End of File Detected";
    case kEvBreak:
      return "Break Received";
    case kEvCtsTimeout:
      return "CTS Timeout";
    case kEvDsrTimeout:
      return "DSR Timeout";
    case kEvFrame:
      return "Framing Error";
    case kEvOverrun:
      return "Overrun Error";
    case kEvCdTimeout:
      return "Carrier Detect Timeout";
    case kEvRxOver:
      return "Receive Buffer Overflow";
    case kEvParity:
      return "Parity Error";
    case kEvDcb:
      return "Error retrieving DCB";
    default:
      return "Unknown error or event";
  }
}

}  // namespace

void App::determineValidPorts() {
  // Every failure inside the search is ignored; the search goes on with its next step.
  try {
    for (int i = 1; i <= kMenuSlots; ++i) {
      ui_.setVisible(indexed("mnuCOMsel", i), false);
      ui_.setVisible(indexed("mnuCOMdev", i), false);
    }
  } catch (...) {
  }
  try {
    if (pf_.port.isOpen()) pf_.port.close();
  } catch (...) {
  }
  int slot = 1;
  for (int n = 1; n <= kHighestPort && slot <= kMenuSlots; ++n) {
    if (n == skipPort) continue;
    try {
      PortOpenError error;
      if (!pf_.port.open(n, error)) continue;
      pf_.port.close();
      const std::string entry = indexed("mnuCOMsel", slot);
      ui_.setText(entry, "COM&" + std::to_string(n));
      ui_.setTag(entry, std::to_string(n));
      ui_.setVisible(entry, true);
      const std::string device = indexed("mnuCOMdev", slot);
      ui_.setText(device, pf_.port.deviceName(n));
      ui_.setVisible(device, true);
      ++slot;
    } catch (...) {
    }
  }
  // The entries may have moved: the check mark stays with the selected port.
  try {
    for (int i = 1; i <= kMenuSlots; ++i) {
      const std::string entry = indexed("mnuCOMsel", i);
      ui_.setChecked(entry, comPort != 0 && ui_.visible(entry) &&
                                ui_.get(entry).tag == std::to_string(comPort));
    }
  } catch (...) {
  }
  startCom();
}

void App::startCom() {
  if (comPort == 0) return;
  std::string step;
  auto report = [&](int e, const std::string& description) {
    if (e == lastOpenError) return;
    std::string message;
    if (e == kErrNoSuchPort) {
      message = "Invalid Port Number - " + std::to_string(comPort) +
                " Port not available for use as a device interface.";
    } else if (e == kErrPortInUse) {
      message = "Port Already Open - Port in use - " + std::to_string(comPort) +
                " can't be used as a device interface.";
    } else {
      message = "Error # " + std::string(e >= 0 ? " " : "") + std::to_string(e) +
                ": In DetermineValidPorts\r" + description;
    }
    for (int i = 1; i <= kMenuSlots; ++i) ui_.setChecked(indexed("mnuCOMsel", i), false);
    showError(message, "StartCom " + step);
    lastOpenError = e;
  };

  // 1. Close a port that is open.
  try {
    if (pf_.port.isOpen()) {
      pf_.port.setModemLines(false, false);
      pf_.port.close();
    }
  } catch (const std::exception& e) {
    report(failureNumber(e), e.what());
  }
  // 2. The line settings are fixed and applied by the port on opening.
  step = "01";
  // 3. Open, then raise DTR and RTS.
  step = "02";
  try {
    PortOpenError error;
    if (!pf_.port.open(comPort, error)) report(error.number, error.description);
  } catch (const std::exception& e) {
    report(failureNumber(e), e.what());
  }
  try {
    if (pf_.port.isOpen()) pf_.port.setModemLines(true, true);
  } catch (const std::exception& e) {
    report(failureNumber(e), e.what());
  }
  // 4./5. The port state.
  bool open = false;
  try {
    open = pf_.port.isOpen();
  } catch (...) {
    open = false;
  }
  if (!open) {
    portValid = false;
    ui_.setBackColor("txtCom", kRed);
    return;
  }
  ui_.setBackColor("txtCom", kCyan);
  pf_.loop.setTimerEnabled(TimerId::ComInit, true);
}

void App::comInitTick() {
  if (downloading) return;
  if (!comInitArmed) {
    comInitArmed = true;
    return;
  }
  if (comInitCount < kComInitTicks) {
    ++comInitCount;
    return;
  }
  comInitCount = 0;
  portValid = true;
  cmdBusy = false;
  cmdTree(15, "00");
  pf_.loop.setTimerEnabled(TimerId::ComInit, false);
}

void App::reconnectTick() {
  if (portValid) return;
  if (reconnectCountdown > 1) {
    --reconnectCountdown;
  } else if (reconnectCountdown == 1) {
    startCom();
    reconnectCountdown = 0;
  } else if (reconnectCountdown == 0) {
    reconnectCountdown = kReconnectTicks;
  } else {
    reconnectCountdown = 0;
  }
}

void App::comMenuClick(int index) {
  try {
    showStatus("");
    if (index < 1) {
      determineValidPorts();
      return;
    }
    if (index <= kMenuSlots) {
      for (int i = 1; i <= kMenuSlots; ++i) ui_.setChecked(indexed("mnuCOMsel", i), false);
      const std::string entry = indexed("mnuCOMsel", index);
      ui_.setChecked(entry, true);
      comPort = leadingInt(ui_.get(entry).tag);
      cmdTree(16);  // the nodes on the old port go to sleep
      startCom();
      cmdTree(16);  // and those on the new one
      // The simulated node's port lives for this run only; the saved port stays.
      if (comPort != simulatedPort) writeSetting("ComPort", " " + std::to_string(comPort));
      // No node is known on the new port until it answers the settings request.
      ui_.setTitle(std::string(kDesignTitle) + " - trying COM" + std::to_string(comPort));
    }
    ui_.setText("txtCom", std::to_string(comPort));
  } catch (const std::exception& e) {
    showError(e.what(), "mnuCOMsel_Click");
  }
}

void App::onPortEvent(int code) {
  try {
    if (code == kEvReceive) {
      recvData();
    } else if (code == kEvTxFull) {
      showError("Lost USB/Serial Connection ", "COMM Status");
      try {
        if (pf_.port.isOpen()) pf_.port.close();
      } catch (...) {
      }
    } else {
      eventText = eventTextOf(code);
    }
  } catch (const std::exception& e) {
    try {
      if (code != kEvReceive) {
        showError(std::string(e.what()) + " " + eventText,
                  "MSComm1_OnComm Event: " + std::to_string(code));
        pf_.port.purge();
      }
    } catch (...) {
    }
    try {
      if (pf_.port.isOpen()) pf_.port.close();
    } catch (...) {
    }
    startCom();
  }
}

void App::applyCommTimeouts() {
  try {
    pf_.port.setReadTimeouts(2, 1, 1000);
  } catch (...) {
    // Without a usable port there is nothing to set.
  }
}

void App::closeAtExit() {
  try {
    if (pf_.port.isOpen()) {
      pf_.port.setModemLines(false, false);
      pf_.port.close();
    }
  } catch (...) {
  }
}

}  // namespace osd
