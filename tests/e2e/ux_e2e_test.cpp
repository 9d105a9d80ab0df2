// What reaches the line after a dialog closed, and osdctl's download progress against the node.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <chrono>
#include <regex>

#include "e2e_support.h"
#include "gui/gui_dialogs.h"
#include "gui/main_window.h"
#include "logo_bitmap.h"
#include "qtplatform/headless.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"

namespace {

using namespace osd::e2e;
using namespace osd::test;

void runFor(int ms) {
  QElapsedTimer t;
  for (t.start(); t.elapsed() < ms;) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void key(QWidget* w, QEvent::Type type, int k) {
  QKeyEvent e(type, k, Qt::NoModifier, k == Qt::Key_Return ? QStringLiteral("\r") : QString());
  QApplication::sendEvent(w, &e);
}

TEST(UxWindow, EnterThatClosedADialogIsNoTypingInTheField) {
  TempDir dir;
  const std::string rec = dir.path + "/line.bin";
  Sim sim({"--baud", "0", "--record", rec});
  osd::qt::QtSerialPort port(osd::qt::PortMap::fromSources("3=" + sim.pty()));
  osd::qt::QtEventLoop loop;
  osd::IniSettings settings(dir.path + "/s.ini", osd::kAppKey);
  settings.write("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\ComPort", "3");
  osd::gui::GuiDialogs dialogs;
  osd::qt::QtLauncher launcher;
  osd::Platform pf{port, loop, settings, dialogs, launcher, dir.path, dir.path};
  osd::App app(pf);
  osd::gui::MainWindow window(app);
  window.show();
  app.menus().skipSplash();
  app.formLoad("");
  runFor(3000);
  auto* hpos = window.findChild<QLineEdit*>(QStringLiteral("txtHPOS"));
  hpos->setFocus();
  const size_t before = slurp(rec).size();
  // "Horiz Posn": Cancel sends nothing; 50 and Enter send "AHP5F"; the release lands in H %.
  for (bool cancel : {true, false}) {
    QTimer::singleShot(100, [cancel] {
      auto* w = qobject_cast<osd::gui::InputWindow*>(QApplication::activeModalWidget());
      w->input()->setText(QStringLiteral("50"));
      if (cancel) return w->buttons()->button(QDialogButtonBox::Cancel)->click();
      key(w->input(), QEvent::KeyPress, Qt::Key_Return);
    });
    window.action("mnuDiagSub(6)")->trigger();
  }
  key(hpos, QEvent::KeyRelease, Qt::Key_Return);
  runFor(500);
  const std::string sent = slurp(rec).substr(before);
  EXPECT_EQ(sent.find("AHP"), sent.find("AHP5F")) << sent;
  EXPECT_EQ(sent.find("AHP", sent.find("AHP5F") + 1), std::string::npos) << sent;
  hpos->setText(QStringLiteral("70"));  // typing in the field and Enter still send
  key(hpos, QEvent::KeyPress, Qt::Key_0);
  key(hpos, QEvent::KeyRelease, Qt::Key_0);
  key(hpos, QEvent::KeyPress, Qt::Key_Return);
  runFor(300);
  EXPECT_NE(slurp(rec).find("AHP", before + sent.find("AHP5F") + 1), std::string::npos);
  // Up and Down step by one, as a spin box does.
  std::string steps;
  for (int k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) {
    key(hpos, QEvent::KeyPress, k);
    steps += hpos->text().toStdString() + " ";
  }
  EXPECT_EQ(steps, "71 70 69 ");
}

TEST(UxCtl, DownloadProgressFollowsTheNodeSlow) {  // about 70 s
  TempDir t;
  const std::string logo = t.path + "/logo.bmp", rec = t.path + "/rec.bin";
  std::ofstream(logo) << makeBitmap24(256, 64, [](int r, int) { return Rgb{r, 9, 9}; });
  Sim sim({"--memory", "64", "--baud", "9600", "--record", rec});
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> last{-1}, now{};
  const std::regex sentLine("sent ([0-9]+) of ([0-9]+) bytes");
  const std::string ctl = binDir() + "/osdctl download " + logo + " --port " + sim.pty() +
                          " --memory 64 --no-erase --data-dir " + t.path + " --settings " + rec +
                          ".ini 2>&1 >" + rec + ".out";
  FILE* lines = ::popen(ctl.c_str(), "r");
  long long n = -1, m = -1;
  for (char buf[512]; std::fgets(buf, sizeof buf, lines);) {
    std::cmatch match;
    if (!std::regex_search(buf, match, sentLine)) continue;
    now = std::chrono::steady_clock::now() - start;
    const std::string line = slurp(rec);
    n = std::stoll(match[1]), m = std::stoll(match[2]);
    const long long got = line.size() - std::min(line.find("QXW"), line.size());
    EXPECT_LE(std::llabs(n - got), 960) << now.count();
    EXPECT_LE(last.count() < 0 ? 0 : (now - last).count(), 2.0) << now.count();
    last = now;
  }
  EXPECT_EQ(::pclose(lines), 0);
  EXPECT_TRUE(n == 65667 && m == 65667) << n << " of " << m;
  now = std::chrono::steady_clock::now() - start;
  EXPECT_LE((now - last).count(), 3.0);  // osdctl ends soon after the node has it all
}

}  // namespace
