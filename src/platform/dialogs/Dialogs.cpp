#include "Dialogs.h"

#include <cstdio>

namespace dialogs {
namespace {

class NoDialogs final : public Dialogs {
 public:
  std::string GetOpenFileName(Owner, const std::string&, const std::string&) override { return {}; }
  std::string ChooseFolder(Owner, const std::string&) override { return {}; }
  void ShowMessage(Owner, const std::string& text, const std::string& title, MessageIcon) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
};

Dialogs* g_current = nullptr;

}  // namespace

Dialogs& Current() {
  static NoDialogs none;
  return g_current ? *g_current : none;
}

void SetCurrent(Dialogs* d) { g_current = d; }

}  // namespace dialogs
