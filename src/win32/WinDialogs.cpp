#include "WinDialogs.h"

#include "Win32View.h"

#include <commdlg.h>
#include <shlobj.h>
// The seam's member keeps its own name.
#undef GetOpenFileName

namespace win32 {
namespace {

HWND Handle(dialogs::Owner owner) { return static_cast<HWND>(owner.handle); }

}  // namespace

std::string WinDialogs::GetOpenFileName(dialogs::Owner owner, const std::string& title, const std::string& filter) {
  // "Windows Address Book (*.wab)": the description, then the pattern in its brackets.
  std::wstring description = Wide(filter), pattern = L"*.*";
  const auto open = description.rfind(L'('), close = description.rfind(L')');
  if (open != std::wstring::npos && close != std::wstring::npos && close > open)
    pattern = description.substr(open + 1, close - open - 1);
  std::wstring filters = description + L'\0' + pattern + L'\0' + L'\0';
  std::wstring caption = Wide(title);
  wchar_t file[32768] = L"";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Handle(owner);
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = static_cast<DWORD>(std::size(file));
  ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  return GetOpenFileNameW(&ofn) ? Utf8(file) : std::string();
}

std::string WinDialogs::ChooseFolder(dialogs::Owner owner, const std::string& title) {
  std::wstring caption = Wide(title);
  BROWSEINFOW bi{};
  bi.hwndOwner = Handle(owner);
  bi.lpszTitle = caption.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;  // from the top of the shell's namespace
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = L"";
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? Utf8(path) : std::string();
}

void WinDialogs::ShowMessage(dialogs::Owner owner, const std::string& text, const std::string& title,
                             dialogs::MessageIcon icon) {
  const UINT kind = icon == dialogs::MessageIcon::Information ? MB_ICONINFORMATION
                    : icon == dialogs::MessageIcon::Warning   ? MB_ICONWARNING
                                                              : MB_ICONERROR;
  MessageBoxW(Handle(owner), Wide(text).c_str(), Wide(title).c_str(), MB_OK | kind);
}

bool WinDialogs::AskYesNo(dialogs::Owner owner, const std::string& text, const std::string& title) {
  return MessageBoxW(Handle(owner), Wide(text).c_str(), Wide(title).c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace win32
