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

// The four files of a consistent set: register files of 20 lines, image file of 16.
void writeAllFiles(const std::string& dir) {
  for (const auto& [name, count, value] :
       {std::tuple{"NTSB", 20, "1"}, {"PALB", 20, "2"}, {"PALM", 20, "3"}, {"Image", 16, "9"}})
    writeFile(dir + "/Images/Video-" + name + "Data.dat", lines(count, value));
}

}  // namespace

TEST(VideoFieldReader, FieldsAndNumbers) {
  // clang-format off
  const struct { const char* text; int count; std::vector<int32_t> values; } cases[] = {  // values {}: fails
      {"4,0\r\n7\r\n", 3, {4, 0, 7}}, {"31 word\r\n  12 note, 5\r\n", 3, {31, 12, 5}},
      {"&H1F\r\n&o17\r\n&hff\r\n", 3, {31, 15, 255}},
      {"4.5\r\n5.5\r\n4.51\r\n-2.5\r\n1.2e2\r\n", 5, {4, 6, 5, -2, 120}},
      {"  \"12\" tail,  3\r\n\r\nabc\n4", 5, {12, 3, 0, 0, 4}},
      // A quote left open ends at the line's end; a comma inside quotes is no separator.
      {"\"100\r\n7", 2, {100, 7}}, {"\"100", 1, {100}}, {"\"1,5\",3\r\n\"\",9", 4, {1, 3, 0, 9}},
      {"2147483647,-2147483648", 2, {2147483647, -2147483647 - 1}},
      {"1\r\n2\r\n", 3, {}},  // the last line break makes no field
      {"1,\r\n", 2, {1, 0}},  // a trailing comma does
      {"2147483648", 1, {}}, {"-1e12", 1, {}}};
  // clang-format on
  for (const auto& c : cases) {
    if (c.values.empty()) {
      EXPECT_THROW(video::readValues(c.text, c.count, "f"), video::DataError) << c.text;
    } else {
      EXPECT_EQ(video::readValues(c.text, c.count, "f"), c.values) << c.text;
    }
  }
}

TEST(VideoWriter, FourCharacterLinesInTheFileWhateverItsCase) {
  int table[20] = {12345, -1, 4, 124, 255, 0, -12345};
  const std::string text = video::formatValues(table);
  EXPECT_EQ(text.substr(0, 42), "2345\r\n  -1\r\n   4\r\n 124\r\n 255\r\n   0\r\n2345\r\n");
  EXPECT_EQ(text.size(), 120u);
  Harness h;
  writeFile(h.dir + "/Images/video-imagedata.DAT", lines(16));
  for (int k = 0; k < 21; ++k) h.app->bench().video().params()[k] = k + 100;
  h.app->bench().video().writeTable("Video-ImageData", h.app->bench().video().params().data());
  // The file keeps its own name (on Windows both names stand for the same file).
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(h.dir + "/Images"))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"video-imagedata.DAT"});
  const std::string written = readFileBytes(h.dir + "/Images/video-imagedata.DAT");
  EXPECT_TRUE(written.size() == 120u && written.ends_with(" 119\r\n"));  // entry 20 is not written
}

TEST(VideoStartUp, ReadOrFallBackToDefaultsForAllFour) {
  // file: replaced in a consistent set, "" deletes PALM
  // clang-format off
  const struct { const char* name; const char* file; std::string content; bool read; } cases[] = {
      {"image file of 16 lines", "Video-ImageData.dat", lines(16, "9"), true},
      {"register file of 19 lines", "Video-PALBData.dat", lines(19, "2"), false}, {"deleted file", "", "", false}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    writeAllFiles(h.dir);
    if (*c.file) writeFile(h.dir + "/Images/" + c.file, c.content);
    if (!*c.file) fs::remove(h.dir + "/Images/Video-PALMData.dat");
    if (!h.app->bench().video().read()) h.app->bench().video().useDefaults(256, 64);
    h.app->video().showParams();
    EXPECT_EQ(h.app->bench().video().ntsc()[0], c.read ? 1 : 4);
    const std::string palm = readFileBytes(h.dir + "/Images/Video-PALMData.dat");
    EXPECT_EQ(palm.substr(0, 6), c.read ? "3\r\n3\r\n" : "   6\r\n");
    EXPECT_TRUE(c.read || palm.substr(78, 6) == " 128\r\n");  // entry 13
    EXPECT_EQ(h.app->video().view().imageSettings,
              c.read ? "Image Parameters: 09 09 09 09 09 09 09 09 09 09 09 09 09 09 09 09"
                     : "Image Parameters: 00 73 00 E2 00 20 40 00 00 E5 01 63 01 06 04 00");
  }
}

// An operator's file that cannot be read is kept beside itself before the defaults replace it,
// and the operator is told once.
TEST(VideoStartUp, AnUnreadableFileIsKeptAsBadAndReported) {
  Harness h;
  writeAllFiles(h.dir);
  const std::string edited = lines(15, "9") + "99999999999\r\n";  // a value too large
  writeFile(h.dir + "/Images/Video-ImageData.dat", edited);
  h.app->formSetUp();
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-ImageData.dat.bad"), edited);
  EXPECT_EQ(readFileBytes(h.dir + "/Images/Video-ImageData.dat").substr(0, 12), "   0\r\n 115\r\n");
  EXPECT_FALSE(fs::exists(h.dir + "/Images/Video-PALMData.dat.bad"));
  EXPECT_NE(h.app->statusLine().view().errorText.find("kept as Video-ImageData.dat.bad"),
            std::string::npos);
  Harness again;  // a missing file holds no edit: nothing kept, nothing said
  again.app->formSetUp();
  EXPECT_EQ(again.app->statusLine().view().errorText.find(".bad"), std::string::npos);
}

TEST(VideoSetupBlock, SizesAndFixedEntries) {
  const struct {
    int w, h;
    std::vector<int> sizeBytes;  // entries 8 to 11
  } cases[] = {
      {256, 64, {64, 0, 32, 0}}, {720, 480, {180, 0, 240, 0}}, {2048, 1000, {0, 2, 244, 1}}};
  video::ImageParams params{};
  params[1] = 11, params[2] = 22, params[3] = 33, params[4] = 44;
  for (const auto& c : cases) {
    video::SetupBlock block{};
    block[40] = 77;
    video::fillSetupBlock(block, c.w, c.h, params);
    EXPECT_EQ(std::vector<int>(block.begin() + 8, block.begin() + 12), c.sizeBytes) << c.w;
    EXPECT_EQ(std::vector<int>(block.begin(), block.begin() + 8),
              (std::vector<int>{85, 170, 1, 0, 11, 22, 33, 44}));
    EXPECT_EQ(std::vector<int>(block.begin() + 16, block.begin() + 32),
              (std::vector<int>{4, 90, 2, 31, 3, 124, 4, 240, 5, 33, 7, 202, 7, 74, 255, 255}));
    EXPECT_EQ(block[40], 77);
  }
}