// osdctl identify, send, select and upload against the simulated node on a pseudo-terminal:
// what the node answers, what reaches the line, and the logo read back into a bitmap file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "sim/node.h"

namespace fs = std::filesystem;
using namespace osd::e2e;

namespace {

using CtlRun = ProgramRun;

// Runs osdctl with `args`, its settings and data folder in `t`.
CtlRun ctl(const TempDir& t, std::vector<std::string> args) {
  args.insert(args.end(), {"--settings", t.path + "/settings.ini", "--data-dir", t.path});
  return runProgram(binDir() + "/osdctl", args, t.path);
}

// The recorded line, once it holds at least `size` bytes and nothing more follows for a
// while (the node takes its time).
std::string recorded(const std::string& path, size_t size) {
  std::string rec;
  for (int k = 0; k < 100; ++k) {
    rec = slurp(path);
    if (rec.size() >= size) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (int k = 0; k < 50; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string later = slurp(path);
    if (later == rec) break;
    rec = later;
  }
  return rec;
}

uint32_t le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(b[at + k]);
  return v;
}

// A 256 x 64 bitmap of 1 bit per pixel (bottom row first), palette black and white.
std::string oneBitBitmap(const std::vector<uint8_t>& rows) {
  std::string out = "BM";
  auto put = [&out](uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
  };
  put(62 + 2048, 4);
  put(0, 4);
  put(62, 4);
  put(40, 4);
  put(256, 4);
  put(64, 4);
  put(1, 2);
  put(1, 2);
  put(0, 4);
  put(2048, 4);
  put(2835, 4);
  put(2835, 4);
  put(2, 4);
  put(0, 4);
  put(0x000000, 4);
  put(0xFFFFFF, 4);
  out.append(rows.begin(), rows.end());
  return out;
}

// Pixel rows of a bitmap file as stored (bottom row first), after checking its shape.
std::string pixelRows(const std::string& bmp, int bitsPerPixel) {
  if (bmp.size() < 62 || bmp.compare(0, 2, "BM") != 0) return "";
  if (le(bmp, 18, 4) != 256 || le(bmp, 22, 4) != 64 || le(bmp, 28, 2) != 1u * bitsPerPixel)
    return "";
  const size_t offset = le(bmp, 10, 4);
  const size_t size = 256u * static_cast<size_t>(bitsPerPixel) / 8 * 64;
  if (offset + size > bmp.size()) return "";
  return bmp.substr(offset, size);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// identify
// ---------------------------------------------------------------------------------------

TEST(LinkCtlE2E, IdentifyPrintsTheDetectedMemory) {
  TempDir t;
  Sim sim({"--id", "26"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"identify", "--port", sim.pty(), "--node", "26"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "QX3/QX7 -64K Grapics Node Detected\n65280 Pixels\n");
}

TEST(LinkCtlE2E, IdentifyReportsALargeNode) {
  TempDir t;
  Sim sim({"--id", "200", "--memory", "512", "--record", t.path + "/rec.bin"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"identify", "--port", sim.pty(), "--node", "200"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "QX3/QX7 -512K Grapics Node Detected\n524032 Pixels\n");
  // Identifying only wakes and asks: no logo selection, no other traffic.
  EXPECT_EQ(recorded(t.path + "/rec.bin", 8), "WK,C8QXS");
}

TEST(LinkCtlE2E, IdentifyAllNodesWithoutAnId) {
  TempDir t;
  Sim sim({"--id", "9"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"identify", "--port", sim.pty()});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "QX3/QX7 -64K Grapics Node Detected\n65280 Pixels\n");
}

TEST(LinkCtlE2E, IdentifyOfAnAbsentNodeFailsAfterAFewSeconds) {
  TempDir t;
  Sim sim({"--id", "26"});
  ASSERT_FALSE(sim.pty().empty());
  const auto start = std::chrono::steady_clock::now();
  const CtlRun r = ctl(t, {"identify", "--port", sim.pty(), "--node", "27"});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("no answer from node 27"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(LinkCtlE2E, MissingPortAndBadArgumentsAreReported) {
  TempDir t;
  CtlRun r = ctl(t, {"identify", "--port", t.path + "/no-such-tty"});
  EXPECT_EQ(r.rc, 3) << r.err;
  r = ctl(t, {"identify", "--port", t.path + "/no-such-tty", "--node", "256"});
  EXPECT_EQ(r.rc, 2) << r.err;
  r = ctl(t, {"identify"});
  EXPECT_EQ(r.rc, 2) << r.err;
  r = ctl(t, {"select", "16", "--port", "3"});
  EXPECT_EQ(r.rc, 2) << r.err;
  r = ctl(t, {"send", "--port", "3", "A\\xZZ"});
  EXPECT_EQ(r.rc, 2) << r.err;
  r = ctl(t, {"upload", t.path + "/x.bmp", "--port", "3", "--model", "5"});
  EXPECT_EQ(r.rc, 2) << r.err;
  r = ctl(t, {"upload", t.path + "/no-folder/x.bmp", "--port", "3", "--model", "4"});
  EXPECT_EQ(r.rc, 1) << r.err;
}

// ---------------------------------------------------------------------------------------
// send and select
// ---------------------------------------------------------------------------------------

TEST(LinkCtlE2E, SendWritesTheTextWithItsEscapesExactly) {
  TempDir t;
  Sim sim({"--record", t.path + "/rec.bin"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"send", "--port", sim.pty(), "AB\\x00\\xffC\\\\D"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(recorded(t.path + "/rec.bin", 7), std::string("AB\0\xff"
                                                          "C\\D",
                                                          7));
}

TEST(LinkCtlE2E, SelectWakesTheNodeAndSelectsTheLogo) {
  TempDir t;
  Sim sim({"--id", "26", "--record", t.path + "/rec.bin"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"select", "3", "--port", sim.pty(), "--node", "26"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(recorded(t.path + "/rec.bin", 12), std::string("WK,1AAJ03\0\0\0", 12));
}

// ---------------------------------------------------------------------------------------
// upload
// ---------------------------------------------------------------------------------------

TEST(LinkCtlE2E, UploadWritesTheLogoTheNodeHolds) {
  TempDir t;
  // Every row different, each half different, so a row or field out of place shows.
  std::vector<uint8_t> rows(2048);
  for (int r = 0; r < 64; ++r) {
    for (int c = 0; c < 32; ++c) {
      rows[static_cast<size_t>(r * 32 + c)] = static_cast<uint8_t>(r * 7 + (c < 16 ? c : 3 * c));
    }
  }
  const std::string logo = oneBitBitmap(rows);
  { std::ofstream(t.path + "/held.bmp", std::ios::binary) << logo; }
  Sim sim({"--logo", t.path + "/held.bmp"});
  ASSERT_FALSE(sim.pty().empty());
  const std::string out = t.path + "/out.bmp";
  const CtlRun r = ctl(t, {"upload", out, "--port", sim.pty(), "--model", "4"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string got = slurp(out);
  EXPECT_EQ(got.size(), 62u + 2048u);
  // The file's pixel bytes are the bytes the node holds for that logo, row for row, and so
  // the picture it was given.
  EXPECT_EQ(pixelRows(got, 1), pixelRows(logo, 1));
  osd::sim::Node node;
  node.setLogoBitmap(rows);
  const auto& held = node.storedLogo();
  const std::string pixels = pixelRows(got, 1);
  ASSERT_EQ(pixels.size(), 2048u);
  EXPECT_EQ(pixels, std::string(held.begin(), held.end()));
  EXPECT_EQ(le(got, 54, 4) & 0xFFFFFF, 0u);
  EXPECT_EQ(le(got, 58, 4) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(LinkCtlE2E, UploadFromAColourNode) {
  TempDir t;
  Sim sim({"--color"});
  ASSERT_FALSE(sim.pty().empty());
  const std::string out = t.path + "/out.bmp";
  const CtlRun r = ctl(t, {"upload", out, "--port", sim.pty(), "--model", "4", "--color"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string got = slurp(out);
  ASSERT_GE(got.size(), 62u);
  EXPECT_EQ(got.size(), le(got, 10, 4) + 8192u);
  osd::sim::NodeConfig config;
  config.color = true;
  const osd::sim::Node node(config);
  const auto& held = node.storedLogo();
  EXPECT_EQ(pixelRows(got, 4), std::string(held.begin(), held.end()));
}

TEST(LinkCtlE2E, UploadWithoutAModelIsRefused) {
  TempDir t;
  Sim sim({"--record", t.path + "/rec.bin"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r = ctl(t, {"upload", t.path + "/out.bmp", "--port", sim.pty()});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("SX-1 Cannot upload logos to this program"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.path + "/out.bmp"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(slurp(t.path + "/rec.bin").find("ARM"), std::string::npos);
}

TEST(LinkCtlE2E, UploadFromASilentNodeSaysSoSlow) {
  TempDir t;
  Sim sim({"--id", "26"});
  ASSERT_FALSE(sim.pty().empty());
  const CtlRun r =
      ctl(t, {"upload", t.path + "/out.bmp", "--port", sim.pty(), "--model", "4", "--node", "27"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("Data stream too short: 0 Bytes of 2052."), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.path + "/out.bmp"));
}

// ---------------------------------------------------------------------------------------
// A node that never stops talking
// ---------------------------------------------------------------------------------------

TEST(LinkCtlE2E, BabblingNodeIsNoIdentificationAndNoLogo) {
  TempDir t;
  Sim sim({"--babble", "--seed", "3"});
  ASSERT_FALSE(sim.pty().empty());
  CtlRun r = ctl(t, {"identify", "--port", sim.pty()});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("keeps sending"), std::string::npos) << r.err;
  r = ctl(t, {"upload", t.path + "/out.bmp", "--port", sim.pty(), "--model", "4"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("without a pause"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.path + "/out.bmp"));
}
