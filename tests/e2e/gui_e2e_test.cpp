// The main window on the offscreen platform, against a simulated node on a pseudo-terminal:
// every control of the model has its widget or menu entry, clicks reach the App, the error
// panel and the about window show what their models say, a logo is loaded and dragged.
// With OSD_SCREENSHOT_DIR set, pictures of the window are saved there.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <map>
#include <memory>

#include "gui/about_dialog.h"
#include "gui/gui_dialogs.h"
#include "gui/main_window.h"
#include "gui/model_binder.h"
#include "gui/picture_box.h"
#include "qtplatform/headless.h"
#include "qtplatform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "shell/about.h"
#include "shell/app.h"
#include "sim/pty_node.h"

namespace {

// The widgets need a QApplication; it is made before any test of this binary runs, so tests
// that only need the core application find it there.
class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "osd_e2e_tests";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
    }
  }
};
[[maybe_unused]] ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

class MemorySettings : public osd::SettingsBackend {
 public:
  std::optional<std::string> read(const std::string& path) override {
    auto it = values.find(path);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool write(const std::string& path, const std::string& value) override {
    values[path] = value;
    return true;
  }
  std::map<std::string, std::string> values;
};

class ScriptedDialogs : public osd::Dialogs {
 public:
  bool confirm(const std::string&, const std::string&) override { return true; }
  std::optional<std::string> askValue(const std::string&) override { return std::nullopt; }
  std::string openFileName(const std::string&, const std::string&) override { return openFile; }
  std::string saveFileName(const std::string&, const std::string&) override { return ""; }
  void message(const std::string&, const std::string&) override {}
  void beep() override { ++beeps; }
  std::string openFile;
  int beeps = 0;
};

bool waitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void pause(int ms) {
  waitFor([] { return false; }, ms);
}

void saveShot(QWidget& w, const char* name) {
  const QString dir = qEnvironmentVariable("OSD_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  EXPECT_TRUE(w.grab().save(dir + "/" + name)) << name;
}

// A 256 x 64 logo: white (the transparent colour) around a coloured badge and lettering.
QString writeLogo(const QString& dir) {
  QImage img(256, 64, QImage::Format_RGB888);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setBrush(QColor(0, 0, 200));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(4, 4, 56, 56, 10, 10);
  p.setBrush(QColor(255, 200, 0));
  p.drawEllipse(16, 16, 32, 32);
  QFont f;
  f.setPixelSize(34);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(200, 0, 0));
  p.drawText(QRect(66, 0, 190, 64), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("NEWS 24"));
  p.end();
  const QString file = dir + "/NEWS24.BMP";
  img.save(file, "BMP");
  return file;
}

template <typename T>
T* child(QWidget& w, const std::string& name) {
  return w.findChild<T*>(QString::fromStdString(name));
}

void sendKeyRelease(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->setText(text);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, text.right(1));
  QApplication::sendEvent(edit, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, text.right(1));
  QApplication::sendEvent(edit, &release);
}

void sendMouse(QWidget* w, QEvent::Type type, QPointF local, bool buttonDown) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, local, w->mapToGlobal(local), button,
                buttonDown ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// The program as osdprog puts it together, on a simulated node.
struct Rig {
  Rig() : node(options()) {
    node.start();
    map.set(3, node.devicePath());
    port = std::make_unique<osd::qt::QtSerialPort>(map);
    settings.values["HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\ComPort"] = "3";
    QDir().mkpath(dir.path() + "/Images");
    platform = std::make_unique<osd::Platform>(osd::Platform{*port, loop, settings, dialogs,
                                                             launcher, dir.path().toStdString(),
                                                             dir.path().toStdString()});
    app = std::make_unique<osd::App>(*platform);
    window = std::make_unique<osd::gui::MainWindow>(*app);
    window->resize(window->sizeHint());
    window->show();
  }
  ~Rig() {
    window.reset();
    app.reset();
    node.stop();
  }
  static osd::sim::PtyOptions options() {
    osd::sim::PtyOptions o;
    o.baud = 0;
    return o;
  }
  // Start-up without the splash window, then wait for the node to answer.
  void start() {
    app->splashShown = true;
    app->formLoad("");
  }

  QTemporaryDir dir;
  osd::sim::PtyNode node;
  osd::qt::PortMap map;
  std::unique_ptr<osd::qt::QtSerialPort> port;
  osd::qt::QtEventLoop loop;
  MemorySettings settings;
  ScriptedDialogs dialogs;
  osd::qt::QtLauncher launcher;
  std::unique_ptr<osd::Platform> platform;
  std::unique_ptr<osd::App> app;
  std::unique_ptr<osd::gui::MainWindow> window;
};

TEST(GuiWindow, EveryControlHasItsWidgetOrMenuEntry) {
  Rig rig;
  EXPECT_TRUE(rig.window->binder().unboundNames().empty())
      << "first unbound: " << rig.window->binder().unboundNames().front();
  // Captions come from the model, access keys included.
  auto* file = child<QAction>(*rig.window, "mnuFile");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->text(), QStringLiteral("&File"));
  auto* frame = child<QGroupBox>(*rig.window, "LOGO_FRAME");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->title(), QStringLiteral("Relative Screen Position"));
  // The frame is 5775 x 4155 twips on the screen's logical resolution.
  EXPECT_EQ(frame->width(), osd::gui::ModelBinder::toPixels(frame, 5775));
  EXPECT_EQ(frame->height(), osd::gui::ModelBinder::toPixels(frame, 4155, true));
  EXPECT_EQ(child<QAction>(*rig.window, "mnuNodeView")->text(), QStringLiteral("&Node View"));
  EXPECT_EQ(child<QLineEdit>(*rig.window, "txtHPOS")->text(), QStringLiteral("100"));
  EXPECT_EQ(rig.window->windowTitle(), QString::fromUtf8(osd::kDesignTitle));
}

TEST(GuiWindow, ModelChangesAreMirrored) {
  Rig rig;
  osd::WindowModel& ui = rig.app->ui();
  ui.setText("lblCopyright", "Line one\r\nLine two");
  EXPECT_EQ(child<QLabel>(*rig.window, "lblCopyright")->text(),
            QStringLiteral("Line one\nLine two"));
  ui.setBackColor("txtCom", osd::kGreen);
  EXPECT_EQ(child<QLineEdit>(*rig.window, "txtCom")->palette().color(QPalette::Base),
            QColor(0, 255, 0));
  ui.setBackColor("txtCom", osd::kSysWindow);
  EXPECT_EQ(child<QLineEdit>(*rig.window, "txtCom")->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::Base));
  ui.setVisible("ProgressBar1", true);
  ui.setValue("ProgressBar1", 42.4);
  EXPECT_EQ(child<QProgressBar>(*rig.window, "ProgressBar1")->value(), 42);
  ui.setEnabled("mnuExit", false);
  EXPECT_FALSE(child<QAction>(*rig.window, "mnuExit")->isEnabled());
  ui.setChecked("mnuZoomOff", true);
  EXPECT_TRUE(child<QAction>(*rig.window, "mnuZoomOff")->isChecked());
  ui.setLeft("picPicture2(1)", 1500);
  ui.setTop("picPicture2(1)", 720);
  auto* pic = child<QWidget>(*rig.window, "picPicture2(1)");
  EXPECT_EQ(pic->x(), osd::gui::ModelBinder::toPixels(pic, 1500));
  EXPECT_EQ(pic->y(), osd::gui::ModelBinder::toPixels(pic, 720, true));
  ui.setTitle("QX7 64K");
  EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("QX7 64K"));
}

TEST(GuiWindow, MenuClickReachesTheApp) {
  Rig rig;
  auto* reply = rig.window->findChild<QWidget*>(QStringLiteral("replyArea"));
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(reply->isHidden());  // 5650 twips: compact
  // "Show Dialog" of the diagnostic menu makes the window tall enough for the replies.
  child<QAction>(*rig.window, "mnuDiagSub(23)")->trigger();
  EXPECT_EQ(rig.app->ui().heightTwips(), 6125);
  EXPECT_FALSE(reply->isHidden());
  EXPECT_TRUE(child<QAction>(*rig.window, "mnuDiagSub(23)")->isChecked());
  rig.app->ui().setText("lblDiagSend", "QXS");
  rig.app->ui().setText("lblDiag", "QX7 64K");
  pause(100);
  saveShot(*rig.window, "reply-area.png");
  child<QAction>(*rig.window, "mnuDiagSub(23)")->trigger();
  EXPECT_EQ(rig.app->ui().heightTwips(), 5650);
  EXPECT_TRUE(reply->isHidden());
}

TEST(GuiWindow, ErrorPanelShowsWhatTheModelSays) {
  Rig rig;
  rig.start();
  auto* panel = child<QGroupBox>(*rig.window, "frameError");
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isHidden());
  // Letters typed into the position fields: two errors, one panel with two lines.
  sendKeyRelease(child<QLineEdit>(*rig.window, "txtHPOS"), QStringLiteral("x"));
  sendKeyRelease(child<QLineEdit>(*rig.window, "txtVPOS"), QStringLiteral("y"));
  EXPECT_FALSE(panel->isHidden());
  EXPECT_EQ(panel->title(), QStringLiteral("txtVPOS"));
  EXPECT_EQ(child<QLabel>(*rig.window, "lblErrTxt")->text(),
            QStringLiteral("Allowable Range 34 to 154  \nAllowable Range 4 to 55"));
  EXPECT_EQ(child<QLineEdit>(*rig.window, "txtHPOS")->text(), QStringLiteral("0"));
  // The panel lies at 1000, 1000 twips in the client area and its text is not cut off.
  EXPECT_EQ(panel->x(), osd::gui::ModelBinder::toPixels(panel, 1000));
  auto* text = child<QLabel>(*rig.window, "lblErrTxt");
  EXPECT_GE(text->height(), text->heightForWidth(text->width()));
  saveShot(*rig.window, "error-panel.png");
  // OK dismisses it.
  child<QAbstractButton>(*rig.window, "cmdErrOK")->click();
  EXPECT_TRUE(panel->isHidden());
  EXPECT_FALSE(rig.app->ui().visible("frameError"));
  // A click on the panel's text dismisses it too; a new error shows only its own message.
  sendKeyRelease(child<QLineEdit>(*rig.window, "txtVPOS"), QStringLiteral("z"));
  EXPECT_FALSE(panel->isHidden());
  EXPECT_EQ(text->text(), QStringLiteral("Allowable Range 4 to 55"));
  sendMouse(text, QEvent::MouseButtonPress, QPointF(5, 5), true);
  sendMouse(text, QEvent::MouseButtonRelease, QPointF(5, 5), false);
  EXPECT_TRUE(panel->isHidden());
}

TEST(GuiWindow, SimulatedNodeLogoLoadedAndDragged) {
  Rig rig;
  rig.start();
  ASSERT_TRUE(waitFor([&] { return rig.app->ui().title() != osd::kDesignTitle; }, 20000))
      << "the simulated node did not identify itself";
  // The port menu shows the device beside the port's name.
  bool listed = false;
  for (int i = 1; i <= 12; ++i) {
    const std::string entry = osd::indexed("mnuCOMsel", i);
    if (rig.app->ui().get(entry).tag != "3" || !rig.app->ui().visible(entry)) continue;
    listed = true;
    EXPECT_TRUE(child<QAction>(*rig.window, entry)
                    ->text()
                    .endsWith(QChar('\t') + QString::fromStdString(rig.node.devicePath())))
        << child<QAction>(*rig.window, entry)->text().toStdString();
  }
  EXPECT_TRUE(listed);
  if (auto* comMenu = rig.window->findChild<QMenu*>(QStringLiteral("mnuCOMMenu"))) {
    comMenu->popup(rig.window->mapToGlobal(QPoint(40, 20)));
    pause(100);
    saveShot(*comMenu, "com-menu.png");
    comMenu->hide();
  }
  rig.dialogs.openFile = writeLogo(rig.dir.path()).toStdString();
  child<QAction>(*rig.window, "mnuOpenLogoFile")->trigger();
  const int slot = rig.app->selectedSlot;
  ASSERT_GE(slot, 1);
  const std::string name = osd::indexed("picPicture2", slot);
  auto* pic = child<osd::gui::PictureBox>(*rig.window, name);
  ASSERT_NE(pic, nullptr);
  ASSERT_TRUE(waitFor([&] { return !pic->image().isNull() && pic->isVisible(); }, 3000));
  EXPECT_EQ(pic->image().size(), QSize(256, 64));
  EXPECT_EQ(child<QLabel>(*rig.window, osd::indexed("lblLogoName", slot))->text().isEmpty(), false);

  // Drag: the pointer rests on the preview, goes down, moves right and down, comes up.
  const QPoint before = pic->pos();
  QPointF pointer = QPointF(pic->pos()) + QPointF(10, 6);  // in the frame
  auto local = [&] { return pointer - QPointF(pic->pos()); };
  sendMouse(pic, QEvent::MouseMove, local(), false);
  pause(40);
  sendMouse(pic, QEvent::MouseButtonPress, local(), true);
  for (int i = 0; i < 40; ++i) {
    pointer += QPointF(3, 2);
    sendMouse(pic, QEvent::MouseMove, local(), true);
    pause(30);
  }
  sendMouse(pic, QEvent::MouseButtonRelease, local(), false);
  EXPECT_GT(pic->x(), before.x());
  EXPECT_GT(pic->y(), before.y());
  EXPECT_NE(child<QLineEdit>(*rig.window, "txtHPOS")->text(), QStringLiteral("100"));
  EXPECT_NEAR(osd::gui::ModelBinder::toTwips(pic, pic->x()), rig.app->previewLeft, 15.0);
  // The colour bars behind the screen frame.
  child<QAction>(*rig.window, "mnu_SMPTE")->trigger();
  EXPECT_TRUE(child<QWidget>(*rig.window, "img_SMPTE")->isVisible());
  rig.app->showStatus("Logo placed at H " + rig.app->ui().text("txtHPOS") + " %, V " +
                      rig.app->ui().text("txtVPOS") + " %");
  pause(200);
  saveShot(*rig.window, "main-window.png");

  // The node view: the logo as the node shows it, transparent white as a checkerboard.
  child<QAction>(*rig.window, "mnuNodeView")->trigger();
  EXPECT_TRUE(rig.app->nodeView);
  EXPECT_TRUE(child<QAction>(*rig.window, "mnuNodeView")->isChecked());
  auto* large = child<osd::gui::PictureBox>(*rig.window, "picPicture1");
  ASSERT_TRUE(
      waitFor([&] { return !large->image().isNull() && large->image().hasAlphaChannel(); }, 3000));
  EXPECT_TRUE(large->isVisible());
  EXPECT_EQ(large->image().size(), QSize(256, 64));
  EXPECT_EQ(qAlpha(large->image().pixel(0, 0)), 0);      // white: transparent
  EXPECT_EQ(qAlpha(large->image().pixel(32, 32)), 255);  // the badge: opaque
  saveShot(*rig.window, "node-view.png");
}

TEST(GuiWindow, AboutWindowShowsItsLabels) {
  Rig rig;
  child<QAction>(*rig.window, "mnuAbout")->trigger();
  auto* about = QApplication::topLevelWidgets().isEmpty() ? nullptr : [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == QStringLiteral("frmAbout") && w->isVisible()) return w;
    }
    return static_cast<QWidget*>(nullptr);
  }();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("lblProductName"))->text(),
            QStringLiteral("ZE3/ZI7-Vova"));
  EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("lblProduct"))->text(),
            QStringLiteral("RA7-Ziro\nOn Screen Display Programmer"));
  EXPECT_TRUE(
      about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().startsWith("Version "));
  // Show the credits as the timer would, for the picture.
  rig.app->about()->ui().setVisible("lblCredit", true);
  saveShot(*about, "about-window.png");
  // A key closes it.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QApplication::sendEvent(about, &key);
  EXPECT_FALSE(about->isVisible());
  EXPECT_FALSE(rig.app->about()->isOpen());
}

// Two copies of osdprog: the second asks the first to close and takes over; SIGTERM closes it
// the ordinary way (exit status 0).
TEST(GuiProgram, SecondCopyClosesTheFirstAndSigtermEndsCleanly) {
  const QString bin = qEnvironmentVariable("OSD_BIN_DIR");
  if (bin.isEmpty()) GTEST_SKIP() << "OSD_BIN_DIR not set";
  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("OSDPROG_INSTANCE"),
             QStringLiteral("test-%1").arg(QCoreApplication::applicationPid()));
  const QStringList args = {QStringLiteral("--settings"), dir.path() + QStringLiteral("/s.ini"),
                            QStringLiteral("--data-dir"), dir.path(),
                            QStringLiteral("--port-map"), QStringLiteral("1=/dev/null-osd")};
  QProcess first;
  first.setProcessEnvironment(env);
  first.start(bin + QStringLiteral("/osdprog"), args);
  ASSERT_TRUE(first.waitForStarted(5000));
  pause(2500);
  ASSERT_EQ(first.state(), QProcess::Running);
  QProcess second;
  second.setProcessEnvironment(env);
  second.start(bin + QStringLiteral("/osdprog"), args);
  ASSERT_TRUE(second.waitForStarted(5000));
  EXPECT_TRUE(first.waitForFinished(10000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  pause(1500);
  ASSERT_EQ(second.state(), QProcess::Running);
  second.terminate();  // SIGTERM
  EXPECT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  // The data folder got its "Images" with the four data files.
  EXPECT_EQ(QDir(dir.path() + QStringLiteral("/Images"))
                .entryList({QStringLiteral("*.dat")}, QDir::Files)
                .size(),
            4);
}

TEST(GuiDialogsFilter, BasicFilterBecomesQtNameFilters) {
  EXPECT_EQ(osd::gui::toQtFilter("BMP Files (*.bmp)|*.bmp|All Files (*.*)|*.*"),
            QStringLiteral("BMP Files (*.bmp);;All Files (*.*)"));
  EXPECT_EQ(osd::gui::toQtFilter("Data|*.dat;*.txt"), QStringLiteral("Data (*.dat *.txt)"));
}

TEST(GuiDialogsInput, EnterGivesTheTextOtherClosesGiveNothing) {
  osd::gui::InputWindow window;
  QTimer::singleShot(50, [&] {
    window.input()->setText(QStringLiteral("0A"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(window.input(), &enter);
  });
  EXPECT_EQ(window.ask("Node ID?"), std::optional<std::string>("0A"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Additional Data Needed"));
  EXPECT_EQ(window.question()->text(), QStringLiteral("Node ID?"));
  QTimer::singleShot(50, [&] {
    window.input()->setText(QStringLiteral("typed"));
    window.reject();  // closed without Enter
  });
  EXPECT_EQ(window.ask("Again?"), std::nullopt);
  EXPECT_TRUE(window.input()->text() == QStringLiteral("typed"));
}

}  // namespace
