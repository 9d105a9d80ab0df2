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

#include "gui/model_binder.h"
#include "gui/picture_box.h"
#include "shell/schedule_editor.h"
#include "shell/window_model.h"

namespace osd::gui {

namespace {

QString name(const std::string& base, int index) {
  return toQt(indexed(base, index));
}

// The grid header's words, one per column: "START", "T-ON", ..., "S", "M", ...
QStringList headerWords(const std::string& header) {
  return toQt(header).split(QLatin1Char(' '), Qt::SkipEmptyParts);
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
  setModal(true);
  build();
  binder_ = new ModelBinder(editor_.ui(), this, this);
  binder_->onControlChanged = [this](const std::string& control) {
    for (int k = 0; k < 4; ++k) {
      if (control == indexed("VScroll1", k)) mirrorSlider(k);
    }
  };
  binder_->bindTree(this);
  binder_->forwardClicks([this](const std::string& control) { forward(control); });
  for (int k = 0; k < 4; ++k) mirrorSlider(k);
  editor_.onClose = [this] { accept(); };
  editor_.onShowHelp = [this] { showHelp(); };
}

ScheduleWindow::~ScheduleWindow() {
  editor_.onClose = nullptr;
  editor_.onShowHelp = nullptr;
  editor_.ui().onChange = nullptr;
  editor_.ui().onRepaint = nullptr;
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
  WindowModel& m = editor_.ui();
  auto* bar = new QMenuBar(this);
  QMenu* file = bar->addMenu(toQt(m.text("mnuFile")));
  file->menuAction()->setObjectName("mnuFile");
  QAction* exitAction = file->addAction(toQt(m.text("mnuExit")));
  exitAction->setObjectName("mnuExit");
  QMenu* help = bar->addMenu(toQt(m.text("mnuHelp")));
  help->menuAction()->setObjectName("mnuHelp");
  QAction* help2 = help->addAction(toQt(m.text("mnuHelp2")));
  help2->setObjectName("mnuHelp2");
  QAction* about = help->addAction(toQt(m.text("mnuAbout")));
  about->setObjectName("mnuAbout");
  outer->setMenuBar(bar);
}

// The grid: a header row, then one row per sequence.
QGridLayout* ScheduleWindow::buildGrid(const QFont& fixed) {
  WindowModel& m = editor_.ui();
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(2);
  // The grid header's text is split into its words, one above each column, so the rows
  // line up under it whatever the font.
  const QStringList words = headerWords(m.text("lblHeader(0)"));
  // Columns: 0 selector, 1-4 times, 5 logo, 6-12 days.
  for (int c = 0; c < words.size() && c < 12; ++c) {
    auto* w = new QLabel(words[c], this);
    w->setAlignment(Qt::AlignCenter);
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
    grid->addWidget(w, 0, c + 1);
  }
  for (int i = 0; i < 20; ++i) addSequenceRow(grid, i, fixed);
  auto* none = new QRadioButton(this);
  none->setObjectName(name("Option1", kNoSequence));
  none->setAutoExclusive(false);
  none->hide();
  return grid;
}

// Row `i` of the grid: the selector, the four times, the logo and the seven days.
void ScheduleWindow::addSequenceRow(QGridLayout* grid, int i, const QFont& fixed) {
  auto* option = new QRadioButton(this);
  option->setObjectName(name("Option1", i));
  option->setAutoExclusive(false);  // the model decides which one is on
  grid->addWidget(option, i + 1, 0);
  const char* boxes[4] = {"txtStart", "txtTON", "txtOFF", "txtEnd"};
  for (int b = 0; b < 4; ++b) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name(boxes[b], i));
    edit->setReadOnly(true);
    edit->setFont(fixed);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFixedWidth(84);
    edit->installEventFilter(this);
    grid->addWidget(edit, i + 1, b + 1);
  }
  auto* logo = new QLineEdit(this);
  logo->setObjectName(name("txtLogo", i));
  logo->setReadOnly(true);
  logo->setAlignment(Qt::AlignCenter);
  logo->setFixedWidth(44);
  logo->setCursor(Qt::PointingHandCursor);
  logo->setToolTip(tr("Click to choose the next logo"));
  logo->installEventFilter(this);
  grid->addWidget(logo, i + 1, 5);
  for (int d = 0; d < 7; ++d) {
    auto* day = new QPushButton(this);
    day->setObjectName(name("Command1", i * 7 + d));
    day->setFixedSize(24, 22);
    day->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(day, i + 1, 6 + d);
  }
}

// The four sliders for the selected row, with the lock notice and the clock under them.
QVBoxLayout* ScheduleWindow::buildSliders(const QFont& fixed) {
  WindowModel& m = editor_.ui();
  auto* sliderBox = new QVBoxLayout;
  auto* sliderHeader = new QLabel(toQt(m.text("lblHeader(1)")), this);
  sliderHeader->setObjectName(name("lblHeader", 1));
  sliderBox->addWidget(sliderHeader);
  auto* sliderRow = new QHBoxLayout;
  for (int k = 0; k < 4; ++k) {
    const SliderRange r = sliderRange(k);
    auto* s = new QScrollBar(Qt::Vertical, this);
    s->setObjectName(name("VScroll1", k));
    s->setRange(r.min, r.max);
    s->setSingleStep(r.smallStep);
    s->setPageStep(r.largeStep);
    s->setMinimumHeight(360);
    s->setMinimumWidth(22);
    connect(s, &QScrollBar::valueChanged, this, [this, k](int v) {
      if (!mirroring_) editor_.sliderMoved(k, v);
    });
    sliders_[k] = s;
    sliderRow->addWidget(s);
    sliderRow->addSpacing(14);
  }
  sliderBox->addLayout(sliderRow, 1);
  auto* locked = new QLabel(this);
  locked->setObjectName("lblLocked");
  QFont lf = locked->font();
  lf.setBold(true);
  lf.setPointSize(lf.pointSize() + 4);
  locked->setFont(lf);
  locked->setStyleSheet("color: #c00000;");
  sliderBox->addWidget(locked);
  auto* timeCaption = new QLabel(this);
  timeCaption->setObjectName("lblTimeCaption");
  sliderBox->addWidget(timeCaption);
  auto* clock = new QLabel(this);
  clock->setObjectName("lblCurrentTime");
  clock->setFont(fixed);
  clock->setFrameShape(QFrame::Panel);
  clock->setFrameShadow(QFrame::Sunken);
  sliderBox->addWidget(clock);
  return sliderBox;
}

void ScheduleWindow::buildButtons(QVBoxLayout* outer) {
  auto* buttons = new QHBoxLayout;
  auto* exitButton = new QPushButton(this);
  exitButton->setObjectName(name("cmdButtons", 0));
  auto* save = new QPushButton(this);
  save->setObjectName(name("cmdButtons", 1));
  auto* scan = new QPushButton(this);
  scan->setObjectName("cmdScan");
  auto* autoScan = new QCheckBox(this);
  autoScan->setObjectName("chkAutoScan");
  auto* status = new ElidedLabel(this, Qt::ElideRight);
  status->setObjectName("lblStatus");
  buttons->addWidget(exitButton);
  buttons->addWidget(save);
  buttons->addWidget(status, 1);
  buttons->addWidget(scan);
  buttons->addWidget(autoScan);
  outer->addLayout(buttons);
}

void ScheduleWindow::forward(const std::string& control) {
  if (control == "chkAutoScan") {
    editor_.autoScanClick();  // the binder has already taken the box's new state
    return;
  }
  for (int k = 0; k < 4; ++k) {
    if (control == indexed("VScroll1", k)) return;  // handled by valueChanged
  }
  editor_.click(control);
}

void ScheduleWindow::mirrorSlider(int k) {
  QScrollBar* s = sliders_[k];
  if (!s) return;
  const int v = static_cast<int>(editor_.ui().get(indexed("VScroll1", k)).value);
  if (s->value() == v) return;
  mirroring_ = true;
  s->setValue(v);
  mirroring_ = false;
}

bool ScheduleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    const std::string control = fromQt(watched->objectName());
    if (!control.empty()) editor_.click(control);
    return control.rfind("txtLogo", 0) == 0;  // no text cursor games in the logo box
  }
  return QDialog::eventFilter(watched, event);
}

void ScheduleWindow::closeEvent(QCloseEvent* event) {
  editor_.close();
  QDialog::closeEvent(event);
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
