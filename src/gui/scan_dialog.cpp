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

#include "gui/widget_mirror.h"
#include "shell/app.h"

namespace osd::gui {

namespace {
void showButton(QPushButton* button, const ScanButton& state) {
  button->setText(toQt(state.caption));
  button->setEnabled(state.enabled);
}
}  // namespace

void ScanDialog::run(App& app, QWidget* parent) {
  ScanPresenter& scan = app.scan();
  scan.open();
  ScanDialog dialog(scan, parent);
  QTimer::singleShot(0, &dialog, [&dialog] { dialog.start(); });
  dialog.exec();
}

ScanDialog::ScanDialog(ScanPresenter& scan, QWidget* parent) : QDialog(parent), scan_(scan) {
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
  use_ = new QPushButton;
  use_->setObjectName("cmdUseNode");
  close_ = new QPushButton;
  close_->setObjectName("cmdScanClose");
  together_ = new QCheckBox(tr("nodes stay awake together"));
  together_->setObjectName("chkTogether");
  download_ = new QPushButton;
  download_->setObjectName("cmdDownloadChecked");

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

  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
    if (mirroring_) return;
    const auto rows = table_->selectionModel()->selectedRows();
    scan_.selectRow(rows.isEmpty() ? -1 : rows.first().row());
  });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!mirroring_ && item->column() == 0)
      scan_.checkRow(item->row(), item->checkState() == Qt::Checked);
  });
  connect(use_, &QPushButton::clicked, this, [this] { scan_.useNode(); });
  connect(close_, &QPushButton::clicked, this, &ScanDialog::reject);
  connect(download_, &QPushButton::clicked, this,
          [this] { scan_.downloadToChecked(together_->isChecked()); });
  mirror();
  scan_.onChange([this] { mirror(); });
}

ScanDialog::~ScanDialog() {
  scan_.onChange(nullptr);
}

void ScanDialog::mirrorRow(int row, const ScanRow& r) {
  if (!table_->item(row, 0)) {
    auto* id = new QTableWidgetItem;
    id->setFlags(id->flags() | Qt::ItemIsUserCheckable);
    table_->setItem(row, 0, id);
    for (int column = 1; column < 5; ++column) table_->setItem(row, column, new QTableWidgetItem);
  }
  table_->item(row, 0)->setText(QString::number(r.id));
  table_->item(row, 0)->setCheckState(r.checked ? Qt::Checked : Qt::Unchecked);
  table_->item(row, 1)->setText(toQt(r.hex));
  table_->item(row, 2)->setText(toQt(r.answer));
  table_->item(row, 3)->setText(toQt(r.answerTime));
  QTableWidgetItem* result = table_->item(row, 4);
  result->setText(toQt(r.result));
  if (!r.result.empty()) result->setForeground(r.programmed ? Qt::darkGreen : Qt::red);
}

void ScanDialog::mirror() {
  const ScanView& v = scan_.view();
  mirroring_ = true;
  showText(status_, v.status);
  progress_->setRange(0, v.progressMax);
  if (v.progress < 0) {
    progress_->reset();
  } else {
    progress_->setValue(v.progress);
  }
  const int rows = static_cast<int>(v.rows.size());
  if (table_->rowCount() != rows) table_->setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    const ScanRow& r = v.rows[static_cast<size_t>(row)];
    const bool same = shown_ && row < static_cast<int>(shown_->rows.size()) &&
                      shown_->rows[static_cast<size_t>(row)] == r && table_->item(row, 0);
    if (!same) mirrorRow(row, r);
  }
  const auto selected = table_->selectionModel()->selectedRows();
  const int current = selected.isEmpty() ? -1 : selected.first().row();
  if (current != v.selected) {
    if (v.selected < 0) {
      table_->clearSelection();
    } else {
      table_->selectRow(v.selected);
    }
  }
  showButton(use_, v.use);
  showButton(download_, v.download);
  showButton(close_, v.close);
  mirroring_ = false;
  shown_ = v;
  if (!v.shown && isVisible()) done(v.nodeUsed ? Accepted : Rejected);
}

void ScanDialog::start() {
  scan_.start();
  // A main window that closed meanwhile (a termination signal) takes this one with it.
  if (isVisible() && parentWidget() != nullptr && !parentWidget()->isVisible()) {
    QDialog::reject();
  }
}

void ScanDialog::reject() {
  scan_.close();
}

}  // namespace osd::gui
