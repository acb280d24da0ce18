// A view that keeps what the forms told it, and dialogs that answer from a
// script: the forms run headless, with no toolkit at all.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "forms/View.h"
#include "platform/dialogs/Dialogs.h"

namespace testsupport {

class RecordingView : public forms::View {
 public:
  std::map<std::string, std::string, std::less<>> text;
  std::map<std::string, bool, std::less<>> enabled, visible, checked;
  std::map<std::string, std::vector<std::string>, std::less<>> items;
  std::map<std::string, forms::ProgressSetup, std::less<>> setup;
  std::map<std::string, std::int64_t, std::less<>> position;
  std::map<forms::NodeId, forms::TreeNode> nodes;
  bool hidden = false, closed = false;

  void SetText(std::string_view c, const std::string& t) override { text[std::string(c)] = t; }
  void SetEnabled(std::string_view c, bool on) override { enabled[std::string(c)] = on; }
  void SetVisible(std::string_view c, bool on) override { visible[std::string(c)] = on; }
  void SetChecked(std::string_view c, bool on) override { checked[std::string(c)] = on; }
  void SetItems(std::string_view c, const std::vector<std::string>& i) override { items[std::string(c)] = i; }
  void PrepareProgress(std::string_view b, const forms::ProgressSetup& s) override { setup[std::string(b)] = s; }
  void SetProgress(std::string_view b, std::int64_t p) override { position[std::string(b)] = p; }
  void ClearTree(std::string_view) override { nodes.clear(); }
  void AddTreeNode(std::string_view, const forms::TreeNode& n) override { nodes[n.id] = n; }
  void SetTreeNodeHidden(std::string_view, forms::NodeId n, bool h) override { nodes[n].hidden = h; }
  void ExpandTreeNode(std::string_view, forms::NodeId, bool) override {}
  void HideForm() override { hidden = true; }
  void CloseForm() override { closed = true; }
  dialogs::Owner Owner() const override { return dialogs::Owner{const_cast<RecordingView*>(this)}; }

  bool On(const std::map<std::string, bool, std::less<>>& states, std::string_view c) const {
    const auto it = states.find(c);
    return it != states.end() && it->second;
  }
};

struct Message {
  std::string text, title;
};

class RecordingDialogs : public dialogs::Dialogs {
 public:
  RecordingDialogs() { dialogs::SetCurrent(this); }
  ~RecordingDialogs() override { dialogs::SetCurrent(nullptr); }

  std::deque<std::string> files, folders;  // answers, "" when empty
  std::deque<bool> yesNo;
  std::vector<Message> messages;
  std::vector<std::string> questions;

  std::string GetOpenFileName(dialogs::Owner, const std::string&, const std::string&) override { return Next(files); }
  std::string ChooseFolder(dialogs::Owner, const std::string&) override { return Next(folders); }
  void ShowMessage(dialogs::Owner, const std::string& t, const std::string& title, dialogs::MessageIcon) override {
    messages.push_back({t, title});
  }
  bool AskYesNo(dialogs::Owner, const std::string& t, const std::string&) override {
    questions.push_back(t);
    if (yesNo.empty()) return false;
    const bool yes = yesNo.front();
    yesNo.pop_front();
    return yes;
  }

 private:
  static std::string Next(std::deque<std::string>& q) {
    if (q.empty()) return {};
    std::string s = q.front();
    q.pop_front();
    return s;
  }
};

}  // namespace testsupport
