// The schedule editor window and its help window over the ScheduleEditor logic: the widgets
// mirror the editor's view state, and each widget's signal calls one of its operations.
#pragma once

#include <QDialog>
#include <QScrollBar>
#include <array>
#include <functional>
#include <map>
#include <optional>

#include "shell/schedule_editor.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QVBoxLayout;

namespace osd::gui {

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
  // Escape: closes as EXIT does, asking about unsaved edits first.
  void reject() override;

 private:
  struct RowWidgets {
    QRadioButton* option = nullptr;
    std::array<QLineEdit*, 4> times{};
    QLineEdit* logo = nullptr;
    std::array<QPushButton*, 7> days{};
  };

  void build();
  void buildMenus(QVBoxLayout* outer);
  QGridLayout* buildGrid(const QFont& fixed);
  void addSequenceRow(QGridLayout* grid, int i, const QFont& fixed);
  QVBoxLayout* buildSliders(const QFont& fixed);
  void buildButtons(QVBoxLayout* outer);
  void mirror();
  void mirrorRow(size_t i, const EditorRow& row);
  void showHelp();

  ScheduleEditor& editor_;
  std::array<RowWidgets, kSequenceCount> rows_{};
  std::array<QScrollBar*, 4> sliders_{};
  QPushButton* save_ = nullptr;
  QPushButton* scan_ = nullptr;
  QCheckBox* autoScan_ = nullptr;
  QLabel* locked_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* clock_ = nullptr;
  // A press on a time or logo box: the operation it runs.
  std::map<QObject*, std::function<void()>> presses_;
  std::optional<EditorView> shown_;  // what the widgets show
  bool mirroring_ = false;
};

// Opens the editor window modally over `parent`; returns when it has closed.
void runScheduleEditor(ScheduleEditor& editor, QWidget* parent);

}  // namespace osd::gui
