// Addrivo: start-up registers the outside components, then shows the main window.
#include <QApplication>

#include "AboutFrm.h"
#include "FrmMain.h"
#include "HelpContents.h"
#include "export/FrmConversion.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  wab::RegisterComponent();
  outlook::RegisterComponent();

  app::FrmMain frmMain;
  frmMain.showConversionDialog = [](app::FrmMain& owner) {
    exports::ShowConversionDialog(&owner, [&owner] { return owner.NotesDatabaseFile(); });
  };
  frmMain.showHelpContents = [](app::FrmMain& owner) { ShowHelpContents(&owner); };
  frmMain.showAbout = [](app::FrmMain& owner) { AboutFrm::ShowModal(&owner); };
  frmMain.show();
  return app.exec();
}
