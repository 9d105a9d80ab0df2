#include "common/error_titles.h"

#include <array>
#include <utility>

namespace osd {

namespace {
// In the order of the enumeration.
constexpr std::pair<ErrorAt, const char*> kTitles[] = {
    {ErrorAt::FormLoad, "Form_Load"},
    {ErrorAt::FormSetUp, "Form_SetUp"},
    {ErrorAt::LogoMenu, "mnuLogoSel_Click"},
    {ErrorAt::DiagEntry, "mnuLogoSel_Click"},
    {ErrorAt::OpenLogo, "mnuOpenLogoFile"},
    {ErrorAt::RecentFile, "mnuRecentFile_Click"},
    {ErrorAt::RecentFileRead, "MnuRecentFile"},
    {ErrorAt::ImportPicture, "mnuImportPicture"},
    {ErrorAt::LogoOption, "optLOGO_Click"},
    {ErrorAt::ReadFile, "Read_File"},
    {ErrorAt::ReadFileRefused, "Read_File-A"},
    {ErrorAt::ReadFileMissing, "Read_File-B"},
    {ErrorAt::FetchLogo, "FetchLogo"},
    {ErrorAt::SaveLogoToDisk, "mnuSaveLogoDisk"},
    {ErrorAt::Upload, "mnuUpLoadLogo"},
    {ErrorAt::UploadRefused, "SX-1: No Can Do"},
    {ErrorAt::SavePicture, "Save_Picture"},
    {ErrorAt::PreviewPress, "picPicture2_MouseDown"},
    {ErrorAt::PreviewDrag, "picPicture2_MouseMove"},
    {ErrorAt::HorizontalPosition, "txtHPOS"},
    {ErrorAt::VerticalPosition, "txtVPOS"},
    {ErrorAt::DownloadToRam, "mnuDownloadLogotoRam_Click"},
    {ErrorAt::DownloadStream, "DivUvOR"},
    {ErrorAt::NoPortForDownload, "Communication Error!"},
    {ErrorAt::NoLogoSelected, "No Logo"},
    {ErrorAt::NoLogoFile, "ERROR!"},
    {ErrorAt::CheckedNodes, "Download to Checked Nodes"},
    {ErrorAt::FindNodes, "Find Nodes"},
    {ErrorAt::EditFile, "Edit"},
    {ErrorAt::SaveSettings, "mnuSaveCurrentSettings_Click"},
    {ErrorAt::PaintProgram, "Paintbrush"},
    {ErrorAt::Splash, "tmrSplash_Timer"},
    {ErrorAt::ScheduleScan, "Scan_Schedule"},
    {ErrorAt::ComMenu, "mnuCOMsel_Click"},
    {ErrorAt::StartCom, "StartCom"},
    {ErrorAt::PortLost, "COMM Status"},
    {ErrorAt::PortEvent, "MSComm1_OnComm Event:"},
    {ErrorAt::SendCom, "SendCom"},
    {ErrorAt::CmdTree, "CmdTree"},
    {ErrorAt::RecvData, "RecvData"},
    {ErrorAt::ProcessData, "ProcessData"},
    {ErrorAt::DelayTimer, "Tmr_Delay_Timer"},
    {ErrorAt::WatchdogTimer, "tmr10sec_Timer"},
};

constexpr bool inEnumOrder() {
  for (size_t i = 0; i < std::size(kTitles); ++i) {
    if (static_cast<size_t>(kTitles[i].first) != i) return false;
  }
  return true;
}
static_assert(inEnumOrder(), "the titles follow the enumeration");
static_assert(std::size(kTitles) == static_cast<size_t>(ErrorAt::WatchdogTimer) + 1,
              "every place has its title");
}  // namespace

const char* errorTitle(ErrorAt at) {
  return kTitles[static_cast<size_t>(at)].second;
}

std::string errorTitle(ErrorAt at, const std::string& step) {
  return std::string(errorTitle(at)) + " " + step;
}

}  // namespace osd
