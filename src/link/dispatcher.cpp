// SendCom and the command dispatcher CmdTree: the wire vocabulary of the nodes.
#include <exception>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {
constexpr size_t kOutBufferSize = 2500;
}

void App::sendCom(const std::string& text) {
  if (sendGuard) return;
  try {
    if (!pf_.port.isOpen()) {
      if (comPort == 0) return;
      startCom();
    }
    if (pf_.port.isOpen()) {
      if (silentTicks < 600 && ui_.get("txtCom").backColor == kRed) {
        ui_.setBackColor("txtCom", kCyan);
      }
      ui_.setText("lblDiag", "");
      // Never run ahead of the line: keep at most one output buffer of bytes waiting.
      size_t offset = 0;
      while (offset < text.size()) {
        int guard = 0;
        while (pf_.port.isOpen() &&
               pf_.port.bytesToWrite() >= static_cast<int64_t>(kOutBufferSize)) {
          pf_.loop.yield();
          if (++guard > 2000000) throw Failure("The serial port does not take any more data.");
        }
        if (!pf_.port.isOpen()) throw Failure("The serial port was closed while sending.");
        int64_t room = static_cast<int64_t>(kOutBufferSize) - pf_.port.bytesToWrite();
        size_t chunk = static_cast<size_t>(room > 0 ? room : 1);
        if (chunk > text.size() - offset) chunk = text.size() - offset;
        pf_.port.write(text.substr(offset, chunk));
        offset += chunk;
      }
    } else {
      ui_.setBackColor("txtCom", kRed);
    }
  } catch (const std::exception& e) {
    showError(e.what(), "SendCom");
  }
  ui_.setText("lblDiagSend", "SendCom: " + text);
  sendCount = (sendCount + 1) % 10000;
  ui_.setText("lblSCount", std::to_string(sendCount));
}

void App::cmdTree(int code, const std::string& argument) {
  std::string arg = argument;
  cmdTree(code, arg);
}

void App::cmdTree(int code, std::string& arg) {
  if (sendGuard || downloading || cmdBusy) return;
  cmdBusy = true;
  if (code < -1 || code > 28) {
    cmdBusy = false;
    return;
  }
  try {
    switch (code) {
      case -1:
        ui_.setText("lblDiagSend", "");
        break;
      case 0:
        // Toggle: the opposite of the last take sent, "AT1" the first time.
        sendCom(anyTakeSent && lastTakeOn ? "AT0" : "AT1");
        lastTakeOn = !(anyTakeSent && lastTakeOn);
        anyTakeSent = true;
        break;
      case 1:
        sendCom("AT0");
        lastTakeOn = false;
        anyTakeSent = true;
        break;
      case 2:
        sendCom("AT1");
        lastTakeOn = true;
        anyTakeSent = true;
        break;
      case 3:
        sendCom("AFR" + arg);
        break;
      case 4:
      case 5:
        showStatus(code == 4 ? "Mix Level: the node has no command for it; nothing sent."
                             : "IRE Level: the node has no command for it; nothing sent.");
        break;
      case 6:
        sendCom("AHP" + arg);
        break;
      case 7:
        sendCom("AVP" + arg);
        break;
      case 8:
        sendCom("ALD");
        break;
      case 9: {
        sendCom(byteChar(128));
        std::string packet;
        packet += byteChar(130);
        packet += byteChar(138);
        packet += "1";
        packet += byteChar(16);
        for (int i = 0; i < 16; ++i) {
          packet += byteChar(imageParams[i]);
          ui_.setText("lblImageSettings", "Control: 0" + hexUpper(imageParams[i]));
        }
        packet += byteChar(3);
        sendCom(packet);
        break;
      }
      case 10: {
        sendCom("ASI");
        const int length = colorNode ? 128 : 32;
        delayCountdown = length;
        showProgress(true);
        while (delayCountdown > 0) {
          setProgress(static_cast<double>(length - delayCountdown) / length * 100.0);
          pf_.loop.yield();
        }
        showProgress(false);
        break;
      }
      case 11:
        sendCom("ACI");
        break;
      case 12:
        if (arg.size() < 2) arg = "01";
        sendCom("ANI," + arg);
        break;
      case 13:
        sendCom("APA" + arg);
        break;
      case 14:
        sendCom("API" + arg);
        break;
      case 15: {
        std::string node = arg;
        if (node.empty()) {
          if (sxModel == 1) {
            node = hex2(roundHalfEven(leadingNumber(ui_.text("txtNODE"))));
          } else {
            node = "00";
          }
        }
        sendCom("WK," + node);
        break;
      }
      case 16:
        sendCom("SP");
        break;
      case 17:
        sendCom("QXS");
        break;
      case 18:
        sendCom("AJ" + arg + std::string(3, '\0'));
        break;
      case 19:
        sendCom("ARM");
        break;
      case 20:
      case 28:
        if (pf_.dialogs.confirm("EEPROM ERASE: Notice!",
                                "This will erase the entire EEPROM. This cannot be reversed.\r\n"
                                "Erase takes about 10 seconds to complete.")) {
          sendCom("QXE");
          pf_.loop.setTimerEnabled(TimerId::TenSec, true);
          ui_.setEnabled("mnu_ImageToEEPROM", false);
          ui_.setVisible("mnu_ImageToEEPROM", true);
          if (code == 20) sendCom("ACM");
        }
        break;
      case 21:
        sendCom("ACT" + arg);
        break;
      case 22:
        statusCountdown = 200;
        sendCom("ARC");
        statusCountdown = 200;
        sendCom(byteChar(136));
        break;
      case 25:
        sendCom("AEPW" + arg);
        break;
      case 26:
        sendCom("ACH" + arg);
        break;
      case 27:
        sendCom(arg);
        break;
      default:  // 23, 24: nothing on the line
        break;
    }
  } catch (const std::exception& e) {
    showError(e.what(), "CmdTree");
  }
  cmdBusy = false;
}

}  // namespace osd
