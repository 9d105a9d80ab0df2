#include "shell/error_titles.h"

namespace osd {

const char* errorTitle(ErrorAt at) {
  switch (at) {
    case ErrorAt::LogoMenu:
      return "mnuLogoSel_Click";
    case ErrorAt::DownloadToRam:
      return "mnuDownloadLogotoRam_Click";
    case ErrorAt::OpenLogo:
      return "mnuOpenLogoFile";
    case ErrorAt::RecentFile:
      return "mnuRecentFile_Click";
    case ErrorAt::RecentFileRead:
      return "MnuRecentFile";
    case ErrorAt::LogoOption:
      return "optLOGO_Click";
    case ErrorAt::SaveLogoToDisk:
      return "mnuSaveLogoDisk";
    case ErrorAt::Upload:
      return "mnuUpLoadLogo";
    case ErrorAt::Splash:
      return "tmrSplash_Timer";
    case ErrorAt::ComMenu:
      return "mnuCOMsel_Click";
    case ErrorAt::SaveSettings:
      return "mnuSaveCurrentSettings_Click";
    case ErrorAt::HorizontalPosition:
      return "txtHPOS";
    case ErrorAt::VerticalPosition:
      return "txtVPOS";
  }
  return "";
}

}  // namespace osd
