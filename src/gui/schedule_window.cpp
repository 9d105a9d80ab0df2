#include "gui/schedule_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "gui/picture_box.h"
#include "gui/widget_mirror.h"
#include "shell/schedule_editor.h"

namespace osd::gui {

namespace {

// The captions of the editor window.
constexpr const char* kHeaderGrid = "START     T-ON     REPEAT     END     LOGO  S M T W T F S";
constexpr const char* kHeaderSliders = "Start  T-ON  Repeat  End";
constexpr const char* kTimeBoxes[4] = {"txtStart", "txtTON", "txtOFF", "txtEnd"};
// The scan shows itself by the auto scan box's text turning green and back to white, so the
// box sits on a dark ground.
constexpr Color kAutoScanGround = 0x404040;

QString name(const char* base, size_t index) {
  return QStringLiteral("%1(%2)").arg(QLatin1String(base)).arg(index);
}

QString helpDisplayText(int tab) {
  QString text = QString::fromLatin1(helpText(tab));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return text;
}

}  // namespace

// ------------------------------------------------------------------ help window

ScheduleHelpDialog::ScheduleHelpDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmScheduleHelp");
  setWindowTitle(QString::fromLatin1(kHelpCaption));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->setObjectName("TabStrip1");
  for (int t = 0; t < kHelpTabCount; ++t) tabs_->addTab(QString::fromLatin1(helpTabCaption(t)));
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("txtHelp");
  text_->setReadOnly(true);
  text_->setPlainText(helpDisplayText(0));
  layout->addWidget(tabs_);
  layout->addWidget(text_);
  connect(tabs_, &QTabBar::currentChanged, this,
          [this](int tab) { text_->setPlainText(helpDisplayText(tab)); });
  tabs_->setUsesScrollButtons(false);
  resize(700, 380);
}

// ------------------------------------------------------------------ editor window

ScheduleWindow::ScheduleWindow(ScheduleEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
  setObjectName("frmSchedule");
  setWindowTitle(QString::fromLatin1(kEditorCaption));
  setModal(true);
  build();
  mirror();
  editor_.onChange([this] { mirror(); });
  editor_.setWindowActions({.close = [this] { accept(); }, .showHelp = [this] { showHelp(); }});
}

ScheduleWindow::~ScheduleWindow() {
  editor_.setWindowActions({});
  editor_.onChange(nullptr);
}

void ScheduleWindow::build() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 4, 8, 8);
  buildMenus(outer);

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto* body = new QHBoxLayout;
  outer->addLayout(body);
  body->addLayout(buildGrid(fixed));
  body->addSpacing(12);
  body->addLayout(buildSliders(fixed));
  buildButtons(outer);
}

void ScheduleWindow::buildMenus(QVBoxLayout* outer) {
  auto* bar = new QMenuBar(this);
  QMenu* file = bar->addMenu(tr("&File"));
  file->menuAction()->setObjectName("mnuFile");
  QAction* exitAction = file->addAction(tr("E&xit"));
  exitAction->setObjectName("mnuExit");
  connect(exitAction, &QAction::triggered, this, [this] { editor_.exit(); });
  QMenu* help = bar->addMenu(tr("&Help"));
  help->menuAction()->setObjectName("mnuHelp");
  QAction* help2 = help->addAction(tr("&Help"));
  help2->setObjectName("mnuHelp2");
  connect(help2, &QAction::triggered, this, [this] { editor_.showHelp(); });
  QAction* about = help->addAction(tr("&About"));
  about->setObjectName("mnuAbout");
  connect(about, &QAction::triggered, this, [this] { editor_.showAbout(); });
  outer->setMenuBar(bar);
}

// The grid: a header row, then one row per sequence.
QGridLayout* ScheduleWindow::buildGrid(const QFont& fixed) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(2);
  // The grid header's text is split into its words, one above each column, so the rows
  // line up under it whatever the font.
  const QStringList words =
      QString::fromLatin1(kHeaderGrid).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  // Columns: 0 selector, 1-4 times, 5 logo, 6-12 days.
  for (int c = 0; c < words.size() && c < 12; ++c) {
    auto* w = new QLabel(words[c], this);
    w->setAlignment(Qt::AlignCenter);
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
    grid->addWidget(w, 0, c + 1);
  }
  for (int i = 0; i < kSequenceCount; ++i) addSequenceRow(grid, i, fixed);
  return grid;
}

// Row `i` of the grid: the selector, the four times, the logo and the seven days.
void ScheduleWindow::addSequenceRow(QGridLayout* grid, int i, const QFont& fixed) {
  const auto at = static_cast<size_t>(i);
  RowWidgets& row = rows_[at];
  row.option = new QRadioButton(this);
  row.option->setObjectName(name("Option1", at));
  row.option->setAutoExclusive(false);  // the editor decides which one is on
  connect(row.option, &QRadioButton::clicked, this, [this, i] { editor_.selectRow(i); });
  grid->addWidget(row.option, i + 1, 0);
  for (size_t b = 0; b < 4; ++b) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name(kTimeBoxes[b], at));
    edit->setReadOnly(true);
    edit->setFont(fixed);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFixedWidth(84);
    edit->installEventFilter(this);
    presses_[edit] = [this, i] { editor_.clickTime(i); };
    row.times[b] = edit;
    grid->addWidget(edit, i + 1, static_cast<int>(b) + 1);
  }
  row.logo = new QLineEdit(this);
  row.logo->setObjectName(name("txtLogo", at));
  row.logo->setReadOnly(true);
  row.logo->setAlignment(Qt::AlignCenter);
  row.logo->setFixedWidth(44);
  row.logo->setCursor(Qt::PointingHandCursor);
  row.logo->setToolTip(tr("Click to choose the next logo"));
  row.logo->installEventFilter(this);
  presses_[row.logo] = [this, i] { editor_.cycleLogo(i); };
  grid->addWidget(row.logo, i + 1, 5);
  for (int d = 0; d < 7; ++d) {
    auto* day = new QPushButton(this);
    day->setObjectName(name("Command1", at * 7 + static_cast<size_t>(d)));
    day->setFixedSize(24, 22);
    day->setFocusPolicy(Qt::NoFocus);
    connect(day, &QPushButton::clicked, this, [this, i, d] { editor_.toggleDay(i, d); });
    row.days[static_cast<size_t>(d)] = day;
    grid->addWidget(day, i + 1, 6 + d);
  }
}

// The four sliders for the selected row, with the lock notice and the clock under them.
QVBoxLayout* ScheduleWindow::buildSliders(const QFont& fixed) {
  auto* sliderBox = new QVBoxLayout;
  auto* sliderHeader = new QLabel(QString::fromLatin1(kHeaderSliders), this);
  sliderHeader->setObjectName("lblHeader(1)");
  sliderBox->addWidget(sliderHeader);
  auto* sliderRow = new QHBoxLayout;
  for (int k = 0; k < 4; ++k) {
    const SliderRange r = sliderRange(k);
    auto* s = new QScrollBar(Qt::Vertical, this);
    s->setObjectName(name("VScroll1", static_cast<size_t>(k)));
    s->setRange(r.min, r.max);
    s->setSingleStep(r.smallStep);
    s->setPageStep(r.largeStep);
    s->setMinimumHeight(360);
    s->setMinimumWidth(22);
    connect(s, &QScrollBar::valueChanged, this, [this, k](int v) {
      if (!mirroring_) editor_.sliderMoved(k, v);
    });
    sliders_[static_cast<size_t>(k)] = s;
    sliderRow->addWidget(s);
    sliderRow->addSpacing(14);
  }
  sliderBox->addLayout(sliderRow, 1);
  locked_ = new QLabel(tr("LOCKED"), this);
  locked_->setObjectName("lblLocked");
  QFont lf = locked_->font();
  lf.setBold(true);
  lf.setPointSize(lf.pointSize() + 4);
  locked_->setFont(lf);
  locked_->setStyleSheet("color: #c00000;");
  sliderBox->addWidget(locked_);
  auto* timeCaption = new QLabel(tr("Current Time"), this);
  timeCaption->setObjectName("lblTimeCaption");
  sliderBox->addWidget(timeCaption);
  clock_ = new QLabel(this);
  clock_->setObjectName("lblCurrentTime");
  clock_->setFont(fixed);
  clock_->setFrameShape(QFrame::Panel);
  clock_->setFrameShadow(QFrame::Sunken);
  sliderBox->addWidget(clock_);
  return sliderBox;
}

void ScheduleWindow::buildButtons(QVBoxLayout* outer) {
  auto* buttons = new QHBoxLayout;
  auto* exitButton = new QPushButton(tr("EXIT"), this);
  exitButton->setObjectName("cmdButtons(0)");
  connect(exitButton, &QPushButton::clicked, this, [this] { editor_.exit(); });
  save_ = new QPushButton(tr("SAVE"), this);
  save_->setObjectName("cmdButtons(1)");
  connect(save_, &QPushButton::clicked, this, [this] { editor_.save(); });
  scan_ = new QPushButton(tr("Scan for Conflicts"), this);
  scan_->setObjectName("cmdScan");
  connect(scan_, &QPushButton::clicked, this, [this] { editor_.scan(); });
  autoScan_ = new QCheckBox(tr("Auto Scan"), this);
  autoScan_->setObjectName("chkAutoScan");
  connect(autoScan_, &QCheckBox::clicked, this, [this] { editor_.toggleAutoScan(); });
  status_ = new ElidedLabel(this, Qt::ElideRight);
  status_->setObjectName("lblStatus");
  buttons->addWidget(exitButton);
  buttons->addWidget(save_);
  buttons->addWidget(status_, 1);
  buttons->addWidget(scan_);
  buttons->addWidget(autoScan_);
  outer->addLayout(buttons);
}

void ScheduleWindow::mirrorRow(size_t i, const EditorRow& row) {
  RowWidgets& w = rows_[i];
  w.option->setEnabled(row.enabled);
  for (size_t b = 0; b < 4; ++b) {
    showText(w.times[b], row.times[b]);
    w.times[b]->setEnabled(row.enabled);
  }
  paintColours(w.times[1], kColorDefault, row.onGround);
  paintColours(w.times[2], kColorDefault, row.offGround);
  showText(w.logo, row.logo);
  w.logo->setEnabled(row.enabled);
  paintColours(w.logo, row.logoInk, kColorDefault);
  for (size_t d = 0; d < 7; ++d) {
    w.days[d]->setText(row.days[d] ? QStringLiteral("x") : QString());
    w.days[d]->setEnabled(row.enabled);
    paintColours(w.days[d], kColorDefault, row.dayGround[d]);
  }
}

void ScheduleWindow::mirror() {
  const EditorView& v = editor_.view();
  for (size_t i = 0; i < kSequenceCount; ++i) {
    if (!shown_ || shown_->rows[i] != v.rows[i]) mirrorRow(i, v.rows[i]);
    rows_[i].option->setChecked(v.selected == static_cast<int>(i));
  }
  mirroring_ = true;
  for (size_t k = 0; k < 4; ++k) {
    sliders_[k]->setValue(v.sliders[k]);
    sliders_[k]->setEnabled(v.slidersEnabled);
  }
  mirroring_ = false;
  save_->setEnabled(v.saveEnabled);
  scan_->setEnabled(v.scanEnabled);
  autoScan_->setChecked(v.autoScan);
  paintColours(autoScan_, v.autoScanInk, kAutoScanGround);
  if (shown_ && shown_->autoScanInk != v.autoScanInk && autoScan_->isVisible()) {
    autoScan_->repaint();
  }
  locked_->setVisible(v.lockedShown);
  showText(status_, v.status);
  showText(clock_, v.clock);
  shown_ = v;
}

bool ScheduleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    auto press = presses_.find(watched);
    if (press != presses_.end()) {
      press->second();
      for (const RowWidgets& row : rows_) {
        if (row.logo == watched) return true;  // no text cursor games in the logo box
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ScheduleWindow::closeEvent(QCloseEvent* event) {
  if (editor_.isOpen()) editor_.exit();  // the close box asks as EXIT does
  QDialog::closeEvent(event);
}

void ScheduleWindow::reject() {
  if (editor_.isOpen()) {
    editor_.exit();
  } else {
    QDialog::reject();
  }
}

void ScheduleWindow::showHelp() {
  ScheduleHelpDialog help(this);
  help.exec();
}

void runScheduleEditor(ScheduleEditor& editor, QWidget* parent) {
  ScheduleWindow window(editor, parent);
  window.exec();
  editor.close();
}

}  // namespace osd::gui
