// The "Diag" menu: one entry per dispatcher code. Entries that need a value ask for it,
// check and scale it, encode it the way the node expects and hand it to the dispatcher.
#include <exception>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {
constexpr int kLowWindow = 5650;   // twips, reply area hidden
constexpr int kHighWindow = 6125;  // twips, reply area shown

// The whole number at the start of an answer, limited to lo..hi.
int answerNumber(const std::string& answer, int lo, int hi) {
  return clampInt(leadingInt(answer), lo, hi);
}

// Take time in seconds (15 to 3825) as the node's count of 15-second units (1 to 255).
std::string takeTime(const std::string& answer) {
  const int seconds = answerNumber(answer, 15, 3825);
  return byteChar(static_cast<int>(roundHalfEven((seconds - 15) * 255.0 / 3825.0 + 1.0)));
}

// The model code for "ACT": logo-generator models 1, 4, 7, 15 and 31 as two digits, the
// letters M and C as typed, 2 for the colour node; anything else is taken as model 4.
std::string modelCode(const std::string& answer, bool colorNode) {
  const std::string text = toUpper(trimSpace(answer));
  if (!text.empty() && (text[0] == 'M' || text[0] == 'C')) return std::string(1, text[0]);
  const int32_t model = leadingInt(text);
  switch (model) {
    case 1:
    case 4:
    case 7:
    case 15:
    case 31:
      return dec2(model);
    case 2:
      if (colorNode) return "2";
      break;
    default:
      break;
  }
  return "04";
}
}  // namespace

void App::diagClick(int index) {
  if (index < 0 || index > 27) return;
  try {
    // Asks for a value; an empty answer (or a window closed without Enter) ends the click.
    std::string answer;
    auto ask = [&](const std::string& prompt) {
      answer = askValue(prompt);
      return !answer.empty();
    };

    switch (index) {
      case 0:   // "Toggle TAKE"
      case 1:   // "TAKE OFF"
      case 2:   // "TAKE ON"
      case 9:   // "Save Settings to EEPROM"
      case 10:  // "Save Logo to EEPROM"
      case 11:  // "Blink Test"
      case 16:  // "Sleep Node"
      case 17:  // "Retreive Settings"
        cmdTree(index);
        break;
      case 3:  // "Fade Rate"
        if (!ask("Enter a Fade Rate (0-99)")) return;
        cmdTree(index, byteChar(99 - answerNumber(answer, 0, 99)));
        break;
      case 4:  // "Mix Level"
        if (!ask("Enter a Mix Percent (0-99)")) return;
        cmdTree(index, byteChar(99 - answerNumber(answer, 0, 99)));
        break;
      case 5:  // "IRE Level"
        if (!ask("Enter an Intensity Percent (0-99)")) return;
        cmdTree(index, byteChar(answerNumber(answer, 0, 99)));
        break;
      case 6: {  // "Horiz Posn": 0..99 % onto 34..154
        if (!ask("Enter a Horizontal Position Percent (0-99)")) return;
        const int v = answerNumber(answer, 0, 99);
        cmdTree(index, hex2(roundHalfEven(34.0 + v * 120.0 / 99.0)));
        break;
      }
      case 7: {  // "Vert Posn": 0..99 % onto 4..55
        if (!ask("Enter a Vertical Position Percent (0-99)")) return;
        const int v = answerNumber(answer, 0, 99);
        cmdTree(index, hex2(roundHalfEven(4.0 + v * 51.0 / 99.0)));
        break;
      }
      case 8:  // "Send Logo": the whole download, not the bare "ALD"
        showStatus("");
        runDownload();
        break;
      case 12:  // "Change ID Num": node IDs are 1 to 255
        if (!ask("Enter an ID Number (1-255)")) return;
        cmdTree(index, hex2(answerNumber(answer, 1, 255)));
        break;
      case 13:  // "Set Time ON"
        if (!ask("Enter Take ON Time (15-3825)Seconds")) return;
        cmdTree(index, takeTime(answer));
        break;
      case 14:  // "Set Time OFF"
        if (!ask("Enter Take OFF Time (15-3825)Seconds")) return;
        cmdTree(index, takeTime(answer));
        break;
      case 15:  // "Wakeup Node": the awake nodes sleep first; 0 wakes all
        if (!ask("Enter Node to Wake-up (1-255) 0=All.")) return;
        cmdTree(16);
        cmdTree(index, hex2(answerNumber(answer, 0, 255)));
        break;
      case 18: {  // "Select Logo"
        // Until a model is known only logo 1 is offered.
        const int model = sxModel < 1 ? 1 : sxModel;
        if (!ask("Enter a Logo number (1-" + std::to_string(model) + ")")) return;
        cmdTree(index, dec2(answerNumber(answer, 1, model)));
        break;
      }
      case 19:  // "Retreive Logo": the read-back stream is awaited
        // A request the dispatcher would refuse must not leave the reception waiting for a
        // stream that never comes (it would swallow the next answers as a read-back).
        if (sendGuard || downloading || cmdBusy) return;
        uploadPending = true;
        readPolls = 500;
        showStatus("Waiting for Reply");
        cmdTree(index);
        break;
      case 20:  // "Factory Reset": no read-back follows an erase
        cmdTree(index);
        break;
      case 21:  // "Set Model #"
        if (!ask("Enter a Model number (01,04,07,15,31)")) return;
        cmdTree(index, modelCode(answer, colorNode));
        break;
      case 22:  // "Retreive Copyright"
        showStatus("");
        cmdTree(index);
        break;
      case 23: {  // "Show Dialog": the reply area below the window
        const std::string entry = indexed("mnuDiagSub", 23);
        if (ui_.checked(entry)) {
          ui_.setChecked(entry, false);
          showReply = false;
          writeSetting("ShowReply", "False");
          ui_.setHeightTwips(kLowWindow);
        } else {
          ui_.setChecked(entry, true);
          showReply = true;
          writeSetting("ShowReply", "True");
          if (ui_.heightTwips() < kHighWindow) ui_.setHeightTwips(kHighWindow);
        }
        break;
      }
      case 24:  // "Read Configuration"
        // Not in the middle of a download: the port search would close the port under it.
        if (downloading) return;
        formLoad(std::string(commandLine));
        break;
      case 25:  // "Enter Password": sent, then wiped from the last-sent label
        if (!ask("Enter a Password")) return;
        cmdTree(index, answer);
        cmdTree(-1);
        break;
      case 26:  // "Chroma"
        if (!ask("Enter a Chroma Percent (0-99)")) return;
        cmdTree(index, byteChar(answerNumber(answer, 0, 99)));
        break;
      case 27:  // "Misc": written as typed
        if (!ask("Enter Command")) return;
        cmdTree(index, answer);
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    showError(e.what(), "mnuLogoSel_Click");
  }
}

}  // namespace osd
