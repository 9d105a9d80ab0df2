// "Find Nodes on the Line": runs a scan of the line with progress and Cancel, lists the nodes
// that answered with a check box each, "Use this node" puts the chosen ID into the Node field
// and "Download to Checked Nodes" sends the selected slot's logo to the nodes checked. It binds its
// widgets to a WindowScan and forwards the operator's choices to it.
#pragma once

#include <QDialog>

#include "shell/window_fleet.h"
#include "shell/window_scan.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace osd::gui {

class ScanDialog : public QDialog {
  Q_OBJECT

 public:
  ScanDialog(App& app, QWidget* parent = nullptr);
  WindowScan& scan() { return scan_; }
  // Shows the window modally; the scan starts at once.
  static void run(App& app, QWidget* parent);

 protected:
  // Cancel, Escape and the close button: a running scan is cancelled and its list stays;
  // afterwards the window closes.
  void reject() override;

 private:
  void start();
  void addRow(const FoundNode& node);
  // "Download to Checked Nodes": the selected slot's logo to the nodes checked in the list.
  void downloadToChecked();
  std::vector<int> checkedIds() const;
  void enableButtons();

  WindowScan scan_;
  WindowFleet fleet_;
  QCheckBox* together_ = nullptr;
  QPushButton* download_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* use_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace osd::gui
