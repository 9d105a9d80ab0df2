// The video-controller data: field reading, the file format, defaults and their fall-back,
// case-blind file names, the setup block and the image-control commands.
#include "transfer/video_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;
namespace fs = std::filesystem;

namespace {

std::string lines(int count, const std::string& value = "7") {
  std::string s;
  for (int k = 0; k < count; ++k) s += value + "\r\n";
  return s;
}

// Writes the four files of a consistent set: register files of 20 lines, image file of 16.
void writeAllFiles(const std::string& dir, int imageLines = 16) {
  writeFile(dir + "/Images/Video-NTSBData.dat", lines(20, "1"));
  writeFile(dir + "/Images/Video-PALBData.dat", lines(20, "2"));
  writeFile(dir + "/Images/Video-PALMData.dat", lines(20, "3"));
  writeFile(dir + "/Images/Video-ImageData.dat", lines(imageLines, "9"));
}

// Start-up behaviour: read, and fall back to the defaults when anything is wrong.
void startUpRead(App& app) {
  if (!app.readVideoData()) app.writeDefaultVideoData();
}

}  // namespace

// ---------------- Field reader ----------------

TEST(VideoFieldReader, CommaSplitsALineIntoTwoEntries) {
  auto v = video::readValues("4,0\r\n7\r\n", 3, "f");
  EXPECT_EQ(v, (std::vector<int32_t>{4, 0, 7}));
}

TEST(VideoFieldReader, TextAfterTheNumberIsIgnored) {
  auto v = video::readValues("31 word\r\n  12 note, 5\r\n", 3, "f");
  EXPECT_EQ(v, (std::vector<int32_t>{31, 12, 5}));
}

TEST(VideoFieldReader, HexadecimalAndOctalForms) {
  auto v = video::readValues("&H1F\r\n&o17\r\n&hff\r\n", 3, "f");
  EXPECT_EQ(v, (std::vector<int32_t>{31, 15, 255}));
}

TEST(VideoFieldReader, FractionsRoundHalvesToEven) {
  auto v = video::readValues("4.5\r\n5.5\r\n4.51\r\n-2.5\r\n1.2e2\r\n", 5, "f");
  EXPECT_EQ(v, (std::vector<int32_t>{4, 6, 5, -2, 120}));
}

TEST(VideoFieldReader, QuotesLeadingSpacesAndEmptyFields) {
  auto fields = video::splitFields("  \"12\" tail,  3\r\n\r\nabc\n4");
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0], "12");
  EXPECT_EQ(fields[1], "3");
  EXPECT_EQ(fields[2], "");
  EXPECT_EQ(fields[3], "abc");
  EXPECT_EQ(fields[4], "4");
  auto v = video::readValues("  \"12\" tail,  3\r\n\r\nabc\n4", 5, "f");
  EXPECT_EQ(v, (std::vector<int32_t>{12, 3, 0, 0, 4}));
}

TEST(VideoFieldReader, TooFewFieldsFail) {
  EXPECT_THROW(video::readValues(lines(19), 20, "f"), video::DataError);
  EXPECT_NO_THROW(video::readValues(lines(20), 20, "f"));
  // The last line break does not make another field; a trailing comma does.
  EXPECT_EQ(video::splitFields("1\r\n2\r\n").size(), 2u);
  EXPECT_EQ(video::splitFields("1,\r\n").size(), 2u);
}

TEST(VideoFieldReader, ValueBeyondThirtyTwoBitsFails) {
  EXPECT_EQ(video::fieldValue("2147483647"), 2147483647);
  EXPECT_EQ(video::fieldValue("-2147483648"), -2147483647 - 1);
  EXPECT_THROW(video::fieldValue("2147483648"), video::DataError);
  EXPECT_THROW(video::fieldValue("-1e12"), video::DataError);
}

// ---------------- Writer ----------------

TEST(VideoWriter, FourCharacterLinesKeepTheLastFour) {
  int table[20] = {12345, -1, 4, 124, 255, 0, -12345};
  std::string text = video::formatValues(table);
  EXPECT_EQ(text.substr(0, 36), "2345\r\n  -1\r\n   4\r\n 124\r\n 255\r\n   0\r\n");
  EXPECT_EQ(text.substr(36, 6), "2345\r\n");
  EXPECT_EQ(text.size(), 20u * 6u);
}

TEST(VideoWriter, ImageFileGetsTwentyLinesAndReadsBack) {
  Harness h;
  App& app = *h.app;
  for (int k = 0; k < 21; ++k) app.imageParams[k] = k + 100;
  app.writeVideoDataFile("Video-ImageData", app.imageParams.data());
  std::string text = readFileBytes(h.dir + "/Images/Video-ImageData.dat");
  EXPECT_EQ(text.size(), 120u);  // entry 20 is not written
  EXPECT_EQ(text.substr(0, 6), " 100\r\n");
  EXPECT_EQ(text.substr(114), " 119\r\n");
}

TEST(VideoWriter, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  Harness h;
  const std::string path = h.dir + "/Images/Video-ImageData.dat";
  writeFile(path, "old");
  // A directory where the temporary file would be renamed over: the rename fails.
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_THROW(video::replaceFile(path, "new"), std::exception);
  EXPECT_TRUE(fs::is_directory(path));
  int entries = 0;
  for (auto& e : fs::directory_iterator(h.dir + "/Images")) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  // A missing folder is a failure, not a crash.
  EXPECT_THROW(video::replaceFile(h.dir + "/nowhere/x.dat", "new"), std::exception);
}

// ---------------- File names ----------------

TEST(VideoFileNames, MatchedWithoutRegardToCase) {
  Harness h;
  writeFile(h.dir + "/Images/VIDEO-ntsbDATA.DAT", "x");
  EXPECT_EQ(video::findFile(h.dir + "/Images", "Video-NTSBdata.dat"),
            h.dir + "/Images/VIDEO-ntsbDATA.DAT");
  // Not present: the name as given.
  EXPECT_EQ(video::findFile(h.dir + "/Images", "Video-PALBData.dat"),
            h.dir + "/Images/Video-PALBData.dat");
}

TEST(VideoFileNames, WriterReplacesTheFileWhateverItsCase) {
  Harness h;
  App& app = *h.app;
  writeFile(h.dir + "/Images/video-imagedata.DAT", lines(16));
  app.writeVideoDataFile("Video-ImageData", app.imageParams.data());
  EXPECT_FALSE(fs::exists(h.dir + "/Images/Video-ImageData.dat"));
  EXPECT_EQ(readFileBytes(h.dir + "/Images/video-imagedata.DAT").size(), 120u);
}

// ---------------- Reading at start-up, defaults ----------------

TEST(VideoStartUp, SixteenLineImageFileReads) {
  Harness h;
  App& app = *h.app;
  writeAllFiles(h.dir, 16);
  ASSERT_TRUE(app.readVideoData());
  EXPECT_EQ(app.ntscTable[19], 1);
  EXPECT_EQ(app.palbTable[0], 2);
  EXPECT_EQ(app.palmTable[5], 3);
  EXPECT_EQ(app.imageParams[15], 9);
  EXPECT_EQ(app.imageParams[16], 0);
  EXPECT_EQ(app.ui().text("lblImageSettings"),
            "Image Parameters: 09 09 09 09 09 09 09 09 09 09 09 09 09 09 09 09");
}

TEST(VideoStartUp, NineteenLineRegisterFileFallsBackToDefaults) {
  Harness h;
  App& app = *h.app;
  writeAllFiles(h.dir);
  writeFile(h.dir + "/Images/Video-PALBData.dat", lines(19, "2"));
  EXPECT_FALSE(app.readVideoData());
  startUpRead(app);
  EXPECT_EQ(app.ntscTable, video::defaultRegisters(video::Table::Ntsc));
  EXPECT_EQ(app.palbTable[2], 203);
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-PALBData.dat").size(), 120u);
}

TEST(VideoStartUp, DeletedFileRewritesAllFour) {
  Harness h;
  App& app = *h.app;
  writeAllFiles(h.dir);
  fs::remove(h.dir + "/Images/Video-PALMData.dat");
  startUpRead(app);
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-NTSBData.dat"),
            "   4\r\n   0\r\n  31\r\n 124\r\n 240\r\n  33\r\n   0\r\n   8\r\n   0\r\n   0\r\n"
            "   0\r\n   0\r\n   0\r\n 128\r\n   0\r\n   0\r\n   0\r\n   0\r\n   0\r\n   0\r\n");
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-PALBData.dat").substr(0, 18),
            "   1\r\n   0\r\n 203\r\n");
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-PALMData.dat").substr(0, 18),
            "   6\r\n   0\r\n 163\r\n");
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-ImageData.dat").substr(0, 12), "   0\r\n 115\r\n");
}

TEST(VideoStartUp, DefaultsReadBackShowTheKnownLabel) {
  Harness h;
  App& app = *h.app;
  startUpRead(app);  // nothing there: defaults written
  App fresh(*h.platform);
  ASSERT_TRUE(fresh.readVideoData());
  EXPECT_EQ(fresh.ui().text("lblImageSettings"),
            "Image Parameters: 00 73 00 E2 00 20 40 00 00 E5 01 63 01 06 04 00");
  EXPECT_EQ(fresh.imageParams, app.imageParams);
}

TEST(VideoStartUp, ImageDefaultsFollowTheBitmapSize) {
  auto p = video::defaultImageParams(720, 480);
  EXPECT_EQ(p[5], 240);
  EXPECT_EQ(p[6], 180);
  p = video::defaultImageParams(250, 61);  // 30.5 -> 30, 62.5 -> 62
  EXPECT_EQ(p[5], 30);
  EXPECT_EQ(p[6], 62);
}

TEST(VideoStartUp, MissingImagesFolderKeepsDefaultsInMemory) {
  Harness h;
  App& app = *h.app;
  fs::remove_all(h.dir + "/Images");
  startUpRead(app);
  EXPECT_EQ(app.imageParams[1], 115);
  EXPECT_EQ(app.palmTable[3], 239);
  EXPECT_FALSE(fs::exists(h.dir + "/Images"));
}

// ---------------- Setup block ----------------

TEST(VideoSetupBlock, SizesAndFixedEntries) {
  video::SetupBlock block{};
  block[40] = 77;
  video::ImageParams params{};
  params[1] = 11, params[2] = 22, params[3] = 33, params[4] = 44;
  video::fillSetupBlock(block, 256, 64, params);
  EXPECT_EQ((std::vector<int>(block.begin(), block.begin() + 16)),
            (std::vector<int>{85, 170, 1, 0, 11, 22, 33, 44, 64, 0, 32, 0, 0, 0, 0, 0}));
  EXPECT_EQ((std::vector<int>(block.begin() + 16, block.begin() + 32)),
            (std::vector<int>{4, 90, 2, 31, 3, 124, 4, 240, 5, 33, 7, 202, 7, 74, 255, 255}));
  EXPECT_EQ(block[40], 77);
  video::fillSetupBlock(block, 720, 480, params);
  EXPECT_EQ(block[8], 180);
  EXPECT_EQ(block[9], 0);
  EXPECT_EQ(block[10], 240);
  EXPECT_EQ(block[11], 0);
  video::fillSetupBlock(block, 2048, 1000, params);  // 512 -> 0, 2; 500 -> 244, 1
  EXPECT_EQ(block[8], 0);
  EXPECT_EQ(block[9], 2);
  EXPECT_EQ(block[10], 244);
  EXPECT_EQ(block[11], 1);
}

TEST(VideoSetupBlock, BuildNeedsAnOpenPort) {
  Harness h;
  App& app = *h.app;
  app.portValid = false;
  app.buildSetupBlock();
  EXPECT_EQ(app.setupBlock[0], 0);
  h.openPort();
  h.port.close();
  app.buildSetupBlock();
  EXPECT_EQ(app.setupBlock[0], 0);
  EXPECT_EQ(app.ui().text("lblErrTxt"), "No Valid COM Port Selected");
  EXPECT_EQ(app.ui().text("frameError"), "Communication Error!");
  EXPECT_EQ(h.dialogs.beeps, 2);
}

TEST(VideoSetupBlock, MenuCommandBuildsAndSendsNothing) {
  Harness h;
  App& app = *h.app;
  h.openPort();
  app.imageWidth = 720;
  app.imageHeight = 480;
  h.dialogs.confirmAnswers = {false};
  app.sendVideoSetupClick();
  EXPECT_EQ(app.setupBlock[0], 0);
  app.sendVideoSetupClick();
  EXPECT_EQ(app.setupBlock[0], 85);
  EXPECT_EQ(app.setupBlock[8], 180);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(app.ui().busyCursor());
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_EQ(app.ui().text("lblCopyright"), "Downloading Video Controller Data");
}

// ---------------- Commands and options ----------------

TEST(VideoCommands, SaveCurrentSettingsSendsThePacketAndWritesTheFile) {
  Harness h;
  App& app = *h.app;
  h.openPort();
  app.imageParams[1] = 200;
  h.dialogs.confirmAnswers = {false};
  app.saveCurrentSettingsClick();
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(fs::exists(h.dir + "/Images/Video-ImageData.dat"));
  app.saveCurrentSettingsClick();
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], std::string(1, '\x80'));
  EXPECT_EQ(static_cast<unsigned char>(h.port.writes[1][5]), 200);
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-ImageData.dat").substr(6, 6), " 200\r\n");
  EXPECT_EQ(h.dialogs.confirmTitles.back(), "Are you Sure?");
}

TEST(VideoCommands, SaveCurrentSettingsReportsAFailedWrite) {
  Harness h;
  App& app = *h.app;
  h.openPort();
  fs::remove_all(h.dir + "/Images");
  app.saveCurrentSettingsClick();
  EXPECT_EQ(h.port.writes.size(), 2u);  // the send is not undone
  EXPECT_EQ(app.ui().text("frameError"), "mnuSaveCurrentSettings_Click");
  EXPECT_NE(app.ui().text("lblErrTxt").find("Images"), std::string::npos);
}

TEST(VideoCommands, VideoModeAndDataTypeOptions) {
  Harness h;
  App& app = *h.app;
  app.optNtscClick(1);
  EXPECT_EQ(h.settings.get("OPTNTSC"), "1");
  EXPECT_TRUE(app.ui().checked("optNTSC(1)"));
  app.ui().setText("lblVideoSettings", "other");
  app.optNtscClick(0);
  EXPECT_EQ(h.settings.get("OPTNTSC"), "0");
  EXPECT_EQ(app.ui().text("lblVideoSettings"), "Video ADV7171:");
  EXPECT_FALSE(app.ui().checked("optNTSC(1)"));
  app.optRgbClick(0);
  EXPECT_EQ(h.settings.get("optRGB"), "True");
  app.optRgbClick(1);
  EXPECT_EQ(h.settings.get("optRGB"), "False");
  EXPECT_TRUE(app.ui().checked("optRGB(1)"));
  EXPECT_FALSE(app.ui().checked("optRGB(0)"));
}

TEST(VideoCommands, EditCommandStartsAnEditorWithoutAShell) {
  Harness h;
  App& app = *h.app;
  writeFile(h.dir + "/Images/video-palbdata.dat", lines(20));
  h.launcher.existing.insert("xdg-open");
  app.editVideoFileClick("Video-PALBData");
  ASSERT_FALSE(h.launcher.started.empty());
  EXPECT_EQ(h.launcher.started.back().first, "xdg-open");
  EXPECT_EQ(h.launcher.started.back().second,
            std::vector<std::string>{h.dir + "/Images/video-palbdata.dat"});
  // Nothing can be started: the operator is told.
  h.launcher.existing.clear();
  app.editVideoFileClick("Video-PALMData");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "No text editor found: set $VISUAL or install one");
}

TEST(VideoCommands, EditorCandidates) {
  auto w = video::editorCandidates("", "", true);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0][0], "Notepad.exe");
  auto l = video::editorCandidates("code -w", "vim", false);
  EXPECT_EQ(l[0], (std::vector<std::string>{"code", "-w"}));
  EXPECT_EQ(l[1][0], "xdg-open");  // vim needs a terminal: left out
}
