// osdctl download --nodes and osdctl apply against osdsim with several IDs, unpaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
const int64_t k512 = DownloadPlan{256, 64, 512 * 1024}.streamLength();

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

struct FleetCase {
  const char* name;
  std::vector<std::string> sim;  // osdsim's --id and --wake
  std::vector<std::string> ctl;  // --nodes and --together
  std::vector<int64_t> streams;
  const char* wokenBeforeFirst;  // just before the first "QXW"
  std::vector<int> stored, untouched;
  std::string out;
  int rc;
};

// clang-format off
const FleetCase kFleetCases[] = {
    {"whole line", {"--id", "3,7"}, {"--nodes", "all"}, {k64}, "SPWK,00", {3, 7}, {},
     "3\t64K\tprogrammed\n7\t64K\tprogrammed\n", 0},
    {"together", {"--id", "3,7,26", "--wake", "together"}, {"--nodes", "3,7", "--together"},
     {k64}, "SPWK,03WK,07", {3, 7}, {26}, "3\t64K\tprogrammed\n7\t64K\tprogrammed\n", 0},
    {"in turn", {"--id", "3,7,26"}, {"--nodes", "7,3"}, {k64, k64}, "SPWK,07", {3, 7}, {26},
     "7\t64K\tprogrammed\n3\t64K\tprogrammed\n", 0},
    {"two memory sizes", {"--id", "3,26:512"}, {"--nodes", "3,26"}, {k64, k512}, "SPWK,03",
     {3, 26}, {}, "3\t64K\tprogrammed\n26\t512K\tprogrammed\n", 0},
    {"a silent node", {"--id", "3,7"}, {"--nodes", "3,9"}, {k64}, "SPWK,03", {3}, {7},
     "3\t64K\tprogrammed\n9\t-\tno answer within 3 s; left out\n", 3},
};
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
  EXPECT_EQ(run.rc, c.rc) << run.err;
  EXPECT_EQ(run.out, c.out);

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

// The site file used by both tests: nodes 3 and 7 share one stream, node 9 has its own.
const char* kSite =
    "[line]\ntogether = yes\n; nodes 3 and 7 share one stream\n[node 3]\nlogo = a.bmp\n"
    "format = rgb\n[node 7]\nlogo=a.bmp\nformat=rgb\n[node 9]\nlogo = b.bmp\nformat = rgb\n";

struct SiteLine {
  SiteLine() : node(fleet(t, {"--id", "3,7,9", "--wake", "together"})) {
    writeBytes(t.path + "/a.bmp", rgbExactLogo(0));
    writeBytes(t.path + "/b.bmp", rgbExactLogo(5));
    writeBytes(t.path + "/odd.bmp", test::plainBmp(255, 64, 24));  // the reader refuses it
  }
  ProgramRun apply(const std::string& site, const std::vector<std::string>& more = {}) {
    std::ofstream(t.path + "/rec.bin", std::ios::trunc).flush();  // osdsim appends to it
    std::ofstream(t.path + "/site.ini") << site;
    std::vector<std::string> args = {"apply", "site.ini"};
    args.insert(args.end(), more.begin(), more.end());
    return osdctl(args, node, t);
  }
  std::string line() const { return slurp(t.path + "/rec.bin"); }
  TempDir t;
  Sim node;
};

}  // namespace

// Nodes awake together take one stream; a silent node is left out, and the exit status says so.
TEST(FleetE2E, NodesThatStayAwakeTogetherTakeOneStreamASilentOneIsLeftOut) {
  for (const int i : {1, 4}) runFleetCase(kFleetCases[i]);
}

// The whole line (a scan of 255 IDs first), in turn, two memory sizes.
TEST(FleetE2E, EveryNodeAskedForStoresTheLogoInAsFewStreamsAsItsWakeUpsAllowSlow) {
  for (const int i : {0, 2, 3}) runFleetCase(kFleetCases[i]);
}

TEST(ApplyE2E, ADryRunOrABadSiteFileSendsNothing) {
  SiteLine s;
  ProgramRun run = s.apply(kSite, {"--dry-run"});
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find("stream 1: nodes 3, 7, 64K, a.bmp"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("stream 2: node 9, 64K, b.bmp"), std::string::npos) << run.out;
  EXPECT_EQ(s.line(), "");

  // Refused with the file and line, before a byte goes out.
  const struct {
    std::string site;
    const char* said;
  } bad[] = {
      {"[line]\ntogether = yes\n[node 3]\nlogo = a.bmp\ncolour = red\n", "site.ini:5: unknown key"},
      {"[node 3]\nformat = rgb\n[node 7]\nlogo = a.bmp\n", "site.ini:1: [node 3] has no logo"},
      {"[node 3]\nlogo = a.bmp\n[node 3]\nlogo = b.bmp\n", "site.ini:3: node 3 is listed twice"},
      {"[node 3]\nlogo = a.bmp\n[node 7]\nlogo = odd.bmp\n", "site.ini:4: logo of node 7"},
      {"[node 3]\nlogo = none.png\n", "site.ini:2: logo of node 3: no such file"},
      {"[line]\ntogether = maybe\n[node 3]\nlogo = a.bmp\n", "site.ini:2: together = maybe"},
  };
  for (const auto& b : bad) {
    run = s.apply(b.site);
    EXPECT_EQ(run.rc, 1) << b.site;
    EXPECT_NE(run.err.find(b.said), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("osdctl apply: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(s.line(), "") << b.site;
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
  EXPECT_EQ(wrongPixels(s.t.path + "/got-3.bmp", rgbExactLogo(0)), 0);
  EXPECT_EQ(wrongPixels(s.t.path + "/got-7.bmp", rgbExactLogo(0)), 0);
  EXPECT_EQ(wrongPixels(s.t.path + "/got-9.bmp", rgbExactLogo(5)), 0);
}
