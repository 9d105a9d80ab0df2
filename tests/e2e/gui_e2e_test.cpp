// The main window on the offscreen platform, over the program's logic on the test doubles and
// an in-process simulated node: every control has its widget, model changes and clicks go
// both ways, the error panel, a logo loaded and dragged, the node view; and osdprog itself.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>

#include "e2e_support.h"
#include "gui/gui_dialogs.h"
#include "gui/main_window.h"
#include "gui/model_binder.h"
#include "gui/picture_box.h"
#include "support/sim_line.h"

using namespace osd;
using osd::e2e::waitFor;
using osd::gui::ModelBinder;

namespace {

template <typename T = QWidget>
T* child(QWidget& w, const std::string& name) {
  T* found = w.findChild<T*>(QString::fromStdString(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

void typeInto(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, text.right(1));
  QApplication::sendEvent(edit, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, text.right(1));
  QApplication::sendEvent(edit, &release);
}

void mouse(QWidget* w, QEvent::Type type, QPointF at, bool down) {
  QMouseEvent e(type, at, w->mapToGlobal(at),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// The window as osdprog puts it together, on the doubles; the node answers on port 3.
struct Rig {
  Rig() : line(h, {}, 0) {
    h.port.openable.insert(3);
    h.settings.set("ComPort", "3");
    window.resize(window.sizeHint());
    window.show();
  }
  // Start-up without the splash window, until the node has answered.
  void start() {
    h.app->splashShown = true;
    h.app->formLoad("");
    h.loop.advance(10000);
  }
  test::Harness h;
  test::SimLine line;
  gui::MainWindow window{*h.app};
};

}  // namespace

TEST(GuiWindow, EveryControlHasItsWidgetAndTheModelDrivesTheLayout) {
  Rig rig;
  EXPECT_EQ(rig.window.binder().unboundNames(), std::vector<std::string>{});
  EXPECT_EQ(child<QAction>(rig.window, "mnuFile")->text(), QStringLiteral("&File"));
  auto* frame = child<QGroupBox>(rig.window, "LOGO_FRAME");
  EXPECT_EQ(frame->title(), QStringLiteral("Relative Screen Position"));
  EXPECT_EQ(frame->width(), ModelBinder::toPixels(frame, 5775));
  EXPECT_EQ(frame->height(), ModelBinder::toPixels(frame, 4155, true));
  // "Show Dialog" of the diagnostic menu makes the window tall enough for the replies.
  auto* reply = child(rig.window, "replyArea");
  EXPECT_TRUE(reply->isHidden());
  for (const int twips : {6125, 5650}) {
    child<QAction>(rig.window, "mnuDiagSub(23)")->trigger();
    EXPECT_EQ(rig.h.app->ui().heightTwips(), twips);
    EXPECT_EQ(reply->isHidden(), twips == 5650);
  }
}

TEST(GuiWindow, ModelChangesAreMirrored) {
  Rig rig;
  WindowModel& ui = rig.h.app->ui();
  ui.setText("lblCopyright", "Line one\r\nLine two");
  EXPECT_EQ(child<QLabel>(rig.window, "lblCopyright")->text(),
            QStringLiteral("Line one\nLine two"));
  ui.setBackColor("txtCom", kGreen);
  EXPECT_EQ(child<QLineEdit>(rig.window, "txtCom")->palette().color(QPalette::Base),
            QColor(0, 255, 0));
  ui.setVisible("ProgressBar1", true);
  ui.setValue("ProgressBar1", 42.4);
  EXPECT_EQ(child<QProgressBar>(rig.window, "ProgressBar1")->value(), 42);
  ui.setEnabled("mnuExit", false);
  EXPECT_FALSE(child<QAction>(rig.window, "mnuExit")->isEnabled());
  ui.setChecked("mnuZoomOff", true);
  EXPECT_TRUE(child<QAction>(rig.window, "mnuZoomOff")->isChecked());
  ui.setLeft("picPicture2(1)", 1500);
  ui.setTop("picPicture2(1)", 720);
  auto* pic = child(rig.window, "picPicture2(1)");
  EXPECT_EQ(pic->pos(),
            QPoint(ModelBinder::toPixels(pic, 1500), ModelBinder::toPixels(pic, 720, true)));
  ui.setTitle("QX7 64K");
  EXPECT_EQ(rig.window.windowTitle(), QStringLiteral("QX7 64K"));
}

TEST(GuiWindow, ErrorPanelShowsEveryMessageAndOkOrAClickDismissesIt) {
  Rig rig;
  rig.start();
  auto* panel = child<QGroupBox>(rig.window, "frameError");
  auto* text = child<QLabel>(rig.window, "lblErrTxt");
  EXPECT_TRUE(panel->isHidden());
  typeInto(child<QLineEdit>(rig.window, "txtHPOS"), QStringLiteral("x"));
  typeInto(child<QLineEdit>(rig.window, "txtVPOS"), QStringLiteral("y"));
  EXPECT_FALSE(panel->isHidden());
  EXPECT_EQ(panel->title(), QStringLiteral("txtVPOS"));
  EXPECT_EQ(text->text(), QStringLiteral("Allowable Range 34 to 154  \nAllowable Range 4 to 55"));
  EXPECT_EQ(panel->x(), ModelBinder::toPixels(panel, 1000));
  EXPECT_GE(text->height(), text->heightForWidth(text->width()));  // nothing cut off
  child<QAbstractButton>(rig.window, "cmdErrOK")->click();
  EXPECT_TRUE(panel->isHidden());
  typeInto(child<QLineEdit>(rig.window, "txtVPOS"), QStringLiteral("z"));
  EXPECT_EQ(text->text(), QStringLiteral("Allowable Range 4 to 55"));
  mouse(text, QEvent::MouseButtonPress, QPointF(5, 5), true);
  mouse(text, QEvent::MouseButtonRelease, QPointF(5, 5), false);
  EXPECT_TRUE(panel->isHidden());
}

// A 256 x 64 logo loaded into a slot, dragged, and shown as the node shows it (white, the
// transparent colour, as a checkerboard).
TEST(GuiWindow, LogoIsLoadedDraggedAndShownInTheNodeView) {
  Rig rig;
  rig.start();
  QImage img(256, 64, QImage::Format_RGB888);
  img.fill(Qt::white);
  QPainter(&img).fillRect(4, 4, 56, 56, QColor(0, 0, 200));
  const QString file = QString::fromStdString(rig.h.dir) + "/LOGO.BMP";
  img.save(file, "BMP");
  rig.h.dialogs.fileNames.push_back(file.toStdString());
  child<QAction>(rig.window, "mnuOpenLogoFile")->trigger();
  const int slot = rig.h.app->selectedSlot;
  ASSERT_GE(slot, 1);
  auto* pic = child<gui::PictureBox>(rig.window, indexed("picPicture2", slot));
  ASSERT_TRUE(waitFor([&] { return !pic->image().isNull() && pic->isVisible(); }, 3000));
  EXPECT_EQ(pic->image().size(), QSize(256, 64));

  // The pointer goes down on the preview, moves right and down on the ticks, comes up.
  const QPoint before = pic->pos();
  QPointF pointer = QPointF(pic->pos()) + QPointF(10, 6);
  auto local = [&] { return pointer - QPointF(pic->pos()); };
  mouse(pic, QEvent::MouseButtonPress, local(), true);
  for (int i = 0; i < 40; ++i) {
    pointer += QPointF(3, 2);
    mouse(pic, QEvent::MouseMove, local(), true);
    rig.h.ticks(1);
  }
  mouse(pic, QEvent::MouseButtonRelease, local(), false);
  EXPECT_GT(pic->x(), before.x());
  EXPECT_GT(pic->y(), before.y());
  EXPECT_NEAR(ModelBinder::toTwips(pic, pic->x()), rig.h.app->previewLeft, 15.0);

  child<QAction>(rig.window, "mnuNodeView")->trigger();
  auto* large = child<gui::PictureBox>(rig.window, "picPicture1");
  ASSERT_TRUE(waitFor([&] { return large->image().hasAlphaChannel(); }, 3000));
  EXPECT_EQ(qAlpha(large->image().pixel(0, 0)), 0);      // white: transparent
  EXPECT_EQ(qAlpha(large->image().pixel(32, 32)), 255);  // the square: opaque
}

// Two copies of osdprog: the second asks the first to close and takes over; SIGTERM closes it
// the ordinary way (exit status 0).
TEST(GuiProgram, SecondCopyClosesTheFirstAndSigtermEndsCleanly) {
  e2e::TempDir dir;
  const QString images = QString::fromStdString(dir.path) + "/Images";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("OSDPROG_INSTANCE", QStringLiteral("test-%1").arg(QCoreApplication::applicationPid()));
  const QStringList args = {"--settings", QString::fromStdString(dir.path) + "/s.ini",
                            "--data-dir", QString::fromStdString(dir.path),
                            "--port-map", "1=/nonexistent/tty"};
  auto datFiles = [&] { return QDir(images).entryList({"*.dat"}, QDir::Files).size(); };
  QProcess first, second;
  for (QProcess* p : {&first, &second}) {
    p->setProcessEnvironment(env);
    p->start(QString::fromStdString(e2e::binDir() + "/osdprog"), args);
    ASSERT_TRUE(p->waitForStarted(5000));
    // Up and running once its data folder holds the four data files.
    if (p == &first) {
      ASSERT_TRUE(waitFor([&] { return datFiles() == 4; }, 10000));
    }
  }
  EXPECT_TRUE(first.waitForFinished(10000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  QTest::qWait(500);
  ASSERT_EQ(second.state(), QProcess::Running);
  second.terminate();
  EXPECT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
}

TEST(GuiDialogs, FiltersAndTheInputWindow) {
  EXPECT_EQ(gui::toQtFilter("BMP Files (*.bmp)|*.bmp|All Files (*.*)|*.*"),
            QStringLiteral("BMP Files (*.bmp);;All Files (*.*)"));
  EXPECT_EQ(gui::toQtFilter("Data|*.dat;*.txt"), QStringLiteral("Data (*.dat *.txt)"));
  gui::InputWindow window;
  QTimer::singleShot(50, [&] {
    window.input()->setText(QStringLiteral("0A"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(window.input(), &enter);
  });
  EXPECT_EQ(window.ask("Node ID?"), std::optional<std::string>("0A"));
  EXPECT_EQ(window.question()->text(), QStringLiteral("Node ID?"));
  QTimer::singleShot(50, [&] {
    window.input()->setText(QStringLiteral("typed"));
    window.reject();  // closed without Enter
  });
  EXPECT_EQ(window.ask("Again?"), std::nullopt);
}
