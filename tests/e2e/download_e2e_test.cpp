// osdctl download against the simulated node on a pseudo-terminal at 9600 baud: the bytes on
// the line, the time they take and the picture the node ends up with.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <filesystem>

#include "e2e_support.h"
#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::e2e;

// One download at line speed (about 80 s with the erase wait).
TEST(DownloadE2E, WholeLogoAtLineSpeedSlow) {
  TempDir t;
  const std::string logo = rgbExactLogo();
  writeBytes(t.path + "/logo.bmp", logo);
  const std::string record = t.path + "/rec.bin";
  Sim sim({"--memory", "64", "--baud", "9600", "--format", "rgb", "--record", record, "--image-out",
           t.path + "/got.bmp"});
  QProcess ctl;
  ctl.setProcessChannelMode(QProcess::ForwardedChannels);
  QStringList args;
  for (const char* a : {"download", "logo.bmp", "--port", sim.pty().c_str(), "--format", "rgb",
                        "--settings", "settings.ini", "--data-dir", "."})
    args << QString::fromUtf8(a);
  ctl.setWorkingDirectory(QString::fromStdString(t.path));
  ctl.start(QString::fromStdString(binDir() + "/osdctl"), args);
  // From the moment "QXW" has arrived to the last of the 65667 download bytes.
  ASSERT_TRUE(waitFor([&] { return slurp(record).find("QXW") != std::string::npos; }, 60000));
  QElapsedTimer clock;
  clock.start();
  const size_t qxw = slurp(record).find("QXW");
  ASSERT_TRUE(waitFor([&] { return slurp(record).size() >= qxw + 65667; }, 90000));
  const double seconds = clock.elapsed() / 1000.0;
  ASSERT_TRUE(waitFor([&] { return ctl.state() == QProcess::NotRunning; }, 5000));
  EXPECT_EQ(ctl.exitCode(), 0);
  const double lineTime = 65667.0 / 960.0;
  // The node really paced the line.
  EXPECT_TRUE(seconds <= lineTime * 1.02 && seconds >= lineTime * 0.95) << seconds;

  const std::string rec = slurp(record);
  EXPECT_TRUE(rec.size() - qxw == 65667u && rec.ends_with(std::string(128, '\xFF')) &&
              rec.substr(0, qxw).find("QXE") != std::string::npos);
  // The node's picture is the logo as an RGB node shows it.
  waitFor([&] { return std::filesystem::exists(t.path + "/got.bmp"); }, 5000);
  EXPECT_EQ(wrongPixels(t.path + "/got.bmp", logo), 0);
}

// SIGINT inside the stream: it ends after the block being sent and the bytes on their way,
// and says where; a second run at once finds the node still inside that stream and sends no
// stream of its own.
TEST(DownloadE2E, ASignalStopsTheStreamWithinASecondOfTheLineSlow) {
  TempDir t;
  writeBytes(t.path + "/logo.bmp", rgbExactLogo());
  const std::string record = t.path + "/rec.bin";
  Sim sim({"--memory", "64", "--baud", "9600", "--record", record});
  const QStringList args = {
      "download",   "logo.bmp",   "--port",       QString::fromStdString(sim.pty()),
      "--no-erase", "--settings", "settings.ini", "--data-dir",
      "."};
  QProcess ctl;
  ctl.setWorkingDirectory(QString::fromStdString(t.path));
  ctl.start(QString::fromStdString(binDir() + "/osdctl"), args);
  size_t qxw = std::string::npos;
  ASSERT_TRUE(waitFor(
      [&] {
        const std::string rec = slurp(record);
        qxw = rec.find("QXW");
        return qxw != std::string::npos && rec.size() >= qxw + 8000;
      },
      60000));
  const size_t atSignal = slurp(record).size();
  QElapsedTimer clock;
  clock.start();
  ::kill(static_cast<pid_t>(ctl.processId()), SIGINT);
  ASSERT_TRUE(waitFor([&] { return ctl.state() == QProcess::NotRunning; }, 4000));
  EXPECT_LE(clock.elapsed(), 4000);
  EXPECT_EQ(std::pair(ctl.exitStatus(), ctl.exitCode()), std::pair(QProcess::NormalExit, 3));
  const std::string err = ctl.readAllStandardError().toStdString();
  const size_t carried = slurp(record).size() - qxw;
  EXPECT_NE(err.find("osdctl download: stopped at " + std::to_string(carried) + " of 65667 bytes"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find('\x1b'), std::string::npos) << "no terminal controls down a pipe: " << err;
  EXPECT_LE(slurp(record).size() - atSignal, 1400u);

  ProgramRun again = runProgram(binDir() + "/osdctl",
                                {"download", "logo.bmp", "--port", sim.pty(), "--settings",
                                 "settings.ini", "--data-dir", "."},
                                t.path);
  EXPECT_EQ(again.rc, 3);
  EXPECT_NE(again.err.find("no node answered the size question"), std::string::npos) << again.err;
  waitFor([] { return false; }, 300);
  EXPECT_EQ(slurp(record).find("QXW", qxw + 1), std::string::npos);
}

// No stream for a memory the program does not know: the size question's refusals come before
// the erase, exit status 3, with nothing after the question on the line.
TEST(DownloadE2E, ASizeAnswerThatIsNotExactlyOneNodesRefusesBeforeTheErase) {
  // clang-format off
  struct Case { std::vector<std::string> sim, ctl; std::string said, line; int rc = 3; } cases[] = {
      {{"--id", "3,7"}, {}, "several nodes answered the size question; name one with --node", "WK,00QXS"},
      {{"--id", "3"}, {"--node", "9"}, "node 9 did not answer the size question; a node still", "SPWK,09QXS"},
      {{"--memory", "64"}, {"--memory", "512"}, "the node answered 64K, but 512K was stated", "WK,00QXS"},
      // The node's answer decides whether the logo fits: too large for 64 K, refused.
      {{"--memory", "64"}, {}, "big.bmp does not fit the node's 64K memory", "WK,00QXS", 1}};
  // clang-format on
  for (const Case& c : cases) {
    TempDir t;
    writeBytes(t.path + "/logo.bmp", rgbExactLogo());
    writeBytes(t.path + "/big.bmp", test::plainBmp(320, 240, 24));
    std::vector<std::string> sim = c.sim;
    sim.insert(sim.end(), {"--baud", "0", "--record", t.path + "/rec.bin"});
    Sim node(sim);
    std::vector<std::string> args = {"download",   c.rc == 1 ? "big.bmp" : "logo.bmp",
                                     "--port",     node.pty(),
                                     "--settings", "s.ini",
                                     "--data-dir", "."};
    args.insert(args.end(), c.ctl.begin(), c.ctl.end());
    const ProgramRun run = runProgram(binDir() + "/osdctl", args, t.path);
    EXPECT_EQ(run.rc, c.rc) << run.err;
    EXPECT_NE(run.err.find("osdctl download: " + c.said), std::string::npos) << run.err;
    EXPECT_EQ(lineHeard(node, t.path + "/rec.bin"), c.line);
  }
}
