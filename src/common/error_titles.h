// Where an error was met. The error panel's title names the place the way the program always
// has (operators and support know errors by these titles), so the titles stay as they are;
// they are kept here, in one table, and every report names its place. A place with steps
// (the schedule scan's, the port event's code) has the step after its title and a blank.
#pragma once

#include <string>

namespace osd {

enum class ErrorAt {
  // ---- Start-up ----
  FormLoad,
  FormSetUp,
  // ---- Logos ----
  LogoMenu,         // a logo chosen from the logo menu
  DiagEntry,        // an entry of the "Diag" menu (under the logo menu's title)
  OpenLogo,         // the File menu's open
  RecentFile,       // a recent file chosen
  RecentFileRead,   // a recent file that could not be read
  ImportPicture,    // a picture imported into a logo slot
  LogoOption,       // a logo slot's option button
  ReadFile,         // a bitmap read into the selected slot
  ReadFileRefused,  // the reader's refusal
  ReadFileMissing,  // no such file
  FetchLogo,        // a slot's bitmap read again and encoded for a download
  SaveLogoToDisk,
  Upload,              // a logo read back from the node
  UploadRefused,       // a model 1 node has no logo to read back
  SavePicture,         // the read-back logo written to its file
  PreviewPress,        // the large preview pressed
  PreviewDrag,         // and dragged
  HorizontalPosition,  // the typed positions
  VerticalPosition,
  // ---- Download ----
  DownloadToRam,      // "Download Image to RAM"
  DownloadStream,     // the download's stream and the setup block's
  NoPortForDownload,  // no usable port
  NoLogoSelected,
  NoLogoFile,
  CheckedNodes,  // "Download to Checked Nodes"
  FindNodes,     // the node scan
  // ---- Video data, menus ----
  EditFile,  // a video data file opened in the text editor
  SaveSettings,
  PaintProgram,
  Splash,
  ScheduleScan,  // the runner's look at the schedule; its step follows
  // ---- The link ----
  ComMenu,
  StartCom,       // opening the port; its step follows
  PortLost,       // the port's output stopped taking data
  PortEvent,      // the port's event handler; the event's code follows
  SendCom,        // a text handed to the port
  CmdTree,        // a typed command
  RecvData,       // bytes taken from the port
  ProcessData,    // an answer taken apart
  DelayTimer,     // the main tick
  WatchdogTimer,  // the ten-second node watch (the last)
};

const char* errorTitle(ErrorAt at);
// The title of a place with steps: "Scan_Schedule x3", "MSComm1_OnComm Event: 8".
std::string errorTitle(ErrorAt at, const std::string& step);

}  // namespace osd
