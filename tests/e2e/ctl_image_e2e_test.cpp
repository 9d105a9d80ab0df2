// osdctl check and encode as a script uses them: exit 0, 1 for refused files (with the reader's
// message), 2 for usage errors; the node values bottom row first.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>

#include "e2e_support.h"
#include "support/bmp_builder.h"

using namespace osd::e2e;
using osd::test::Rgb;

namespace {

std::string bmp24(int w, int h, Rgb bottom = {}, Rgb top = {}) {
  return osd::test::makeBitmap24(w, h, [&](int row, int) { return row == h - 1 ? bottom : top; });
}

struct ImageCase {
  std::string args;  // words; "@name" is name.bmp in the test folder, "@name.ext" name.ext
  int rc;
  std::optional<std::string> out, err;  // the whole standard output and error when given
};

}  // namespace

TEST(CtlImage, CheckAndEncodeExitStatusAndOutput) {
  TempDir t;
  const std::string good = bmp24(16, 8);
  std::string hostile = good;  // huge width and the most negative height
  osd::test::put(hostile, 18, 0x7FFFFFFF, 4);
  osd::test::put(hostile, 22, 0x80000000u, 4);
  // px: the bottom row (50, 100, 200) gives 185 in RGB; the white top row is transparent.
  // clang-format off
  const std::map<std::string, std::string> files = {
      {"ok", bmp24(256, 64)}, {"big", bmp24(256, 256)}, {"odd", bmp24(722, 100)},
      {"cut", good.substr(0, good.size() - 5)}, {"zero", ""}, {"junk", std::string(500, '\x7f')},
      {"hostile", hostile}, {"px", bmp24(4, 2, Rgb{200, 100, 50}, Rgb{255, 255, 255})},
      {"white", bmp24(4, 2, Rgb{254, 254, 254}, Rgb{254, 254, 254})}};
  // clang-format on
  for (const auto& [name, bytes] : files) writeBytes(t.path + "/" + name + ".bmp", bytes);
  const std::string sizeRule = "osdctl check: " + t.path +
                               "/big.bmp: Image Max 65280 bytes, Max Width=720W; Max Height=616H / "
                               "Width divisible by 4 && height by 2. / Actual 256 by 256\n";
  // clang-format off
  const std::vector<ImageCase> cases = {
      {"check @ok", 0, {}, {}}, {"check @big --memory 512", 0, {}, {}}, {"check @big --memory 64", 1, "", sizeRule},
      {"check @odd --memory 512", 1, "", {}}, {"encode @hostile", 1, "", {}},
      // cut short, empty, garbage, missing: refused, no output
      {"check @cut", 1, "", {}}, {"encode @zero", 1, "", {}}, {"check @junk", 1, "", {}},
      {"encode @none", 1, "", "osdctl encode: " + t.path + "/none.bmp: no such file\n"},
      {"check @.", 1, "", "osdctl check: " + t.path + "/.: is a folder\n"},
      {"encode @px --format rgb", 0, std::string("\xB9\xB9\xB9\xB9\0\0\0\0", 8), ""},
      {"encode @px --format rgb --transparent 0 -o @v.bin", 0, "", ""},
      {"encode @white", 0, "\xD8\xD8\xD8\xD8\xD8\xD8\xD8\xD8", ""},  // YCbCr: 216
      {"encode @px --format cmyk", 2, {}, {}}, {"encode @px --transparent 256", 2, {}, {}},
      {"encode @px --bogus", 2, {}, {}}};
  // clang-format on
  for (const ImageCase& c : cases) {
    std::vector<std::string> words;
    std::istringstream in(c.args);
    for (std::string w; in >> w;)
      words.push_back(w[0] != '@' ? w
                                  : t.path + "/" + w.substr(1) +
                                        (w.find('.') == std::string::npos ? ".bmp" : ""));
    const ProgramRun r = runProgram(binDir() + "/osdctl", words);
    EXPECT_EQ(r.rc, c.rc) << c.args << ": " << r.err;
    EXPECT_EQ(r.out, c.out.value_or(r.out)) << c.args;
    EXPECT_EQ(r.err, c.err.value_or(r.err)) << c.args;
  }
  EXPECT_EQ(slurp(t.path + "/v.bin"), "\xB9\xB9\xB9\xB9\xBF\xBF\xBF\xBF");
}
