// Addrivo: start-up registers the outside components, then shows the main window.
#include <QApplication>

#include "FrmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // register components here

  app::FrmMain frmMain;
  frmMain.show();
  return app.exec();
}
