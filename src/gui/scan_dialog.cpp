#include "gui/scan_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "shell/app.h"
#include "transfer/line_progress.h"

namespace osd::gui {

void ScanDialog::run(App& app, QWidget* parent) {
  ScanDialog dialog(app, parent);
  QTimer::singleShot(0, &dialog, [&dialog] { dialog.start(); });
  dialog.exec();
}

ScanDialog::ScanDialog(App& app, QWidget* parent) : QDialog(parent), scan_(app), fleet_(app) {
  setObjectName("frmFindNodes");
  setWindowTitle(tr("Find Nodes on the Line"));
  status_ = new QLabel;
  status_->setObjectName("lblScanStatus");
  progress_ = new QProgressBar;
  progress_->setObjectName("prgScan");
  table_ = new QTableWidget(0, 5);
  table_->setObjectName("tblNodes");
  table_->setHorizontalHeaderLabels(
      {tr("Node ID"), tr("Hex"), tr("Answer"), tr("Answer time"), tr("Download")});
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  use_ = new QPushButton(tr("Use this node"));
  use_->setObjectName("cmdUseNode");
  use_->setEnabled(false);
  close_ = new QPushButton(tr("Cancel"));
  close_->setObjectName("cmdScanClose");
  together_ = new QCheckBox(tr("nodes stay awake together"));
  together_->setObjectName("chkTogether");
  download_ = new QPushButton(tr("Download to Checked Nodes"));
  download_->setObjectName("cmdDownloadChecked");
  download_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(together_);
  buttons->addWidget(download_);
  buttons->addStretch(1);
  buttons->addWidget(use_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(progress_);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  resize(720, 380);

  scan_.scanner().onProgress = [this](int id, int index, int count, int secondsLeft) {
    progress_->setRange(0, count);
    progress_->setValue(index);
    status_->setText(tr("Asking node ID %1 (%2 of %3), about %4 s left")
                         .arg(id)
                         .arg(index + 1)
                         .arg(count)
                         .arg(secondsLeft));
  };
  scan_.scanner().onFound = [this](const FoundNode& node) { addRow(node); };
  connect(table_, &QTableWidget::itemSelectionChanged, this,
          [this] { use_->setEnabled(!table_->selectedItems().isEmpty()); });
  // While the scan runs the node is taken once the scan has stopped (start() closes then).
  connect(use_, &QPushButton::clicked, this, [this] {
    const auto rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    use_->setEnabled(false);
    scan_.useNode(table_->item(rows.first().row(), 0)->data(Qt::UserRole).toInt());
    if (scan_.nodeUsed()) accept();
  });
  connect(close_, &QPushButton::clicked, this, &ScanDialog::reject);
  connect(table_, &QTableWidget::itemChanged, this, [this] { enableButtons(); });
  connect(download_, &QPushButton::clicked, this, &ScanDialog::downloadToChecked);
  fleet_.onProgress = [this](const FleetProgress& p) {
    progress_->setRange(0, 1000);
    progress_->setValue(static_cast<int>(std::lround(10 * p.percent)));
    status_->setText(QString::fromStdString(p.step + ": " + groupedNumber(p.done) + " of " +
                                            groupedNumber(p.total) + " bytes, " +
                                            durationText(p.secondsLeft) + " left"));
  };
}

std::vector<int> ScanDialog::checkedIds() const {
  std::vector<int> ids;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const QTableWidgetItem* item = table_->item(row, 0);
    if (item && item->checkState() == Qt::Checked) ids.push_back(item->data(Qt::UserRole).toInt());
  }
  return ids;
}

void ScanDialog::enableButtons() {
  const bool idle = !scan_.running() && !fleet_.running();
  download_->setEnabled(idle && !checkedIds().empty());
  close_->setEnabled(!fleet_.running());
}

void ScanDialog::downloadToChecked() {
  const std::vector<int> ids = checkedIds();
  for (int row = 0; row < table_->rowCount(); ++row) table_->item(row, 4)->setText({});
  download_->setEnabled(false);
  use_->setEnabled(false);
  close_->setEnabled(false);
  const std::vector<FleetResult> results = fleet_.run(scan_, ids, together_->isChecked());
  for (const FleetResult& r : results) {
    for (int row = 0; row < table_->rowCount(); ++row) {
      if (table_->item(row, 0)->data(Qt::UserRole).toInt() != r.id) continue;
      table_->item(row, 4)->setText(QString::fromStdString(r.reason));
      table_->item(row, 4)->setForeground(r.programmed ? Qt::darkGreen : Qt::red);
    }
  }
  if (!results.empty()) {
    progress_->setValue(progress_->maximum());
    status_->setText(QString::fromStdString(WindowFleet::summary(results)));
  }
  use_->setEnabled(!table_->selectedItems().isEmpty());
  enableButtons();
}

void ScanDialog::addRow(const FoundNode& node) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  // The first node found is offered at once; a choice the operator made stays.
  if (row == 0)
    QTimer::singleShot(0, table_, [this] {
      if (table_->selectedItems().isEmpty()) table_->selectRow(0);
    });
  auto* id = new QTableWidgetItem(QString::number(node.id));
  id->setData(Qt::UserRole, node.id);
  id->setFlags(id->flags() | Qt::ItemIsUserCheckable);
  id->setCheckState(Qt::Unchecked);
  table_->setItem(row, 0, id);
  table_->setItem(row, 4, new QTableWidgetItem);
  table_->setItem(row, 1, new QTableWidgetItem(QString::asprintf("%02X", node.id)));
  table_->setItem(
      row, 2,
      new QTableWidgetItem(node.memoryKiB > 0 ? tr("%1K memory").arg(node.memoryKiB)
                                              : QString::fromStdString(node.copyright)));
  table_->setItem(row, 3, new QTableWidgetItem(tr("%1 ms").arg(node.answerMs)));
}

void ScanDialog::start() {
  const bool finished = scan_.run();
  // A cancelled scan keeps the share of the IDs it asked.
  if (!scan_.scanner().cancelled()) progress_->setValue(progress_->maximum());
  const int n = static_cast<int>(scan_.found().size());
  QString end = scan_.scanner().cancelled() ? tr("Scan cancelled: ")
                : finished                  ? tr("Scan finished: ")
                                            : tr("Scan stopped (see the error panel): ");
  status_->setText(end + (n == 0   ? tr("no node answered.")
                          : n == 1 ? tr("1 node found.")
                                   : tr("%1 nodes found.").arg(n)));
  close_->setText(tr("Close"));
  close_->setEnabled(true);
  use_->setEnabled(!table_->selectedItems().isEmpty());
  enableButtons();
  // A node chosen during the scan has been taken; a main window that closed meanwhile (a
  // termination signal) takes this one with it.
  if (scan_.nodeUsed()) {
    accept();
  } else if (parentWidget() != nullptr && !parentWidget()->isVisible()) {
    QDialog::reject();
  }
}

void ScanDialog::reject() {
  if (fleet_.running()) return;  // the job ends by itself; the window closes after it
  if (scan_.running()) {
    scan_.scanner().cancel();  // the scan ends after the ID it asks now; the list stays
    close_->setEnabled(false);
    return;
  }
  QDialog::reject();
}

}  // namespace osd::gui
