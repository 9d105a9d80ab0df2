// Where in the window an error was met. The error panel's title names the place the way the
// program always has (operators and support know errors by these titles), so the titles stay
// as they are; they are kept here, in one table, and the presenters name the place.
#pragma once

namespace osd {

enum class ErrorAt {
  LogoMenu,        // a logo chosen from the logo menu
  DownloadToRam,   // "Download Image to RAM"
  OpenLogo,        // the File menu's open
  RecentFile,      // a recent file chosen
  RecentFileRead,  // a recent file that could not be read
  LogoOption,      // a logo slot's option button
  SaveLogoToDisk,
  Upload,  // a logo read back from the node
  Splash,
  ComMenu,
  SaveSettings,
  HorizontalPosition,  // the typed positions
  VerticalPosition,
};

const char* errorTitle(ErrorAt at);

}  // namespace osd
