#include "gui/main_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <functional>

#include "common/logo_models.h"
#include "gui/about_dialog.h"
#include "gui/import_dialog.h"
#include "gui/picture_box.h"
#include "gui/scan_dialog.h"
#include "gui/schedule_window.h"
#include "gui/widget_mirror.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/diag_menu.h"

namespace osd::gui {

namespace {

constexpr int kFrameWidthTwips = 5775;
constexpr int kFrameHeightTwips = 4155;
// Where the screen lies in the "Relative Screen Position" frame (twips): the previews are
// placed between these edges.
constexpr int kScreenLeftTwips = 60;
constexpr int kScreenTopTwips = 240;
// A preview is drawn in the size its logo takes on a 720 x 480 picture.
constexpr double kTwipsPerPixelH = 5600.0 / 720.0;
constexpr double kTwipsPerPixelV = 3840.0 / 480.0;
// Where the error panel lies over the window (twips).
constexpr int kErrorLeftTwips = 1000, kErrorTopTwips = 1000;
constexpr int kErrorWidthTwips = 3500, kErrorHeightTwips = 2000;

using Run = void (*)(App&);
struct Entry {
  const char* name;
  const char* caption;
  Run run;
};

// The node's commands of the File menu.
const Entry kFileEntries[] = {
    {"mnuDownloadLogotoRam", "&Download Image to RAM",
     [](App& a) { a.download().downloadToRam(); }},
    {"mnu_ImageToEEPROM", "Download OSD Image to EEPROM",
     [](App& a) { a.download().downloadToRam(); }},
    {"mnu_Erase", "&Erase Image in EEPROM", [](App& a) { a.download().eraseImage(); }},
    {"mnuSaveCurrentSettings", "Save Current &Settings in RU7 NVRAM",
     [](App& a) { a.video().saveCurrentSettings(); }},
    {"mnuSaveLogoinNVRAM", "Save &Logo in NVRAM", [](App& a) { a.download().saveLogoInNvram(); }},
    {"mnuSaveVideoContolData", "Send Video Controller setup data",
     [](App& a) { a.video().sendSetup(); }},
    {"mnuSaveLogoDisk", "Save Logo to .SX1 DOS Dis&k File", nullptr},
    {"mnuUpLoadLogo", "&Upload Selected Logo From RU7+", [](App& a) { a.logos().upload(); }},
};

const Entry kNodeEntries[] = {
    {"mnuWakeUpNode", "Wake-Up &Node", [](App& a) { a.port().wakeNode(); }},
    {"mnuWakeUpAllNodes", "Wake-Up &All Nodes", [](App& a) { a.port().wakeAllNodes(); }},
    {"mnuAllNodesSleep", "Put Node to &Sleep", [](App& a) { a.port().sleepNodes(); }},
    {"mnuSetIDtoCurrentNode", "Change Node &ID",
     [](App& a) { a.diag().run(DiagEntry::ChangeIdNum); }},
};

const Entry kZoomEntries[] = {
    {"mnuZoomOff", "Off", [](App& a) { a.logos().zoomOff(); }},
    {"mnuZoomOn", "On", [](App& a) { a.logos().zoomOn(); }},
    {"mnuNodeView", "&Node View", [](App& a) { a.logos().toggleNodeView(); }},
};

const Entry kEditEntries[] = {
    {"mnuPaintBrush", "&PaintBrush", [](App& a) { a.menus().openPaint(); }},
    {"mnuNTSBVideo", "NTSB Video Format", [](App& a) { a.video().editFile(VideoFile::Ntsc); }},
    {"mnuPALBVideo", "PAL B Video Format", [](App& a) { a.video().editFile(VideoFile::PalB); }},
    {"mnuPALMVideo", "PAL M Video Format", [](App& a) { a.video().editFile(VideoFile::PalM); }},
    {"mnuImageControl", "Image Control Data ",
     [](App& a) { a.video().editFile(VideoFile::ImageControl); }},
};

const Entry kScheduleEntries[] = {
    {"mnuScheduleEdit(1)", "Schedule &Lock", [](App& a) { a.schedule().toggleLock(); }},
    {"mnuScheduleOnOff", "Scheduler O&N/OFF", [](App& a) { a.schedule().toggleOn(); }},
    {"mnuPanelLock", "Front Panel &Lock", [](App& a) { a.menus().togglePanelLock(); }},
};

const Entry kHelpEntries[] = {
    {"mnuManual", "&Manual", [](App& a) { a.menus().openManual(); }},
    {"mnuAbout", "&About", [](App& a) { a.menus().about(); }},
    {"mnuCopyright", "&Sigilon Copyright", [](App& a) { a.port().askCopyright(); }},
    {"mnuDiagTools", "&Diagnostic Tools", [](App& a) { a.menus().toggleDiagTools(); }},
};

const char* const kShowModeCaptions[3] = {"Show Intensity", "Show Mix", "Show Fade"};

// The logo menu's caption of slot i.
QString logoMenuCaption(int i) {
  if (i <= 2) return QStringLiteral("OSD&%1").arg(i);
  return i <= 9 ? QStringLiteral("Logo&%1").arg(i) : QStringLiteral("Logo%1").arg(i);
}

QString nameOf(const std::string& base, int index) {
  return QStringLiteral("%1(%2)").arg(toQt(base)).arg(index);
}

QString q(const char* text) {
  return QString::fromUtf8(text);
}

// The object name of a "Diag" menu entry: its place in the menu.
std::string diagEntryName(DiagEntry entry) {
  return "mnuDiagSub(" + std::to_string(diagPlace(entry)) + ")";
}

// A one-line label whose text never widens the window: a long text is cut short at its end.
QLabel* namedLabel(const char* name, QWidget* parent = nullptr) {
  auto* label = new ElidedLabel(parent, Qt::ElideRight);
  label->setObjectName(q(name));
  label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  return label;
}

// A label that breaks its text into lines within the width it is given.
QLabel* wrappingLabel(const char* name, QWidget* parent = nullptr) {
  auto* label = new QLabel(parent);
  label->setObjectName(q(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

QLabel* caption(const QString& text, QWidget* parent = nullptr) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

QLineEdit* namedEdit(const char* name, int chars) {
  auto* edit = new QLineEdit;
  edit->setObjectName(q(name));
  edit->setAlignment(Qt::AlignRight);
  QFontMetrics fm(edit->font());
  edit->setFixedWidth(fm.horizontalAdvance(QString(chars + 1, QChar('0'))) + 14);
  return edit;
}

}  // namespace

QImage drawColourBars(QSize size) {
  if (size.width() < 1 || size.height() < 1) return {};
  QImage img(size, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  const int w = size.width();
  const int h = size.height();
  auto band = [&](int row0, int row1, const QList<QColor>& colours, const QList<double>& widths) {
    double x = 0;
    for (qsizetype i = 0; i < colours.size(); ++i) {
      double x1 = x + widths[i] * w;
      p.fillRect(QRectF(x, row0, x1 - x, row1 - row0), colours[i]);
      x = x1;
    }
  };
  const int v = 191;  // 75 % of full level
  const QList<QColor> bars = {QColor(v, v, v), QColor(v, v, 0), QColor(0, v, v), QColor(0, v, 0),
                              QColor(v, 0, v), QColor(v, 0, 0), QColor(0, 0, v)};
  const QList<double> seventh(7, 1.0 / 7.0);
  const int top = h * 2 / 3;
  const int mid = h * 3 / 4;
  band(0, top, bars, seventh);
  band(top, mid,
       {QColor(0, 0, v), QColor(19, 19, 19), QColor(v, 0, v), QColor(19, 19, 19), QColor(0, v, v),
        QColor(19, 19, 19), QColor(v, v, v)},
       seventh);
  const double s = 1.0 / 7.0;
  band(mid, h,
       {QColor(0, 33, 76), QColor(255, 255, 255), QColor(50, 0, 106), QColor(19, 19, 19),
        QColor(9, 9, 9), QColor(19, 19, 19), QColor(29, 29, 29), QColor(19, 19, 19)},
       {s * 5 / 4, s * 5 / 4, s * 5 / 4, s * 5 / 4, s / 3, s / 3, s / 3, s});
  return img;
}

MainWindow::MainWindow(App& app, QWidget* parent) : QMainWindow(parent), app_(app) {
  setObjectName(q("frmMain"));
  buildMenus();
  buildCentral();
  bindAreas();
  placeScreenLayers();
  app_.menus().setWindowActions(
      {.exit = [this]() { close(); },
       .showAbout = [this](AboutWindow& about, bool modal) { showAbout(about, modal); }});
}

MainWindow::~MainWindow() {
  app_.menus().setWindowActions({});
  app_.statusLine().onChange(nullptr);
  app_.port().onChange(nullptr);
  app_.logos().onChange(nullptr);
  app_.menus().onChange(nullptr);
  app_.video().onChange(nullptr);
  app_.placement().onChange(nullptr);
  app_.schedule().onChange(nullptr);
  delete about_.data();
}

QAction* MainWindow::action(const std::string& name) const {
  return actions_.value(toQt(name), nullptr);
}

// ---------------------------------------------------------------------------- menus

QMenu* MainWindow::addMenu(const char* name, const char* caption) {
  QMenu* menu = menuBar()->addMenu(q(caption));
  menu->setObjectName(q(name) + q("Menu"));
  menu->menuAction()->setObjectName(q(name));
  actions_.insert(q(name), menu->menuAction());
  menu->setToolTipsVisible(true);
  return menu;
}

QAction* MainWindow::addEntry(QMenu* menu, const std::string& name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(toQt(name));
  actions_.insert(a->objectName(), a);
  return a;
}

void MainWindow::buildMenus() {
  buildFileMenu();
  QMenu* com = addMenu("mnuCOM", "&Com");
  portSearch_ = addEntry(com, "mnuCOMsel(0)", q("&Search for Com Ports"));
  com->addSeparator();
  for (size_t i = 0; i < portEntries_.size(); ++i) {
    portEntries_[i] = addEntry(com, "mnuCOMsel(" + std::to_string(i + 1) + ")", QString());
    portEntries_[i]->setCheckable(true);
  }
  QMenu* node = addMenu("mnuNode", "&Node");
  const auto connectEntry = [this](QAction* a, Run run) {
    if (run) connect(a, &QAction::triggered, this, [this, run] { run(app_); });
  };
  for (const Entry& e : kNodeEntries) connectEntry(addEntry(node, e.name, q(e.caption)), e.run);
  connect(addEntry(node, "mnuFindNodes", q("&Find Nodes on the Line…")), &QAction::triggered, this,
          [this] { ScanDialog::run(app_, this); });
  QMenu* zoom = addMenu("mnuZoom", "&Zoom");
  for (const Entry& e : kZoomEntries) {
    if (e.name == std::string("mnuNodeView")) zoom->addSeparator();
    QAction* a = addEntry(zoom, e.name, q(e.caption));
    a->setCheckable(true);
    connectEntry(a, e.run);
  }
  // "&Paintbrush_Editor" opens the paint program at once: an entry of the bar itself.
  QAction* paintTop = menuBar()->addAction(q("&Paintbrush_Editor"));
  paintTop->setObjectName(q("mnuPaintBrush_top"));
  actions_.insert(paintTop->objectName(), paintTop);
  connect(paintTop, &QAction::triggered, this, [this] { app_.menus().openPaint(); });
  QMenu* edit = addMenu("mnuEdit", "&Edit");
  for (const Entry& e : kEditEntries) connectEntry(addEntry(edit, e.name, q(e.caption)), e.run);
  buildOptionMenus();
  QMenu* help = addMenu("mnuHelp", "&Help");
  for (const Entry& e : kHelpEntries) {
    QAction* a = addEntry(help, e.name, q(e.caption));
    if (e.name == std::string("mnuDiagTools")) a->setCheckable(true);
    connectEntry(a, e.run);
  }
}

void MainWindow::buildFileMenu() {
  QMenu* file = addMenu("mnuFile", "&File");
  connect(addEntry(file, "mnuOpenLogoFile", q("&Open OSD Image File")), &QAction::triggered, this,
          [this] { app_.logos().openLogo(); });
  connect(addEntry(file, "mnuImportPicture", q("&Import Picture…")), &QAction::triggered, this,
          [this] { ImportDialog::run(app_, this); });
  for (const Entry& e : kFileEntries) {
    QAction* a = addEntry(file, e.name, q(e.caption));
    if (e.run) connect(a, &QAction::triggered, this, [this, run = e.run] { run(app_); });
  }
  file->addSeparator();
  for (int i = 0; i < LogoSlots::kRecentCount; ++i) {
    connect(addEntry(file, "mnuRecentFile(" + std::to_string(i) + ")", QString()),
            &QAction::triggered, this, [this, i] { app_.logos().openRecent(i); });
  }
  file->addSeparator();
  connect(addEntry(file, "mnuExit", q("E&xit")), &QAction::triggered, this,
          [this] { app_.menus().exit(); });
}

// The menus of options: the logo menu, the schedule menu with the model, and "Diag".
void MainWindow::buildOptionMenus() {
  QMenu* logo = addMenu("mnuLogo", "&OSD");
  for (int i = 1; i <= 15; ++i) {
    QAction* a = addEntry(logo, "mnuLogoSel(" + std::to_string(i) + ")", logoMenuCaption(i));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, i] { app_.logos().chooseFromMenu(i); });
  }
  logo->addSeparator();
  for (int i = 0; i <= 3; ++i) {
    QAction* a = addEntry(logo, "mnuShowMode(" + std::to_string(i) + ")",
                          i < 3 ? q(kShowModeCaptions[i]) : QString());
    a->setCheckable(i < 3);
    connect(a, &QAction::triggered, this, [this, i] { app_.menus().showMode(i); });
  }
  QAction* smpte = addEntry(logo, "mnu_SMPTE", q("SMPTE Background"));
  smpte->setCheckable(true);
  connect(smpte, &QAction::triggered, this, [this] { app_.menus().toggleSmpte(); });

  QMenu* schedule = addMenu("mnuSchedule", "&Schedule");
  connect(addEntry(schedule, "mnuScheduleEdit(0)", q("Schedule &View")), &QAction::triggered, this,
          [this] {
            app_.schedule().openEditor(
                [this](ScheduleEditor& editor) { runScheduleEditor(editor, this); });
          });
  for (const Entry& e : kScheduleEntries) {
    QAction* a = addEntry(schedule, e.name, q(e.caption));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, run = e.run] { run(app_); });
  }
  schedule->addSeparator();
  std::vector<int> models{0};  // 0: automatic
  models.insert(models.end(), kLogoModels.begin(), kLogoModels.end());
  for (int n : models) {
    QAction* a = addEntry(schedule, "mnuSetLGx(" + std::to_string(n) + ")",
                          n == 0 ? q("AutoSelect SX Type") : QStringLiteral("Set as SX-%1").arg(n));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, n] { app_.menus().chooseModel(n); });
  }

  QMenu* diag = addMenu("mnuDiag", "&Diag");
  for (const DiagEntry entry : diagEntries()) {
    QAction* a = addEntry(diag, diagEntryName(entry), q(diagRow(entry).caption));
    a->setCheckable(entry == DiagEntry::ShowDialog);
    connect(a, &QAction::triggered, this, [this, entry] { app_.diag().run(entry); });
  }
}

// ---------------------------------------------------------------------------- body

void MainWindow::buildCentral() {
  auto* central = new QWidget;
  central->setObjectName(q("clientArea"));
  setCentralWidget(central);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(8, 8, 8, 4);
  outer->setSpacing(6);

  auto* top = new QHBoxLayout;
  top->setSpacing(10);
  outer->addLayout(top);

  // Left column: the screen with the logo preview, and the figures below it.
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  top->addLayout(left);
  buildScreen(left);
  buildFigures(left);
  left->addStretch(1);

  // Right column: slot choice, position, node, video mode and data type.
  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  top->addLayout(right, 1);
  buildSlotChoice(right);
  buildPositionBox(right);
  buildNodeBox(right);
  buildModeBoxes(right);
  for (QLineEdit* field : {hpos_, vpos_, node_}) field->installEventFilter(this);
  connect(node_, &QLineEdit::textEdited, this,
          [this](const QString& text) { app_.port().setNodeId(fromQt(text)); });

  buildBottomStrip(outer);
  buildReplyArea(outer);
  buildStatusLine();
  buildErrorPanel(central);

  // Tab goes down the right column as it is laid out, then to Exit. The slot options are one
  // stop (arrows move inside them, see showLogos).
  QWidget* last = nullptr;
  const auto next = [&last](QWidget* w) {
    if (last != nullptr) QWidget::setTabOrder(last, w);
    last = w;
  };
  for (SlotWidgets& w : slots_) {
    next(w.option);
    w.option->installEventFilter(this);
  }
  for (QWidget* w : {static_cast<QWidget*>(hpos_), static_cast<QWidget*>(vpos_),
                     static_cast<QWidget*>(node_), static_cast<QWidget*>(standard_[0]),
                     static_cast<QWidget*>(standard_[1]), static_cast<QWidget*>(format_[0]),
                     static_cast<QWidget*>(format_[1]), findChild<QWidget*>(q("btn_Exit"))}) {
    next(w);
  }
}

// The slot options take Tab as one stop: the chosen one (or the first offered) is reached by
// Tab, the others by the arrows and the mouse.
void MainWindow::slotTabStop() {
  QRadioButton* stop = nullptr;
  for (const SlotWidgets& w : slots_) {
    if (!w.option->isHidden() && (stop == nullptr || w.option->isChecked())) stop = w.option;
    if (stop != nullptr && stop->isChecked()) break;
  }
  for (const SlotWidgets& w : slots_) {
    w.option->setFocusPolicy(w.option == stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

// An arrow on a slot option moves the focus to the next offered option that way; choosing
// stays with Space or a click, so that moving through them sends nothing to the node.
bool MainWindow::slotArrow(QObject* watched, int key) {
  int at = -1;
  for (int i = 0; i < LogoView::kSlots; ++i) {
    if (slots_[static_cast<size_t>(i)].option == watched) at = i;
  }
  if (at < 0) return false;
  const int step = key == Qt::Key_Up || key == Qt::Key_Left ? -1 : 1;
  for (int i = at + step; i >= 0 && i < LogoView::kSlots; i += step) {
    QRadioButton* option = slots_[static_cast<size_t>(i)].option;
    if (option->isHidden() || !option->isEnabled()) continue;
    option->setFocus(Qt::OtherFocusReason);
    break;
  }
  return true;
}

void MainWindow::buildScreen(QBoxLayout* column) {
  logoFrame_ = new QGroupBox(q("Relative Screen Position"));
  logoFrame_->setObjectName(q("LOGO_FRAME"));
  logoFrame_->setFixedSize(toPixels(this, kFrameWidthTwips),
                           toPixels(this, kFrameHeightTwips, true));
  logoFrame_->installEventFilter(this);
  column->addWidget(logoFrame_);

  // The screen itself: dark, as a monitor without a picture, under the colour bars.
  screen_ = new QFrame(logoFrame_);
  screen_->setObjectName(q("screenArea"));
  screen_->setAutoFillBackground(true);
  QPalette dark = screen_->palette();
  dark.setColor(QPalette::Window, QColor(0x1e, 0x22, 0x26));
  screen_->setPalette(dark);
  smpte_ = new PictureBox(logoFrame_);
  smpte_->setObjectName(q("img_SMPTE"));
  smpte_->setProperty("osdDrawn", true);
  addSlotPreviews();
  largeView_ = new PictureBox(logoFrame_);
  largeView_->setObjectName(q("picPicture1"));
  largeView_->setProperty("osdDrawn", true);
  largeView_->setKeepAspect(true);
  largeView_->setSharpPixels(true);
  largeView_->setAutoFillBackground(true);
  largeView_->setBackgroundRole(QPalette::Dark);
}

// One preview a slot over the screen; dragging a preview moves that logo.
void MainWindow::addSlotPreviews() {
  for (int i = 0; i < LogoView::kSlots; ++i) {
    auto* pic = new PictureBox(logoFrame_);
    pic->setObjectName(nameOf("picPicture2", i));
    pic->setMouseTracking(true);
    pic->setCursor(Qt::SizeAllCursor);
    pic->setSharpPixels(true);
    pic->setToolTip(tr("Drag to place the logo on the screen"));
    pic->onMouse = [this, pic, i](int kind, QPointF pos) {
      PlacementPresenter& placement = app_.placement();
      const double x = toTwips(pic, pos.x()), y = toTwips(pic, pos.y(), true);
      try {
        if (kind == 0) {
          placement.press(i);
        } else if (kind == 1) {
          placement.move(i, x, y);
        } else {
          placement.release(i);
        }
      } catch (const std::exception& e) {
        app_.statusLine().error(e.what(), kind == 0 ? ErrorAt::PreviewPress : ErrorAt::PreviewDrag);
      }
    };
    pic->setGeometry(toPixels(this, kScreenLeftTwips), toPixels(this, kScreenTopTwips, true), 64,
                     16);
    pic->hide();
    slots_[static_cast<size_t>(i)].preview = pic;
  }
}

void MainWindow::buildFigures(QBoxLayout* column) {
  auto* figures = new QGridLayout;
  figures->setHorizontalSpacing(8);
  figures->setVerticalSpacing(2);
  column->addLayout(figures);
  figures->addWidget(caption(tr("EEPROM Size")), 0, 0);
  figures->addWidget(namedLabel("lblEEPSize"), 0, 1);
  // The logo's size takes two lines: their room is there from the start, so that loading a
  // logo neither overlaps the row below nor makes the window grow at the next layout.
  QLabel* imageSize = namedLabel("lblImgSize");
  imageSize->setMinimumHeight(2 * imageSize->fontMetrics().lineSpacing());
  figures->addWidget(imageSize, 0, 2);
  QLabel* settings[] = {wrappingLabel("lblImageSettings"), wrappingLabel("lblVideoSettings")};
  for (int i = 0; i < 2; ++i) {
    settings[i]->setMaximumWidth(logoFrame_->width());
    figures->addWidget(settings[i], i + 1, 0, 1, 3);
  }
  figures->setColumnStretch(2, 1);
}

void MainWindow::buildSlotChoice(QBoxLayout* column) {
  auto* select = new QGroupBox(q("Image Data"));
  select->setObjectName(q("LOGO_SELECT"));
  select->setMinimumHeight(toPixels(this, kFrameHeightTwips, true));
  auto* slotGrid = new QGridLayout(select);
  slotGrid->setHorizontalSpacing(6);
  slotGrid->setVerticalSpacing(1);
  for (int i = 0; i < LogoView::kSlots; ++i) {
    SlotWidgets& w = slots_[static_cast<size_t>(i)];
    w.option = new QRadioButton(i == 9 ? q("Logo9") : QStringLiteral("Logo %1").arg(i));
    w.option->setObjectName(nameOf("optLOGO", i));
    w.option->setAutoExclusive(false);
    connect(w.option, &QRadioButton::clicked, this, [this, i] {
      app_.logos().chooseSlot(i);
      showSlot(i);  // the option shows the choice as the presenter took it
      showSchedule();
    });
    w.lamp = new Lamp;
    w.lamp->setObjectName(nameOf("Shape1", i));
    w.lamp->hide();
    auto* name = new ElidedLabel;
    name->setObjectName(nameOf("lblLogoName", i));
    name->setMinimumWidth(150);
    w.name = name;
    slotGrid->addWidget(w.option, i, 0);
    slotGrid->addWidget(w.lamp, i, 1);
    slotGrid->addWidget(w.name, i, 2);
  }
  slotGrid->setColumnStretch(2, 1);
  slotGrid->setRowStretch(16, 1);
  column->addWidget(select, 1);
}

void MainWindow::buildModeBoxes(QBoxLayout* column) {
  auto* modes = new QHBoxLayout;
  column->addLayout(modes);
  struct Group {
    const char* frame;
    const char* caption;
    const char* option;
    const char* choices[2];
    std::array<QRadioButton*, 2>* buttons;
  };
  const Group groups[] = {{"Frame1", "Video Mode", "optNTSC", {"NTSC", "PAL"}, &standard_},
                          {"Frame2", "Data Type", "optRGB", {"RGB", "YCbCr"}, &format_}};
  for (const Group& g : groups) {
    auto* box = new QGroupBox(q(g.caption));
    box->setObjectName(q(g.frame));
    auto* row = new QHBoxLayout(box);
    for (int i = 0; i < 2; ++i) {
      auto* opt = new QRadioButton(q(g.choices[i]));
      opt->setObjectName(nameOf(g.option, i));
      opt->setAutoExclusive(false);
      (*g.buttons)[static_cast<size_t>(i)] = opt;
      row->addWidget(opt);
    }
    modes->addWidget(box);
  }
  for (int i = 0; i < 2; ++i) {
    connect(standard_[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] {
      app_.video().chooseStandard(i == 1);
      showVideo();
    });
    connect(format_[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] {
      app_.video().chooseFormat(i == 0 ? PixelFormat::Rgb : PixelFormat::YCbCr);
      showVideo();
    });
  }
}

void MainWindow::buildPositionBox(QBoxLayout* column) {
  auto* place = new QGroupBox(tr("Position"));
  place->setObjectName(q("positionBox"));
  auto* pos = new QGridLayout(place);
  pos->setHorizontalSpacing(6);
  pos->addWidget(new QLabel(tr("H %")), 0, 0);
  hpos_ = namedEdit("txtHPOS", 3);
  pos->addWidget(hpos_, 0, 1);
  pos->addWidget(new QLabel(tr("V %")), 0, 2);
  vpos_ = namedEdit("txtVPOS", 3);
  pos->addWidget(vpos_, 0, 3);
  pos->setColumnStretch(4, 1);
  pos->addWidget(namedLabel("lblStartPosn"), 1, 0, 1, 5);
  column->addWidget(place);
}

void MainWindow::buildNodeBox(QBoxLayout* column) {
  auto* link = new QGroupBox(tr("Node"));
  link->setObjectName(q("linkBox"));
  auto* nodeRow = new QGridLayout(link);
  nodeRow->setHorizontalSpacing(6);
  nodeRow->addWidget(namedLabel("lblNode"), 0, 0);
  node_ = namedEdit("txtNODE", 3);
  nodeRow->addWidget(node_, 0, 1);
  nodeRow->addWidget(new QLabel(tr("Com")), 0, 2);
  com_ = namedEdit("txtCom", 3);
  com_->setReadOnly(true);
  com_->setFocusPolicy(Qt::NoFocus);
  nodeRow->addWidget(com_, 0, 3);
  nodeRow->setColumnStretch(4, 1);
  column->addWidget(link);
}

// Bottom strip: schedule state, clock and the exit button.
void MainWindow::buildBottomStrip(QBoxLayout* outer) {
  auto* strip = new QHBoxLayout;
  outer->addLayout(strip);
  running_ = namedLabel("lblRunning");
  running_->setText(q("Schedule Running"));
  QFont bold = running_->font();
  bold.setBold(true);
  running_->setFont(bold);
  strip->addWidget(running_);
  strip->addStretch(1);
  QLabel* clock = namedLabel("lblCurrentTime");
  // A fixed size: the text changing every second then repaints the label alone, without
  // laying out the window again.
  clock->setFixedSize(std::max(90, clock->fontMetrics().horizontalAdvance(q("23:59:59")) + 12),
                      clock->fontMetrics().height() + 4);
  clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  strip->addWidget(clock);
  auto* exit = new QPushButton(q("Exit"));
  exit->setObjectName(q("btn_Exit"));
  connect(exit, &QPushButton::clicked, this, [this] { app_.menus().exit(); });
  strip->addWidget(exit);
}

// The reply area, shown when the window is tall enough.
void MainWindow::buildReplyArea(QBoxLayout* outer) {
  replyArea_ = new QFrame;
  replyArea_->setObjectName(q("replyArea"));
  replyArea_->setFrameShape(QFrame::StyledPanel);
  auto* replies = new QGridLayout(replyArea_);
  replies->setContentsMargins(6, 4, 6, 4);
  replies->setVerticalSpacing(2);
  replies->addWidget(caption(tr("Reply")), 0, 0);
  replies->addWidget(namedLabel("lblDiag"), 0, 1);
  replies->addWidget(namedLabel("lblCount"), 0, 2);
  replies->addWidget(caption(tr("Sent")), 1, 0);
  replies->addWidget(namedLabel("lblDiagSend"), 1, 1);
  replies->addWidget(namedLabel("lblSCount"), 1, 2);
  replies->setColumnStretch(1, 1);
  outer->addWidget(replyArea_);
}

// Status line and progress bar.
void MainWindow::buildStatusLine() {
  statusText_ = namedLabel("lblCopyright");
  statusText_->installEventFilter(this);
  statusBar()->addWidget(statusText_, 1);
  awake_ = namedLabel("lblAwake");
  awake_->setContentsMargins(8, 0, 8, 0);
  statusBar()->addPermanentWidget(awake_);
  progress_ = new QProgressBar;
  progress_->setObjectName(q("ProgressBar1"));
  progress_->setRange(0, 100);
  progress_->setFixedWidth(180);
  progress_->hide();
  statusBar()->addPermanentWidget(progress_);
  statusBar()->setSizeGripEnabled(false);
}

// The error panel lies over the window at the place the model gives it.
void MainWindow::buildErrorPanel(QWidget* central) {
  errorPanel_ = new QGroupBox(central);
  errorPanel_->setObjectName(q("frameError"));
  errorPanel_->setProperty("osdTwips", true);
  errorPanel_->setAutoFillBackground(true);
  // A red heading tab over a pale panel, so it stands out over the screen frame.
  errorPanel_->setStyleSheet(
      q("QGroupBox#frameError { border: 2px solid #a01010; border-radius: 3px; margin-top: 0px;"
        " padding-top: 1.5em; background-color: #fff4f0; }"
        " QGroupBox#frameError::title { subcontrol-origin: border; subcontrol-position: top left;"
        " left: 0px; top: 0px; padding: 2px 10px; background-color: #a01010; color: white;"
        " font-weight: bold; }"
        " QLabel#lblErrTxt { color: black; }"));
  auto* errLayout = new QVBoxLayout(errorPanel_);
  errLayout->setContentsMargins(8, 6, 8, 6);
  errorText_ = wrappingLabel("lblErrTxt");
  errorText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  errorText_->installEventFilter(this);
  errLayout->addWidget(errorText_, 1);
  auto* ok = new QPushButton(tr("OK"));
  errorOk_ = ok;
  ok->setObjectName(q("cmdErrOK"));
  ok->setFocusPolicy(Qt::StrongFocus);
  connect(ok, &QPushButton::clicked, this, [this] { app_.statusLine().dismissError(); });
  // Escape dismisses the panel while it is up.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), errorPanel_);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { app_.statusLine().dismissError(); });
  errLayout->addWidget(ok, 0, Qt::AlignRight);
  errorPanel_->installEventFilter(this);
  errorPanel_->hide();
}

// ---------------------------------------------------------------------------- mirroring

void MainWindow::bindAreas() {
  app_.statusLine().onChange([this] { showStatus(); });
  app_.port().onChange([this] { showPort(); });
  app_.logos().onChange([this] { showLogos(); });
  app_.menus().onChange([this] { showMenus(); });
  app_.video().onChange([this] { showVideo(); });
  app_.placement().onChange([this] { showPlacement(); });
  app_.schedule().onChange([this] { showSchedule(); });
  connect(portSearch_, &QAction::triggered, this, [this] { app_.port().searchPorts(); });
  for (size_t i = 0; i < portEntries_.size(); ++i) {
    connect(portEntries_[i], &QAction::triggered, this, [this, i] {
      const PortView& v = app_.port().view();
      if (i < v.ports.size()) app_.port().selectPort(v.ports[i].number);
      showPort();  // the check marks are the view's, not the click's
    });
  }
  showStatus();
  showPort();
  showLogos();
  showMenus();
  showVideo();
  showPlacement();
  showSchedule();
}

void MainWindow::showStatus() {
  const StatusView& v = app_.statusLine().view();
  showText(statusText_, v.status);
  showText(awake_, v.awake);
  progress_->setVisible(v.progressShown);
  progress_->setValue(static_cast<int>(std::lround(v.progress)));
  errorPanel_->setTitle(displayText(v.errorTitle));
  showText(errorText_, v.errorText);
  if (v.errorShown && errorPanel_->isHidden()) {
    // The panel's OK is the next stop of Tab from wherever the operator is.
    QWidget* at = focusWidget();
    if (at != nullptr && at != errorOk_ && at->window() == this) QWidget::setTabOrder(at, errorOk_);
  }
  errorPanel_->setVisible(v.errorShown);
  fitErrorPanel();
  if (v.busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
  setEnabled(v.windowEnabled);
  // A status text set during a long operation is painted at once.
  if (v.paints != statusPaints_) {
    statusPaints_ = v.paints;
    if (statusText_->isVisible()) statusText_->repaint();
  }
}

void MainWindow::showPort() {
  const PortView& v = app_.port().view();
  for (size_t i = 0; i < portEntries_.size(); ++i) {
    QAction* entry = portEntries_[i];
    const bool shown = i < v.ports.size();
    entry->setVisible(shown);
    if (!shown) continue;
    const PortEntry& p = v.ports[i];
    // The menu shows the device a number stands for beside it.
    entry->setText(QStringLiteral("COM&%1\t%2").arg(p.number).arg(toQt(p.device)));
    entry->setChecked(p.checked);
  }
  setWindowTitle(toQt(v.title));
  showText(com_, std::to_string(v.port));
  paintColours(com_, kColorDefault, v.portColour);
  showText(node_, v.nodeId);
  showText(label("lblNode"), v.nodeLabel);
  showText(label("lblEEPSize"), v.memory);
  showText(label("lblDiag"), v.answer);
  showText(label("lblCount"), v.answerCount);
  showText(label("lblDiagSend"), v.sent);
  showText(label("lblSCount"), v.sentCount);
  showText(label("lblCurrentTime"), v.clock);
  setChecked(diagEntryName(DiagEntry::ShowDialog), v.replyShown);
  if (replyArea_ && replyArea_->isHidden() == v.replyShown) {
    replyArea_->setVisible(v.replyShown);
    if (isVisible() && !isMaximized()) QTimer::singleShot(0, this, [this]() { adjustSize(); });
  }
}

void MainWindow::showLogos() {
  const LogoView& v = app_.logos().view();
  for (int i = 0; i < LogoView::kSlots; ++i) showSlot(i);
  showSchedule();  // the slots' lamps follow the names shown
  for (int i = 1; i <= 15; ++i) {
    QAction* entry = action("mnuLogoSel(" + std::to_string(i) + ")");
    entry->setVisible(i <= v.menuSlots);
    entry->setChecked(i == v.menuChecked);
  }
  for (int i = 0; i < LogoSlots::kRecentCount; ++i) {
    const std::string& file = v.recent[static_cast<size_t>(i)];
    QAction* entry = action("mnuRecentFile(" + std::to_string(i) + ")");
    const bool offered = !file.empty();
    entry->setText(toQt(file));
    entry->setVisible(offered);
    entry->setEnabled(offered);
  }
  showText(label("lblImgSize"), v.size);
  slotTabStop();
  setChecked("mnuZoomOn", v.zoomOn);
  setChecked("mnuZoomOff", v.zoomOff);
  setChecked("mnuNodeView", v.nodeView);
  largeView_->setVisible(v.largeShown);
  scheduleLargeView();
}

void MainWindow::showSlot(int i) {
  const SlotView& v = app_.logos().view().slot[static_cast<size_t>(i)];
  SlotWidgets& w = slots_[static_cast<size_t>(i)];
  w.option->setVisible(v.offered);
  w.option->setEnabled(v.enabled);
  w.option->setChecked(v.chosen);
  w.name->setVisible(v.nameShown);
  showText(w.name, v.name);
  PictureBox* pic = w.preview;
  const int reloads = app_.logos().view().reloads;
  // A picture is read again when its file may have been rewritten under the same name.
  if (toQt(v.image) != pic->imageFile() || (reloads != w.reloads && !v.image.empty())) {
    pic->setImageFile(toQt(v.image));
  }
  w.reloads = reloads;
  const QSize size = pic->image().isNull() ? QSize(256, 64) : pic->image().size();
  const int width = v.width > 0 ? v.width : static_cast<int>(size.width() * kTwipsPerPixelH);
  const int height = v.height > 0 ? v.height : static_cast<int>(size.height() * kTwipsPerPixelV);
  pic->resize(std::max(8, toPixels(pic, width)), std::max(4, toPixels(pic, height, true)));
  pic->setVisible(v.previewShown);
}

void MainWindow::showMenus() {
  const MenusView& v = app_.menus().view();
  setEntry("mnuDownloadLogotoRam", v.download.shown, v.download.enabled);
  setEntry("mnu_ImageToEEPROM", v.toEeprom.shown, v.toEeprom.enabled);
  setEntry("mnu_Erase", v.erase.shown, v.erase.enabled);
  setEntry("mnuSaveCurrentSettings", v.saveSettings.shown, v.saveSettings.enabled);
  setEntry("mnuSaveLogoinNVRAM", v.saveLogo.shown, v.saveLogo.enabled);
  setEntry("mnuSaveVideoContolData", v.sendSetup.shown, v.sendSetup.enabled);
  setEntry("mnuSaveLogoDisk", v.saveToDisk.shown, v.saveToDisk.enabled);
  setEntry("mnuUpLoadLogo", v.upload.shown, v.upload.enabled);
  setEntry(diagEntryName(DiagEntry::SendLogo), true, v.sendLogo);
  portSearch_->setEnabled(v.portSearch);
  setChecked("mnuShowMode(0)", v.showIntensity);
  setChecked("mnuShowMode(1)", v.showMix);
  setChecked("mnuShowMode(2)", v.showFade);
  action("mnuShowMode(3)")->setText(toQt(v.transparentCaption));
  setChecked("mnu_SMPTE", v.smpte);
  smpte_->setVisible(v.smpte);
  setChecked("mnuDiagTools", v.diagTools);
  action("mnuDiag")->setVisible(v.diagTools);
  setChecked("mnuPanelLock", v.panelLock);
  setChecked("mnuSetLGx(0)", v.model == 0);
  for (int n : kLogoModels) setChecked("mnuSetLGx(" + std::to_string(n) + ")", n == v.model);
}

void MainWindow::showVideo() {
  const VideoView& v = app_.video().view();
  for (int i = 0; i < 2; ++i) {
    standard_[static_cast<size_t>(i)]->setChecked(v.pal.has_value() && *v.pal == (i == 1));
    format_[static_cast<size_t>(i)]->setChecked(
        v.format.has_value() && *v.format == (i == 0 ? PixelFormat::Rgb : PixelFormat::YCbCr));
  }
  showText(label("lblImageSettings"), v.imageSettings);
  showText(label("lblVideoSettings"), v.videoSettings);
  scheduleLargeView();
}

void MainWindow::showPlacement() {
  const PlacementView& v = app_.placement().view();
  showText(hpos_, v.hpos);
  showText(vpos_, v.vpos);
  hpos_->setEnabled(!v.locked);
  vpos_->setEnabled(!v.locked);
  showText(label("lblStartPosn"), v.startPosition);
  for (int i = 0; i < LogoView::kSlots; ++i) {
    PictureBox* pic = slots_[static_cast<size_t>(i)].preview;
    const PlacementView::Place& at = v.places[static_cast<size_t>(i)];
    // 0 is the place the preview was laid out at.
    const int left = at.left != 0 ? at.left : kScreenLeftTwips;
    const int top = at.top != 0 ? at.top : kScreenTopTwips;
    pic->move(toPixels(pic, left), toPixels(pic, top, true));
    pic->setEnabled(!v.locked);
  }
}

void MainWindow::showSchedule() {
  const ScheduleView& v = app_.schedule().view();
  setChecked("mnuScheduleOnOff", v.on);
  setChecked("mnuScheduleEdit(1)", v.locked);
  running_->setVisible(v.on);
  paintColours(running_, v.runningColour, kColorDefault);
  const LogoView& logos = app_.logos().view();
  for (int i = 0; i < LogoView::kSlots; ++i) {
    const SlotWidgets& w = slots_[static_cast<size_t>(i)];
    const ScheduleView::Lamp& lamp = v.lamps[static_cast<size_t>(i)];
    w.lamp->setVisible(lamp.shown && logos.slot[static_cast<size_t>(i)].nameShown);
    paintColours(w.lamp, kColorDefault, lamp.colour);
    paintColours(w.option, v.optionColours[static_cast<size_t>(i)], kColorDefault);
  }
}

void MainWindow::setEntry(const std::string& name, bool shown, bool enabled) {
  QAction* a = action(name);
  a->setVisible(shown);
  a->setEnabled(enabled);
}

void MainWindow::setChecked(const std::string& name, bool checked) {
  QAction* a = action(name);
  a->setCheckable(true);
  a->setChecked(checked);
}

void MainWindow::placeScreenLayers() {
  if (!logoFrame_ || !smpte_ || !largeView_ || !screen_) return;
  const int l = toPixels(this, kScreenLeftTwips);
  const int t = toPixels(this, kScreenTopTwips, true);
  QRect screen(l, t, logoFrame_->width() - 2 * l, logoFrame_->height() - t - l);
  if (smpte_->geometry() != screen || smpte_->image().size() != screen.size()) {
    smpte_->setGeometry(screen);
    smpte_->setImage(drawColourBars(screen.size()));
  }
  largeView_->setGeometry(screen);
  screen_->setGeometry(screen);
  smpte_->lower();
  screen_->lower();
  largeView_->raise();
}

void MainWindow::scheduleLargeView() {
  if (largeViewPending_) return;
  largeViewPending_ = true;
  QTimer::singleShot(0, this, [this]() {
    largeViewPending_ = false;
    updateLargeView();
  });
}

void MainWindow::updateLargeView() {
  if (!largeView_) return;
  const LogoView& v = app_.logos().view();
  if (!v.nodeView) {
    largeView_->setCheckerboard(false);
    if (toQt(v.largeImage) != largeView_->imageFile() || v.reloads != largeReloads_) {
      largeView_->setImageFile(toQt(v.largeImage));
    }
    largeReloads_ = v.reloads;
    return;
  }
  largeReloads_ = -1;
  const NodeViewPicture picture = app_.logos().nodeViewPicture();
  QImage image;
  if (picture.width > 0 && picture.height > 0) {
    image = QImage(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y) {
      auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
      for (int x = 0; x < picture.width; ++x) {
        line[x] = picture.argb[static_cast<size_t>(y) * static_cast<size_t>(picture.width) +
                               static_cast<size_t>(x)];
      }
    }
  }
  largeView_->setCheckerboard(true);
  largeView_->setImage(image);
}

void MainWindow::fitErrorPanel() {
  if (!errorPanel_ || errorPanel_->isHidden()) return;
  // The panel's place is fixed; it grows where its text needs more room.
  errorPanel_->move(toPixels(this, kErrorLeftTwips), toPixels(this, kErrorTopTwips, true));
  const int w = std::max(toPixels(this, kErrorWidthTwips), 300);
  const int h = toPixels(this, kErrorHeightTwips, true);
  int need = errorPanel_->layout()->hasHeightForWidth()
                 ? errorPanel_->layout()->totalHeightForWidth(w)
                 : errorPanel_->sizeHint().height();
  errorPanel_->resize(w, std::max(h, need));
  errorPanel_->raise();
}

void MainWindow::showAbout(AboutWindow& about, bool modal) {
  // One about window at a time: the previous one lets go of the logic first.
  delete about_.data();
  // Without a parent: the splash stays usable while the main window is disabled.
  about_ = new AboutDialog(about, nullptr);
  about_->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  about_->adjustSize();
  const QRect me = frameGeometry();
  about_->move(me.center() - QPoint(about_->width() / 2, about_->height() / 2));
  if (modal) {
    modalAbout_ = true;
    about_->exec();
    modalAbout_ = false;
    delete about_.data();
    if (closeAfterAbout_) QTimer::singleShot(0, this, &QWidget::close);
  } else {
    about_->show();
  }
}

// ---------------------------------------------------------------------------- events

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == logoFrame_ && event->type() == QEvent::Resize) {
    placeScreenLayers();
  } else if (event->type() == QEvent::KeyPress && qobject_cast<QRadioButton*>(watched)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool arrow =
        key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    if (arrow && slotArrow(watched, key)) return true;
  } else if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
    // Only a key pressed in the field and released there is typing: the release of the
    // Enter that closed a dialog lands in the field that gets the focus back. A position
    // field commits its value with Enter and when the focus leaves it.
    const bool position = edit == hpos_ || edit == vpos_;
    const Axis axis = edit == hpos_ ? Axis::Horizontal : Axis::Vertical;
    // The field's text goes to the presenter when it differs from what it has.
    const auto key = [this, edit, axis] {
      const std::string text = fromQt(edit->text());
      const PlacementView& v = app_.placement().view();
      if (text != (axis == Axis::Horizontal ? v.hpos : v.vpos)) {
        app_.placement().keyPosition(axis, text);
      }
    };
    const auto commit = [this, &key, axis] {
      key();
      app_.placement().commitPosition(axis);
    };
    QSet<int>& down = keysDown_[watched];
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
      down.clear();
      if (position && event->type() == QEvent::FocusOut) commit();
    } else if (event->type() == QEvent::KeyPress) {
      const int pressed = static_cast<QKeyEvent*>(event)->key();
      down.insert(pressed);
      if (position && (pressed == Qt::Key_Return || pressed == Qt::Key_Enter)) commit();
      if (position && (pressed == Qt::Key_Up || pressed == Qt::Key_Down)) {
        key();  // Up and Down step as a spin box does, and send at once
        app_.placement().stepPosition(axis, pressed == Qt::Key_Up ? 1 : -1);
        return true;
      }
    } else if (event->type() == QEvent::KeyRelease) {
      const int released = static_cast<QKeyEvent*>(event)->key();
      const bool typed =
          down.remove(released) && released != Qt::Key_Return && released != Qt::Key_Enter;
      if (typed && position) key();
    } else if (event->type() == QEvent::MouseButtonRelease && edit == node_) {
      // A click on the node field asks for the node's new ID ("Change ID Num").
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QTimer::singleShot(0, this, [this]() { app_.diag().run(DiagEntry::ChangeIdNum); });
      }
    }
  } else if ((watched == errorPanel_ || watched == errorText_) &&
             event->type() == QEvent::MouseButtonRelease) {
    app_.statusLine().dismissError();
    return true;
  } else if (watched == statusText_ && event->type() == QEvent::MouseButtonRelease) {
    app_.statusLine().dismissResult();  // a download's result stays until clicked away
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (modalAbout_) {
    // The start-up splash runs modally below this call: it ends first, then the window closes.
    closeAfterAbout_ = true;
    if (app_.menus().aboutWindow()) app_.menus().aboutWindow()->close();
    event->ignore();
    return;
  }
  // A download or a scan keeps the window until it has been stopped at a block's end.
  if (!closing_ && !app_.download().closeRequested(CloseBy::Operator)) {
    event->ignore();
    return;
  }
  // Unloading the window ends the about window's logic too: the view lets go of it first.
  delete about_.data();
  if (!closing_) {
    closing_ = true;
    app_.shutdown();
  }
  event->accept();
}

}  // namespace osd::gui
