// osdctl identify, send, select and upload against the simulated node on a pseudo-terminal: the
// exit status, what it prints, what reaches the line and the logo read back into a file.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "link/node_session.h"
#include "sim/node.h"
#include "support/bmp_builder.h"
#include "support/fakes.h"

using namespace osd::e2e;

namespace {

// Runs osdctl with `args`, its settings and data folder in `t`.
ProgramRun ctl(const TempDir& t, std::vector<std::string> args) {
  args.insert(args.end(), {"--settings", t.path + "/settings.ini", "--data-dir", t.path});
  return runProgram(binDir() + "/osdctl", args, t.path);
}

std::vector<std::string> words(const std::string& text, const TempDir& t) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;)
    out.push_back(w.ends_with(".bmp") || w.ends_with(".bin") ? t.path + "/" + w : w);
  return out;
}

// osdsim's options, osdctl's words ("--port PTY" added unless they name a port), the exit
// status, the whole output ("*": any), a part of the errors, the whole line. big.bmp: too large.
// clang-format off
struct CtlCase { std::string sim, args; int rc; std::string out, err, line; };
// clang-format on

void check(const std::vector<CtlCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    TempDir t;
    writeBytes(t.path + "/big.bmp",
               osd::test::makeBitmap24(256, 256, [](int, int) { return osd::test::Rgb{}; }));
    Sim sim(words(c.sim + " --record rec.bin", t));
    std::vector<std::string> args = words(c.args, t);
    if (c.args.find("--port") == std::string::npos) args.insert(args.end(), {"--port", sim.pty()});
    const ProgramRun r = ctl(t, args);
    EXPECT_EQ(r.rc, c.rc) << r.err;
    EXPECT_TRUE(c.out == "*" || r.out == c.out) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(c.line.empty() ? "" : lineHeard(sim, t.path + "/rec.bin"), c.line);
    EXPECT_TRUE(c.rc == 0 || !std::filesystem::exists(t.path + "/out.bmp"));
  }
}

}  // namespace

TEST(LinkCtlE2E, CommandsTheirOutputAndTheLine) {
  // clang-format off
  check({
      {"--id 200 --memory 512", "identify --node 200", 0, "200\t512K\n", "osdctl identify: QX3/QX7 -512K Grapics Node Detected; 524032 Pixels\n", "SPWK,C8QXS"},
      {"--id 9", "identify", 0, "all\t64K\n", "QX3/QX7 -64K Grapics Node Detected; 65280 Pixels", "WK,00QXS"},
      {"", "send AB\\x00\\xffC\\\\D", 0, "", "", std::string("AB\0\377C\\D", 7)},
      {"--id 26", "select 3 --node 26", 0, "*", "", std::string("SPWK,1AAJ03\0\0\0", 14)},
      {"", "upload out.bmp", 1, "*", "SX-1 Cannot upload logos to this program", ""},
      {"", "upload . --model 4", 1, "", "osdctl upload: Cannot write .: it is a folder", ""},
      {"", "identify --port /nonexistent/tty", 3, "*", "", ""}, {"", "identify --node 256", 2, "*", "", ""},
      {"", "select 16 --port 3", 2, "*", "", ""}, {"", "send --port 3 A\\xZZ", 2, "*", "", ""},
      {"", "upload x.bmp --port 3 --model 5", 2, "*", "", ""},
      {"--memory 512", "download big.bmp --memory 64", 1, "*", "big.bmp: does not fit a 64K memory: Image Max 65280 bytes", ""},
      {"", "upload no-folder/x.bmp --model 4", 1, "*", "", ""},
      {"", "upload out.bmp --port /nonexistent/tty --model 4", 3, "", "osdctl upload: /nonexistent/tty cannot be opened", ""},
      {"--id 200", "scan --ids 1-3,7-9", 3, "", "osdctl scan: scanning node ID 8 (5 of 6), about 1 s left\n", ""}});
  // clang-format on
}

// The waits that end in giving up: a node that does not answer, one that never stops talking.
TEST(LinkCtlE2E, AbsentSilentAndBabblingNodesSlow) {
  // clang-format off
  check({{"--id 26", "identify --node 27", 3, "", "no answer from node 27", ""},
         {"--id 26", "upload out.bmp --model 4 --node 27", 3, "", "osdctl upload: no answer from node 27\n", ""},
         {"--babble --seed 3", "identify", 3, "*", "keeps sending", ""},
         {"--babble --seed 3", "upload out.bmp --model 4", 3, "*", "without a pause", ""}});
  // clang-format on
}

// The file osdctl writes is the logo the node holds, byte for byte (rows and fields in their
// places), and the window saves the same file from the stream that node sends.
TEST(LinkCtlE2E, UploadWritesTheLogoTheNodeHoldsAsTheWindowSavesIt) {
  std::vector<uint8_t> rows(2048);  // every row different, each half different
  for (size_t k = 0; k < rows.size(); ++k)
    rows[k] = static_cast<uint8_t>(k / 32 * 7 + (k % 32 < 16 ? k % 32 : 3 * (k % 32)));
  osd::test::BmpPlan plan{256, 64, 1};
  plan.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (size_t r = 0; r < 64; ++r) plan.rows.emplace_back(&rows[r * 32], &rows[r * 32 + 32]);
  for (bool colour : {false, true}) {  // the colour node holds its built-in logo
    SCOPED_TRACE(colour);
    TempDir t;
    writeBytes(t.path + "/held.bmp", osd::test::makeBmp(plan));
    osd::sim::Node node({64, 1, 1, colour});
    if (!colour) node.setLogoBitmap(rows);
    Sim sim(words(colour ? "--baud 0 --color" : "--baud 0 --logo held.bmp", t));
    const ProgramRun r = ctl(
        t, words("upload ctl.bmp --model 4 --port " + sim.pty() + (colour ? " --color" : ""), t));
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string out = slurp(t.path + "/ctl.bmp");
    const std::string held(node.storedLogo().begin(), node.storedLogo().end());
    EXPECT_TRUE(colour || (out.size() > 2048 && out.substr(out.size() - 2048) == held));

    osd::test::Harness h;
    h.lineReady();
    h.loop.setTimerEnabled(osd::TimerId::Delay, true);  // the main tick takes the stream in
    h.app->choices().setModel(4);
    h.app->choices().setColourNode(colour);
    h.dialogs.fileNames.push_back(t.path + "/window.bmp");
    h.app->session().awaitReadBack(osd::NodeSession::kReadBackPolls);
    h.port.receive(node.feed("WK,00ARM"));
    h.ticks(40);
    EXPECT_TRUE(out.size() == (colour ? 8310u : 2110u) && slurp(t.path + "/window.bmp") == out);
  }
}

// The window's start-up and osdctl upload agree on "SX_Model" and "Color": whether a logo can
// be read back and whether the (monochrome) node is taken for the colour one.
TEST(LinkCtlE2E, UploadReadsModelAndColourAsTheWindowDoes) {
  const struct {
    const char *model, *colour;
  } cases[] = {{"4", "missing"}, {"4", ""},  {"4", "False"}, {"4", "True"}, {"4", "junk"},
               {"missing", "0"}, {"0", "0"}, {"5", "0"},     {"junk", "0"}, {"31", "false"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("SX_Model=") + c.model + " Color=" + c.colour);
    osd::test::Harness window;
    std::string ini = "[FormInit]\n";
    for (auto [key, value] : {std::pair{"SX_Model", c.model}, {"Color", c.colour}}) {
      if (std::string(value) == "missing") continue;
      window.settings.set(key, value);
      ini += std::string(key) + "=" + value + "\n";
    }
    window.app->formSetUp();
    const bool canUpload = window.app->choices().model() > 1;
    const bool colour = window.app->choices().colourNode();

    TempDir t;
    writeBytes(t.path + "/settings.ini", ini);
    Sim node({"--baud", "0"});
    const ProgramRun r = ctl(t, {"upload", t.path + "/out.bmp", "--port", node.pty()});
    EXPECT_EQ(r.err.find("SX-1 Cannot upload") == std::string::npos, canUpload) << r.err;
    EXPECT_EQ(r.rc == 0, canUpload && !colour) << r.err;
  }
}

// A script reads each node found while the scan goes on, not all of them at its end.
TEST(LinkCtlE2E, ScanHandsOnEachNodeAsItIsFound) {
  TempDir t;
  Sim sim({"--id", "200"});
  QProcess ctl;
  ctl.start(
      QString::fromStdString(binDir() + "/osdctl"),
      {"scan", "--port", QString::fromStdString(sim.pty()), "--ids", "200-211", "--settings",
       QString::fromStdString(t.path + "/s.ini"), "--data-dir", QString::fromStdString(t.path)});
  std::string out;
  ASSERT_TRUE(waitFor(
      [&] {
        out += ctl.readAllStandardOutput().toStdString();
        return out.starts_with("200\t") || ctl.state() == QProcess::NotRunning;
      },
      30000));
  EXPECT_EQ(ctl.state(), QProcess::Running) << "the node came with the end of the scan: " << out;
  EXPECT_TRUE(ctl.waitForFinished(60000) && ctl.exitCode() == 0);
}
