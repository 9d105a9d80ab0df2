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

#include "common/logo_models.h"
#include "gui/about_dialog.h"
#include "gui/import_dialog.h"
#include "gui/picture_box.h"
#include "gui/scan_dialog.h"
#include "gui/schedule_window.h"
#include "gui/widget_mirror.h"
#include "link/diag_table.h"
#include "shell/about.h"
#include "shell/app.h"

namespace osd::gui {

namespace {

constexpr int kFrameWidthTwips = 5775;
constexpr int kFrameHeightTwips = 4155;
// Where the error panel lies over the window (twips).
constexpr int kErrorLeftTwips = 1000, kErrorTopTwips = 1000;
constexpr int kErrorWidthTwips = 3500, kErrorHeightTwips = 2000;
// Where the screen lies in the "Relative Screen Position" frame (twips): the previews are
// placed between these edges.
constexpr int kScreenLeftTwips = 60;
constexpr int kScreenTopTwips = 240;
// A preview is drawn in the size its logo takes on a 720 x 480 picture.
constexpr double kTwipsPerPixelH = 5600.0 / 720.0;
constexpr double kTwipsPerPixelV = 3840.0 / 480.0;

QString q(const char* text) {
  return QString::fromUtf8(text);
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

  binder_ = new ModelBinder(app_.ui(), nullptr, this);
  binder_->onControlChanged = [this](const std::string& name) { controlChanged(name); };
  binder_->bindTree(this);
  binder_->forwardClicks([this](const std::string& name) { forward(name); });
  bindStatus();
  bindPort();
  placeScreenLayers();

  app_.setWindowActions(
      {[this]() { close(); }, [this](ScheduleEditor& editor) { runScheduleEditor(editor, this); },
       [this](AboutWindow& about, bool modal) { showAbout(about, modal); },
       [this]() { ImportDialog::run(app_, this); }, [this]() { ScanDialog::run(app_, this); }});
}

MainWindow::~MainWindow() {
  app_.setWindowActions({});
  app_.statusLine().onChange(nullptr);
  app_.port().onChange(nullptr);
  delete about_.data();
  delete binder_;
  binder_ = nullptr;
}

void MainWindow::forward(const std::string& name) {
  // The node view is this window's own entry of the zoom menu.
  if (name == "mnuNodeView") {
    app_.nodeViewClick();
  } else {
    app_.click(name);
  }
}

// ---------------------------------------------------------------------------- menus

QMenu* MainWindow::addMenu(const char* name) {
  QMenu* menu = menuBar()->addMenu(QString());
  menu->setObjectName(q(name) + q("Menu"));
  menu->menuAction()->setObjectName(q(name));
  menu->setToolTipsVisible(true);
  return menu;
}

void MainWindow::addEntry(QMenu* menu, const std::string& name) {
  QAction* a = menu->addAction(QString());
  a->setObjectName(QString::fromStdString(name));
}

void MainWindow::buildMenus() {
  QMenu* file = addMenu("mnuFile");
  for (const char* n :
       {"mnuOpenLogoFile", "mnuImportPicture", "mnuDownloadLogotoRam", "mnu_ImageToEEPROM",
        "mnu_Erase", "mnuSaveCurrentSettings", "mnuSaveLogoinNVRAM", "mnuSaveVideoContolData",
        "mnuSaveLogoDisk", "mnuUpLoadLogo"}) {
    addEntry(file, n);
  }
  file->addSeparator();
  for (int i = 0; i < 8; ++i) addEntry(file, indexed("mnuRecentFile", i));
  file->addSeparator();
  addEntry(file, "mnuExit");

  QMenu* com = addMenu("mnuCOM");
  portSearch_ = com->addAction(tr("&Search for Com Ports"));
  portSearch_->setObjectName(q("mnuCOMsel(0)"));
  com->addSeparator();
  for (size_t i = 0; i < portEntries_.size(); ++i) {
    portEntries_[i] = com->addAction(QString());
    portEntries_[i]->setObjectName(toQt(indexed("mnuCOMsel", static_cast<int>(i) + 1)));
    portEntries_[i]->setCheckable(true);
  }

  QMenu* node = addMenu("mnuNode");
  for (const char* n : {"mnuWakeUpNode", "mnuWakeUpAllNodes", "mnuAllNodesSleep",
                        "mnuSetIDtoCurrentNode", "mnuFindNodes"}) {
    addEntry(node, n);
  }

  QMenu* zoom = addMenu("mnuZoom");
  addEntry(zoom, "mnuZoomOff");
  addEntry(zoom, "mnuZoomOn");
  zoom->addSeparator();
  addEntry(zoom, "mnuNodeView");

  // "&Paintbrush_Editor" opens the paint program at once: an entry of the bar itself.
  QAction* paintTop = menuBar()->addAction(QString());
  paintTop->setObjectName(q("mnuPaintBrush_top"));

  QMenu* edit = addMenu("mnuEdit");
  for (const char* n :
       {"mnuPaintBrush", "mnuNTSBVideo", "mnuPALBVideo", "mnuPALMVideo", "mnuImageControl"}) {
    addEntry(edit, n);
  }

  QMenu* logo = addMenu("mnuLogo");
  for (int i = 1; i <= 15; ++i) addEntry(logo, indexed("mnuLogoSel", i));
  logo->addSeparator();
  for (int i = 0; i <= 3; ++i) addEntry(logo, indexed("mnuShowMode", i));
  addEntry(logo, "mnu_SMPTE");

  QMenu* schedule = addMenu("mnuSchedule");
  addEntry(schedule, indexed("mnuScheduleEdit", 0));
  addEntry(schedule, indexed("mnuScheduleEdit", 1));
  addEntry(schedule, "mnuScheduleOnOff");
  addEntry(schedule, "mnuPanelLock");
  schedule->addSeparator();
  addEntry(schedule, indexed("mnuSetLGx", 0));  // automatic
  for (int n : kLogoModels) addEntry(schedule, indexed("mnuSetLGx", n));

  QMenu* diag = addMenu("mnuDiag");
  for (int i = 0; i < kDiagEntryCount; ++i) addEntry(diag, indexed("mnuDiagSub", i));

  QMenu* help = addMenu("mnuHelp");
  for (const char* n : {"mnuManual", "mnuAbout", "mnuCopyright", "mnuDiagTools"}) addEntry(help, n);
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

  // Right column: slot choice, video mode, data type, position and node.
  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  top->addLayout(right, 1);
  buildSlotChoice(right);
  buildModeBoxes(right);
  buildPositionBox(right);
  buildNodeBox(right);
  for (const char* n : {"txtHPOS", "txtVPOS", "txtNODE"}) {
    central->findChild<QLineEdit*>(q(n))->installEventFilter(this);
  }

  buildBottomStrip(outer);
  buildReplyArea(outer);
  buildStatusLine();
  buildErrorPanel(central);
}

void MainWindow::buildScreen(QBoxLayout* column) {
  logoFrame_ = new QGroupBox;
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
  for (int i = 0; i <= 15; ++i) {
    auto* pic = new PictureBox(logoFrame_);
    const std::string name = indexed("picPicture2", i);
    pic->setObjectName(QString::fromStdString(name));
    pic->setProperty("osdTwips", true);
    pic->setMouseTracking(true);
    pic->setCursor(Qt::SizeAllCursor);
    pic->setSharpPixels(true);
    pic->setToolTip(tr("Drag to place the logo on the screen"));
    pic->onMouse = [this, pic, name](int kind, QPointF pos) {
      app_.mouse(name, kind, toTwips(pic, pos.x()), toTwips(pic, pos.y(), true));
    };
    pic->setGeometry(toPixels(this, kScreenLeftTwips), toPixels(this, kScreenTopTwips), 64, 16);
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
  auto* select = new QGroupBox;
  select->setObjectName(q("LOGO_SELECT"));
  auto* slotGrid = new QGridLayout(select);
  slotGrid->setHorizontalSpacing(6);
  slotGrid->setVerticalSpacing(1);
  for (int i = 0; i <= 15; ++i) {
    auto* opt = new QRadioButton;
    opt->setObjectName(QString::fromStdString(indexed("optLOGO", i)));
    opt->setAutoExclusive(false);
    auto* lamp = new Lamp;
    lamp->setObjectName(QString::fromStdString(indexed("Shape1", i)));
    auto* name = new ElidedLabel;
    name->setObjectName(QString::fromStdString(indexed("lblLogoName", i)));
    name->setMinimumWidth(150);
    slotGrid->addWidget(opt, i, 0);
    slotGrid->addWidget(lamp, i, 1);
    slotGrid->addWidget(name, i, 2);
  }
  slotGrid->setColumnStretch(2, 1);
  slotGrid->setRowStretch(16, 1);
  column->addWidget(select, 1);
}

void MainWindow::buildModeBoxes(QBoxLayout* column) {
  auto* modes = new QHBoxLayout;
  column->addLayout(modes);
  const char* groups[2][3] = {{"Frame1", "optNTSC", ""}, {"Frame2", "optRGB", ""}};
  for (auto& g : groups) {
    auto* box = new QGroupBox;
    box->setObjectName(q(g[0]));
    auto* row = new QHBoxLayout(box);
    for (int i = 0; i < 2; ++i) {
      auto* opt = new QRadioButton;
      opt->setObjectName(QString::fromStdString(indexed(g[1], i)));
      opt->setAutoExclusive(false);
      row->addWidget(opt);
    }
    modes->addWidget(box);
  }
}

void MainWindow::buildPositionBox(QBoxLayout* column) {
  auto* place = new QGroupBox(tr("Position"));
  place->setObjectName(q("positionBox"));
  auto* pos = new QGridLayout(place);
  pos->setHorizontalSpacing(6);
  pos->addWidget(new QLabel(tr("H %")), 0, 0);
  pos->addWidget(namedEdit("txtHPOS", 3), 0, 1);
  pos->addWidget(new QLabel(tr("V %")), 0, 2);
  pos->addWidget(namedEdit("txtVPOS", 3), 0, 3);
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
  nodeRow->addWidget(namedEdit("txtNODE", 3), 0, 1);
  nodeRow->addWidget(new QLabel(tr("Com")), 0, 2);
  QLineEdit* com = namedEdit("txtCom", 3);
  com->setReadOnly(true);
  com->setFocusPolicy(Qt::NoFocus);
  nodeRow->addWidget(com, 0, 3);
  nodeRow->setColumnStretch(4, 1);
  column->addWidget(link);
}

// Bottom strip: schedule state, clock and the exit button.
void MainWindow::buildBottomStrip(QBoxLayout* outer) {
  auto* strip = new QHBoxLayout;
  outer->addLayout(strip);
  QLabel* running = namedLabel("lblRunning");
  QFont bold = running->font();
  bold.setBold(true);
  running->setFont(bold);
  strip->addWidget(running);
  strip->addStretch(1);
  QLabel* clock = namedLabel("lblCurrentTime");
  clock->setMinimumWidth(90);
  clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  strip->addWidget(clock);
  auto* exit = new QPushButton;
  exit->setObjectName(q("btn_Exit"));
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

void MainWindow::controlChanged(const std::string& name) {
  if (name.rfind("picPicture2(", 0) == 0) sizePreview(name);
  if (name == "mnuDiagSub(23)") showPort();  // "Show Dialog" is checked with the reply area
  if (name == "picPicture1" || name == "mnuNodeView" || name.rfind("optRGB(", 0) == 0 ||
      name.rfind("optLOGO(", 0) == 0 || name.rfind("lblLogoName(", 0) == 0) {
    scheduleLargeView();
  }
  if (name == "img_SMPTE") placeScreenLayers();
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

void MainWindow::sizePreview(const std::string& name) {
  auto* pic = qobject_cast<PictureBox*>(binder_->object(name));
  if (!pic) return;
  const Control& c = app_.ui().get(name);
  QSize size = pic->image().isNull() ? QSize(256, 64) : pic->image().size();
  int w = c.width > 0 ? c.width : static_cast<int>(size.width() * kTwipsPerPixelH);
  int h = c.height > 0 ? c.height : static_cast<int>(size.height() * kTwipsPerPixelV);
  pic->resize(std::max(8, toPixels(pic, w)), std::max(4, toPixels(pic, h, true)));
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
  if (!app_.nodeViewShown()) {
    largeView_->setCheckerboard(false);
    largeView_->setImageFile(toQt(app_.ui().get("picPicture1").image));
    return;
  }
  const App::NodeViewPicture picture = app_.nodeViewPicture();
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

// ---------------------------------------------------------------------------- typed areas

void MainWindow::bindStatus() {
  app_.statusLine().onChange([this] { showStatus(); });
  showStatus();
}

void MainWindow::showStatus() {
  const StatusView& v = app_.statusLine().view();
  showText(statusText_, v.status);
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

void MainWindow::bindPort() {
  PortPresenter& port = app_.port();
  connect(portSearch_, &QAction::triggered, this, [&port] { port.searchPorts(); });
  for (size_t i = 0; i < portEntries_.size(); ++i) {
    connect(portEntries_[i], &QAction::triggered, this, [this, &port, i] {
      if (i < port.view().ports.size()) port.selectPort(port.view().ports[i].number);
      showPort();  // the check marks are the view's, not the click's
    });
  }
  auto* node = findChild<QLineEdit*>(q("txtNODE"));
  connect(node, &QLineEdit::textEdited, this,
          [&port](const QString& text) { port.setNodeId(fromQt(text)); });
  port.onChange([this] { showPort(); });
  showPort();
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
  auto* com = findChild<QLineEdit*>(q("txtCom"));
  showText(com, std::to_string(v.port));
  paintColours(com, kColorDefault, v.portColour);
  showText(findChild<QLineEdit*>(q("txtNODE")), v.nodeId);
  showText(findChild<QLabel*>(q("lblNode")), v.nodeLabel);
  showText(findChild<QLabel*>(q("lblEEPSize")), v.memory);
  showText(findChild<QLabel*>(q("lblDiag")), v.answer);
  showText(findChild<QLabel*>(q("lblCount")), v.answerCount);
  showText(findChild<QLabel*>(q("lblDiagSend")), v.sent);
  showText(findChild<QLabel*>(q("lblSCount")), v.sentCount);
  showText(findChild<QLabel*>(q("lblCurrentTime")), v.clock);
  if (auto* showDialog = findChild<QAction*>(q("mnuDiagSub(23)"))) {
    showDialog->setCheckable(true);
    showDialog->setChecked(v.replyShown);
  }
  if (replyArea_ && replyArea_->isHidden() == v.replyShown) {
    replyArea_->setVisible(v.replyShown);
    if (isVisible() && !isMaximized()) QTimer::singleShot(0, this, [this]() { adjustSize(); });
  }
}

// ---------------------------------------------------------------------------- events

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const std::string name = fromQt(watched->objectName());
  if (watched == logoFrame_ && event->type() == QEvent::Resize) {
    placeScreenLayers();
  } else if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
    // Only a key pressed in the field and released there is typing: the release of the
    // Enter that closed a dialog lands in the field that gets the focus back.
    // A position field commits its value with Enter and when the focus leaves it.
    const bool position = name == "txtHPOS" || name == "txtVPOS";
    const auto commit = [this, edit, &name]() {
      if (fromQt(edit->text()) != app_.ui().text(name)) app_.textEdited(name, fromQt(edit->text()));
      app_.commitPosition(name);
    };
    QSet<int>& down = keysDown_[watched];
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
      down.clear();
      if (position && event->type() == QEvent::FocusOut) commit();
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      down.insert(key);
      if (position && (key == Qt::Key_Return || key == Qt::Key_Enter)) commit();
    } else if (event->type() == QEvent::KeyRelease) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      const bool typed = down.remove(key) && key != Qt::Key_Return && key != Qt::Key_Enter;
      if (typed && !edit->isReadOnly()) app_.textEdited(name, fromQt(edit->text()));
    } else if (event->type() == QEvent::MouseButtonRelease && !position) {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::LeftButton) {
        QTimer::singleShot(0, this, [this, name]() { forward(name); });
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
    if (app_.about()) app_.about()->close();
    event->ignore();
    return;
  }
  // A download or a scan keeps the window until it has been stopped at a block's end.
  if (!closing_ && !app_.closeRequested(App::CloseBy::Operator)) {
    event->ignore();
    return;
  }
  // Unloading the window ends the about window's logic too: the view lets go of it first.
  delete about_.data();
  if (!closing_) {
    closing_ = true;
    app_.shutdown();
    app_.link().closeAtExit();
  }
  event->accept();
}

}  // namespace osd::gui
