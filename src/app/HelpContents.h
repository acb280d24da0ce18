// The Help menu's "Contents...": the help file that lies beside the program.
#pragma once

#include <QString>

class QWidget;

// The program's folder, "/", then "Help.chm".
QString HelpFilePath();

// Opens the help file in the help viewer, owned by owner. A missing or
// damaged file is reported in the viewer itself; nothing is thrown.
void ShowHelpContents(QWidget* owner);
