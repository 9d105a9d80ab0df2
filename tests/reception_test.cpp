// The node session: answers and when they are complete, the size answer, the erase wait,
// read-backs, the watchdog and the node poll on exact tick timelines, and failing ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "image/bmp_writer.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

const std::string kSelectOne = std::string("AJ01") + std::string(3, '\0');
using Ticks = std::vector<int64_t>;

struct ReceptionTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  NodeSession& session = app.session();
  std::vector<std::pair<int64_t, std::string>> log;  // every write with its tick

  void SetUp() override {
    h.lineReady();
    h.port.onWrite = [this](const std::string& w) { log.emplace_back(h.loop.ms() / 25, w); };
    h.loop.setTimerEnabled(TimerId::Delay, true);
  }
  Ticks ticksOf(const std::string& bytes) const {
    Ticks t;
    for (const auto& [tick, w] : log)
      if (w == bytes) t.push_back(tick);
    return t;
  }
};

}  // namespace

TEST(SizeAnswerTest, AGraphicsNodeIsIdentifiedByItsSizeAnswerAloneAFailingReadGivesThePortUp) {
  // title nullptr: no size answer; large: the memory flag after it, from true (512 K: false)
  // clang-format off
  struct Case {
    const char* answer; const char* title; const char* pixels; int memory; bool large;
  } cases[] = {
      {"QX64K\r\n", "QX3/QX7 -64K Grapics Node Detected", "65280 Pixels", 65536, false},
      {"QX512K", "QX3/QX7 -512K Grapics Node Detected", "524032 Pixels", 524288, true},
      {"QX128K", "QX3/QX7 -128K Grapics Node Detected", "130816 Pixels", 131072, true},
      {"xxQX64K and more", "QX3/QX7 -64K Grapics Node Detected", "65280 Pixels", 65536, false},
      {"QX0K\r\n", nullptr, "0 Bytes", 0, true}, {"QXK\r\n", nullptr, "0 Bytes", 0, true},
      {"QX-64K", nullptr, "0 Bytes", 0, true}, {"QX99999999K", nullptr, "0 Bytes", 0, true},
      {"QXERA\r\n", nullptr, "0 Bytes", 0, true}};
  // clang-format on
  for (const auto& c : cases) {
    Harness h;
    h.lineReady();
    App& a = *h.app;
    a.choices().setModel(4);
    a.session().setLargeMemory(std::string(c.answer) != "QX512K");
    // What the node says while the answer is processed is dropped; what is sent goes out.
    h.port.onWrite = [&](const std::string&) { h.port.receive("AJ-OK!"); };
    h.arrive(c.answer);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    h.ticks(2);
    const PortView& v = a.port().view();
    EXPECT_EQ(std::tuple(v.title, v.memory, a.session().memorySize(), a.session().largeMemory(),
                         a.choices().model(), a.session().replyCount(), h.port.bytesAvailable()),
              std::tuple(std::string(c.title ? c.title : kDesignTitle), std::string(c.pixels),
                         c.memory, c.large, c.title ? 1 : 4, 1, int64_t{0}))
        << c.answer;
    if (!c.title) continue;  // a graphics node: logo 1 chosen on it, YCbCr, its own menus
    EXPECT_EQ(std::tuple(h.port.writes, a.choices().format(), a.port().view().portColour),
              std::tuple(std::vector<std::string>{kSelectOne}, PixelFormat::YCbCr, kGreen));
    EXPECT_TRUE(a.menus().view().erase.shown && a.menus().view().erase.enabled &&
                !a.menus().view().upload.shown && !a.logos().view().slot[2].offered);
  }
  // A failing read gives the port up.
  // clang-format off
  struct Fail { bool readBack, duringProcessing; const char* message; } failures[] = {
      {false, false, "Read failed"}, {true, false, "Read failed"}, {false, true, "Read failed 2"}};
  // clang-format on
  for (const auto& c : failures) {
    Harness h;
    h.lineReady();
    App& a = *h.app;
    a.menus().nodeMenusEnabled(true);
    if (c.readBack) a.session().awaitReadBack(NodeSession::kReadBackPolls);
    h.port.onWrite = [&](const std::string& w) {
      if (w == kSelectOne) h.port.receive("late"), h.port.failReads = true;
    };
    h.port.failReads = !c.duringProcessing;
    h.arrive(c.duringProcessing ? "QX64K\r\n" : "QX6");
    h.loop.setTimerEnabled(TimerId::Delay, true);
    h.ticks(2);
    EXPECT_EQ(h.error(), std::string("RecvData: ") + c.message);
    EXPECT_FALSE(h.port.isOpen() || a.link().valid() || a.session().readBackPending() ||
                 a.menus().view().upload.enabled || a.statusLine().view().progressShown);
    EXPECT_TRUE(a.port().view().portColour == kRed && a.session().buffered().empty());
  }
}

TEST_F(ReceptionTest, AnAnswerIsCompleteAfterItsQuietTicks) {
  // clang-format off
  // ticks: quiet ticks until the answer is taken in (0: dropped as too short, polls renewed)
  struct Case { const char* bytes; int ticks; const char* shown; } cases[] = {
      {"ABC", 0, "2"}, {"ABCD", 0, "2"}, {"ABCDE", 2, "ABCDE"},
      {"(C) Norvo 2004", 3, "(C) Norvo 2004"}, {"A\r\nB\rCDE", 2, "A B CDE"}};
  // clang-format on
  for (const auto& c : cases) {
    const int before = session.replyCount();
    h.arrive(c.bytes);
    h.ticks(std::max(c.ticks, 2) - 1);
    EXPECT_EQ(session.replyCount(), before) << c.bytes;
    h.ticks(1);
    EXPECT_EQ(session.replyCount(), before + (c.ticks ? 1 : 0)) << c.bytes;
    // Shown, or dropped with the polls renewed for what follows.
    EXPECT_EQ(c.ticks ? app.port().view().answer : std::to_string(session.polls()), c.shown);
    h.ticks(3);
  }
  // A short answer raises no port event: the polls renewed by a dropped one take it in.
  h.arrive("ABC");
  h.ticks(2);
  h.port.receive("HELLO");
  h.ticks(3);
  EXPECT_EQ(app.port().view().answer, "HELLO");
  h.arrive(std::string(100, 'a') + "\r\n" + std::string(8, 'b'));
  h.ticks(2);
  EXPECT_EQ(app.port().view().answer, std::string(71, 'a') + " " + std::string(8, 'b'));
  while (session.replyCount() < 9999) session.process("hello");
  EXPECT_EQ(app.port().view().answerCount, "9999");
  session.process("hello");
  EXPECT_EQ(app.port().view().answerCount, "0");
  app.link().setValid(false);  // nothing is read from an unusable port
  h.arrive("QX64K\r\n");
  EXPECT_EQ(h.port.bytesAvailable(), 7);
}

TEST_F(ReceptionTest, EraseAcknowledgementRunsTheTenSecondWait) {
  session.process("QXERA");
  EXPECT_TRUE(app.download().view().erasing);
  h.loop.advance(5000);
  EXPECT_DOUBLE_EQ(app.statusLine().view().progress, 50);
  h.loop.advance(5000);  // 100 steps of 100 ms: the bar is full, the wait not over yet
  EXPECT_TRUE(app.download().view().erasing);
  h.loop.advance(100);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::TenSec) || app.download().view().erasing ||
               app.statusLine().view().progressShown || !app.menus().view().toEeprom.enabled ||
               !app.menus().view().toEeprom.shown);
}

TEST_F(ReceptionTest, SilentNodeTimelineAndRecovery) {
  // The silent node is called with the operator's wake choice, not the node field's ID.
  app.choices().setModel(1);
  app.port().setNodeId("5");
  app.dispatcher().wake(26);
  app.menus().nodeMenusEnabled(true);
  using Colours = std::vector<std::pair<int64_t, Color>>;
  Colours colours;
  Color shown = app.port().view().portColour;
  app.port().onChange([&] {
    if (app.port().view().portColour != shown)
      colours.emplace_back(h.loop.ms() / 25, shown = app.port().view().portColour);
  });
  h.ticks(2400);  // one minute
  EXPECT_EQ(ticksOf("ARS"), (Ticks{700, 900, 1100, 1299, 1499, 1699, 1898, 2098, 2298}));
  // The operator's wake-up, the watchdog's calls, and the re-opens after the port was closed.
  EXPECT_EQ(ticksOf("WK,1A"), (Ticks{0, 1000, 1363, 1599, 1971, 2198}));
  // Cyan at 20 s, red when the port is closed at 30 s and every 15 s after, cyan in between.
  const Colours cyanRed{{800, kCyan}, {1200, kRed},  {1275, kCyan},
                        {1799, kRed}, {1887, kCyan}, {2398, kRed}};
  EXPECT_EQ(std::tuple(colours, app.menus().view().upload.enabled, app.link().silentTicks()),
            std::tuple(cyanRed, false, 603));
  h.ticks(100);  // the node answers again: green, menus back, the count starts over
  h.port.receive("QX64K\r\nQX64K\r\n");
  h.ticks(2);
  EXPECT_EQ(std::tuple(app.port().view().portColour, app.menus().view().saveLogo.enabled,
                       app.link().silentTicks()),
            std::tuple(kGreen, true, 1));
}

TEST_F(ReceptionTest, NodePollTimelinePausingForADownloadThatAlsoSilencesTheWatchdog) {
  h.ticks(400);
  EXPECT_EQ(std::tuple(ticksOf("ARC"), ticksOf("QXS"), ticksOf(std::string(1, '\x88'))),
            std::tuple(Ticks{51, 204, 357}, Ticks{102, 255}, Ticks{51, 204, 357}));
  app.download().holdLine(true);
  h.ticks(1000);
  EXPECT_TRUE(log.size() == 8u && h.port.isOpen());  // not closed under a download
  app.download().holdLine(false);
  h.ticks(100);
  // The poll goes on where it stopped; silent count 900.
  EXPECT_EQ(std::tuple(ticksOf("QXS").back(), ticksOf("ARS")), std::tuple(1408, Ticks{1499}));
}

TEST_F(ReceptionTest, ReadBacksAreHandedOverWholeOrReportedShortStoredUnderTheSlotAndSaved) {
  // clang-format off
  // status: "" when the stream is handed over whole
  struct Case { bool colour; size_t bytes; int ticks; const char* status; } cases[] = {
      {false, 2051, 20, ""}, {false, 1500, 20, "Data stream too short: 1500 Bytes of 2052."},
      {true, 8194, 20, "Data stream too short: 8194 Bytes of 8196."},
      {false, 0, 500, "Data stream too short: 0 Bytes of 2052."},
      {false, 9500, 0, ""}};  // cut at 9000 bytes: over at once
  // clang-format on
  app.choices().setModel(4);
  for (const auto& c : cases) {
    app.choices().setColourNode(c.colour);
    app.bench().logos().selected = 2;
    app.bench().logos().readBack[2].assign(8193, 0);
    session.awaitReadBack(NodeSession::kReadBackPolls);
    std::string stream = "xSD";
    for (size_t k = stream.size(); k < c.bytes; ++k) stream.push_back(static_cast<char>(k));
    if (c.bytes) h.port.receive(stream.substr(0, c.bytes));
    if (c.ticks > 0) {
      h.ticks(c.ticks - 1);
      EXPECT_TRUE(session.readBackPending()) << c.bytes;
      h.ticks(1);
    }
    EXPECT_FALSE(session.readBackPending() || app.statusLine().view().progressShown) << c.bytes;
    EXPECT_EQ(app.statusLine().view().status, c.status) << c.bytes;
    EXPECT_EQ(app.bench().logos().readBack[2][62 * 32] != 0, *c.status == '\0') << c.bytes;
  }
  EXPECT_TRUE(session.lastReadBackLength() > 9000u && h.port.bytesAvailable() == 0);
  h.arrive("hello");  // ordinary answers again
  h.ticks(2);
  EXPECT_EQ(app.port().view().answer, "hello");
  // A read-back is stored under the selected slot, brought into 1..model, and saved where the
  // operator says. A stream that ends early reports each byte it lacks with the codes of its
  // row merged so far, and the rest is still stored and saved; one without its marker is
  // dropped quietly. The stream: `at` bytes "x", the marker, image byte k with code k % 256.
  // clang-format off
  struct Stored {
    bool colour; int model, selected, slot; size_t at, length; int errors; size_t fileSize;
  } stored[] = {
      {false, 4, 7, 4, 2, 2052, 0, 2110}, {true, 4, 0, 1, 2, 8196, 0, 8310},
      {false, 1, 3, 1, 2, 2052, 0, 2110}, {false, 7, 3, 3, 19, 2060, 9, 2110},
      {false, 4, 2, 2, 2100, 2100, 0, 0}};  // no marker
  // clang-format on
  for (const auto& c : stored) {
    SCOPED_TRACE(c.length);
    LogoSlots& slots = app.bench().logos();
    for (auto& store : slots.readBack) store.assign(LogoSlots::kReadBackBytes, 0);
    app.statusLine().dismissError();
    app.choices().setModel(c.model);
    app.choices().setColourNode(c.colour);
    slots.selected = c.selected;
    const std::string file = h.dir + "/read" + std::to_string(c.length) + ".bmp";
    h.dialogs.fileNames.push_back(file);
    std::string stream(c.at, 'x');
    if (c.at < c.length) stream += c.colour ? "SC" : "SD";
    for (size_t k = 0; stream.size() < c.length; ++k) stream.push_back(static_cast<char>(k));
    session.awaitReadBack(NodeSession::kReadBackPolls);
    h.port.receive(stream);
    h.ticks(40);
    ASSERT_FALSE(session.readBackPending() || app.statusLine().view().progressShown);
    const std::vector<uint8_t>& store = slots.readBack[static_cast<size_t>(c.slot)];
    const std::string saved = readFileBytes(file);
    EXPECT_EQ(std::pair(slots.selected, saved.size()), std::pair(c.slot, c.fileSize));
    if (c.fileSize == 0) {
      EXPECT_EQ(store, std::vector<uint8_t>(LogoSlots::kReadBackBytes, 0));
      h.dialogs.fileNames.clear();
    } else {
      // Image bytes 0 and 1024 (4096) begin rows 62 and 63.
      EXPECT_EQ(store[(c.colour ? 128 : 32) * 62] + store[(c.colour ? 128 : 32) * 63],
                c.colour ? 0 : 510);
      const std::vector<uint8_t> written = buildLogoBitmap(store, c.colour);
      EXPECT_EQ(saved, std::string(written.begin(), written.end()));
    }
    const StatusView& status = app.statusLine().view();
    const std::string errors = status.errorShown ? status.errorText : "";
    EXPECT_EQ(errors.empty() ? 0 : std::count(errors.begin(), errors.end(), '\r') + 1, c.errors);
    if (c.errors > 0) {
      // Row 1 lacks its last 9 bytes; the first missing one is picture byte 32 + 23.
      std::string first = "The read-back image ends before byte 55 of the picture. ";
      for (int code = 224; code <= 246; ++code) first += " " + std::to_string(code);
      EXPECT_EQ(errors.substr(0, errors.find("\r\n")), first);
      EXPECT_EQ(status.errorTitle, "Save_Picture");
    }
  }
}
