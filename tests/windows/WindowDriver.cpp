// Drives addrivo.exe's window under Wine the way a user's clicks do: the
// program runs on its own thread as addrivo.exe runs it, and this thread
// sends and posts the messages a click, a selection or an OK sends. It
// checks the scan's message and the tree, reads a contact's boxes, takes a
// screenshot, and saves the book in every format through the conversion
// dialog and the real folder browser (accepting its first folder).
//   addrivo_window_driver BOOK.wab OUTDIR SHOT.png LOG
// Writes OUTDIR\<verb>\ for each format and LOG (UTF-8, one finding a
// line); exits 0 when every check held.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "export/ExportDispatch.h"
#include "forms/FrmConversion.h"
#include "forms/FrmMain.h"
#include "forms/ServerAccount.h"
#include "win32/Program.h"
#include "win32/Win32View.h"

namespace {

using win32::Utf8;
using win32::Wide;

FILE* g_log = nullptr;
int g_failures = 0;

void Log(const std::string& line) {
  std::fprintf(g_log, "%s\n", line.c_str());
  std::fflush(g_log);
}
void Fail(const std::string& what) {
  ++g_failures;
  Log("FAIL " + what);
}

// Waits up to seconds for find to give a window.
HWND WaitFor(const std::function<HWND()>& find, int seconds = 60) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (HWND w = find()) return w;
    Sleep(100);
  }
  return nullptr;
}

std::wstring TextOf(HWND w) {
  std::wstring text(static_cast<std::size_t>(SendMessageW(w, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(SendMessageW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

// Every window of the thread, for a failure's report.
std::string Windows(DWORD thread) {
  std::string out;
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[64] = L"";
        GetClassNameW(w, cls, 64);
        *reinterpret_cast<std::string*>(p) += "[" + Utf8(cls) + " \"" + Utf8(TextOf(w)) + "\"" +
                                              (IsWindowVisible(w) ? " shown" : "") + "] ";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// A dialog box (message box, folder browser) of the program's thread, other than skip.
HWND FindDialog(DWORD thread, HWND skip = nullptr) {
  struct Search {
    HWND found = nullptr, skip;
  } search{nullptr, skip};
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t cls[16] = L"";
        GetClassNameW(w, cls, 16);
        if (w != s->skip && std::wstring_view(cls) == L"#32770" && IsWindowVisible(w)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The text of a message box and a click on its OK.
std::string AnswerMessageBox(HWND box) {
  std::string text = Utf8(TextOf(GetDlgItem(box, 0xFFFF)));
  const std::string title = Utf8(TextOf(box));
  HWND ok = GetDlgItem(box, IDOK);
  if (!ok) ok = GetDlgItem(box, IDYES);
  PostMessageW(ok ? ok : box, ok ? BM_CLICK : WM_CLOSE, 0, 0);
  WaitFor([box] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : box; }, 30);
  return title + ": " + text;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::string ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[512] = L"";
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = 512;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return Utf8(text);
}
HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Chunk(std::string& png, const char* type, const std::string& data) {
  Put32(png, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  Put32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// The window as the screen shows it, as a PNG file.
bool Screenshot(HWND window, const std::wstring& path) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  std::string raw;
  const auto* px = static_cast<const std::uint8_t*>(bits);
  for (int y = 0; y < h; ++y) {
    raw += '\0';
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = px + (y * w + x) * 4;
      raw += static_cast<char>(p[2]);
      raw += static_cast<char>(p[1]);
      raw += static_cast<char>(p[0]);
    }
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  uLongf packed = compressBound(static_cast<uLong>(raw.size()));
  std::string z(packed, '\0');
  if (compress2(reinterpret_cast<Bytef*>(z.data()), &packed, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  z.resize(packed);
  std::string png = "\x89PNG\r\n\x1a\n", ihdr;
  Put32(ihdr, static_cast<std::uint32_t>(w));
  Put32(ihdr, static_cast<std::uint32_t>(h));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

void Drive(const std::wstring& outDir, const std::wstring& shot) {
  using forms::FrmMain;
  HWND main = WaitFor([] { return FindWindowW(L"AddrivoForm", Wide(FrmMain::kCaption).c_str()); });
  if (!main) return Fail("no main window captioned " + std::string(FrmMain::kCaption));
  const DWORD thread = GetWindowThreadProcessId(main, nullptr);
  Log("main window: " + Utf8(TextOf(main)));
  HWND box = WaitFor([&] { return FindDialog(thread); }, 120);
  if (!box) return Fail("no message after the scan");
  const std::string scanned = AnswerMessageBox(box);
  Log("scan: " + scanned);
  if (scanned.rfind(std::string(FrmMain::kMessageTitle) + ": ", 0) != 0 ||
      scanned.find(FrmMain::kScanCompleted) == std::string::npos)
    Fail("the scan's message: " + scanned);

  win32::Win32View* view = win32::ViewOf(main);
  HWND tree = view->Control(FrmMain::kTree);
  HTREEITEM root = Next(tree, nullptr, TVGN_ROOT);
  std::string groups;
  HTREEITEM firstContact = nullptr;
  for (HTREEITEM g = Next(tree, root, TVGN_CHILD); g; g = Next(tree, g, TVGN_NEXT)) {
    groups += ItemText(tree, g) + ",";
    if (!firstContact) firstContact = Next(tree, g, TVGN_CHILD);
  }
  Log("tree: " + ItemText(tree, root) + " > " + groups);
  // "Groups" is there when the book has groups ("0 groups" says it has none).
  const bool hasGroups = scanned.find(" 0 groups") == std::string::npos;
  for (const char* want : {"A,", "Z,", "Other,", "Groups,"})
    if ((hasGroups || std::string_view(want) != "Groups,") && groups.find(want) == std::string::npos)
      Fail(std::string("no ") + want + " in the tree");
  if (!firstContact) return Fail("no contact in the tree");
  // A click on the contact selects it.
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(firstContact));
  Log("selected: " + ItemText(tree, firstContact));
  for (const char* name : {"LblTopName", "txtFirstName", "txtLastName", "txtEmail", "txtCompany"})
    Log(std::string("box ") + name + "=" + Utf8(TextOf(view->Control(name))));
  Sleep(500);
  if (!Screenshot(main, shot)) Fail("the screenshot could not be written");

  // Save Contacts, in each format, each into a folder of its own.
  for (const auto& option : forms::kConversionOptions) {
    const std::string verb(exports::InfoOf(option.format).verb);
    const std::wstring folder = outDir + L"\\" + Wide(verb);
    CreateDirectoryW(folder.c_str(), nullptr);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(view->ControlId(FrmMain::kSave), BN_CLICKED),
                 reinterpret_cast<LPARAM>(view->Control(FrmMain::kSave)));
    HWND dlg = WaitFor([] {
      HWND w = FindWindowW(L"AddrivoForm", Wide(forms::FrmConversion::kCaption).c_str());
      return w && IsWindowVisible(w) ? w : nullptr;
    });
    if (!dlg) return Fail("no conversion dialog for " + verb + ": " + Windows(thread));
    // A message the dialog's load may show (the Outlook check), answered.
    Sleep(300);
    while (HWND note = FindDialog(thread)) Log("dialog said: " + AnswerMessageBox(note));
    win32::Win32View* dv = win32::ViewOf(dlg);
    Click(dv->Control(option.control));
    HWND start = dv->Control(forms::FrmConversion::kStart);
    WaitFor([start] { return IsWindowEnabled(start) ? start : nullptr; }, 10);
    Log(verb + ": option " + option.control + (IsWindowEnabled(start) ? ", Start enabled" : ", Start disabled"));
    Click(start);
    if (exports::InfoOf(option.format).destination == exports::Destination::Elsewhere) {
      // The server's address and password are asked first; cancelled, nothing runs.
      HWND ask = WaitFor([] {
        HWND w = FindWindowW(L"AddrivoForm", Wide(forms::kServerTitle).c_str());
        return w && IsWindowVisible(w) ? w : nullptr;
      });
      if (!ask) {
        Fail("no server dialog for " + verb + ": " + Windows(thread));
      } else {
        Log(verb + ": the server dialog \"" + Utf8(TextOf(ask)) + "\"");
        Click(win32::ViewOf(ask)->Control("CmdServerCancel"));
        WaitFor([ask] { return IsWindow(ask) ? nullptr : ask; }, 30);
        Sleep(300);
        if (HWND note = FindDialog(thread)) Fail(verb + ": cancelled, yet it said: " + AnswerMessageBox(note));
      }
      RemoveDirectoryW(folder.c_str());
      PostMessageW(dlg, WM_CLOSE, 0, 0);
      WaitFor([dlg] { return IsWindow(dlg) && IsWindowVisible(dlg) ? nullptr : dlg; }, 30);
      continue;
    }
    HWND browse = WaitFor([&] { return FindDialog(thread); });
    if (!browse) return Fail("no folder browser for " + verb + ": " + Windows(thread));
    Log(verb + ": the folder browser \"" + Utf8(TextOf(browse)) + "\"");
    // The browser's own first choice, as a user's OK takes it (Wine's
    // browser does not take BFFM_SETSELECTION): the file is moved into
    // the format's folder afterwards, which also keeps two CSV files apart.
    Sleep(300);
    Click(GetDlgItem(browse, IDOK));
    WaitFor([browse] { return IsWindow(browse) && IsWindowVisible(browse) ? nullptr : browse; }, 30);
    HWND done = WaitFor([&] { return FindDialog(thread, browse); }, 300);
    if (!done) return Fail("no completion message for " + verb);
    const std::string said = AnswerMessageBox(done);
    Log(verb + ": " + said);
    if (said.find("Successfully Saved") == std::string::npos) Fail(verb + " was not saved: " + said);
    const auto at = said.find("FileName: ");
    if (at != std::string::npos) {
      std::wstring file = Wide(said.substr(at + 10, said.find_first_of("\r\n", at) - at - 10));
      const auto slash = file.find_last_of(L"\\/");
      const std::wstring target = folder + L"\\" + file.substr(slash + 1);
      if (!MoveFileExW(file.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        Fail(verb + ": cannot move " + Utf8(file));
    }
    // The dialog hides after an export; one still shown is closed.
    Sleep(300);
    Log(verb + ": after the export " + Windows(thread));
    if (IsWindow(dlg) && IsWindowVisible(dlg)) PostMessageW(dlg, WM_CLOSE, 0, 0);
    WaitFor([dlg] { return IsWindow(dlg) && IsWindowVisible(dlg) ? nullptr : dlg; }, 30);
  }
  // Help > Contents...: HtmlHelpW on Help.chm beside the program (Wine
  // cannot draw the page here; scripts/windows-window.sh checks the call).
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(view->ControlId(FrmMain::kMenuContents), 0), 0);
  Sleep(3000);
  if (HWND note = FindDialog(thread)) Log("help: " + AnswerMessageBox(note));
  PostMessageW(main, WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 5) return 2;
  g_log = _wfopen(argv[4], L"w");
  if (!g_log) return 2;
  const std::string book = Utf8(argv[1]);
  const std::wstring outDir = argv[2], shot = argv[3];
  std::thread driver([&] {
    Drive(outDir, shot);
    // Whatever happened, the program ends.
    if (HWND main = FindWindowW(L"AddrivoForm", Wide(forms::FrmMain::kCaption).c_str()))
      PostMessageW(main, WM_CLOSE, 0, 0);
  });
  const int status = win32::RunAddrivo(instance, show, {book});
  driver.join();
  Log(g_failures ? "RESULT " + std::to_string(g_failures) + " failures" : "RESULT ok");
  std::fclose(g_log);
  return status == 0 && g_failures == 0 ? 0 : 1;
}
