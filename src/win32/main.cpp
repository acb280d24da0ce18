// addrivo.exe: the Windows window over the forms (Program.h).
//   addrivo.exe [BOOK.wab]   opens and scans the book at once (the file type's command)
#include <windows.h>

#include <shellapi.h>

#include "Program.h"
#include "Win32View.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(win32::Utf8(argv[i]));
  if (argv) LocalFree(argv);
  return win32::RunAddrivo(instance, show, args);
}
