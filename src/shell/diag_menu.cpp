// The diagnostic menu's entries and the encodings of their answers.
#include "shell/diag_menu.h"

#include <array>

#include "common/textnum.h"

namespace osd {

namespace {

using C = Command;
using V = DiagValue;
using X = DiagExtra;

// In the menu's order: the entry in place n issues command n.
constexpr std::array<DiagRow, kDiagEntryCount> kRows = {{
    {"Toggle TAKE", C::TakeToggle, "", V::None, X::None},
    {"TAKE OFF", C::TakeOff, "", V::None, X::None},
    {"TAKE ON", C::TakeOn, "", V::None, X::None},
    {"Fade Rate", C::FadeRate, "Enter a Fade Rate (0-99)", V::Inverted99, X::None},
    {"Mix Level", C::MixLevel, "Enter a Mix Percent (0-99)", V::Inverted99, X::None},
    {"IRE Level", C::IreLevel, "Enter an Intensity Percent (0-99)", V::Byte99, X::None},
    {"Horiz Posn", C::HorizontalPosition, "Enter a Horizontal Position Percent (0-99)",
     V::Horizontal, X::None},
    {"Vert Posn", C::VerticalPosition, "Enter a Vertical Position Percent (0-99)", V::Vertical,
     X::None},
    {"Send Logo", C::LoadLogo, "", V::None, X::SendLogo},
    {"Save Settings to EEPROM", C::SaveSettings, "", V::None, X::None},
    {"Save Logo to EEPROM", C::SaveLogo, "", V::None, X::None},
    {"Blink Test", C::Blink, "", V::None, X::None},
    {"Change ID Num", C::ChangeId, "Enter an ID Number (1-255)", V::NodeId, X::None},
    {"Set Time ON", C::TakeOnTime, "Enter Take ON Time (15-3825)Seconds", V::TakeTime, X::None},
    {"Set Time OFF", C::TakeOffTime, "Enter Take OFF Time (15-3825)Seconds", V::TakeTime, X::None},
    {"Wakeup Node", C::Wake, "Enter Node to Wake-up (1-255) 0=All.", V::WakeNode, X::SleepFirst},
    {"Sleep Node", C::Sleep, "", V::None, X::None},
    {"Retreive Settings", C::SizeQuery, "", V::None, X::None},
    {"Select Logo", C::SelectLogo, "Enter a Logo number (1-", V::Logo, X::None},
    {"Retreive Logo", C::ReadBack, "", V::None, X::ReadBack},
    {"Factory Reset", C::FactoryReset, "", V::None, X::None},
    {"Set Model #", C::SetModel, "Enter a Model number (01,04,07,15,31)", V::Model, X::None},
    {"Retreive Copyright", C::CopyrightQuery, "", V::None, X::ClearStatusFirst},
    {"Show Dialog", C::ShowDialog, "", V::None, X::ToggleReply},
    {"Read Configuration", C::ReadConfiguration, "", V::None, X::ReadConfiguration},
    {"Enter Password", C::Password, "Enter a Password", V::Text, X::ClearLastSent},
    {"Chroma", C::Chroma, "Enter a Chroma Percent (0-99)", V::Byte99, X::None},
    {"Misc", C::Raw, "Enter Command", V::Text, X::None},
}};

// Each entry issues the command of its place in the menu.
constexpr bool rowsInPlace() {
  for (size_t i = 0; i < kRows.size(); ++i) {
    if (static_cast<size_t>(kRows[i].command) != i) return false;
  }
  return true;
}
static_assert(rowsInPlace());

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

// Until a model is known only logo 1 is offered.
int highestLogo(int model) {
  return model < 1 ? 1 : model;
}

}  // namespace

const std::array<DiagEntry, kDiagEntryCount>& diagEntries() {
  static const std::array<DiagEntry, kDiagEntryCount> entries = [] {
    std::array<DiagEntry, kDiagEntryCount> all{};
    for (int i = 0; i < kDiagEntryCount; ++i) all[static_cast<size_t>(i)] = DiagEntry{i};
    return all;
  }();
  return entries;
}

const DiagRow& diagRow(DiagEntry entry) {
  return kRows.at(static_cast<size_t>(diagPlace(entry)));
}

std::string diagPrompt(const DiagRow& row, int model) {
  std::string prompt = row.prompt;
  if (row.value == DiagValue::Logo) prompt += std::to_string(highestLogo(model)) + ")";
  return prompt;
}

std::string diagArgument(DiagValue value, const std::string& answer, int model, bool colorNode) {
  switch (value) {
    case DiagValue::None:
      return "";
    case DiagValue::Inverted99:
      return byteChar(99 - answerNumber(answer, 0, 99));
    case DiagValue::Byte99:
      return byteChar(answerNumber(answer, 0, 99));
    case DiagValue::Horizontal:
      return hex2(roundHalfEven(34.0 + answerNumber(answer, 0, 99) * 120.0 / 99.0));
    case DiagValue::Vertical:
      return hex2(roundHalfEven(4.0 + answerNumber(answer, 0, 99) * 51.0 / 99.0));
    case DiagValue::NodeId:
      return hex2(answerNumber(answer, 1, 255));
    case DiagValue::WakeNode:
      return hex2(answerNumber(answer, 0, 255));
    case DiagValue::TakeTime:
      return takeTime(answer);
    case DiagValue::Logo:
      return dec2(answerNumber(answer, 1, highestLogo(model)));
    case DiagValue::Model:
      return modelCode(answer, colorNode);
    case DiagValue::Text:
      return answer;
  }
  return "";
}

}  // namespace osd
