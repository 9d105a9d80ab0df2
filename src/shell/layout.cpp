// The main window's controls with their laid-out (design-time) state: names, captions,
// visibility. The Qt window creates one widget or menu entry per name.
#include "common/logo_models.h"
#include "link/diag_table.h"
#include "shell/app.h"

namespace osd {

namespace {
Control caption(const std::string& text, bool visible = true, bool enabled = true) {
  Control c;
  c.text = text;
  c.visible = visible;
  c.enabled = enabled;
  return c;
}
}  // namespace

void App::defineControls() {
  WindowModel& m = ui_;

  // &File
  m.define("mnuFile", caption("&File"));
  m.define("mnuOpenLogoFile", caption("&Open OSD Image File"));
  m.define("mnuImportPicture", caption("&Import Picture…"));
  m.define("mnuDownloadLogotoRam", caption("&Download Image to RAM"));
  m.define("mnu_ImageToEEPROM", caption("Download OSD Image to EEPROM"));
  m.define("mnu_Erase", caption("&Erase Image in EEPROM"));
  m.define("mnuSaveCurrentSettings", caption("Save Current &Settings in RU7 NVRAM"));
  m.define("mnuSaveLogoinNVRAM", caption("Save &Logo in NVRAM"));
  m.define("mnuSaveVideoContolData", caption("Send Video Controller setup data"));
  m.define("mnuSaveLogoDisk", caption("Save Logo to .SX1 DOS Dis&k File"));
  m.define("mnuUpLoadLogo", caption("&Upload Selected Logo From RU7+"));
  for (int i = 0; i < 8; ++i) {
    m.define(indexed("mnuRecentFile", i), caption("RecentFile" + std::to_string(i)));
  }
  m.define("mnuExit", caption("E&xit"));

  // &Node
  m.define("mnuNode", caption("&Node"));
  m.define("mnuWakeUpNode", caption("Wake-Up &Node"));
  m.define("mnuWakeUpAllNodes", caption("Wake-Up &All Nodes"));
  m.define("mnuAllNodesSleep", caption("Put Node to &Sleep"));
  m.define("mnuSetIDtoCurrentNode", caption("Change Node &ID"));
  m.define("mnuFindNodes", caption("&Find Nodes on the Line…"));

  // &Zoom
  m.define("mnuZoom", caption("&Zoom"));
  m.define("mnuZoomOff", caption("Off"));
  m.define("mnuZoomOn", caption("On"));
  m.define("mnuNodeView", caption("&Node View"));

  // &Paintbrush_Editor and Edit
  m.define("mnuPaintBrush_top", caption("&Paintbrush_Editor"));
  m.define("mnuEdit", caption("&Edit"));
  m.define("mnuPaintBrush", caption("&PaintBrush"));
  m.define("mnuNTSBVideo", caption("NTSB Video Format"));
  m.define("mnuPALBVideo", caption("PAL B Video Format"));
  m.define("mnuPALMVideo", caption("PAL M Video Format"));
  m.define("mnuImageControl", caption("Image Control Data "));

  // &OSD
  m.define("mnuLogo", caption("&OSD"));
  for (int i = 1; i <= 15; ++i) {
    std::string c = i == 1   ? "OSD&1"
                    : i == 2 ? "OSD&2"
                    : i <= 9 ? "Logo&" + std::to_string(i)
                             : "Logo" + std::to_string(i);
    m.define(indexed("mnuLogoSel", i), caption(c));
  }
  m.define(indexed("mnuShowMode", 0), caption("Show Intensity"));
  m.define(indexed("mnuShowMode", 1), caption("Show Mix"));
  m.define(indexed("mnuShowMode", 2), caption("Show Fade"));
  m.define(indexed("mnuShowMode", 3), caption("Tranparent Value"));
  m.define("mnu_SMPTE", caption("SMPTE Background"));

  // &Schedule
  m.define("mnuSchedule", caption("&Schedule"));
  m.define(indexed("mnuScheduleEdit", 0), caption("Schedule &View"));
  m.define(indexed("mnuScheduleEdit", 1), caption("Schedule &Lock"));
  m.define("mnuScheduleOnOff", caption("Scheduler O&N/OFF"));
  m.define("mnuPanelLock", caption("Front Panel &Lock"));
  m.define(indexed("mnuSetLGx", 0), caption("AutoSelect SX Type"));
  for (int n : kLogoModels) {
    m.define(indexed("mnuSetLGx", n), caption("Set as SX-" + std::to_string(n)));
  }

  // Diag
  m.define("mnuDiag", caption("&Diag", false));
  for (int i = 0; i < kDiagEntryCount; ++i) {
    m.define(indexed("mnuDiagSub", i), caption(diagEntry(i)->caption));
  }

  // &Help
  m.define("mnuHelp", caption("&Help"));
  m.define("mnuManual", caption("&Manual"));
  m.define("mnuAbout", caption("&About"));
  m.define("mnuCopyright", caption("&Sigilon Copyright"));
  m.define("mnuDiagTools", caption("&Diagnostic Tools"));

  // Window controls.
  m.define("LOGO_FRAME", caption("Relative Screen Position"));
  m.define("LOGO_SELECT", caption("Image Data"));
  m.define("Frame1", caption("Video Mode"));
  m.define("Frame2", caption("Data Type"));
  m.define(indexed("optNTSC", 0), caption("NTSC"));
  m.define(indexed("optNTSC", 1), caption("PAL"));
  m.define(indexed("optRGB", 0), caption("RGB"));
  m.define(indexed("optRGB", 1), caption("YCbCr"));
  for (int i = 0; i <= 15; ++i) {
    // Slot 0 only holds the name of the last read-back file; it is never offered for choice.
    m.define(indexed("optLOGO", i),
             caption(i == 9 ? "Logo9" : "Logo " + std::to_string(i), i != 0));
    m.define(indexed("Shape1", i), caption("", false));
    m.define(indexed("lblLogoName", i), caption(""));
    Control pic = caption("", false);
    m.define(indexed("picPicture2", i), pic);
  }
  m.define("picPicture1", caption("", false));
  m.define("img_SMPTE", caption("", false));
  m.define("txtHPOS", caption("100"));
  m.define("txtVPOS", caption("100"));
  m.define("lblStartPosn", caption("Image Start Position"));
  m.define("lblImageSettings", caption("Image Parameters:"));
  m.define("lblVideoSettings", caption("Video ADV7171:"));
  m.define("lblImgSize", caption(""));
  m.define("lblRunning", caption("Schedule Running", false));
  m.define("btn_Exit", caption("Exit"));
}

}  // namespace osd
