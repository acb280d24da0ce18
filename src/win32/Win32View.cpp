#include "Win32View.h"

#include <commctrl.h>

#include <algorithm>

namespace win32 {
namespace {

constexpr int kFirstControlId = 1000;
constexpr int kFirstMenuId = 2000;
constexpr int kImageCount = 41;  // SmallIcons holds the tree's images up to index 40

UINT DpiOf(HWND window) {
  // Per-monitor DPI (the manifest asks for it); 96 where the system has no answer.
  using GetDpi = UINT(WINAPI*)(HWND);
  static const auto get =
      reinterpret_cast<GetDpi>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
  const UINT dpi = get ? get(window) : 0;
  return dpi ? dpi : 96;
}

// A small picture of the image list, drawn here: SmallIcons' address book,
// card and contacts images in the tree's own sizes.
HBITMAP DrawImage(HDC dc, int size, int index) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return nullptr;
  auto* px = static_cast<std::uint32_t*>(bits);
  std::fill(px, px + size * size, 0u);
  auto fill = [&](int x0, int y0, int x1, int y1, std::uint32_t argb) {
    for (int y = y0 * size / 16; y < y1 * size / 16; ++y)
      for (int x = x0 * size / 16; x < x1 * size / 16; ++x) px[y * size + x] = argb;
  };
  switch (index) {
    case scan::kImageAddressBook:  // a blue book with a white label
      fill(2, 1, 14, 15, 0xFF2050A0);
      fill(4, 3, 12, 7, 0xFFFFFFFF);
      fill(2, 1, 4, 15, 0xFF103070);
      break;
    case scan::kImageCardTransfer:  // a yellow card with lines
      fill(1, 3, 15, 13, 0xFFF0C030);
      fill(3, 5, 13, 6, 0xFF604010);
      fill(3, 8, 11, 9, 0xFF604010);
      break;
    case scan::kImageContacts:  // a person
      fill(6, 2, 10, 6, 0xFFE0A070);
      fill(4, 7, 12, 14, 0xFF3070C0);
      break;
    default: break;
  }
  return bmp;
}

}  // namespace

Win32View::Win32View(HWND window, const std::vector<ControlSpec>& controls, const std::vector<MenuSpec>& menus)
    : window_(window), dpi_(DpiOf(window)) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  if (!menus.empty()) {
    menu_ = CreateMenu();
    HMENU popup = nullptr;
    int id = kFirstMenuId;
    for (const MenuSpec& m : menus) {
      if (m.topLevel) {
        popup = CreatePopupMenu();
        AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), Wide(m.text).c_str());
        menuIds_.emplace(m.name, 0);
      } else if (!*m.text || std::string_view(m.text) == "-") {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
      } else {
        AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(id), Wide(m.text).c_str());
        menuIds_.emplace(m.name, id++);
      }
    }
    SetMenu(window_, menu_);
  }
  tooltips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  int id = kFirstControlId;
  bool firstOption = true;
  for (const ControlSpec& design : controls) {
    Item c;
    c.name = design.name;
    c.kind = design.kind;
    c.id = id++;
    c.page = design.page;
    c.twips = RECT{design.left, design.top, design.left + design.width, design.top + design.height};
    const wchar_t* cls = L"STATIC";
    // Siblings that overlap (the frame, the tabs and what lies on them) clip each other.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex = 0;
    std::wstring text = Wide(design.text);
    switch (design.kind) {
      case Kind::Label:
      case Kind::BoldLabel:
      case Kind::TitleLabel: style |= SS_LEFT | SS_NOPREFIX; break;
      case Kind::TextBox:
        cls = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
      case Kind::PasswordBox:
        cls = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD;
        ex = WS_EX_CLIENTEDGE;
        break;
      case Kind::Combo:
        cls = WC_COMBOBOXW;
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
      case Kind::MultiLineBox:
        cls = L"EDIT";
        style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case Kind::Option:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTORADIOBUTTON | BS_MULTILINE | (firstOption ? WS_GROUP : 0);
        firstOption = false;
        break;
      case Kind::Frame:
        cls = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
      case Kind::Tree:
        cls = WC_TREEVIEWW;
        style |= WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
        ex = WS_EX_CLIENTEDGE;
        break;
      case Kind::Progress: cls = PROGRESS_CLASSW; break;
      case Kind::Tabs:
        cls = WC_TABCONTROLW;
        style |= WS_TABSTOP;
        break;
      case Kind::List:
        cls = WC_LISTBOXW;
        style |= WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL;
        ex = WS_EX_CLIENTEDGE;
        break;
      case Kind::Picture: style |= SS_ICON | SS_CENTERIMAGE; break;
      case Kind::Line: style |= SS_ETCHEDHORZ; break;
      case Kind::StatusBar:
        cls = STATUSCLASSNAMEW;
        style |= SBARS_SIZEGRIP;
        break;
    }
    c.hwnd = CreateWindowExW(ex, cls, design.kind == Kind::Tabs || design.kind == Kind::StatusBar ? L"" : text.c_str(),
                             style, 0, 0, 10, 10, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                             instance, nullptr);
    if (design.kind == Kind::Tabs) {
      // The pages' captions, "|" between them.
      std::wstring_view rest = text;
      for (int page = 0; !rest.empty() || page == 0; ++page) {
        const auto bar = rest.find(L'|');
        std::wstring caption(rest.substr(0, bar));
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(c.hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
        rest = bar == std::wstring_view::npos ? std::wstring_view() : rest.substr(bar + 1);
      }
    } else if (design.kind == Kind::StatusBar) {
      const int parts[] = {130, -1};  // in pixels again once laid out
      SendMessageW(c.hwnd, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
      std::wstring_view rest = text;
      for (int part = 0; !rest.empty(); ++part) {
        const auto bar = rest.find(L'|');
        SendMessageW(c.hwnd, SB_SETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(std::wstring(rest.substr(0, bar)).c_str()));
        rest = bar == std::wstring_view::npos ? std::wstring_view() : rest.substr(bar + 1);
      }
    } else if (design.kind == Kind::Picture) {
      SendMessageW(c.hwnd, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(1))), 0);
    } else if (design.kind == Kind::Tree) {
      const int size = MulDiv(16, static_cast<int>(dpi_), 96);
      images_ = ImageList_Create(size, size, ILC_COLOR32, kImageCount, 0);
      HDC dc = GetDC(window_);
      for (int i = 0; i < kImageCount; ++i) {
        HBITMAP bmp = DrawImage(dc, size, i);
        ImageList_Add(images_, bmp, nullptr);
        DeleteObject(bmp);
      }
      ReleaseDC(window_, dc);
      SendMessageW(c.hwnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
      trees_.emplace(c.name, TreeState{});
    }
    controls_.push_back(std::move(c));
  }
  // The tab control lies under the controls of its pages, frames under everything they hold.
  for (Kind under : {Kind::Tabs, Kind::Frame})
    for (const Item& c : controls_)
      if (c.kind == under) SetWindowPos(c.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Layout();
  SelectPage(1);
}

Win32View::~Win32View() {
  for (HFONT f : fonts_)
    if (f) DeleteObject(f);
  if (images_) ImageList_Destroy(images_);
}

HFONT Win32View::Font(Kind kind) {
  // The designed fonts: labels Verdana 8.25 pt (bold ones bold), boxes and
  // buttons Tahoma 8.25 pt, the header name Trebuchet MS 11.25 pt bold.
  int slot = 0;
  const wchar_t* face = L"Tahoma";
  int hundredths = 825;
  int weight = FW_NORMAL;
  switch (kind) {
    case Kind::Label: slot = 1, face = L"Verdana"; break;
    case Kind::BoldLabel: slot = 2, face = L"Verdana", weight = FW_BOLD; break;
    case Kind::TitleLabel: slot = 3, face = L"Trebuchet MS", hundredths = 1125, weight = FW_BOLD; break;
    default: break;
  }
  if (!fonts_[slot])
    fonts_[slot] = CreateFontW(-MulDiv(hundredths, static_cast<int>(dpi_), 7200), 0, 0, 0, weight, FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                               DEFAULT_PITCH, face);
  return fonts_[slot];
}

void Win32View::Layout() {
  auto px = [&](LONG twips) { return MulDiv(twips, static_cast<int>(dpi_), 1440); };
  for (Item& c : controls_) {
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font(c.kind)), FALSE);
    if (c.kind == Kind::StatusBar) {
      SendMessageW(c.hwnd, WM_SIZE, 0, 0);
      const int parts[] = {px(130 * 15), -1};
      SendMessageW(c.hwnd, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
      continue;
    }
    // A drop-down list's height is that of its open list: ten entries.
    const LONG height = (c.twips.bottom - c.twips.top) * (c.kind == Kind::Combo ? 10 : 1);
    MoveWindow(c.hwnd, px(c.twips.left), px(c.twips.top), px(c.twips.right - c.twips.left), px(height), FALSE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

Win32View::Item* Win32View::Find(std::string_view name) {
  for (Item& c : controls_)
    if (c.name == name) return &c;
  return nullptr;
}
const Win32View::Item* Win32View::Find(std::string_view name) const {
  for (const Item& c : controls_)
    if (c.name == name) return &c;
  return nullptr;
}

HWND Win32View::Control(std::string_view name) const {
  const auto* c = Find(name);
  return c ? c->hwnd : nullptr;
}

int Win32View::ControlId(std::string_view name) const {
  if (const auto* c = Find(name)) return c->id;
  const auto m = menuIds_.find(name);
  return m == menuIds_.end() ? 0 : m->second;
}

void Win32View::OnClick(std::string_view control, std::function<void()> handler) {
  if (const int id = ControlId(control)) clicks_[id] = std::move(handler);
}
void Win32View::OnChange(std::string_view control, std::function<void(const std::string&)> handler) {
  if (const int id = ControlId(control)) changes_[id] = std::move(handler);
}
void Win32View::OnSelect(std::string_view control, std::function<void(std::size_t)> handler) {
  if (const int id = ControlId(control)) selects_[id] = std::move(handler);
}
std::string Win32View::Text(std::string_view control) const {
  const Item* c = Find(control);
  if (!c) return {};
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(c->hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(c->hwnd, text.data(), static_cast<int>(text.size()))));
  return Utf8(text);
}
void Win32View::OnNodeClick(std::string_view tree, std::function<void(forms::NodeId)> handler) {
  if (const int id = ControlId(tree)) nodeClicks_[id] = std::move(handler);
}

void Win32View::ApplyVisibility(Item& c) {
  ShowWindow(c.hwnd, c.shown && (c.page == 0 || c.page == page_) ? SW_SHOWNA : SW_HIDE);
}

void Win32View::SelectPage(int page) {
  page_ = page;
  for (Item& c : controls_)
    if (c.page) ApplyVisibility(c);
}

bool Win32View::Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      const int code = HIWORD(wp);
      if (code == EN_CHANGE) {
        const auto it = changes_.find(id);
        if (it == changes_.end()) return false;
        HWND box = reinterpret_cast<HWND>(lp);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
        it->second(Utf8(text));
        result = 0;
        return true;
      }
      if (code == CBN_SELCHANGE) {
        const auto it = selects_.find(id);
        if (it == selects_.end()) return false;
        const LRESULT index = SendMessageW(reinterpret_cast<HWND>(lp), CB_GETCURSEL, 0, 0);
        if (index >= 0) it->second(static_cast<std::size_t>(index));
        result = 0;
        return true;
      }
      if (code == BN_CLICKED || (lp == 0 && code == 0)) {
        const auto it = clicks_.find(id);
        if (it == clicks_.end()) return false;
        const auto handler = it->second;  // a handler may replace the table's entry
        handler();
        result = 0;
        return true;
      }
      return false;
    }
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->code == TVN_SELCHANGEDW) {
        const auto it = nodeClicks_.find(static_cast<int>(hdr->idFrom));
        if (it == nodeClicks_.end()) return false;
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(lp);
        if (tv->itemNew.hItem) it->second(static_cast<forms::NodeId>(tv->itemNew.lParam));
        result = 0;
        return true;
      }
      if (hdr->code == TCN_SELCHANGE) {
        SelectPage(static_cast<int>(SendMessageW(hdr->hwndFrom, TCM_GETCURSEL, 0, 0)) + 1);
        result = 0;
        return true;
      }
      if (hdr->code == NM_CUSTOMDRAW) {
        // Deleted contacts: grey, in italics.
        auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(lp);
        for (auto& [name, tree] : trees_) {
          if (Control(name) != hdr->hwndFrom) continue;
          if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
            return true;
          }
          if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const auto node = tree.nodes.find(static_cast<forms::NodeId>(cd->nmcd.lItemlParam));
            result = CDRF_DODEFAULT;
            if (node != tree.nodes.end() && node->second.style == forms::NodeStyle::Deleted) {
              cd->clrText = GetSysColor(COLOR_GRAYTEXT);
              static HFONT italic = nullptr;
              if (!italic) {
                LOGFONTW lf{};
                GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hdr->hwndFrom, WM_GETFONT, 0, 0)), sizeof lf, &lf);
                lf.lfItalic = TRUE;
                italic = CreateFontIndirectW(&lf);
              }
              SelectObject(cd->nmcd.hdc, italic);
              result = CDRF_NEWFONT;
            }
            return true;
          }
        }
      }
      return false;
    }
    case WM_CTLCOLOREDIT: {
      // The e-mail box: blue on light yellow.
      const auto* email = Find("txtEmail");
      if (!email || reinterpret_cast<HWND>(lp) != email->hwnd) return false;
      static HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 128));
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 128));
      result = reinterpret_cast<LRESULT>(yellow);
      return true;
    }
    case WM_SIZE:
      for (const auto& c : controls_)
        if (c.kind == Kind::StatusBar) SendMessageW(c.hwnd, WM_SIZE, 0, 0);
      return false;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      for (HFONT& f : fonts_) {
        if (f) DeleteObject(f);
        f = nullptr;
      }
      const auto* r = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(window_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      result = 0;
      return true;
    }
    case WM_CLOSE:
      if (!onClose_) return false;
      onClose_();
      result = 0;
      return true;
    default: return false;
  }
}

void Win32View::SetText(std::string_view control, const std::string& text) {
  const std::wstring w = Wide(text);
  if (auto* c = Find(control)) {
    if (c->kind == Kind::StatusBar) return;
    // Multi-line boxes break lines with CR LF.
    std::wstring shown;
    if (c->kind == Kind::MultiLineBox) {
      for (std::size_t i = 0; i < w.size(); ++i) {
        if (w[i] == L'\n' && (i == 0 || w[i - 1] != L'\r')) shown += L'\r';
        shown += w[i];
      }
    }
    SetWindowTextW(c->hwnd, c->kind == Kind::MultiLineBox ? shown.c_str() : w.c_str());
    return;
  }
  if (const auto m = menuIds_.find(control); m != menuIds_.end() && m->second) {
    ModifyMenuW(menu_, static_cast<UINT>(m->second), MF_BYCOMMAND | MF_STRING, static_cast<UINT_PTR>(m->second),
                w.c_str());
    DrawMenuBar(window_);
    return;
  }
  // The form's own name: its caption.
  if (!control.empty() && (control.rfind("Frm", 0) == 0 || control.find("Frm") != std::string_view::npos))
    SetWindowTextW(window_, w.c_str());
}

void Win32View::SetEnabled(std::string_view control, bool enabled) {
  if (auto* c = Find(control)) {
    EnableWindow(c->hwnd, enabled);
  } else if (const auto m = menuIds_.find(control); m != menuIds_.end() && m->second) {
    EnableMenuItem(menu_, static_cast<UINT>(m->second), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(window_);
  }
}

void Win32View::SetVisible(std::string_view control, bool visible) {
  if (auto* c = Find(control)) {
    c->shown = visible;
    ApplyVisibility(*c);
  }
}

void Win32View::SetChecked(std::string_view control, bool checked) {
  if (auto* c = Find(control)) {
    SendMessageW(c->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  } else if (const auto m = menuIds_.find(control); m != menuIds_.end() && m->second) {
    CheckMenuItem(menu_, static_cast<UINT>(m->second), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void Win32View::SetItems(std::string_view control, const std::vector<std::string>& items) {
  auto* c = Find(control);
  if (c && c->kind == Kind::Combo) {
    SendMessageW(c->hwnd, CB_RESETCONTENT, 0, 0);
    for (const auto& item : items)
      SendMessageW(c->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    SendMessageW(c->hwnd, CB_SETCURSEL, 0, 0);
    return;
  }
  if (!c || c->kind != Kind::List) return;
  SendMessageW(c->hwnd, LB_RESETCONTENT, 0, 0);
  for (const auto& item : items) SendMessageW(c->hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
}

void Win32View::SetToolTip(std::string_view control, const std::string& text) {
  auto* c = Find(control);
  if (!c || !tooltips_) return;
  std::wstring w = Wide(text);
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = window_;
  ti.uId = reinterpret_cast<UINT_PTR>(c->hwnd);
  ti.lpszText = w.data();
  SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  if (!w.empty()) SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Win32View::PrepareProgress(std::string_view bar, const forms::ProgressSetup& setup) {
  if (auto* c = Find(bar)) {
    SendMessageW(c->hwnd, PBM_SETRANGE32, static_cast<WPARAM>(setup.lower), static_cast<LPARAM>(setup.upper));
    SendMessageW(c->hwnd, PBM_SETPOS, static_cast<WPARAM>(setup.lower), 0);
  }
}

void Win32View::SetProgress(std::string_view bar, std::int64_t position) {
  if (auto* c = Find(bar)) {
    const auto pos = static_cast<int>(std::clamp<std::int64_t>(position, INT_MIN, INT_MAX));
    SendMessageW(c->hwnd, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    // The scan and the exports do not return to the message loop until they end.
    UpdateWindow(c->hwnd);
  }
}

void Win32View::ClearTree(std::string_view tree) {
  const auto t = trees_.find(tree);
  if (t == trees_.end()) return;
  SendMessageW(Control(tree), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  t->second = TreeState{};
}

void Win32View::Show(TreeState& tree, HWND hwnd, const forms::TreeNode& node) {
  HTREEITEM parent = TVI_ROOT;
  if (node.parent != forms::kNoNode) {
    const auto p = tree.items.find(node.parent);
    if (p == tree.items.end()) return;  // under a hidden node: shown with it
    parent = p->second;
  }
  std::wstring text = Wide(node.text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = text.data();
  ins.item.lParam = static_cast<LPARAM>(node.id);
  ins.item.iImage = node.image < 0 ? I_IMAGENONE : node.image;
  ins.item.iSelectedImage = node.selectedImage < 0 ? ins.item.iImage : node.selectedImage;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!item) return;
  tree.items[node.id] = item;
  tree.lastAdded = item;
  // Its children, when it comes back after being hidden.
  for (forms::NodeId id : tree.order) {
    const auto& child = tree.nodes[id];
    if (child.parent == node.id && !child.hidden && !tree.items.count(id)) Show(tree, hwnd, child);
  }
}

void Win32View::Unshow(TreeState& tree, HWND hwnd, forms::NodeId node) {
  const auto it = tree.items.find(node);
  if (it == tree.items.end()) return;
  SendMessageW(hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(it->second));
  tree.items.erase(it);
  for (forms::NodeId id : tree.order)
    if (tree.nodes[id].parent == node) Unshow(tree, hwnd, id);
}

void Win32View::AddTreeNode(std::string_view tree, const forms::TreeNode& node) {
  const auto t = trees_.find(tree);
  if (t == trees_.end()) return;
  t->second.nodes[node.id] = node;
  t->second.order.push_back(node.id);
  if (!node.hidden) Show(t->second, Control(tree), node);
}

void Win32View::SetTreeNodeHidden(std::string_view tree, forms::NodeId node, bool hidden) {
  const auto t = trees_.find(tree);
  if (t == trees_.end()) return;
  const auto n = t->second.nodes.find(node);
  if (n == t->second.nodes.end()) return;
  n->second.hidden = hidden;
  if (hidden)
    Unshow(t->second, Control(tree), node);
  else if (!t->second.items.count(node))
    Show(t->second, Control(tree), n->second);
}

void Win32View::ExpandTreeNode(std::string_view tree, forms::NodeId node, bool expand) {
  const auto t = trees_.find(tree);
  if (t == trees_.end()) return;
  const auto item = t->second.items.find(node);
  if (item == t->second.items.end()) return;
  SendMessageW(Control(tree), TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item->second));
}

void Win32View::RefreshTree(std::string_view tree) {
  if (HWND hwnd = Control(tree)) UpdateWindow(hwnd);
}

void Win32View::HideForm() {
  done_ = true;
  ShowWindow(window_, SW_HIDE);
  PostMessageW(window_, WM_NULL, 0, 0);
}

void Win32View::CloseForm() {
  done_ = true;
  ShowWindow(window_, SW_HIDE);
  PostMessageW(window_, WM_NULL, 0, 0);
}

namespace {

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  LRESULT result = 0;
  if (view && view->Handle(msg, wp, lp, result)) return result;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

const wchar_t* FormClass(HINSTANCE instance) {
  static const wchar_t* const kName = L"AddrivoForm";
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kName;
    registered = RegisterClassExW(&wc) != 0;
  }
  return kName;
}

void Attach(HWND window, Win32View* view) { SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view)); }

}  // namespace win32
