// The "Diag" menu's entries: for each entry its caption, the command it issues, the question
// it asks and how the answer becomes the command's argument.
#pragma once

#include <array>
#include <string>

#include "link/dispatcher.h"

namespace osd {

// The menu's entries in the menu's order, named as their captions read; the value is the
// entry's place in the menu.
enum class DiagEntry : int {
  ToggleTake,
  TakeOff,
  TakeOn,
  FadeRate,
  MixLevel,
  IreLevel,
  HorizPosn,
  VertPosn,
  SendLogo,
  SaveSettingsToEeprom,
  SaveLogoToEeprom,
  BlinkTest,
  ChangeIdNum,
  SetTimeOn,
  SetTimeOff,
  WakeupNode,
  SleepNode,
  RetreiveSettings,
  SelectLogo,
  RetreiveLogo,
  FactoryReset,
  SetModel,
  RetreiveCopyright,
  ShowDialog,
  ReadConfiguration,
  EnterPassword,
  Chroma,
  Misc,
};

constexpr int kDiagEntryCount = 28;

// The entry's place in the menu, 0 .. kDiagEntryCount - 1.
constexpr int diagPlace(DiagEntry entry) {
  return static_cast<int>(entry);
}

// Every entry, in the menu's order.
const std::array<DiagEntry, kDiagEntryCount>& diagEntries();

// How an answer becomes the argument.
enum class DiagValue {
  None,        // no question
  Inverted99,  // 0..99, one byte of 99 - v
  Byte99,      // 0..99, one byte of v
  Horizontal,  // 0..99 % onto 34..154, two hex digits
  Vertical,    // 0..99 % onto 4..55, two hex digits
  NodeId,      // 1..255, two hex digits
  WakeNode,    // 0..255, two hex digits ("00": all)
  TakeTime,    // 15..3825 s in 15-second units, one byte
  Logo,        // 1..model, two decimal digits
  Model,       // the model code
  Text,        // the answer as typed
};

// What an entry does besides handing its argument to the dispatcher.
enum class DiagExtra {
  None,
  SendLogo,           // runs the logo download instead of a command
  SleepFirst,         // the awake nodes sleep before the wake-up
  ReadBack,           // the read-back stream is awaited
  ClearStatusFirst,   // the status line is cleared first
  ToggleReply,        // shows or hides the reply area (window only)
  ReadConfiguration,  // runs the start-up again (window only)
  ClearLastSent,      // the last-sent text is wiped afterwards
};

// One entry of the menu.
struct DiagRow {
  const char* caption;  // the menu entry
  Command command;      // the dispatcher's command it issues
  const char* prompt;   // "" when the entry asks nothing; Logo prompts end in the model
  DiagValue value;
  DiagExtra extra;
};

const DiagRow& diagRow(DiagEntry entry);

// The question of an entry, for a logo generator of `model`.
std::string diagPrompt(const DiagRow& row, int model);

// The argument for `answer`.
std::string diagArgument(DiagValue value, const std::string& answer, int model, bool colorNode);

}  // namespace osd
