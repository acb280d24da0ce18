// The window program: the forms' windows, the system's dialogs and help,
// the message loop. The forms decide every text and state; this makes their
// windows, ties the controls' events to the forms' handlers, and gives the
// forms the system's dialogs (GetOpenFileNameW, SHBrowseForFolderW,
// MessageBoxW) and HtmlHelpW on Help.chm beside the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Win32View.h"

namespace win32 {

// Runs until the main window closes. args: the command line after the
// program's name; a book there is opened and scanned at once.
int RunAddrivo(HINSTANCE instance, int show, const std::vector<std::string>& args);

// The view of a window of this program, or nullptr.
Win32View* ViewOf(HWND window);

}  // namespace win32
