// The logo operations of the main window: loading a bitmap into a slot (figures, labels,
// previews, recent files, settings), the menu commands, encoding a slot for the node, the
// read-back of a logo and the writing of its file.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/bmp_builder.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct ImageOps : ::testing::Test {
  Harness h;
  App& app = *h.app;

  void SetUp() override {
    app.selectedSlot = 1;
    app.session().setLargeMemory(false);
    app.ui().setChecked("optNTSC(0)", true);
    for (int i = 0; i < 8; ++i) app.ui().setText(indexed("mnuRecentFile", i), "");
  }
  // Writes a bitmap into the test folder and gives its path.
  std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = h.dir + "/" + name;
    writeFile(path, bytes);
    return path;
  }
  int load(std::string path) { return app.readFile(path); }
  std::string recent(int i) { return app.ui().text(indexed("mnuRecentFile", i)); }
  std::string errorTitle() { return app.ui().text("frameError"); }
  std::string errorText() { return app.ui().text("lblErrTxt"); }
  bool errorShown() { return app.ui().visible("frameError"); }
};

}  // namespace

// ---------------- the reader ----------------

TEST_F(ImageOps, BadNamesAreRefused) {
  EXPECT_EQ(load("logo.txt"), -1);
  EXPECT_EQ(errorTitle(), "Read_File-B");
  EXPECT_EQ(errorText(), "Invalid File Name or Missing File!");
  app.dismissError();
  EXPECT_EQ(load("   "), -1);
  EXPECT_FALSE(errorShown());
}

TEST_F(ImageOps, FullPageImageAcceptedOnASmallNode) {
  const std::string path = file("LOGO.bmp", plainBmp(256, 255, 8));
  app.imageParams[0] = 5;
  app.imageParams[1] = 308;
  app.imageParams[5] = 7;
  std::string name = "  " + path + " ";
  EXPECT_EQ(app.readFile(name), 0);
  EXPECT_EQ(name, path);  // trimmed in place
  EXPECT_FALSE(errorShown());
  EXPECT_EQ(app.imageBytes, 65280);
  EXPECT_EQ(app.logoHeight, 255);
  EXPECT_EQ(app.imageParams[5], 0);
  EXPECT_EQ(app.imageParams[6], 0);
  EXPECT_EQ(app.ui().text("lblImgSize"), "256 Wide X 255 High\r\n65280 Pixels");
  EXPECT_EQ(app.ui().text("lblImageSettings"),
            "Image Parameters: 05 34 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(app.slotFile[1], path);
  EXPECT_EQ(app.currentFile, path);
  EXPECT_EQ(app.bmpPath[1], path);
  EXPECT_EQ(h.settings.get("BMPpath1"), path);
}

TEST_F(ImageOps, SizeRejectionShowsTheMessageAndKeepsTheOldFigures) {
  ASSERT_EQ(load(file("ok.bmp", plainBmp(256, 64, 8))), 0);
  const std::string big = file("big.bmp", plainBmp(256, 256, 1));
  EXPECT_EQ(load(big), 1);
  EXPECT_EQ(errorTitle(), "Read_File-A");
  EXPECT_EQ(errorText(),
            "Image Max 65280 bytes, Max Width=720W; Max Height=616H\r\n"
            "Width divisible by 4 && height by 2.\r\nActual 256 by 256");
  EXPECT_EQ(app.imageWidth, 256);
  EXPECT_EQ(app.imageHeight, 256);
  EXPECT_EQ(app.imageBytes, 16384);  // unchanged
  EXPECT_EQ(app.slotFile[1], h.dir + "/ok.bmp");
  EXPECT_EQ(load(file("a.bmp", plainBmp(2, 2, 24))), 1);
  EXPECT_NE(errorText().find("Actual 2 by 2"), std::string::npos);
  app.session().setLargeMemory(true);
  EXPECT_EQ(load(big), 0);
  EXPECT_EQ(app.imageBytes, 8192);
  EXPECT_EQ(app.imageParams[5], 128);
  EXPECT_EQ(app.imageParams[6], 64);
}

TEST_F(ImageOps, BrokenFilesAreReportedNotLoaded) {
  const std::string good = plainBmp(16, 8, 24);
  EXPECT_EQ(load(file("cut.bmp", good.substr(0, good.size() - 10))), 1);
  EXPECT_EQ(errorTitle(), "Read_File-A");
  EXPECT_NE(errorText().find("cut short"), std::string::npos);
  app.dismissError();
  EXPECT_EQ(load(file("empty.bmp", "")), 1);
  EXPECT_NE(errorText().find("too short"), std::string::npos);
  app.dismissError();
  // A file that is not there is reported also when the operator asked for it.
  EXPECT_EQ(load(h.dir + "/nothere.bmp"), -1);
  EXPECT_EQ(errorTitle(), "Read_File");
  EXPECT_TRUE(app.slotFile[1].empty());
}

TEST_F(ImageOps, LogoNameDropsBackslashFolders) {
  ASSERT_EQ(load(file("C:\\a\\b\\logo.bmp", plainBmp(8, 2, 24))), 0);
  EXPECT_EQ(app.ui().text("lblLogoName(1)"), "logo.bmp");
  const std::string slash = file("plain.bmp", plainBmp(8, 2, 24));
  ASSERT_EQ(load(slash), 0);
  EXPECT_EQ(app.ui().text("lblLogoName(1)"), slash);
}

TEST_F(ImageOps, SlotOptionAndPreviews) {
  app.selectedSlot = 3;
  app.ui().setChecked("optLOGO(1)", true);
  app.ui().setChecked("optLOGO(7)", true);
  ASSERT_EQ(load(file("p.bmp", plainBmp(64, 32, 8))), 0);
  EXPECT_TRUE(app.ui().checked("optLOGO(3)"));
  EXPECT_FALSE(app.ui().checked("optLOGO(1)"));
  EXPECT_FALSE(app.ui().checked("optLOGO(7)"));
  EXPECT_EQ(app.ui().get("picPicture2(3)").width, 8 * 64);
  EXPECT_EQ(app.ui().get("picPicture2(3)").height, 255);  // 256 twips = 17 pixels
  EXPECT_TRUE(app.ui().visible("picPicture2(3)"));
  EXPECT_EQ(app.ui().get("picPicture2(3)").image, h.dir + "/p.bmp");
  EXPECT_EQ(app.ui().get("picPicture1").image, h.dir + "/p.bmp");
  EXPECT_EQ(app.ui().get("picPicture1").backColor, 0x0000E0);
}

TEST_F(ImageOps, PalPreviewIsLowerAndDoesNotShrinkOnEveryLoad) {
  app.ui().setChecked("optNTSC(0)", false);
  app.ui().setHeight("picPicture1", 3000);  // 200 pixels
  const std::string path = file("p.bmp", plainBmp(64, 30, 8));
  ASSERT_EQ(load(path), 0);
  EXPECT_EQ(app.ui().get("picPicture1").height, 168 * 15);
  // 240 twips = 16 pixels, x 0.84 = 13.44 -> 13.
  EXPECT_EQ(app.ui().get("picPicture2(1)").height, 13 * 15);
  ASSERT_EQ(load(path), 0);
  EXPECT_EQ(app.ui().get("picPicture1").height, 168 * 15);
  app.ui().setChecked("optNTSC(0)", true);
  ASSERT_EQ(load(path), 0);
  EXPECT_EQ(app.ui().get("picPicture1").height, 3000);
}

TEST_F(ImageOps, ScheduleRunLoadSkipsPreviewAndRecentFiles) {
  app.scheduleOn = true;
  app.platformCode = 1;
  ASSERT_EQ(load(file("s.bmp", plainBmp(8, 2, 24))), 0);
  EXPECT_FALSE(app.ui().visible("picPicture2(1)"));
  EXPECT_EQ(recent(0), "");
  EXPECT_EQ(app.slotFile[1], h.dir + "/s.bmp");
}

// ---------------- recent files ----------------

TEST_F(ImageOps, RecentFilesMoveToTheFront) {
  std::vector<std::string> paths;
  for (int i = 0; i < 9; ++i) {
    paths.push_back(file("r" + std::to_string(i) + ".bmp", plainBmp(8, 2, 24)));
  }
  for (int i = 0; i < 8; ++i) ASSERT_EQ(load(paths[static_cast<size_t>(i)]), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(recent(i), paths[static_cast<size_t>(7 - i)]) << i;
  EXPECT_EQ(h.settings.get("FileSelect8"), paths[0]);

  // Entry 3 moves to the front, entries 0 to 2 shift down, 4 to 7 stay.
  const std::string third = recent(3);
  ASSERT_EQ(load(third), 0);
  EXPECT_EQ(recent(0), third);
  EXPECT_EQ(recent(1), paths[7]);
  EXPECT_EQ(recent(3), paths[5]);
  EXPECT_EQ(recent(4), paths[3]);
  EXPECT_EQ(h.settings.get("FileSelect1"), third);
  EXPECT_EQ(h.settings.get("FileSelect4"), paths[5]);

  // The file already at the front changes nothing.
  const int writes = h.settings.writes;
  ASSERT_EQ(load(third), 0);
  EXPECT_EQ(h.settings.writes, writes + 1);  // only BMPpath1
  EXPECT_EQ(recent(1), paths[7]);

  // A new file when all eight are filled drops the last.
  const std::string last = recent(7);
  ASSERT_EQ(load(paths[8]), 0);
  EXPECT_EQ(recent(0), paths[8]);
  EXPECT_EQ(recent(1), third);
  for (int i = 0; i < 8; ++i) EXPECT_NE(recent(i), last);
  EXPECT_TRUE(app.ui().visible("mnuRecentFile(7)"));

  // Loads made by the program itself leave the list alone.
  app.dispatcher().setGuard(true);
  ASSERT_EQ(load(paths[0]), 0);
  EXPECT_EQ(recent(0), paths[8]);
}

TEST_F(ImageOps, OpenLogoFileLoadsIntoSlotOne) {
  app.selectedSlot = 5;
  app.sxModel = 1;
  h.dialogs.fileNames = {file("o.bmp", plainBmp(8, 2, 24))};
  app.openLogoFileClick();
  EXPECT_EQ(app.selectedSlot, 1);
  EXPECT_EQ(app.slotFile[1], h.dir + "/o.bmp");
  EXPECT_FALSE(errorShown());
  // A logo generator with several slots keeps the selected slot.
  app.sxModel = 7;
  app.selectedSlot = 5;
  h.dialogs.fileNames = {file("q.bmp", plainBmp(8, 2, 24))};
  app.openLogoFileClick();
  EXPECT_EQ(app.slotFile[5], h.dir + "/q.bmp");
  // Slot 0 with such a model: nothing is loaded.
  app.selectedSlot = 0;
  h.dialogs.fileNames = {file("z.bmp", plainBmp(8, 2, 24))};
  app.openLogoFileClick();
  EXPECT_TRUE(app.slotFile[0].empty());
  EXPECT_FALSE(errorShown());
}

TEST_F(ImageOps, OpenLogoFileReportsAFailedRead) {
  h.dialogs.fileNames = {file("bad.bmp", plainBmp(722, 100, 24))};
  app.openLogoFileClick();
  EXPECT_EQ(errorTitle(), "mnuOpenLogoFile");
  EXPECT_NE(errorText().find("Actual 722 by 100"), std::string::npos);
  EXPECT_NE(errorText().find("Read of image file failed."), std::string::npos);
}

TEST_F(ImageOps, CancellingTheOpenDialogIsNotAFailure) {
  app.selectedSlot = 1;
  h.dialogs.fileNames = {""};
  app.openLogoFileClick();
  EXPECT_FALSE(errorShown());
  EXPECT_TRUE(app.slotFile[1].empty());
}

TEST_F(ImageOps, RecentFileReloadsTheStoredName) {
  const std::string path = file("rec.bmp", plainBmp(8, 2, 24));
  h.settings.set("FileSelect3", path);
  app.recentFileClick(2);
  EXPECT_EQ(app.slotFile[1], path);
  EXPECT_FALSE(errorShown());
  h.settings.set("FileSelect4", "nothing.txt");
  app.recentFileClick(3);
  EXPECT_EQ(errorTitle(), "MnuRecentFile");
  EXPECT_NE(errorText().find("Read of image file failed."), std::string::npos);
}

// ---------------- encoding ----------------

TEST_F(ImageOps, EncodeUsesTheSlotFileFormatAndTransparency) {
  BmpPlan b;
  b.width = 4;
  b.height = 2;
  b.rows = {{50, 100, 200, 255, 255, 255, 0, 0, 0, 50, 100, 200}, std::vector<uint8_t>(12, 0)};
  ASSERT_EQ(load(file("e.bmp", makeBmp(b))), 0);
  app.ui().setChecked("optRGB(0)", true);
  std::vector<int> out(20, -1);
  app.encodeLogo(1, out);
  EXPECT_EQ(out[0], 185);
  EXPECT_EQ(out[1], 0);  // transparent with T = 255
  EXPECT_EQ(out[2], 128);
  EXPECT_EQ(out[4], 128);
  EXPECT_EQ(out[8], -1);  // beyond the picture: untouched
  EXPECT_EQ(app.ui().get("ProgressBar1").value, 5);
  app.transparentValue = 0;
  app.encodeLogo(1, out);
  EXPECT_EQ(out[1], 191);
  EXPECT_EQ(out[2], 0);
  // Neither format chosen: nothing written.
  app.ui().setChecked("optRGB(0)", false);
  std::vector<int> none(8, 0);
  app.encodeLogo(1, none);
  EXPECT_EQ(none, std::vector<int>(8, 0));
  EXPECT_FALSE(errorShown());
}

TEST_F(ImageOps, EncodeYCbCrLetsTheEventLoopRunPerRow) {
  ASSERT_EQ(load(file("y.bmp", plainBmp(8, 4, 24))), 0);
  app.ui().setChecked("optRGB(1)", true);
  const int before = h.loop.yields;
  std::vector<int> out(32, 0);
  app.encodeLogo(1, out);
  EXPECT_EQ(h.loop.yields - before, 4);
  EXPECT_EQ(out[0], 8);  // black: brightness 0, neutral colour
}

// The rows let pending events run without waiting for new ones (a wait of the window's event
// loop per row made the largest logo's encoding take seconds).
TEST_F(ImageOps, EncodeRunsPendingEventsWithoutWaiting) {
  ASSERT_EQ(load(file("y.bmp", plainBmp(8, 4, 24))), 0);
  app.ui().setChecked("optRGB(1)", true);
  const int before = h.loop.pendingRuns;
  std::vector<int> out(32, 0);
  app.encodeLogo(1, out);
  EXPECT_EQ(h.loop.pendingRuns - before, 4);
}

TEST_F(ImageOps, EncodeReportsAMissingOrChangedFile) {
  const std::string path = file("c.bmp", plainBmp(8, 2, 24));
  ASSERT_EQ(load(path), 0);
  app.ui().setChecked("optRGB(0)", true);
  writeFile(path, plainBmp(16, 2, 24));  // changed behind the program's back
  std::vector<int> out(64, 0);
  app.encodeLogo(1, out);
  EXPECT_EQ(errorTitle(), "FetchLogo");
  EXPECT_NE(errorText().find("changed"), std::string::npos);
  EXPECT_EQ(out, std::vector<int>(64, 0));
  app.dismissError();
  writeFile(path, plainBmp(724, 2, 24));  // beyond the largest picture: not read at all
  app.encodeLogo(1, out);
  EXPECT_NE(errorText().find("Max Width=720 Wide"), std::string::npos);
  app.dismissError();
  writeFile(path, plainBmp(8, 2, 24).substr(0, 40));
  app.encodeLogo(1, out);
  EXPECT_EQ(errorTitle(), "FetchLogo");
  app.dismissError();
  std::filesystem::remove(path);
  app.encodeLogo(1, out);
  EXPECT_EQ(errorTitle(), "FetchLogo");
  app.dismissError();
  app.encodeLogo(99, out);
  EXPECT_EQ(errorTitle(), "FetchLogo");
  EXPECT_EQ(out, std::vector<int>(64, 0));
}

TEST_F(ImageOps, UploadNeedsALogoGenerator) {
  app.sxModel = 1;
  app.upLoadLogoClick();
  EXPECT_EQ(errorTitle(), "SX-1: No Can Do");
  EXPECT_EQ(errorText(), "SX-1 Cannot upload logos to this program");
  EXPECT_FALSE(app.session().readBackPending());
  app.dismissError();
  app.sxModel = 4;
  app.upLoadLogoClick();
  EXPECT_TRUE(app.session().readBackPending());
  EXPECT_EQ(app.session().polls(), 500);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Waiting for Reply");
}

TEST_F(ImageOps, MonochromeReadBackIsMergedStoredAndSaved) {
  app.sxModel = 4;
  app.selectedSlot = 7;
  std::string s = "xxSD";
  for (int k = 0; k < 2048; ++k) s.push_back(static_cast<char>(k % 256));
  const std::string out = h.dir + "/up.bmp";
  writeFile(out, std::string(10000, 'q'));
  h.dialogs.fileNames = {" " + out + " "};
  app.session().awaitReadBack(0);
  app.savePicture(s);
  EXPECT_FALSE(app.session().readBackPending());
  EXPECT_EQ(app.selectedSlot, 4);
  EXPECT_EQ(app.slotImage[4][62 * 32], 255);
  EXPECT_EQ(app.slotImage[4][63 * 32], 255);
  EXPECT_EQ(app.slotImage[4][62 * 32 + 1], 254);
  EXPECT_FALSE(errorShown());
  const std::string written = readFileBytes(out);
  ASSERT_EQ(written.size(), 2110u);  // no tail of the older, longer file
  EXPECT_EQ(static_cast<uint8_t>(written[62 + 62 * 32 + 1]), 1);  // inverted twice
  EXPECT_EQ(app.slotFile[0], out);
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
}

TEST_F(ImageOps, ColourReadBackKeepsBytes) {
  app.sxModel = 1;
  app.colorNode = true;
  std::string s = "SC";
  for (int k = 0; k < 8193; ++k) s.push_back(static_cast<char>(k % 251));
  h.dialogs.fileNames = {h.dir + "/colour.bmp"};
  app.savePicture(s);
  EXPECT_EQ(app.slotImage[1][62 * 128 + 3], 3);
  EXPECT_EQ(app.slotImage[1][63 * 128], 4096 % 251);
  EXPECT_EQ(readFileBytes(h.dir + "/colour.bmp").size(), 54u + 64u + 8192u);
}

TEST_F(ImageOps, ShortOrUnmarkedStreamsChangeNothing) {
  app.sxModel = 4;
  app.selectedSlot = 3;
  const std::vector<uint8_t> before = app.slotImage[3];
  app.savePicture("SD" + std::string(2048, 'a'));  // 2050 characters: too short
  app.savePicture(std::string(3000, 'a'));         // no marker
  EXPECT_EQ(app.slotImage[3], before);
  EXPECT_FALSE(errorShown());
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  // One character more is looked at.
  h.dialogs.fileNames = {""};
  app.savePicture("SD" + std::string(2049, 'a'));
  EXPECT_EQ(app.slotImage[3][0], 'a' ^ 255);
}

TEST_F(ImageOps, StreamEndingEarlyReportsEachMissingByte) {
  app.sxModel = 4;
  app.selectedSlot = 2;
  std::string s = std::string(19, 'z') + "SD";
  for (int k = 0; s.size() < 2060; ++k) s.push_back(static_cast<char>(k % 256));
  h.dialogs.fileNames = {""};  // save dialog cancelled
  app.savePicture(s);
  EXPECT_EQ(errorTitle(), "Save_Picture");
  size_t reports = 1;
  for (size_t at = errorText().find("\r\n"); at != std::string::npos;
       at = errorText().find("\r\n", at + 2)) {
    ++reports;
  }
  EXPECT_EQ(reports, 9u);
  EXPECT_EQ(app.slotImage[2][1 * 32 + 31], 255);  // missing: 0, inverted
  EXPECT_EQ(app.slotImage[2][1 * 32 + 22], static_cast<uint8_t>((2038 % 256) ^ 255));
}

TEST_F(ImageOps, WriterWithoutANameWritesNothing) {
  app.writeLogoBitmap("");
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(h.dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 0);
  // A folder that does not exist: reported, nothing left behind.
  app.writeLogoBitmap(h.dir + "/no/such/x.bmp");
  EXPECT_EQ(errorTitle(), "mnuSaveLogoDisk");
  EXPECT_FALSE(std::filesystem::exists(h.dir + "/no"));
}

TEST_F(ImageOps, AllWhiteMonochromeStoreGivesAnAllBlackFile) {
  app.selectedSlot = 1;
  std::fill(app.slotImage[1].begin(), app.slotImage[1].end(), 255);
  const std::string out = h.dir + "/black.bmp";
  app.writeLogoBitmap(out);
  const std::string f = readFileBytes(out);
  ASSERT_EQ(f.size(), 2110u);
  EXPECT_EQ(f.substr(62), std::string(2048, '\0'));
}
