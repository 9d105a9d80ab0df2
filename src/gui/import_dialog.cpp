#include "gui/import_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "shell/app.h"

namespace osd::gui {

namespace {

constexpr const char* kPictureFilter =
    "Pictures (*.png *.jpg *.jpeg *.gif *.bmp *.svg)|*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.svg|"
    "All Files (*.*)|*.*";
constexpr int kPreviewWidth = 720;

QSpinBox* sizeBox(int max, int step) {
  auto* box = new QSpinBox;
  box->setRange(step, max);
  box->setSingleStep(step);
  return box;
}

constexpr ErrorAt kTitle = ErrorAt::ImportPicture;

}  // namespace

void ImportDialog::run(App& app, QWidget* parent) {
  const std::string path = app.logos().askPicture(kPictureFilter);
  if (path.empty()) return;
  ImportDialog dialog(app, parent);
  std::string error;
  if (!dialog.model().load(path, error)) {
    app.statusLine().error(error, kTitle);
    return;
  }
  // The window keeps the place and size the operator gave it from one picture to the next.
  static QByteArray geometry;
  if (!geometry.isEmpty()) dialog.restoreGeometry(geometry);
  dialog.showModel();
  dialog.exec();
  geometry = dialog.saveGeometry();
}

convert::ImportWindow ImportDialog::windowOf(App& app) {
  PictureImport logo = app.logos().pictureImport();
  return {logo.format,
          logo.transparent,
          logo.largeMemory,
          app.video().imagesDir(),
          std::move(logo.mayReplace),
          std::move(logo.otherName),
          [&app](const std::string& message) { app.statusLine().error(message, kTitle); },
          [&app](const std::string& file) { return app.logos().loadIntoMenuSlot(file, kTitle); }};
}

ImportDialog::ImportDialog(App& app, QWidget* parent) : QDialog(parent), model_(windowOf(app)) {
  setObjectName("frmImportPicture");
  setWindowTitle(tr("Import Picture"));
  preview_ = new QLabel;
  preview_->setObjectName("picImportPreview");
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setMinimumSize(kPreviewWidth / 2, 160);
  // The picture does not size the window: it is fitted into the room the window gives it.
  preview_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  summary_ = new QLabel;
  summary_->setObjectName("lblImportSummary");
  summary_->setWordWrap(true);

  width_ = sizeBox(720, 4);
  height_ = sizeBox(616, 2);
  auto* largest = new QPushButton(tr("Largest"));
  auto* logo = new QPushButton(tr("256 × 64"));
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(width_);
  sizeRow->addWidget(new QLabel(tr("×")));
  sizeRow->addWidget(height_);
  sizeRow->addWidget(largest);
  sizeRow->addWidget(logo);

  auto* fit = new QRadioButton(tr("Fit (whole picture, transparent border)"));
  auto* fill = new QRadioButton(tr("Fill (cover the size, edges cut off)"));
  placement_ = new QButtonGroup(this);
  placement_->addButton(fit, static_cast<int>(convert::Placement::Fit));
  placement_->addButton(fill, static_cast<int>(convert::Placement::Fill));
  auto* placeRow = new QHBoxLayout;
  placeRow->addWidget(fit);
  placeRow->addWidget(fill);

  depth_ = new QComboBox;
  depth_->addItem(tr("24-bit colour"), 24);
  depth_->addItem(tr("8-bit with a colour table"), 8);

  auto* form = new QFormLayout;
  form->addRow(tr("Size:"), sizeRow);
  form->addRow(tr("Placement:"), placeRow);
  form->addRow(tr("Colour depth:"), depth_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  import_ = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(preview_, 1);
  layout->addWidget(summary_);
  layout->addLayout(form);
  layout->addWidget(buttons);

  const auto sizeChanged = [this] {
    if (!showing_) model_.setSize(QSize(width_->value(), height_->value()));
    showModel();
  };
  connect(width_, qOverload<int>(&QSpinBox::valueChanged), this, sizeChanged);
  connect(height_, qOverload<int>(&QSpinBox::valueChanged), this, sizeChanged);
  connect(largest, &QPushButton::clicked, this, [this] {
    model_.useLargestSize();
    showModel();
  });
  connect(logo, &QPushButton::clicked, this, [this] {
    model_.useLogoSize();
    showModel();
  });
  connect(placement_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.setPlacement(static_cast<convert::Placement>(id));
    showModel();
  });
  connect(depth_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    model_.setDepth(depth_->itemData(index).toInt());
    showModel();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(import_, &QPushButton::clicked, this, [this] {
    if (model_.importIntoSlot()) accept();
  });
}

void ImportDialog::showModel() {
  showing_ = true;
  const auto& t = model_.target();
  width_->setValue(t.size.width());
  height_->setValue(t.size.height());
  placement_->button(static_cast<int>(t.placement))->setChecked(true);
  depth_->setCurrentIndex(depth_->findData(t.depth));
  summary_->setText(QString::fromStdString(model_.summary()));
  const QImage& view = model_.nodeView();
  const int scale = view.isNull() ? 1 : std::max(1, kPreviewWidth / 2 / std::max(1, view.width()));
  QPixmap shown = QPixmap::fromImage(convert::onCheckerboard(view, scale));
  const QSize room = preview_->size().expandedTo(preview_->minimumSize());
  if (shown.width() > room.width() || shown.height() > room.height()) {
    shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::FastTransformation);
  }
  preview_->setPixmap(shown);
  import_->setEnabled(!view.isNull());
  showing_ = false;
}

}  // namespace osd::gui
