// "Find Nodes on the Line": the window of a ScanPresenter. It builds the widgets, forwards the
// operator's choices to the presenter and mirrors its view: the status text, the bar, one row
// per node found (with its check box and its download result) and the buttons.
#pragma once

#include <QDialog>
#include <optional>

#include "shell/scan_presenter.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace osd {
class App;
}

namespace osd::gui {

class ScanDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ScanDialog(ScanPresenter& scan, QWidget* parent = nullptr);
  ~ScanDialog() override;
  // Shows the window modally; the scan starts at once.
  static void run(App& app, QWidget* parent);

 protected:
  // Cancel, Escape and the close box go to the presenter.
  void reject() override;

 private:
  void start();
  void mirror();
  void mirrorRow(int row, const ScanRow& shown);

  ScanPresenter& scan_;
  std::optional<ScanView> shown_;  // what the widgets show
  bool mirroring_ = false;
  QCheckBox* together_ = nullptr;
  QPushButton* download_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* use_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace osd::gui
