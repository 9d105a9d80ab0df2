// The main window offscreen, over the program's logic on the doubles and an in-process node:
// widgets, menu clicks, the error panel, a logo loaded, dragged and shown as the node shows it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include "e2e_support.h"
#include "gui/gui_dialogs.h"
#include "gui/main_window.h"
#include "gui/picture_box.h"
#include "gui/schedule_window.h"
#include "gui/widget_mirror.h"
#include "support/sim_line.h"

using namespace osd;
using osd::e2e::waitFor;
using osd::gui::toTwips;

namespace {

std::string indexed(const char* base, int index) {
  return std::string(base) + "(" + std::to_string(index) + ")";
}

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
  // Started: without the splash window, until the node has answered.
  explicit Rig(bool started = true) : line(h, {}, 0) {
    h.port.openable.insert(3);
    h.settings.set("ComPort", "3");
    window.resize(window.sizeHint());
    window.show();
    if (!started) return;
    h.app->menus().skipSplash();
    h.app->formLoad("");
    h.loop.advance(10000);
  }
  test::Harness h;
  test::SimLine line;
  gui::MainWindow window{*h.app};
};

}  // namespace

// Every menu entry runs an operation, the captions are the program's own (with an access key,
// apart from the captions the node's maker gave), and "Show Dialog" of the diagnostic menu
// shows the reply area.
TEST(GuiWindow, EveryEntryIsConnectedAndTheCaptionsAreTheProgramsOwn) {
  Rig rig(false);
  // clang-format off
  const std::pair<const char*, const char*> captions[] = {
      {"mnuDownloadLogotoRam", "&Download Image to RAM"}, {"mnuDiagSub(23)", "Show Dialog"}, {"mnuSetLGx(0)", "AutoSelect SX Type"},
      {"mnuLogoSel(3)", "Logo&3"}, {"mnuCOMsel(0)", "&Search for Com Ports"}, {"mnuUpLoadLogo", "&Upload Selected Logo From RU7+"},
      {"mnuPaintBrush", "&PaintBrush"}, {"mnuPaintBrush_top", "&Paintbrush_Editor"}, {"mnuNodeView", "&Node View"}};
  // clang-format on
  for (auto [name, caption] : captions)
    EXPECT_EQ(rig.window.action(name)->text(), QString::fromUtf8(caption)) << name;
  EXPECT_EQ(child<QRadioButton>(rig.window, "optLOGO(9)")->text(), QStringLiteral("Logo9"));
  EXPECT_EQ(child<QGroupBox>(rig.window, "Frame2")->title(), QStringLiteral("Data Type"));
  auto* reply = child(rig.window, "replyArea");
  EXPECT_TRUE(reply->isHidden());
  for (const bool shown : {true, false}) {
    QAction* showDialog = rig.window.action("mnuDiagSub(23)");
    showDialog->trigger();
    EXPECT_TRUE(rig.h.app->port().view().replyShown == shown && showDialog->isChecked() == shown &&
                reply->isHidden() == !shown);
  }
  const char* given[] = {
      "mnuDiagSub(",           "mnuSetLGx(", "mnuShowMode(", "mnuLogoSel(1", "mnu_",
      "mnuRecentFile(",        "mnuZoomO",   "mnuNTSB",      "mnuPAL",       "mnuImageControl",
      "mnuSaveVideoContolData"};
  for (QAction* a : rig.window.findChildren<QAction*>()) {
    const std::string name = a->objectName().toStdString();
    const bool own = std::none_of(std::begin(given), std::end(given),
                                  [&](const char* g) { return name.starts_with(g); });
    const bool shown = !a->isSeparator() && a->isVisible() && !name.empty();
    EXPECT_TRUE(!shown || !own || a->text().contains('&')) << name;
    // Separators and the menus themselves run nothing; "Save Logo to .SX1 DOS Disk File" is
    // never offered.
    if (a->isSeparator() || a->menu() || a->objectName().isEmpty() ||
        a->objectName() == QStringLiteral("mnuSaveLogoDisk")) {
      continue;
    }
    // Taking the connections away says whether there were any.
    EXPECT_TRUE(QObject::disconnect(a, &QAction::triggered, nullptr, nullptr))
        << a->objectName().toStdString();
  }
}

// Tab goes down the window as it is laid out, the slot options being one stop; an arrow moves
// inside them and sends nothing.
TEST(GuiWindow, TabFollowsTheLayoutAndArrowsMoveAmongTheSlots) {
  Rig rig;
  rig.h.app->menus().chooseModel(4);
  QApplication::setActiveWindow(&rig.window);
  auto* first = child<QRadioButton>(rig.window, "optLOGO(1)");
  first->setFocus();
  const auto press = [](int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &e);
    return QApplication::focusWidget()->objectName().toStdString();
  };
  const size_t sent = rig.h.port.writes.size();
  std::vector<std::string> order;
  for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) order.push_back(press(key));
  for (int i = 0; i < 8; ++i) order.push_back(press(Qt::Key_Tab));
  EXPECT_EQ(order, (std::vector<std::string>{"optLOGO(2)", "optLOGO(3)", "optLOGO(2)", "txtHPOS",
                                             "txtVPOS", "txtNODE", "optNTSC(0)", "optNTSC(1)",
                                             "optRGB(0)", "optRGB(1)", "btn_Exit"}));
  EXPECT_TRUE(rig.h.port.writes.size() == sent && first->isChecked());  // nothing chosen
}

// Enter on a question takes its preset button: Cancel for the questions that write to a node.
TEST(GuiWindow, EnterOnAQuestionTakesItsPresetButton) {
  osd::gui::GuiDialogs dialogs;
  for (const auto preset : {Dialogs::Preset::Cancel, Dialogs::Preset::Ok}) {
    QTimer::singleShot(0, [] {
      QWidget* box = QApplication::activeModalWidget();
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      if (box) QApplication::sendEvent(box, &enter);
    });
    EXPECT_EQ(dialogs.confirm("Notice", "This will write.", preset, {}),
              preset == Dialogs::Preset::Ok);
  }
}

// A letter in a position field shows the error panel; a click on its text dismisses it.
TEST(GuiWindow, ErrorPanelShowsAndAClickOnItsTextDismissesIt) {
  Rig rig;
  auto* panel = child<QGroupBox>(rig.window, "frameError");
  auto* vpos = child<QLineEdit>(rig.window, "txtVPOS");
  typeInto(vpos, QStringLiteral("y"));
  EXPECT_TRUE(panel->isHidden());  // typing alone commits nothing
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(vpos, &enter);
  EXPECT_FALSE(panel->isHidden());
  auto* text = child<QLabel>(rig.window, "lblErrTxt");
  EXPECT_EQ(text->text(), QStringLiteral("Allowable Range 4 to 55"));
  mouse(text, QEvent::MouseButtonPress, QPointF(5, 5), true);
  mouse(text, QEvent::MouseButtonRelease, QPointF(5, 5), false);
  EXPECT_TRUE(panel->isHidden());
}

TEST(GuiWindow, ACutLabelOffersItsWholeTextAsTipForEachNewTextAndWidth) {
  gui::ElidedLabel label(nullptr, Qt::ElideRight);
  const QString whole(60, QChar('W')), none;
  const std::tuple<QString, int, QString> steps[] = {
      {whole, 80, whole}, {"ab", 80, none}, {whole, 80, whole}, {whole, 4000, none}};
  for (const auto& [text, width, tip] : steps) {
    label.setText(text);
    label.resize(width, 20);
    label.grab();  // paints
    EXPECT_EQ(label.toolTip(), tip) << width;
  }
}

// A 256 x 64 logo loaded into a slot, dragged, and shown as the node shows it (white, the
// transparent colour, as a checkerboard).
TEST(GuiWindow, LogoIsLoadedDraggedAndShownInTheNodeView) {
  Rig rig;
  QImage img(256, 64, QImage::Format_RGB888);
  img.fill(Qt::white);
  QPainter(&img).fillRect(4, 4, 56, 56, QColor(0, 0, 200));
  const QString file = QString::fromStdString(rig.h.dir) + "/LOGO.BMP";
  img.save(file, "BMP");
  rig.h.dialogs.fileNames.push_back(file.toStdString());
  child<QAction>(rig.window, "mnuOpenLogoFile")->trigger();
  const int slot = rig.h.app->bench().logos().selected;
  ASSERT_GE(slot, 1);
  EXPECT_TRUE(child<QRadioButton>(rig.window, indexed("optLOGO", slot))->isChecked());
  auto* pic = child<gui::PictureBox>(rig.window, indexed("picPicture2", slot));
  ASSERT_TRUE(waitFor([&] { return !pic->image().isNull() && pic->isVisible(); }, 30000));
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
  EXPECT_TRUE(pic->x() > before.x() && pic->y() > before.y());
  EXPECT_NEAR(toTwips(pic, pic->x()),
              rig.h.app->placement().view().places.at(static_cast<size_t>(slot)).left, 15.0);

  child<QAction>(rig.window, "mnuNodeView")->trigger();
  auto* large = child<gui::PictureBox>(rig.window, "picPicture1");
  ASSERT_TRUE(waitFor([&] { return large->image().hasAlphaChannel(); }, 30000));
  EXPECT_EQ(qAlpha(large->image().pixel(0, 0)), 0);      // white: transparent
  EXPECT_EQ(qAlpha(large->image().pixel(32, 32)), 255);  // the square: opaque
  // Transparent parts show a checkerboard of 8-pixel squares, down to the logo's bottom.
  const QImage shot = large->grab().toImage();
  const QSize shown = large->image().size().scaled(shot.size(), Qt::KeepAspectRatio);
  const QPoint corner = QPoint(shot.width() + shown.width(), shot.height() + shown.height()) / 2 -
                        QPoint(5, 5);  // near the bottom right of the logo, in its white
  EXPECT_NE(shot.pixel(corner), shot.pixel(corner - QPoint(8, 0)));
  EXPECT_NE(shot.pixel(corner), shot.pixel(corner - QPoint(0, 8)));
  // A slot's name takes a line; an empty one takes no room.
  for (int k = 1; k <= 4; ++k) {
    auto* name = child<QLabel>(rig.window, indexed("lblLogoName", k));
    for (const QSize hint : {name->minimumSizeHint(), name->sizeHint()})
      EXPECT_EQ(hint.height() > 0, !name->text().isEmpty()) << k << " " << name->text().size();
  }
}

// The schedule editor window: each widget runs the editor's operation and shows its view.
TEST(GuiWindow, ScheduleWindowRunsTheEditorAndShowsItsView) {
  Rig rig(false);
  ScheduleTable& s = rig.h.app->schedule().table();
  s.start[0] = 1920, s.end[0] = 2160, s.on[0] = 1, s.off[0] = 40, s.logo[0] = 0;
  rig.h.app->choices().setModel(4);
  rig.h.app->schedule().openEditor([&](ScheduleEditor& editor) {
    gui::ScheduleWindow w(editor);
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("SX-1 and  SX-4 Take Scheduler"));
    child<QPushButton>(w, "Command1(3)")->click();  // row 0, Wednesday
    EXPECT_TRUE(s.dayFlags[0][3] && child<QPushButton>(w, "Command1(3)")->text() == "x");
    auto* logo = child<QLineEdit>(w, "txtLogo(0)");
    mouse(logo, QEvent::MouseButtonPress, QPointF(3, 3), true);
    EXPECT_TRUE(s.logo[0] == 1 && logo->text() == "1");
    auto* option = child<QRadioButton>(w, "Option1(0)");
    EXPECT_TRUE(option->isChecked());  // the logo's row is the one the sliders edit
    option->click();                   // a second click leaves it selected
    EXPECT_TRUE(option->isChecked());
    auto* start = child<QScrollBar>(w, "VScroll1(0)");
    EXPECT_EQ(start->value(), 1920);
    start->setValue(1924);
    EXPECT_TRUE(s.start[0] == 1924 && child<QLineEdit>(w, "txtStart(0)")->text() == "8:01:00 ");
    auto* scan = child<QPushButton>(w, "cmdScan");
    EXPECT_EQ(scan->text(), QStringLiteral("Scan for Conflicts"));
    child<QCheckBox>(w, "chkAutoScan")->click();
    EXPECT_TRUE(!scan->isEnabled() && rig.h.settings.get("AutoScan") == "1");
    child<QPushButton>(w, "cmdButtons(1)")->click();
    EXPECT_EQ(child<QLabel>(w, "lblStatus")->text(), QStringLiteral("Schedule saved"));
    auto* exitButton = child<QPushButton>(w, "cmdButtons(0)");
    EXPECT_EQ(exitButton->text(), QStringLiteral("EXIT"));
    exitButton->click();
    EXPECT_FALSE(w.isVisible() || rig.h.app->schedule().editorOpen());
  });
}
