// The startup reference for terva-bench: a bare Qt program with a main window
// holding three tabs, started and quit the way the benchmark runs terva-rfid
// (TERVA_QUIT_AFTER_SHOW=1 quits once the window has been shown).
#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  auto* tabs = new QTabWidget;
  tabs->addTab(new QWidget, "1");
  tabs->addTab(new QWidget, "2");
  tabs->addTab(new QWidget, "3");
  window.setCentralWidget(tabs);
  window.show();
  if (qgetenv("TERVA_QUIT_AFTER_SHOW") == "1") QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return QApplication::exec();
}
