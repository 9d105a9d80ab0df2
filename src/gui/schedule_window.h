// The schedule editor window and its help window over the ScheduleEditor logic: every
// widget carries the name of its control in the editor's window model and is kept in step
// with it; user actions go back to the editor by name.
#pragma once

#include <QDialog>
#include <QScrollBar>
#include <array>

namespace osd {
class ScheduleEditor;
}

class QGridLayout;
class QPlainTextEdit;
class QTabBar;
class QVBoxLayout;

namespace osd::gui {

class ModelBinder;

class ScheduleHelpDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ScheduleHelpDialog(QWidget* parent = nullptr);
  QTabBar* tabs() const { return tabs_; }
  QPlainTextEdit* text() const { return text_; }

 private:
  QTabBar* tabs_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

class ScheduleWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ScheduleWindow(ScheduleEditor& editor, QWidget* parent = nullptr);
  ~ScheduleWindow() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void buildMenus(QVBoxLayout* outer);
  QGridLayout* buildGrid(const QFont& fixed);
  void addSequenceRow(QGridLayout* grid, int i, const QFont& fixed);
  QVBoxLayout* buildSliders(const QFont& fixed);
  void buildButtons(QVBoxLayout* outer);
  void forward(const std::string& name);
  void mirrorSlider(int k);
  void showHelp();

  ScheduleEditor& editor_;
  ModelBinder* binder_ = nullptr;
  std::array<QScrollBar*, 4> sliders_{};
  bool mirroring_ = false;
};

// Opens the editor window modally over `parent`; returns when it has closed.
void runScheduleEditor(ScheduleEditor& editor, QWidget* parent);

}  // namespace osd::gui
