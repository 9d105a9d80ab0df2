// "Find Nodes on the Line" offscreen over its presenter and a line of simulated nodes: the
// window shows what the presenter's view holds and hands the operator's clicks to it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "gui/scan_dialog.h"
#include "shell/app.h"
#include "sim/node.h"
#include "support/fakes.h"

using namespace osd;

// Opened from the menu, the window scans the whole line at once; it closes with its Close button.
TEST(ScanDialogE2E, MirrorsTheScanAndForwardsChecksAndClose) {
  test::Harness h;
  sim::Line line(sim::NodeConfig{}, {3, 250});
  h.lineReady(3);
  h.port.onWrite = [&](const std::string& bytes) { h.port.receive(line.feed(bytes)); };
  ScanPresenter& scan = h.app->scan();
  bool seen = false;
  std::function<void()> whenScanned = [&] {
    auto* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || scan.view().close.caption != "Close") {
      QTimer::singleShot(0, whenScanned);
      return;
    }
    seen = true;
    auto* close = dialog->findChild<QPushButton*>("cmdScanClose");
    auto* download = dialog->findChild<QPushButton*>("cmdDownloadChecked");
    auto* table = dialog->findChild<QTableWidget*>("tblNodes");
    ASSERT_TRUE(close && download && table);
    EXPECT_EQ(dialog->findChild<QLabel*>("lblScanStatus")->text(), "Scan finished: 2 nodes found.");
    EXPECT_EQ(dialog->findChild<QProgressBar*>("prgScan")->value(), 255);
    ASSERT_TRUE(table->rowCount() == 2 && table->item(0, 0) && table->item(1, 0));
    EXPECT_EQ(table->item(0, 1)->text() + " " + table->item(1, 0)->text() +
                  table->item(1, 1)->text() + table->item(1, 2)->text(),
              "03 250FA64K memory");
    EXPECT_TRUE(table->item(1, 3)->text().endsWith(" ms") && table->item(1, 3)->text() != "0 ms");
    EXPECT_TRUE(table->selectionModel()->selectedRows().at(0).row() == 0 && !download->isEnabled());
    table->item(1, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(scan.view().rows[1].checked && download->isEnabled());
    scan.checkRow(1, false);
    EXPECT_FALSE(table->item(1, 0)->checkState() == Qt::Checked || download->isEnabled());
    table->selectRow(1);
    EXPECT_EQ(scan.view().selected, 1);
    table->clearSelection();
    EXPECT_FALSE(scan.view().selected >= 0 ||
                 dialog->findChild<QPushButton*>("cmdUseNode")->isEnabled());
    close->click();
  };
  QTimer::singleShot(0, whenScanned);
  gui::ScanDialog::run(*h.app, nullptr);
  EXPECT_TRUE(seen && !scan.view().shown);
}
