// A window that reaches past the presenters in four places.
#include <QWidget>
#include "link/dispatcher.h"
#include "window/widgets.h"
#include "shell/app.h"
#include "platform/seams.h"
#include "qtplatform/qt_event_loop.h"
#include "common/textnum.h"
#include "convert/import_model.h"
#include "local.h"
  #  include   "transfer/line_progress.h"
void click(osd::App& app) { app.dispatcher().erase(); }
void close(osd::App* app) { app->link().closeAtExit(); }
void fine(osd::App& app) { app.port().wakeNode(); }
