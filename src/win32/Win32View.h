// A form's window on Windows: the designed controls as Win32 windows and
// common controls, built from a table of names, kinds and positions in
// twips, and forms::View carried out on them. Clicks, typing and tree
// selections go back to the handlers the front end registers by name. The
// view decides nothing: every text and state comes from its form.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "forms/View.h"
#include "platform/os/WideText.h"

namespace win32 {

// UTF-8 to UTF-16 and back; "&" access keys pass through unchanged.
using os::Utf8;
using os::Wide;

enum class Kind {
  Label,       // static text
  BoldLabel,   // static text in the designed bold label font
  TitleLabel,  // the detail view's header name
  TextBox,
  PasswordBox,  // a text box that shows no text
  MultiLineBox,
  Button,
  Option,  // a radio button
  Frame,   // a group box
  Tree,
  Progress,
  Tabs,    // a tab control; the pages' controls name it and their page
  List,
  Combo,    // a drop-down list to choose one entry from
  Picture,  // a fixed 32 x 32 contact picture
  Line,     // an etched horizontal line
  StatusBar,
};

struct ControlSpec {
  const char* name;
  Kind kind;
  int left, top, width, height;  // twips of the client area
  const char* text = "";
  int page = 0;  // 1.. for the controls of a page of the tab control; 0 elsewhere
};

struct MenuSpec {
  const char* name;      // "" for a separator
  const char* text;      // "&File"; for a top-level menu, its entries follow
  bool topLevel = false;
};

class Win32View final : public forms::View {
 public:
  // Creates the controls on parent (a window of this program's class).
  Win32View(HWND window, const std::vector<ControlSpec>& controls, const std::vector<MenuSpec>& menus = {});
  ~Win32View() override;

  // What a click on a button, option or menu entry runs.
  void OnClick(std::string_view control, std::function<void()> handler);
  // What a change of a text box's text runs, with the new text.
  void OnChange(std::string_view control, std::function<void(const std::string&)> handler);
  // What choosing an entry of a drop-down list runs, with its index.
  void OnSelect(std::string_view control, std::function<void(std::size_t)> handler);
  // A text box's text as the user left it (for the dialogs that ask once).
  std::string Text(std::string_view control) const;
  // What a tree's selection of a node runs.
  void OnNodeClick(std::string_view tree, std::function<void(forms::NodeId)> handler);
  // What closing the window runs (the system menu, Alt+F4).
  void OnClose(std::function<void()> handler) { onClose_ = std::move(handler); }

  HWND window() const { return window_; }
  HWND Control(std::string_view name) const;
  int ControlId(std::string_view name) const;
  // Whether CloseForm or HideForm ran (ends a modal loop).
  bool done() const { return done_; }
  // Shows again a form that HideForm hid.
  void Reopen() { done_ = false; }

  // The window procedure's share: true when the message was this view's.
  bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  // forms::View
  void SetText(std::string_view control, const std::string& text) override;
  void SetEnabled(std::string_view control, bool enabled) override;
  void SetVisible(std::string_view control, bool visible) override;
  void SetChecked(std::string_view control, bool checked) override;
  void SetItems(std::string_view control, const std::vector<std::string>& items) override;
  void SetToolTip(std::string_view control, const std::string& text) override;
  void PrepareProgress(std::string_view bar, const forms::ProgressSetup& setup) override;
  void SetProgress(std::string_view bar, std::int64_t position) override;
  void ClearTree(std::string_view tree) override;
  void AddTreeNode(std::string_view tree, const forms::TreeNode& node) override;
  void SetTreeNodeHidden(std::string_view tree, forms::NodeId node, bool hidden) override;
  void ExpandTreeNode(std::string_view tree, forms::NodeId node, bool expand) override;
  void RefreshTree(std::string_view tree) override;
  void HideForm() override;
  void CloseForm() override;
  dialogs::Owner Owner() const override { return dialogs::Owner{window_}; }

 private:
  struct Item {
    std::string name;
    Kind kind;
    HWND hwnd = nullptr;
    int id = 0;
    int page = 0;
    bool shown = true;  // as the form wants it; a page's control also needs its page selected
    RECT twips{};
  };
  struct TreeState {
    std::unordered_map<forms::NodeId, forms::TreeNode> nodes;
    std::unordered_map<forms::NodeId, HTREEITEM> items;  // of the nodes shown
    std::vector<forms::NodeId> order;
    HTREEITEM lastAdded = nullptr;
  };
  Item* Find(std::string_view name);
  const Item* Find(std::string_view name) const;
  void ApplyVisibility(Item& c);
  void SelectPage(int page);
  void Layout();
  HFONT Font(Kind kind);
  void Show(TreeState& tree, HWND hwnd, const forms::TreeNode& node);
  void Unshow(TreeState& tree, HWND hwnd, forms::NodeId node);

  HWND window_;
  HMENU menu_ = nullptr;
  std::vector<Item> controls_;
  std::map<std::string, int, std::less<>> menuIds_;
  std::unordered_map<int, std::function<void()>> clicks_;
  std::unordered_map<int, std::function<void(const std::string&)>> changes_;
  std::unordered_map<int, std::function<void(std::size_t)>> selects_;
  std::unordered_map<int, std::function<void(forms::NodeId)>> nodeClicks_;
  std::map<std::string, TreeState, std::less<>> trees_;
  std::function<void()> onClose_;
  HFONT fonts_[4] = {};
  HIMAGELIST images_ = nullptr;
  HWND tooltips_ = nullptr;
  UINT dpi_ = 96;
  int page_ = 1;
  bool done_ = false;
  bool settingText_ = false;
};

// The window class every form's window uses; its procedure hands messages
// to the Win32View stored with the window.
const wchar_t* FormClass(HINSTANCE instance);
void Attach(HWND window, Win32View* view);

}  // namespace win32
