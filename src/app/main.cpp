// Addrivo: start-up registers the outside components, then shows the main
// window; "addrivo BOOK.wab" opens and scans the book it is given.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "AboutFrm.h"
#include "FrmMain.h"
#include "HelpContents.h"
#include "FrmConversion.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"

namespace {

const char kUsage[] =
    "Usage: addrivo [BOOK.wab]\n"
    "\n"
    "Looks at the contacts of a Windows Address Book file and exports them.\n"
    "Given BOOK.wab, the window starts with that book chosen and scans it at once.\n"
    "\n"
    "  -h, --help     show this text and where the help file is\n"
    "  -v, --version  show the version\n";

bool Is(const char* arg, const char* shortName, const char* longName) {
  return std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0;
}

// Answered without a window, so they work where there is no display.
int AnswerWithoutWindow(int argc, char** argv, bool help) {
  QCoreApplication app(argc, argv);
  if (!help) {
    std::printf("addrivo %s\n", ADDRIVO_VERSION);
    return 0;
  }
  const QString helpFile = HelpFilePath();
  std::printf("%s\nHelp file: %s%s\n", kUsage, qPrintable(helpFile),
              QFileInfo::exists(helpFile) ? "" : " (missing)");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (Is(argv[i], "-h", "--help") || Is(argv[i], "-v", "--version"))
      return AnswerWithoutWindow(argc, argv, Is(argv[i], "-h", "--help"));

  QApplication app(argc, argv);
  // Qt's own options (-platform, -style...) are gone from arguments() by now.
  QCommandLineParser parser;
  parser.addPositionalArgument(QStringLiteral("BOOK.wab"), QString());
  if (!parser.parse(QApplication::arguments()) || parser.positionalArguments().size() > 1) {
    const QString why = parser.errorText().isEmpty() ? QStringLiteral("one address book at a time") : parser.errorText();
    std::fprintf(stderr, "addrivo: %s\n\n%s", qPrintable(why), kUsage);
    return 2;
  }

  dialogs::UseQtDialogs();
  wab::RegisterComponent();
  outlook::RegisterComponent();

  app::FrmMain frmMain;
  frmMain.showConversionDialog = [](app::FrmMain& owner) {
    app::ShowConversionDialog(&owner, [&owner] { return owner.NotesDatabaseFile(); });
  };
  frmMain.showHelpContents = [](app::FrmMain& owner) { ShowHelpContents(&owner); };
  frmMain.showAbout = [](app::FrmMain& owner) { AboutFrm::ShowModal(&owner); };
  frmMain.show();
  if (!parser.positionalArguments().isEmpty()) {
    const QString book = QFileInfo(parser.positionalArguments().front()).absoluteFilePath();
    // Once the window is on screen, so a failure's message has its owner.
    QTimer::singleShot(0, &frmMain, [&frmMain, book] { frmMain.OpenBook(book); });
  }
  return app.exec();
}
