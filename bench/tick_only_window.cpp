// The yardstick of the idle window's processor time: a bare Qt window with one label and
// nothing but a precise 25 ms timer, as the window's tick, that does nothing. What the real
// window costs above this is its own work; this much is the tick's wake-up on the machine at
// hand.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("25 ms tick")));
  window.resize(600, 400);
  window.show();
  QTimer tick;
  tick.setInterval(25);
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [] {});
  tick.start();
  return QApplication::exec();
}
