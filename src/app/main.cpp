// Addrivo: start-up registers the outside components, then shows the main window.
#include <QApplication>

#include "FrmMain.h"
#include "platform/wab/WabReader.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  wab::RegisterComponent();

  app::FrmMain frmMain;
  frmMain.show();
  return app.exec();
}
