// "Import Picture": the picture fitted to a size the node accepts, with a live view of what
// the node will show (transparent pixels over a checkerboard). It binds its widgets to an
// ImportModel and forwards every choice to it.
#pragma once

#include <QDialog>

#include "convert/import_model.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace osd {
class App;
}

namespace osd::gui {

class ImportDialog : public QDialog {
  Q_OBJECT

 public:
  ImportDialog(App& app, QWidget* parent = nullptr);
  convert::ImportModel& model() { return model_; }
  // Asks for the picture through the window's file dialog, then shows the import window
  // modally. A picture that cannot be read is reported on the window's error panel.
  static void run(App& app, QWidget* parent);
  // The window's side of an import, bound to the presenter.
  static convert::ImportWindow windowOf(App& app);

 private:
  void showModel();  // model -> widgets

  convert::ImportModel model_;
  QLabel* preview_ = nullptr;
  QLabel* summary_ = nullptr;
  QSpinBox* width_ = nullptr;
  QSpinBox* height_ = nullptr;
  QButtonGroup* placement_ = nullptr;
  QComboBox* depth_ = nullptr;
  QPushButton* import_ = nullptr;
  bool showing_ = false;
};

}  // namespace osd::gui
