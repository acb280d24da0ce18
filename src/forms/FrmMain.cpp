#include "FrmMain.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>

#include "platform/automation/AddressBookReader.h"
#include "platform/os/Text.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"
#include "scan/ContactKey.h"
#include "scan/ContactRecord.h"
#include "ProgressCounter.h"
#include "scan/ScanBook.h"

namespace forms {
namespace {

constexpr const char* kGroupsKey = "Groups";

// The state a form gave its controls, by name.
bool Get(const std::vector<std::pair<std::string, bool>>& states, const char* control) {
  for (const auto& [name, on] : states)
    if (name == control) return on;
  return false;
}

void Put(std::vector<std::pair<std::string, bool>>& states, const char* control, bool on) {
  for (auto& [name, state] : states)
    if (name == control) {
      state = on;
      return;
    }
  states.emplace_back(control, on);
}

}  // namespace

// The tree model's changes, drawn by the view's tree control.
class FrmMain::TreeToView final : public scan::TreeListener {
 public:
  explicit TreeToView(View& view) : view_(view) {}
  void Cleared() override { view_.ClearTree(kTree); }
  void Added(const TreeNode& node) override { view_.AddTreeNode(kTree, node); }
  void HiddenChanged(NodeId node, bool hidden) override { view_.SetTreeNodeHidden(kTree, node, hidden); }
  void Expanded(NodeId node, bool expand) override { view_.ExpandTreeNode(kTree, node, expand); }
  void Refreshed() override { view_.RefreshTree(kTree); }

 private:
  View& view_;
};

const std::vector<FrmMain::Caption>& FrmMain::Captions() {
  static const std::vector<Caption> captions{
      {kForm, kCaption},
      {"Label3", "Select Windows Address Book File (.wab)"},
      {kBrowse, "&Browse..."},
      {kScan, "Scan &Contacts"},
      {kSave, "&Save Contacts"},
      {kTree, kTreeHeader},
      {kReadLabel, "Reading Contacts"},
      {"OsenXPStatusBar1Panel1", kMessageTitle},
      {"OsenXPStatusBar1Panel2", kWebAddress},
      {"mnuFile", "File"},
      {kMenuOpen, "Open Windows Address Book File..."},
      {kMenuScan, "Scan Contacts"},
      {kMenuSave, "Save Contacts..."},
      {kMenuExit, "Exit"},
      {"mnuView", "View"},
      {kMenuShowDeleted, "Show deleted contacts"},
      {"mnuHelp", "Help"},
      {kMenuContents, "Contents..."},
      {kMenuAbout, "About..."},
  };
  return captions;
}

FrmMain::FrmMain(View& view)
    : view_(view), treeToView_(std::make_unique<TreeToView>(view)), detail_(view), scanBar_(view, kScanBar) {
  tree_.SetListener(treeToView_.get());
}

FrmMain::~FrmMain() { tree_.SetListener(nullptr); }

void FrmMain::SetEnabled(const char* control, bool enabled) {
  Put(enabled_, control, enabled);
  view_.SetEnabled(control, enabled);
}

void FrmMain::SetVisible(const char* control, bool visible) {
  Put(visible_, control, visible);
  view_.SetVisible(control, visible);
}

bool FrmMain::IsEnabled(const char* control) const { return Get(enabled_, control); }
bool FrmMain::IsVisible(const char* control) const { return Get(visible_, control); }
bool FrmMain::IsChecked(const char* control) const { return Get(checked_, control); }

void FrmMain::Form_Load() {
  for (const Caption& c : Captions()) view_.SetText(c.control, c.text);
  for (const char* on : {kBrowse, kMenuOpen, kMenuExit, kMenuShowDeleted, kMenuContents, kMenuAbout, kBookFileBox})
    SetEnabled(on, true);
  for (const char* off : {kScan, kSave, kMenuScan, kMenuSave}) SetEnabled(off, false);
  SetVisible(kReadLabel, false);
  SetVisible(kScanBar, false);
  Put(checked_, kMenuShowDeleted, false);
  view_.SetChecked(kMenuShowDeleted, false);
  scanBar_.Restore(ProgressSetup{0, 100, 0, 0.0}, 0);
  detail_.Form_Load();

  ProgressCounter = 1;
  PopulateDefaultTree();
}

void FrmMain::PopulateDefaultTree() {
  ForgetWholeBook();
  scan::PopulateDefaultTree(tree_);
}

void FrmMain::ReportFailure(const std::string& text) {
  dialogs::Current().ShowMessage(view_.Owner(), text, kMessageTitle, dialogs::MessageIcon::Information);
}

void FrmMain::CmdBrowse_Click() {
  std::string chosen;
  try {
    chosen = dialogs::Current().GetOpenFileName(view_.Owner(), std::string(), kFileFilter);
  } catch (const std::exception& e) {
    // Nothing has changed yet: the window stays as it was.
    ReportFailure(std::string("The address book file could not be chosen.\n") + e.what());
    return;
  } catch (...) {
    ReportFailure("The address book file could not be chosen.");
    return;
  }
  ChooseBook(chosen);
}

void FrmMain::ChooseBook(const std::string& path) {
  PopulateDefaultTree();
  scanBar_.SetPosition(0);
  SetEnabled(kSave, false);
  bookPath_ = path;
  view_.SetText(kBookFileBox, path);
  txtNotesDatabaseFile_Change(path);
  if (!bookPath_.empty()) {
    SetEnabled(kScan, true);
    SetVisible(kReadLabel, true);
    SetVisible(kScanBar, true);
    SetEnabled(kMenuScan, true);
  }
}

void FrmMain::OpenBook(const std::string& path) {
  ChooseBook(path);
  if (!bookPath_.empty()) CmdEnumerateNotes_Click();
}

void FrmMain::txtNotesDatabaseFile_Change(const std::string& text) {
  bookPath_ = text;
  SetEnabled(kScan, !text.empty());
}

void FrmMain::CmdEnumerateNotes_Click() {
  // What a failure puts back; contacts already added stay in the tree.
  const bool saveWasEnabled = IsEnabled(kMenuSave);
  const ProgressSetup barSetup = scanBar_.Setup();
  const std::int64_t barPosition = scanBar_.Position();
  const std::string path = text::TrimSpaces(bookPath_);
  auto restore = [&] {
    SetEnabled(kMenuSave, saveWasEnabled);
    scanBar_.Restore(barSetup, barPosition);
  };

  std::string completed;
  try {
    auto reader = automation::Registry::Instance().Create<automation::AddressBookReader>(
        automation::kAddressBookReaderProgId);
    reader->Open(path);

    // The bar is set up, and the export entry offered, once the count is known.
    class Progress final : public scan::ScanProgress {
     public:
      Progress(FrmMain& form) : form_(form) {}
      void Prepare(std::int32_t count) override {
        form_.scanBar_.Prepare(count);
        form_.SetEnabled(kMenuSave, true);
        ProgressCounter = 1;
      }
      // The scan reports 1, 2, ..., N; the counter is one ahead of the bar.
      void SetPosition(std::int64_t position) override {
        ProgressCounter = position;
        form_.scanBar_.SetPosition(ProgressCounter);
        ++ProgressCounter;
      }

     private:
      FrmMain& form_;
    } progress(*this);
    ForgetWholeBook();
    const std::int32_t count = scan::ScanBook(*reader, tree_, &progress);
    completed = AttachWholeBook(path, *reader, count);
    reader.reset();
  } catch (const std::exception& e) {
    restore();
    const std::string cause = e.what();
    if (cause == automation::kNotAnAddressBook)
      ReportFailure(cause);
    else
      ReportFailure("The address book \"" + path + "\" could not be read.\n" + cause);
    return;
  } catch (...) {
    restore();
    ReportFailure("The address book \"" + path + "\" could not be read.");
    return;
  }

  dialogs::Current().ShowMessage(view_.Owner(), completed, kMessageTitle, dialogs::MessageIcon::Information);
  SetEnabled(kSave, true);
  SetEnabled(kScan, false);
  SetVisible(kReadLabel, false);
  SetVisible(kScanBar, false);
}

void FrmMain::RunHook(const std::function<void(FrmMain&)>& hook) {
  if (!hook) return;
  try {
    hook(*this);
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  } catch (...) {
    ReportFailure("The command failed.");
  }
}

void FrmMain::CmdContactsCreate_Click() { RunHook(showConversionDialog); }
void FrmMain::mnuContents_Click() { RunHook(showHelpContents); }
void FrmMain::mnuAbout_Click() { RunHook(showAbout); }
void FrmMain::mnuExit_Click() { view_.CloseForm(); }

void FrmMain::ContactsTreeView_NodeClick(NodeId id) {
  const scan::ModelNode* node = tree_.Node(id);
  if (!node) return;
  // Looked up by its key the node finds itself, except when a second scan
  // within the same second reused the key: the clicked node's own record is
  // the one to show either way.
  if (ShowModelNode(*node)) return;
  detail_.ShowRecord(node->record);
}

void FrmMain::ForgetWholeBook() {
  book_.reset();
  deletedNodes_.clear();
}

std::string FrmMain::AttachWholeBook(const std::string& path, automation::AddressBookReader& reader,
                                     std::int32_t contacts) {
  std::shared_ptr<wab::Book> book;
  try {
    // The bytes the real reader already holds: the book is opened and
    // checked once per scan. Another reader leaves it to be opened here.
    const wab::HeldBook* held = wab::HeldBookOf(reader);
    std::optional<wab::WabFile> opened;
    if (!held || !held->File()) opened.emplace(wab::OpenBookFile(path));
    const wab::WabFile& file = opened ? *opened : *held->File();
    wab::BookOptions options;
    options.recoverDeleted = true;
    book = std::make_shared<wab::Book>(wab::ReadBook(file, options));
    // A book cut short under the program is damaged, as opening it again would find.
    if (!file.Intact()) throw std::runtime_error("the book was cut short");
  } catch (...) {
    // The designed scan has its contacts already; without the model the
    // window shows what the reader gave, as it always did.
    book.reset();
  }

  std::string message = std::string(kScanCompleted) + "\n\n" +
                     text::Counted(contacts, "contact", "contacts");
  if (book) {
    if (!book->groups.empty()) {
      tree_.AddNode(kGroupsKey, kGroupsKey, scan::kImageCardTransfer, scan::kNoImage, scan::kRootKey);
      for (const auto& g : book->groups) {
        const NodeId node = tree_.AddNode("Group " + std::to_string(g.id), g.displayName, scan::kImageContacts,
                                          scan::kNoImage, kGroupsKey);
        tree_.SetSubject(node, scan::NodeSubject::Group, g.id);
      }
    }
    for (const auto& c : book->contacts) {
      if (!c.deleted) continue;
      const std::string name = ContactDetailView::RecordFields(c)[0];
      const NodeId node = tree_.AddNode("Deleted " + std::to_string(c.id), scan::DisplayText(name) + " (deleted)",
                                        scan::kImageContacts, scan::kNoImage, scan::GroupKeyFor(name), std::string(),
                                        NodeStyle::Deleted, !IsChecked(kMenuShowDeleted));
      tree_.SetSubject(node, scan::NodeSubject::Contact, c.id);
      deletedNodes_.push_back(node);
    }
    tree_.ExpandRoot(true);
    book_ = std::move(book);
    message += ", " + text::Counted(book_->groups.size(), "group", "groups");
  }
  message += ", " + text::Counted(reader.SkippedRecords(), "damaged record", "damaged records") +
          " skipped.";
  if (book_ && book_->deletedRecovered > 0)
    message += "\n" + text::Counted(book_->deletedRecovered, "deleted contact can", "deleted contacts can") +
            " be shown with View > Show deleted contacts.";
  return message;
}

void FrmMain::mnuShowDeleted_Click() {
  const bool show = !IsChecked(kMenuShowDeleted);
  Put(checked_, kMenuShowDeleted, show);
  view_.SetChecked(kMenuShowDeleted, show);
  for (NodeId node : deletedNodes_) tree_.SetHidden(node, !show);
}

bool FrmMain::ShowModelNode(const scan::ModelNode& node) {
  if (!book_) return false;
  if (node.subject == scan::NodeSubject::Group) {
    if (const wab::Group* g = book_->FindGroup(node.recordId)) {
      detail_.ShowGroup(*book_, *g);
      return true;
    }
  }
  if (node.subject == scan::NodeSubject::Contact) {
    if (const wab::Contact* c = book_->FindContact(node.recordId)) {
      detail_.ShowContact(*book_, *c, node.record);
      return true;
    }
  }
  return false;
}

}  // namespace forms
