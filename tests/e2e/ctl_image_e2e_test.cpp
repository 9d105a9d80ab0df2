// osdctl check and encode as a script uses them: figures and exit 0 for a good bitmap, the
// reader's message and exit 1 for refused files (cut short, empty, garbage, too large),
// exit 2 for usage errors, and the node values bottom row first.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace fs = std::filesystem;
using namespace osd::e2e;

namespace {

void spit(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void put(std::string& s, size_t at, uint32_t v, int n) {
  for (int k = 0; k < n; ++k) s[at + static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k));
}

// A 24-bit bitmap of w by h pixels; `rows` bottom row first, 3 bytes a pixel.
std::string bmp24(int w, int h, const std::vector<std::string>& rows = {}) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
  std::string s(54 + stride * static_cast<size_t>(h), '\0');
  s[0] = 'B';
  s[1] = 'M';
  put(s, 2, static_cast<uint32_t>(s.size()), 4);
  put(s, 10, 54, 4);
  put(s, 14, 40, 4);
  put(s, 18, static_cast<uint32_t>(w), 4);
  put(s, 22, static_cast<uint32_t>(h), 4);
  put(s, 26, 1, 2);
  put(s, 28, 24, 2);
  for (size_t r = 0; r < rows.size(); ++r) s.replace(54 + r * stride, rows[r].size(), rows[r]);
  return s;
}

struct CtlRun {
  int status = -1;
  std::string out, err;
};

class CtlImage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "osd-ctl-image-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    ASSERT_NE(::mkdtemp(buf.data()), nullptr);
    dir = buf.data();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string file(const std::string& name, const std::string& bytes) {
    spit(dir + "/" + name, bytes);
    return dir + "/" + name;
  }
  // Runs osdctl with `args` (words separated by blanks).
  CtlRun ctl(const std::string& args) {
    std::vector<std::string> words;
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    const ProgramRun r = runProgram(binDir() + "/osdctl", words, dir);
    return {r.rc, r.out, r.err};
  }
  std::string dir;
};

size_t lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace

TEST_F(CtlImage, CheckGivesFiguresForAGoodBitmap) {
  const CtlRun r = ctl("check " + file("ok.bmp", bmp24(256, 64)));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("256 Wide X 64 High"), std::string::npos);
  EXPECT_NE(r.out.find("16384 Pixels"), std::string::npos);
  EXPECT_NE(r.out.find("49152 image bytes"), std::string::npos);
}

TEST_F(CtlImage, CheckAppliesTheMemorySize) {
  const std::string big = file("big.bmp", bmp24(256, 256));
  EXPECT_EQ(ctl("check " + big + " --memory 512").status, 0);
  const CtlRun r = ctl("check " + big + " --memory 64");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Image Max 65280 bytes, Max Width=720W; Max Height=616H / "
            "Width divisible by 4 && height by 2. / Actual 256 by 256\n");
  EXPECT_EQ(ctl("check " + file("odd.bmp", bmp24(722, 100)) + " --memory 512").status, 1);
}

TEST_F(CtlImage, BadFilesGiveOneLineAndExitOne) {
  const std::string good = bmp24(16, 8);
  const std::vector<std::string> bad = {
      file("cut.bmp", good.substr(0, good.size() - 5)), file("head.bmp", good.substr(0, 30)),
      file("zero.bmp", ""), file("junk.bmp", std::string(500, '\x7f')), dir + "/none.bmp"};
  for (const std::string& f : bad) {
    for (const char* command : {"check ", "encode "}) {
      const CtlRun r = ctl(command + f);
      EXPECT_EQ(r.status, 1) << command << f;
      EXPECT_EQ(lines(r.err), 1u) << command << f << ": " << r.err;
      EXPECT_TRUE(r.out.empty());
    }
  }
  // Hostile header: huge width and the most negative height.
  std::string hostile = good;
  put(hostile, 18, 0x7FFFFFFF, 4);
  put(hostile, 22, 0x80000000u, 4);
  EXPECT_EQ(ctl("encode " + file("hostile.bmp", hostile)).status, 1);
}

TEST_F(CtlImage, UsageErrorsExitTwo) {
  const std::string ok = file("ok.bmp", bmp24(4, 2));
  EXPECT_EQ(ctl("check").status, 2);
  EXPECT_EQ(ctl("check " + ok + " --memory 128").status, 2);
  EXPECT_EQ(ctl("encode").status, 2);
  EXPECT_EQ(ctl("encode " + ok + " --format cmyk").status, 2);
  EXPECT_EQ(ctl("encode " + ok + " --transparent 256").status, 2);
  EXPECT_EQ(ctl("encode " + ok + " --transparent").status, 2);
  EXPECT_EQ(ctl("encode " + ok + " --bogus").status, 2);
}

TEST_F(CtlImage, EncodeWritesOneBytePerPixelBottomRowFirst) {
  // Bottom row (50, 100, 200) stored bytes; top row white.
  const std::string ok =
      file("ok.bmp",
           bmp24(4, 2,
                 {std::string("\x32\x64\xC8", 3) + "\x32\x64\xC8" + "\x32\x64\xC8" + "\x32\x64\xC8",
                  std::string(12, '\xFF')}));
  CtlRun r = ctl("encode " + ok + " --format rgb");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string(4, '\xB9') + std::string(4, '\0'));  // 185, transparent white
  r = ctl("encode " + ok + " --format rgb --transparent 0 -o " + dir + "/v.bin");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(slurp(dir + "/v.bin"), std::string(4, '\xB9') + std::string(4, '\xBF'));
  // Default format YCbCr: white 254 gives 216 on every index.
  const std::string white =
      file("w.bmp", bmp24(4, 2, {std::string(12, '\xFE'), std::string(12, '\xFE')}));
  r = ctl("encode " + white);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string(8, '\xD8'));
}
