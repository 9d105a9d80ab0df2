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

TEST(ScanDialogE2E, MirrorsTheScanAndForwardsChecksAndClose) {
  test::Harness h;
  sim::Line line(sim::NodeConfig{}, {3, 26});
  h.lineReady(3);
  h.port.onWrite = [&](const std::string& bytes) { h.port.receive(line.feed(bytes)); };
  ScanPresenter& scan = h.app->scan();
  scan.open();
  gui::ScanDialog dialog(scan);
  dialog.show();
  auto* close = dialog.findChild<QPushButton*>("cmdScanClose");
  auto* download = dialog.findChild<QPushButton*>("cmdDownloadChecked");
  auto* table = dialog.findChild<QTableWidget*>("tblNodes");
  ASSERT_TRUE(close && download && table);
  EXPECT_EQ(close->text(), "Cancel");
  scan.start(1, 30);
  EXPECT_EQ(dialog.findChild<QLabel*>("lblScanStatus")->text(), "Scan finished: 2 nodes found.");
  EXPECT_EQ(dialog.findChild<QProgressBar*>("prgScan")->value(), 30);
  ASSERT_TRUE(table->rowCount() == 2 && table->item(0, 0) && table->item(1, 0));
  EXPECT_EQ(table->item(0, 1)->text() + " " + table->item(1, 0)->text() +
                table->item(1, 1)->text() + table->item(1, 2)->text(),
            "03 261A64K memory");
  EXPECT_TRUE(table->item(1, 3)->text().endsWith(" ms") && table->item(1, 3)->text() != "0 ms");
  EXPECT_EQ(table->selectionModel()->selectedRows().at(0).row(), 0);
  EXPECT_FALSE(download->isEnabled());
  table->item(1, 0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(scan.view().rows[1].checked && download->isEnabled());
  scan.checkRow(1, false);
  EXPECT_FALSE(table->item(1, 0)->checkState() == Qt::Checked || download->isEnabled());
  table->selectRow(1);
  EXPECT_EQ(scan.view().selected, 1);
  table->clearSelection();
  EXPECT_FALSE(scan.view().selected >= 0 ||
               dialog.findChild<QPushButton*>("cmdUseNode")->isEnabled());
  EXPECT_EQ(close->text(), "Close");
  close->click();
  EXPECT_TRUE(!scan.view().shown && !dialog.isVisible());
}

// From the menu: the window opens with the scan under way and closes with its Close button.
TEST(ScanDialogE2E, RunScansTheWholeLineAtOnce) {
  test::Harness h;
  sim::Line line(sim::NodeConfig{}, {3, 250});
  h.lineReady(3);
  h.port.onWrite = [&](const std::string& bytes) { h.port.receive(line.feed(bytes)); };
  ScanPresenter& scan = h.app->scan();
  std::function<void()> closeWhenDone = [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || scan.scanning()) {
      QTimer::singleShot(0, closeWhenDone);
    } else {
      w->findChild<QPushButton*>("cmdScanClose")->click();
    }
  };
  QTimer::singleShot(0, closeWhenDone);
  gui::ScanDialog::run(*h.app, nullptr);
  EXPECT_EQ(scan.view().status, "Scan finished: 2 nodes found.");
  EXPECT_FALSE(scan.view().shown);
}
