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
    app.bench().logos().selected = 1;
    app.session().setLargeMemory(false);
    app.choices().choosePal(false);
  }
  // Writes a bitmap into the test folder and gives its path.
  std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = h.dir + "/" + name;
    writeFile(path, bytes);
    return path;
  }
  int load(std::string path) { return app.logos().readFile(path); }
  std::vector<std::string> recents() {
    const auto& r = app.logos().view().recent;  // all eight entries
    return {r.begin(), r.end()};
  }
};

}  // namespace

TEST_F(ImageOps, SizeRejectionShowsTheMessageAndKeepsTheOldFigures) {
  ASSERT_EQ(load(file("ok.bmp", plainBmp(256, 64, 8))), 0);
  const std::string big = file("big.bmp", plainBmp(256, 256, 1));
  EXPECT_EQ(load(big), 1);
  EXPECT_EQ(h.error(),
            "Read_File-A: Image Max 65280 bytes, Max Width=720W; Max Height=616H\r\n"
            "Width divisible by 4 && height by 2.\r\nActual 256 by 256");
  const auto& logos = app.bench().logos();  // the size read is shown, the byte count stays
  EXPECT_EQ(std::tuple(logos.width, logos.height, logos.imageBytes, logos.file[1]),
            std::tuple(256, 256, 16384, h.dir + "/ok.bmp"));
  EXPECT_EQ(load(file("a.bmp", plainBmp(2, 2, 24))), 1);
  EXPECT_NE(h.error().find("Actual 2 by 2"), std::string::npos);
  app.session().setLargeMemory(true);
  EXPECT_EQ(load(big), 0);
  EXPECT_EQ(std::tuple(logos.imageBytes, app.bench().video().params()[5],
                       app.bench().video().params()[6]),
            std::tuple(8192, 128, 64));
}

TEST_F(ImageOps, RecentFilesMoveToTheFrontAndImportTakesTheNodeSettings) {
  std::vector<std::string> p;
  for (int i = 0; i < 9; ++i)
    p.push_back(file("r" + std::to_string(i) + ".bmp", plainBmp(8, 2, 24)));
  for (size_t i = 0; i < 8; ++i) ASSERT_EQ(load(p[i]), 0);
  EXPECT_EQ(recents(), (std::vector<std::string>{p[7], p[6], p[5], p[4], p[3], p[2], p[1], p[0]}));
  EXPECT_EQ(h.settings.get("FileSelect8"), p[0]);
  // Entry 3 moves to the front, entries 0 to 2 shift down, 4 to 7 stay.
  ASSERT_EQ(load(p[4]), 0);
  EXPECT_EQ(recents(), (std::vector<std::string>{p[4], p[7], p[6], p[5], p[3], p[2], p[1], p[0]}));
  EXPECT_EQ(std::tuple(h.settings.get("FileSelect1"), h.settings.get("FileSelect4")),
            std::tuple(p[4], p[5]));
  // The file already at the front changes nothing.
  const int writes = h.settings.writes;
  ASSERT_EQ(load(p[4]), 0);
  EXPECT_EQ(h.settings.writes, writes + 1);  // only BMPpath1
  // A new file when all eight are filled drops the last.
  ASSERT_EQ(load(p[8]), 0);
  EXPECT_EQ(recents(), (std::vector<std::string>{p[8], p[4], p[7], p[6], p[5], p[3], p[2], p[1]}));
  // Loads made by the program itself leave the list alone.
  app.dispatcher().setGuard(true);
  ASSERT_EQ(load(p[0]), 0);
  EXPECT_EQ(recents()[0], p[8]);
  // "Import Picture" takes the node's settings from the logo area and asks for the picture, and
  // about a bitmap that exists, through the window's dialogs.
  // clang-format off
  struct Case { std::optional<PixelFormat> format; int transparent; bool large; PixelFormat taken; } cases[] = {
      {std::nullopt, 255, false, PixelFormat::YCbCr}, {PixelFormat::Rgb, 7, true, PixelFormat::Rgb}};
  // clang-format on
  for (const Case& c : cases) {
    if (c.format) app.choices().chooseFormat(*c.format);
    app.choices().chooseTransparent(c.transparent);
    app.session().setLargeMemory(c.large);
    const PictureImport in = app.logos().pictureImport();
    EXPECT_EQ(std::tuple(in.format, in.transparent, in.largeMemory),
              std::tuple(c.taken, c.transparent, c.large));
  }
  h.dialogs.fileNames = {"/pictures/sky.png", "/x/other.bmp"};
  h.dialogs.confirmAnswers = {false};
  EXPECT_EQ(app.logos().askPicture("Pictures|*.png"), "/pictures/sky.png");
  const PictureImport in = app.logos().pictureImport();
  EXPECT_FALSE(in.mayReplace("/x/sky.bmp"));
  EXPECT_EQ(h.dialogs.confirmTitles.back() + ": " + h.dialogs.confirmTexts.back(),
            "Import Picture: /x/sky.bmp already exists.\r\nReplace it?");
  EXPECT_EQ(in.otherName("/x/sky.bmp"), "/x/other.bmp");
}

TEST_F(ImageOps, EncodeUsesTheSlotFileFormatAndTransparencyAndReportsAMissingOrChangedFile) {
  BmpPlan b;
  b.rows = {{50, 100, 200, 255, 255, 255, 0, 0, 0, 50, 100, 200}, std::vector<uint8_t>(12, 0)};
  ASSERT_EQ(load(file("e.bmp", makeBmp(b))), 0);
  std::vector<int> out(10, -1);
  app.logos().encodeLogo(1, out);  // no format chosen yet: nothing written
  EXPECT_EQ(out, std::vector<int>(10, -1));
  app.choices().chooseFormat(PixelFormat::Rgb);
  app.logos().encodeLogo(1, out);  // white is transparent with T = 255; beyond: untouched
  EXPECT_EQ(std::tuple(out, app.statusLine().view().progress),
            std::tuple(std::vector<int>{185, 0, 128, 185, 128, 128, 128, 128, -1, -1}, 5.0));
  app.choices().chooseTransparent(0);
  app.logos().encodeLogo(1, out);
  EXPECT_EQ(out, (std::vector<int>{185, 191, 0, 185, 0, 0, 0, 0, -1, -1}));
  EXPECT_FALSE(app.statusLine().view().errorShown);
  // What lies at the path when the slot is encoded ("": nothing) and what the report says.
  // clang-format off
  const struct { int slot; std::string bytes; const char* said; } cases[] = {
      {1, plainBmp(16, 2, 24), "changed"},              // behind the program's back
      {1, plainBmp(724, 2, 24), "Max Width=720 Wide"},  // beyond the largest picture: not read
      {1, plainBmp(8, 2, 24).substr(0, 40), ""}, {1, "", ""}, {99, "", ""}};
  // clang-format on
  out.assign(64, 0);
  for (const auto& c : cases) {
    std::filesystem::remove(h.dir + "/e.bmp");
    if (!c.bytes.empty()) writeFile(h.dir + "/e.bmp", c.bytes);
    app.logos().encodeLogo(c.slot, out);
    EXPECT_TRUE(app.statusLine().view().errorShown && h.error().starts_with("FetchLogo: ") &&
                h.error().find(c.said) != std::string::npos)
        << c.slot << h.error();
    app.statusLine().dismissError();
  }
  EXPECT_EQ(out, std::vector<int>(64, 0));
}
