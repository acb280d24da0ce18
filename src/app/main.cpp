// Addrivo: start-up registers the outside components, then shows the main window.
#include <QApplication>

#include "AboutFrm.h"
#include "FrmMain.h"
#include "HelpContents.h"
#include "platform/wab/WabReader.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  wab::RegisterComponent();

  app::FrmMain frmMain;
  frmMain.showHelpContents = [](app::FrmMain& owner) { ShowHelpContents(&owner); };
  frmMain.showAbout = [](app::FrmMain& owner) { AboutFrm::ShowModal(&owner); };
  frmMain.show();
  return app.exec();
}
