// The window on a live line: a download is never cut by closing the window or by a second copy
// of the program. The line runs at its real speed here, so a port closed too early loses
// what still waits in it, as a serial driver does.
#include <gtest/gtest.h>

#include <optional>

#include "logo_bitmap.h"
#include "support/sim_line.h"
#include "transfer/line_progress.h"

using namespace osd;
using namespace osd::test;

namespace {

constexpr int64_t kStream = 65667;  // a 256 x 64 logo on a 64 K node
constexpr int64_t kPictureEnd = 259 + 64 * 256;

// A window with a logo in slot 1, its line at 9600 baud; `exits` counts the window closing.
struct Window {
  Window() {
    app.session().setMemorySize(65536);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    std::string path = h.dir + "/logo.bmp";
    writeFile(path, makeBitmap24(256, 64, [](int r, int c) { return stripedLogo(r, c, 256); }));
    app.bench().logos().selected = 1;
    app.choices().chooseFormat(PixelFormat::Rgb);
    EXPECT_EQ(app.logos().readFile(path), 0);
    app.menus().setWindowActions({.exit = [this] { ++exits; }});
    line.paceAtLineSpeed();
    h.port.writes.clear();
    line.heard.clear();
  }
  // The download, with `during` run `afterMs` into it.
  void download(int afterMs, std::function<void()> during) {
    h.loop.at(afterMs, std::move(during));
    app.download().run();
  }
  Harness h;
  SimLine line{h};
  App& app = *h.app;
  int exits = 0;
};

// The stream's blocks end after "QXW" and the setup block, after each 256-byte row and after
// each 128-byte filler.
bool endsABlock(int64_t n) {
  if (n == kStream || n == 259) return true;
  if (n > 259 && n <= kPictureEnd) return (n - 259) % 256 == 0;
  return n > kPictureEnd && (n - kPictureEnd) % 128 == 0;
}

// The copy already running, as a later copy's start-up reaches it.
struct OtherCopy : InstanceGuard {
  Handover answer = Handover::Closed;
  bool otherInstanceRunning() override { return true; }
  Handover closeOther() override { return answer; }
};

}  // namespace

// Closing during a download: the operator is asked; OK and a termination signal stop it after
// the block being sent, wait until the port has let go of every byte written, and close the
// window; Cancel lets it run to its end, and so does a second copy asking it to close.
TEST(LiveLine, ClosingDuringADownloadStopsAtTheEndOfABlockOrNotAtAll) {
  // Who asks to close (none: a later copy of the program), the answer to "Stop it and close?",
  // whether the download stops.
  const std::tuple<std::optional<CloseBy>, bool, bool> cases[] = {{CloseBy::Operator, true, true},
                                                                  {CloseBy::Operator, false, false},
                                                                  {CloseBy::Signal, true, true},
                                                                  {std::nullopt, true, false}};
  // The bytes the line has carried, as a text gives them ("..., 20,000 of 65,667 bytes").
  const auto count = [](const std::string& text, const char* after) {
    const size_t from = text.find(after) + std::string(after).size();
    return text.substr(from, text.find(" of ") - from);
  };
  for (const auto& [by, answer, stops] : cases) {
    Window w;
    w.h.dialogs.confirmAnswers = {answer};
    std::string opened, later;  // the status line's count as the question opens, 1.5 s later
    w.h.dialogs.whileAsked = [&] {
      opened = count(w.app.statusLine().view().status, ": ");
      w.h.loop.advance(1500);
      later = count(w.app.statusLine().view().status, ": ");
    };
    bool closesAtOnce = true;
    EXPECT_EQ(w.app.download().handoverAnswer(), Handover::Closed);
    w.download(20000, [&] {
      closesAtOnce = by ? w.app.download().closeRequested(*by)
                        : w.app.download().handoverAnswer() != Handover::DownloadRunning;
    });
    SCOPED_TRACE(std::to_string(by ? static_cast<int>(*by) : -1) + (answer ? " OK" : ""));
    EXPECT_FALSE(closesAtOnce);
    // Whatever happened, every byte handed to the port reached the node, and nothing came
    // after the block the stop ended; the stream follows the operator's wake choice.
    EXPECT_EQ(w.line.heard, w.h.port.sent());
    ASSERT_EQ(w.line.heard.substr(0, 10), "SPWK,00QXW");
    const std::string heard = w.line.heard.substr(7);
    EXPECT_EQ(w.h.dialogs.confirmTexts.size(), by == CloseBy::Operator ? 1u : 0u);
    for (const std::string& asked : w.h.dialogs.confirmTexts) {
      EXPECT_TRUE(asked.starts_with("A download is running (") &&
                  asked.ends_with(" of 65,667 bytes). Stop it and close?"))
          << asked;
      // The question's count follows the line while it is open; Enter takes Cancel.
      EXPECT_NE(opened, later);
      EXPECT_EQ(count(asked, "("), later);
      EXPECT_EQ(w.h.dialogs.presets, std::vector(1, Dialogs::Preset::Cancel));
    }
    EXPECT_EQ(w.exits, stops ? 1 : 0);
    const std::string where = groupedNumber(static_cast<int64_t>(heard.size())) + " of 65,667";
    if (stops) {
      EXPECT_LT(static_cast<int64_t>(heard.size()), kStream);
      EXPECT_TRUE(endsABlock(static_cast<int64_t>(heard.size()))) << heard.size();
      EXPECT_EQ(w.app.statusLine().view().status, "Download stopped at " + where + " bytes.");
      EXPECT_EQ(w.app.download().exitNote(), "download stopped at " + where + " bytes");
    } else {
      EXPECT_EQ(static_cast<int64_t>(heard.size()), kStream);
      EXPECT_EQ(w.app.statusLine().view().status.rfind("Logo 1 downloaded", 0), 0u);
    }
    EXPECT_FALSE(w.app.download().lineHeld());
  }
  // A download that ends while the question is open lets the window close at once.
  Window w;
  w.app.download().holdLine(true);
  w.h.dialogs.whileAsked = [&w] { w.app.download().holdLine(false); };
  EXPECT_TRUE(w.app.download().closeRequested(CloseBy::Operator));
  EXPECT_FALSE(w.app.download().closing());
}

// A download that lost its port keeps its result on the status line through the reconnect
// and the node's answers, until the operator clicks it away.
TEST(LiveLine, ALostDownloadKeepsItsResultUntilDismissed) {
  Window w;
  w.download(20000, [&] {
    w.h.port.openable.clear();  // the adapter is pulled out
    w.h.port.close();
  });
  const std::string result = w.app.statusLine().view().status;
  EXPECT_EQ(result.rfind("Download stopped: port lost after ", 0), 0u) << result;
  EXPECT_NE(result.find(" of 65,667 bytes"), std::string::npos) << result;
  w.h.port.openable = {3};  // and put back: the port opens again, the node is called
  w.h.loop.advance(15000);
  EXPECT_TRUE(w.h.port.isOpen() && w.app.link().valid());
  EXPECT_EQ(w.app.statusLine().view().status, result);
  w.app.statusLine().dismissResult();
  EXPECT_EQ(w.app.statusLine().view().status, "");
}

// The later copy: refused, it ends its start-up before it has opened, or even searched, any
// port, and says why.
TEST(LiveLine, ASecondCopyThatIsRefusedTouchesNoPort) {
  const std::pair<Handover, const char*> cases[] = {
      {Handover::DownloadRunning, "a download is running in the other window; this copy ends"},
      {Handover::ScanRunning, "a scan of the line is running in the other window; this copy ends"},
      {Handover::Closed, ""}};
  for (const auto& [answer, note] : cases) {
    Harness h;
    OtherCopy other;
    other.answer = answer;
    h.port.openable = {3};
    h.settings.set("ComPort", "3");
    Platform p{h.port, h.loop, h.settings, h.dialogs, h.launcher, h.dir, h.dir, &other};
    h.app.reset();
    App app(p);
    app.formLoad("");
    const bool refused = answer != Handover::Closed;
    EXPECT_EQ(std::tuple(app.download().startRefused(), app.download().exitNote(),
                         h.port.openedNumbers.empty()),
              std::tuple(refused, std::string(note), refused));
    EXPECT_FALSE(h.loop.timerEnabled(TimerId::Delay) && refused);
    h.loop.advance(10000);
    EXPECT_EQ(h.port.writes.empty(), refused);
  }
}

// The window's loop sleeps through the main ticks the program calls quiet (as every test on
// the virtual clock does) and runs them before the next event: the bytes on the line and what
// the window shows come at the same millisecond as with every tick run, over a node answering
// its polls, a held result, an error, a search, a node silent for 40 s (its calls, the port
// closed and opened again) and back, and a port that vanishes for 3 s.
TEST(LiveLine, TheQuietTicksSleptThroughMoveNothingInTime) {
  const auto run = [](bool sleep, int& wakes) {
    Harness h;
    h.loop.sleepQuietTicks = sleep;
    h.loop.setClock(2, 8 * 3600 + 0.437);
    SimLine line{h};
    App& app = *h.app;
    std::vector<std::string> trace;
    const auto at = [&h] { return std::to_string(h.loop.ms()) + " "; };
    const auto silent = [&](const std::string& b) { trace.push_back(at() + "sent " + b); };
    const auto answering = [&, node = h.port.onWrite](const std::string& b) { silent(b), node(b); };
    const auto shown = [&] {
      const StatusView& s = app.statusLine().view();
      trace.push_back(at() + app.port().view().clock +
                      std::to_string(app.port().view().portColour) + s.status +
                      (s.errorShown ? " error" : ""));
    };
    app.port().onChange(shown), app.statusLine().onChange(shown);
    h.port.onWrite = answering;
    h.loop.setTimerEnabled(TimerId::Delay, true);
    h.loop.at(1337, [&] { app.statusLine().status("Held"), app.statusLine().holdStatus(200); });
    h.loop.at(2711, [&] { app.statusLine().error("Lost", "Test"); });
    h.loop.at(6007, [&] { h.port.onWrite = silent; });
    h.loop.at(20011, [&] { app.port().startSearch(); });
    h.loop.at(46013, [&] { h.port.onWrite = answering; });
    h.loop.at(50017, [&] {
      h.port.openable.clear(), h.port.close(), h.port.onEvent(kEvTxFull);
      h.loop.at(3000, [&] { h.port.openable.insert(3); });
    });
    h.loop.advance(60000);
    wakes = h.loop.tickWakes;
    return trace;
  };
  int everyTick = 0, slept = 0;
  const std::vector<std::string> all = run(false, everyTick), quiet = run(true, slept);
  EXPECT_EQ(quiet, all);
  EXPECT_GT(all.size(), 150u);
  EXPECT_EQ(everyTick, 2400);
  EXPECT_LT(slept, everyTick / 4) << "the loop did not sleep";
}
