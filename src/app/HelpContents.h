// The Help menu's "Contents...": the help file that lies beside the program.
#pragma once

#include <QString>

class QWidget;

// Help.chm beside the program (a build folder) when it is there, else the
// installed one in ../share/addrivo/; the first when neither is there, so the
// viewer names the place it looked first.
QString HelpFilePath();

// Opens the help file in the help viewer, owned by owner. A missing or
// damaged file is reported in the viewer itself; nothing is thrown.
void ShowHelpContents(QWidget* owner);
