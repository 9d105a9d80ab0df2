// osdctl download --nodes and osdctl apply against osdsim with several IDs, unpaced.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "support/bmp_builder.h"
#include "support/sim_line.h"
#include "transfer/download_job.h"

using namespace osd;
using namespace osd::e2e;

namespace {

const int64_t k64 = DownloadPlan{256, 64, 64 * 1024}.streamLength();

// osdsim unpaced with RGB nodes, the line recorded in `t` and each node's picture written there.
Sim fleet(const TempDir& t, std::vector<std::string> options) {
  options.insert(options.end(), {"--baud", "0", "--format", "rgb", "--record", t.path + "/rec.bin",
                                 "--image-out", t.path + "/got-%d.bmp"});
  return Sim(options);
}

// osdctl on `node` run to its end, however long (a scan of the whole line takes two minutes),
// its settings and data in `t`.
ProgramRun osdctl(std::vector<std::string> args, const Sim& node, const TempDir& t) {
  args.insert(args.end(), {"--port", node.pty(), "--settings", "s.ini", "--data-dir", "."});
  return runProgram(binDir() + "/osdctl", args, t.path, {}, 400000);
}

// sim: osdsim's --id and --wake; ctl: --nodes and --together; wokenBeforeFirst: just before the
// first "QXW"
// clang-format off
struct FleetCase {
  const char* name; std::vector<std::string> sim, ctl; std::vector<int64_t> streams;
  const char* wokenBeforeFirst; std::vector<int> stored, untouched; std::string out; int rc;
};

const FleetCase kFleetCases[] = {
    {"whole line", {"--id", "3,7"}, {"--nodes", "all"}, {k64}, "SPWK,00", {3, 7}, {}, "3\t64K\tprogrammed\n7\t64K\tprogrammed\n", 0},
    {"together", {"--id", "3,7,26", "--wake", "together"}, {"--nodes", "3,7", "--together"}, {k64}, "SPWK,03WK,07", {3, 7}, {26}, "3\t64K\tprogrammed\n7\t64K\tprogrammed\n", 0},
    {"in turn", {"--id", "3,7,26"}, {"--nodes", "7,3"}, {k64, k64}, "SPWK,07", {3, 7}, {26}, "7\t64K\tprogrammed\n3\t64K\tprogrammed\n", 0},
    // A 512 K node sleeps on the line: the 64 K stream is followed by a quiet spell, and the
    // larger memory keeps nothing of it. (A 512 K stream takes nine minutes of line.)
    {"a larger memory asleep", {"--id", "3,26:512"}, {"--nodes", "3"}, {k64}, "SPWK,03", {3}, {26}, "3\t64K\tprogrammed\n", 0},
    {"a silent node", {"--id", "3,7"}, {"--nodes", "3,9"}, {k64}, "SPWK,03", {3}, {7}, "3\t64K\tprogrammed\n9\t-\tno answer within 3 s; left out\n", 3}};
// clang-format on

// Runs one case: osdsim with the case's nodes, osdctl download with its --nodes.
void runFleetCase(const FleetCase& c) {
  SCOPED_TRACE(c.name);
  const std::string logo = rgbExactLogo(0);
  TempDir t;
  writeBytes(t.path + "/logo.bmp", logo);
  const Sim node = fleet(t, c.sim);
  std::vector<std::string> args = {"download", "logo.bmp", "--format", "rgb", "--no-erase"};
  args.insert(args.end(), c.ctl.begin(), c.ctl.end());
  const ProgramRun run = osdctl(args, node, t);
  EXPECT_EQ(std::pair(run.rc, run.out), std::pair(c.rc, c.out)) << run.err;

  std::string line = slurp(t.path + "/rec.bin");
  if (std::string(c.ctl[1]) == "all") line = line.substr(line.find("SPWK,00") + 7);  // the scan
  EXPECT_EQ(test::streamLengths(line), c.streams);
  const size_t first = line.find("QXW");
  ASSERT_NE(first, std::string::npos);
  EXPECT_TRUE(line.substr(0, first).ends_with(c.wokenBeforeFirst)) << line.substr(0, first);
  EXPECT_EQ(line.substr(line.size() - 7), "SPWK,00");
  for (const int id : c.stored) {
    const std::string got = t.path + "/got-" + std::to_string(id) + ".bmp";
    waitFor([&] { return std::filesystem::exists(got); }, 5000);
    EXPECT_EQ(wrongPixels(got, logo), 0) << "node " << id;
  }
  for (const int id : c.untouched)
    EXPECT_FALSE(std::filesystem::exists(t.path + "/got-" + std::to_string(id) + ".bmp")) << id;
}

// The README's site file as printed, saved as Notepad saves it (a byte order mark, CRLF):
// nodes 3 and 7 share one stream, node 9 has its own.
const std::string kSite =
    "\xEF\xBB\xBF[line]\r\ntogether = yes        ; the nodes stay awake together\r\n"
    "; nodes 3 and 7 share one stream\r\n[node 3]\r\nlogo = a.bmp      ; a BMP\r\n"
    "format = rgb          # optional\r\n[node 7]\r\nlogo=a.bmp\r\nformat=rgb\r\n"
    "[node 9]\r\nlogo = b.bmp\r\nformat = rgb\r\n";

struct SiteLine {
  SiteLine() : node(fleet(t, {"--id", "3,7,9", "--wake", "together"})) {
    writeBytes(t.path + "/a.bmp", rgbExactLogo(0));
    writeBytes(t.path + "/b.bmp", rgbExactLogo(5));
    writeBytes(t.path + "/odd.bmp", test::plainBmp(255, 64, 24));     // the reader refuses it
    writeBytes(t.path + "/huge.bmp", test::plainBmp(1000, 1000, 8));  // too large for any node
    writeBytes(t.path + "/wide.bmp", test::plainBmp(512, 256, 8));    // 512 K nodes only
    writeBytes(t.path + "/text.bmp", "[node 3]\nlogo = a.bmp\n");
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    QImage(64, 32, QImage::Format_RGB32).save(&jpeg, "JPEG");
    writeBytes(t.path + "/cut.jpg", jpeg.data().left(jpeg.data().size() / 2).toStdString());
    std::filesystem::create_directory(t.path + "/sub");
  }
  // "@PATH" runs PATH as the site file.
  ProgramRun apply(const std::string& site, const std::vector<std::string>& more = {}) {
    std::ofstream(t.path + "/rec.bin", std::ios::trunc).flush();  // osdsim appends to it
    std::ofstream(t.path + "/site.ini", std::ios::binary) << site;
    std::vector<std::string> args = {"apply", site[0] == '@' ? site.substr(1) : "site.ini"};
    args.insert(args.end(), more.begin(), more.end());
    return osdctl(args, node, t);
  }
  std::string line() const { return slurp(t.path + "/rec.bin"); }
  TempDir t;
  Sim node;
};

}  // namespace

// Nodes awake together take one stream; a silent node is left out, and the exit status says so.
// (Every download takes the line's own time, about 70 s for a 64 K node.)
TEST(FleetE2E, NodesThatStayAwakeTogetherTakeOneStreamASilentOneIsLeftOutSlow) {
  for (const int i : {1, 4}) runFleetCase(kFleetCases[i]);
}

// The whole line (a scan of 255 IDs first), in turn, a larger memory asleep.
TEST(FleetE2E, EveryNodeAskedForStoresTheLogoInAsFewStreamsAsItsWakeUpsAllowSlow) {
  for (const int i : {0, 2, 3}) runFleetCase(kFleetCases[i]);
}

// A dry run prints the streams in columns and sends nothing; a site file or logo it refuses
// gets the same exit status and the same one line from the dry run and the real run, with the
// file and line, and the real run sends nothing either.
TEST(ApplyE2E, TheDryRunRefusesWhatTheRealRunRefusesAndNeitherSends) {
  SiteLine s;
  ProgramRun run = s.apply(kSite, {"--dry-run"});
  EXPECT_EQ(run.rc, 0) << run.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.out, m,
                               std::regex("1\t3,7\t64K\t(\\d+)\t(\\d+)\n2\t9\t64K\t(\\d+)\t(\\d+)\n"
                                          "total\t2\t(\\d+)\t(\\d+)\n")))
      << run.out;
  const auto n = [&m](int i) { return std::stoll(m[i].str()); };
  EXPECT_GT(n(1), k64);
  EXPECT_EQ(n(5), n(1) + n(3));
  EXPECT_GE(n(6), std::max(n(2), n(4)));
  EXPECT_EQ(s.line(), "");
  // The README's example, as printed, passes.
  std::ifstream readme(OSD_SOURCE_DIR "/README.md");
  std::string text = "[line]\n";
  for (std::string l; std::getline(readme, l) && l != "    [line]";) continue;
  for (std::string l; std::getline(readme, l) && l.starts_with("    ");) text += l.substr(4) + "\n";
  QImage(256, 64, QImage::Format_RGB32).save(QString::fromStdString(s.t.path + "/lobby.png"));
  run = s.apply(text, {"--dry-run"});
  EXPECT_EQ(run.rc, 0) << text << run.err;
  EXPECT_EQ(run.out.substr(0, 4), "1\t3\t") << run.out;

  // clang-format off
  const struct { std::string site; const char* said; } bad[] = {
      {"[node 3]\nlogo = none.bmp\n", "site.ini:2: logo of node 3: "},
      {"[node 3]\nlogo = text.bmp\n", "site.ini:2: logo of node 3: "},
      {"[node 3]\nlogo = sub\n", "sub: is a folder"},
      {"[node 3]\nlogo = huge.bmp\nmemory = 512\n", "site.ini:2: logo of node 3: Max Width"},
      {"[node 3]\nlogo = cut.jpg\n", "site.ini:2: logo of node 3: "},
      {"[node 3]\nlogo = wide.bmp\n", "site.ini:2: logo of node 3: too large for a 64 K node; needs memory = 512"},
      {"[node 3]\nlogo = wide.bmp\nmemory = 64\n", "site.ini:2: logo of node 3: Image Max"},
      {"[line]\ntogether = yes\n[node 3]\nlogo = a.bmp\ncolour = red\n", "site.ini:5: unknown key"},
      {"[node 3]\nlogo = a.bmp\n[node 7]\nformat = rgb\n", "site.ini:3: [node 7] has no logo"},
      {"[node 3]\nlogo = a.bmp\n[node 7]\nlogo = a.bmp\nx = 5\n", "site.ini:3: x and y go together"},
      {"[node 3]\nlogo = a.bmp\n[node 3]\nlogo = b.bmp\n", "site.ini:3: node 3 is listed twice"},
      {"[node 3]\nlogo = a.bmp\n[node 7]\nlogo = odd.bmp\n", "site.ini:4: logo of node 7"},
      {"[line]\ntogether = maybe\n[node 3]\nlogo = a.bmp\n", "site.ini:2: together = maybe"},
      {"[line]\nport = 300 ; 3 \n[node 3]\nlogo = a.bmp\n", "site.ini:2: port = 300: a port number"},
      {"@sub", "sub: is a folder"}, {"@none.ini", "none.ini: no such file"}};
  // clang-format on
  for (const auto& b : bad) {
    SCOPED_TRACE(b.site);
    const ProgramRun dry = s.apply(b.site, {"--dry-run"});
    run = s.apply(b.site);
    EXPECT_EQ(run.rc, 1) << run.err;
    EXPECT_EQ(std::tuple(dry.rc, dry.err, run.out + dry.out), std::tuple(run.rc, run.err, ""));
    EXPECT_NE(run.err.find(b.said), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("osdctl apply: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(s.line(), "");
  }
}

// Two erase waits a run.
TEST(ApplyE2E, ASiteAppliedTwiceSendsTheSameBytesSlow) {
  SiteLine s;
  std::string first;
  for (int pass = 0; pass < 2; ++pass) {
    const ProgramRun run = s.apply(kSite);
    EXPECT_EQ(run.rc, 0) << run.err;
    EXPECT_EQ(run.out, "3\t64K\tprogrammed\n7\t64K\tprogrammed\n9\t64K\tprogrammed\n");
    const std::string line = s.line();
    EXPECT_EQ(test::streamLengths(line), (std::vector<int64_t>{k64, k64}));
    EXPECT_NE(line.find("SPWK,03WK,07QXEACMQXW"), std::string::npos);
    if (pass == 0) first = line;
    EXPECT_EQ(line, first);
  }
  for (const auto& [id, shift] : {std::pair{3, 0}, {7, 0}, {9, 5}})
    EXPECT_EQ(wrongPixels(s.t.path + "/got-" + std::to_string(id) + ".bmp", rgbExactLogo(shift)),
              0);
}

// After a job that left every node awake, a download for one node reaches that node alone.
TEST(FleetE2E, ADownloadForOneNodeAfterAJobOfSeveralStoresOnlyThereSlow) {
  TempDir t;
  Sim node = fleet(t, {"--id", "3,7,26:512", "--wake", "together"});
  writeBytes(t.path + "/logo.bmp", rgbExactLogo(2));
  ProgramRun run = osdctl(
      {"download", "logo.bmp", "--format", "rgb", "--no-erase", "--nodes", "3,7", "--together"},
      node, t);
  EXPECT_EQ(run.rc, 0) << run.err;
  const std::string got3 = t.path + "/got-3.bmp";
  waitFor([&] { return std::filesystem::exists(t.path + "/got-7.bmp"); }, 5000);
  std::filesystem::remove(got3);
  std::filesystem::remove(t.path + "/got-7.bmp");
  run = osdctl({"download", "logo.bmp", "--format", "rgb", "--no-erase", "--node", "3"}, node, t);
  EXPECT_EQ(run.rc, 0) << run.err;
  waitFor([&] { return std::filesystem::exists(got3); }, 5000);
  EXPECT_EQ(wrongPixels(got3, rgbExactLogo(2)), 0);
  for (const int id : {7, 26})
    EXPECT_FALSE(std::filesystem::exists(t.path + "/got-" + std::to_string(id) + ".bmp")) << id;
}
