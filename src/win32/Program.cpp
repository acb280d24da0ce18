#include "Program.h"

#include <windows.h>

#include <commctrl.h>
#include <htmlhelp.h>
#include <objbase.h>

#include <memory>
#include <stdexcept>

#include "Layout.h"
#include "WinDialogs.h"
#include "Win32View.h"
#include "forms/AboutFrm.h"
#include "forms/FrmConversion.h"
#include "forms/FrmMain.h"
#include "forms/ServerAccount.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"

namespace {

using namespace win32;

// A window of clientWidth x clientHeight twips at the owner's DPI.
HWND MakeWindow(HINSTANCE instance, HWND owner, int clientWidth, int clientHeight, DWORD style, bool menu) {
  HWND w = CreateWindowExW(owner ? WS_EX_DLGMODALFRAME : 0, FormClass(instance), L"", style, CW_USEDEFAULT,
                           CW_USEDEFAULT, 100, 100, owner, nullptr, instance, nullptr);
  if (!w) throw std::runtime_error("the window could not be created");
  const UINT dpi = [&] {
    using GetDpi = UINT(WINAPI*)(HWND);
    const auto get = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    const UINT d = get ? get(w) : 0;
    return d ? d : 96u;
  }();
  RECT r{0, 0, MulDiv(clientWidth, static_cast<int>(dpi), 1440), MulDiv(clientHeight, static_cast<int>(dpi), 1440)};
  AdjustWindowRectEx(&r, style, menu, owner ? WS_EX_DLGMODALFRAME : 0);
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (owner) {  // centred over the owner
    RECT o;
    GetWindowRect(owner, &o);
    x = o.left + ((o.right - o.left) - (r.right - r.left)) / 2;
    y = o.top + ((o.bottom - o.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(w, nullptr, x, y, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return w;
}

// Runs the messages of a modal window until its form hides or closes it;
// the owner takes no input meanwhile.
void RunModal(HWND window, HWND owner, const Win32View& view) {
  EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG msg;
  while (!view.done() && IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  EnableWindow(owner, TRUE);
  SetActiveWindow(owner);
}

// The conversion dialog stays loaded after an export hides it, as designed:
// the next Save Contacts shows the same one.
struct Conversion {
  HWND window = nullptr;
  std::unique_ptr<Win32View> view;
  std::unique_ptr<forms::FrmConversion> form;
  bool closed = false;
};

// Asks for the contacts server's address, user name and password before an
// upload; false when the user cancels.
bool AskServer(HINSTANCE instance, HWND owner, forms::ServerAnswers& answers) {
  HWND w = MakeWindow(instance, owner, kServerWidth, kServerHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU, false);
  Win32View view(w, ServerControls());
  Attach(w, &view);
  SetWindowTextW(w, Wide(forms::kServerTitle).c_str());
  view.SetText("txtServerAddress", answers.address);
  view.SetText("txtServerUser", answers.user);
  bool accepted = false;
  view.OnClick("CmdServerOK", [&] {
    answers.address = view.Text("txtServerAddress");
    answers.user = view.Text("txtServerUser");
    answers.password = view.Text("txtServerPassword");
    accepted = true;
    view.CloseForm();
  });
  view.OnClick("CmdServerCancel", [&view] { view.CloseForm(); });
  view.OnClose([&view] { view.CloseForm(); });
  SetFocus(view.Control(answers.address.empty() ? "txtServerAddress" : "txtServerPassword"));
  RunModal(w, owner, view);
  Attach(w, nullptr);
  DestroyWindow(w);
  return accepted;
}

void ShowConversion(HINSTANCE instance, forms::FrmMain& main, Conversion& dlg) {
  HWND owner = static_cast<HWND>(main.GetView().Owner().handle);
  if (!dlg.form) {
    dlg.window = MakeWindow(instance, owner, kConversionWidth, kConversionHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                            false);
    dlg.view = std::make_unique<Win32View>(dlg.window, ConversionControls());
    Attach(dlg.window, dlg.view.get());
    dlg.form = std::make_unique<forms::FrmConversion>(*dlg.view);
    dlg.form->SetBookPathSource([&main] { return main.BookPath(); });
    auto* form = dlg.form.get();
    for (const auto& option : forms::kConversionOptions) {
      const std::string control = option.control;
      dlg.view->OnClick(control, [form, control] { form->Option_Click(control); });
    }
    dlg.view->OnClick(forms::FrmConversion::kStart, [form] { form->CmdConversion_Click(); });
    dlg.view->OnSelect(forms::FrmConversion::kCodePage, [form](std::size_t i) { form->CboCodePage_Click(i); });
    // Nothing is remembered on Windows yet: the address is asked afresh.
    HWND window = dlg.window;
    form->SetRequestFiller(exports::ExportFormat::CardDav,
                           forms::ServerAccountFiller(nullptr, [instance, window](forms::ServerAnswers& answers) {
                             return AskServer(instance, window, answers);
                           }));
    // Closing the dialog unloads it: the next one loads afresh.
    dlg.view->OnClose([&dlg] {
      dlg.closed = true;
      dlg.view->CloseForm();
    });
    dlg.view->SetText(forms::FrmConversion::kForm, forms::FrmConversion::kCaption);
    dlg.form->Form_Load();
  }
  dlg.form->Form_Activate();
  RunModal(dlg.window, owner, *dlg.view);
  if (dlg.closed) {
    DestroyWindow(dlg.window);
    dlg = Conversion{};
  } else {
    dlg.view->Reopen();
  }
}

void ShowAbout(HINSTANCE instance, forms::FrmMain& main) {
  HWND owner = static_cast<HWND>(main.GetView().Owner().handle);
  HWND w = MakeWindow(instance, owner, kAboutWidth, kAboutHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU, false);
  Win32View view(w, AboutControls());
  Attach(w, &view);
  forms::AboutFrm about(view);
  view.OnClick("CmdOK", [&about] { about.CmdOK_Click(); });
  view.OnClose([&about] { about.CmdOK_Click(); });
  view.SetText(forms::AboutFrm::kCaption, forms::AboutFrm::kCaption);
  SetWindowTextW(w, Wide(forms::AboutFrm::kCaption).c_str());
  about.Form_Load();
  RunModal(w, owner, view);
  Attach(w, nullptr);
  DestroyWindow(w);
}

// Help.chm beside the program.
std::wstring HelpFile() {
  wchar_t exe[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path = exe;
  const auto slash = path.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"Help.chm";
}

}  // namespace

namespace win32 {

Win32View* ViewOf(HWND window) {
  wchar_t cls[32] = L"";
  GetClassNameW(window, cls, 32);
  if (std::wstring_view(cls) != FormClass(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE))))
    return nullptr;
  return reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

int RunAddrivo(HINSTANCE instance, int show, const std::vector<std::string>& args) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                           ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the shell's folder browser
  WinDialogs systemDialogs;
  dialogs::SetCurrent(&systemDialogs);
  // The outside components the forms create by name: the book's reader, Outlook's stand-in.
  wab::RegisterComponent();
  outlook::RegisterComponent();

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HWND window = MakeWindow(instance, nullptr, kMainWidth, kMainHeight, style, true);
  Win32View view(window, MainControls(), MainMenus());
  Attach(window, &view);
  forms::FrmMain form(view);
  using forms::FrmMain;
  view.OnClick(FrmMain::kBrowse, [&] { form.CmdBrowse_Click(); });
  view.OnClick(FrmMain::kMenuOpen, [&] { form.CmdBrowse_Click(); });
  view.OnClick(FrmMain::kScan, [&] { form.CmdEnumerateNotes_Click(); });
  view.OnClick(FrmMain::kMenuScan, [&] { form.CmdEnumerateNotes_Click(); });
  view.OnClick(FrmMain::kSave, [&] { form.CmdContactsCreate_Click(); });
  view.OnClick(FrmMain::kMenuSave, [&] { form.CmdContactsCreate_Click(); });
  view.OnClick(FrmMain::kMenuExit, [&] { form.mnuExit_Click(); });
  view.OnClick(FrmMain::kMenuShowDeleted, [&] { form.mnuShowDeleted_Click(); });
  view.OnClick(FrmMain::kMenuContents, [&] { form.mnuContents_Click(); });
  view.OnClick(FrmMain::kMenuAbout, [&] { form.mnuAbout_Click(); });
  view.OnChange(FrmMain::kBookFileBox, [&](const std::string& text) { form.txtNotesDatabaseFile_Change(text); });
  view.OnNodeClick(FrmMain::kTree, [&](forms::NodeId node) { form.ContactsTreeView_NodeClick(node); });
  view.OnClose([&] { form.mnuExit_Click(); });

  Conversion conversion;
  form.showConversionDialog = [&](FrmMain& f) { ShowConversion(instance, f, conversion); };
  form.showAbout = [&](FrmMain& f) { ShowAbout(instance, f); };
  form.showHelpContents = [](FrmMain& f) {
    const std::wstring help = HelpFile();
    if (!HtmlHelpW(static_cast<HWND>(f.GetView().Owner().handle), help.c_str(), HH_DISPLAY_TOPIC, 0))
      throw std::runtime_error("The help file " + Utf8(help) + " could not be opened.");
  };

  SetWindowTextW(window, Wide(FrmMain::kCaption).c_str());
  form.Form_Load();
  ShowWindow(window, show);
  UpdateWindow(window);

  if (!args.empty()) form.OpenBook(args.front());

  MSG msg;
  while (!view.done() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (conversion.window) DestroyWindow(conversion.window);
  Attach(window, nullptr);
  DestroyWindow(window);
  dialogs::SetCurrent(nullptr);
  CoUninitialize();
  return 0;
}

}  // namespace win32
