// The main window's behaviour without a toolkit: choose an address book,
// scan it into the contact tree, look at one contact at a time, and open the
// export dialog, the help and the about box. The form holds the window's
// state and makes every text; its View builds the designed controls and
// carries out what the form says. Commands carry their designed names; a
// menu entry runs the handler of the button that offers the same command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ContactDetailView.h"
#include "Progress.h"
#include "View.h"
#include "scan/TreeModel.h"

namespace automation {
class AddressBookReader;
}
namespace wab {
struct Book;
}

namespace forms {

class FrmMain {
 public:
  inline static constexpr const char* kCaption = "Vantrel Addrivo v1.0 Build 1508";
  inline static constexpr const char* kMessageTitle = "Vantrel Software";
  inline static constexpr const char* kWebAddress = "www.vantrel.example";
  inline static constexpr const char* kFileFilter = "Windows Address Book (*.wab)";
  inline static constexpr const char* kScanCompleted = "Windows Address Book Scan Completed";
  inline static constexpr const char* kTreeHeader = "Windows Address Book Contacts";
  // Drawn across the banner Picture1 at the top; no command uses it.
  inline static constexpr const char* kBannerTitle = "Vantrel Addrivo";

  // The designed controls, by name.
  inline static constexpr const char* kForm = "FrmMain";
  inline static constexpr const char* kBookFileBox = "txtNotesDatabaseFile";
  inline static constexpr const char* kBrowse = "CmdBrowse";
  inline static constexpr const char* kScan = "CmdEnumerateNotes";
  inline static constexpr const char* kSave = "CmdContactsCreate";
  inline static constexpr const char* kTree = "ContactsTreeView";
  inline static constexpr const char* kReadLabel = "LblRead";
  inline static constexpr const char* kScanBar = "ProgBarScanNotes";
  inline static constexpr const char* kMenuOpen = "mnuOpen";
  inline static constexpr const char* kMenuScan = "mnuScan";
  inline static constexpr const char* kMenuSave = "mnuSave";
  inline static constexpr const char* kMenuExit = "mnuExit";
  inline static constexpr const char* kMenuShowDeleted = "mnuShowDeleted";
  inline static constexpr const char* kMenuContents = "mnuContents";
  inline static constexpr const char* kMenuAbout = "mnuAbout";

  // Every caption the form gives its controls at load: (control, text).
  struct Caption {
    const char* control;
    const char* text;
  };
  static const std::vector<Caption>& Captions();

  explicit FrmMain(View& view);
  ~FrmMain();
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // What the other windows plug in. Each runs modally with this window as
  // owner; until one is set its command does nothing. A hook that throws is
  // reported in a message box; the window stays usable.
  std::function<void(FrmMain&)> showConversionDialog;  // FrmConversion
  std::function<void(FrmMain&)> showHelpContents;      // the help file
  std::function<void(FrmMain&)> showAbout;             // AboutFrm

  // The design-time state (captions, what is enabled and shown), then the
  // designed load: ProgressCounter to 1 and the default tree.
  void Form_Load();

  // The commands, as the buttons and menu entries run them.
  void CmdBrowse_Click();
  // The user changed the file box's text (also when the form set it).
  void txtNotesDatabaseFile_Change(const std::string& text);
  void CmdEnumerateNotes_Click();
  void CmdContactsCreate_Click();
  void ContactsTreeView_NodeClick(NodeId node);
  void mnuContents_Click();
  void mnuAbout_Click();
  // Closes the window.
  void mnuExit_Click();
  // View > Show deleted contacts: the deleted contacts the book still holds
  // appear in the tree, marked, or disappear again.
  void mnuShowDeleted_Click();

  // "addrivo BOOK.wab": the book is chosen as Browse chooses one and scanned
  // at once; a missing or unreadable file gets the scan's usual message.
  void OpenBook(const std::string& path);

  // Builds the tree's skeleton: the root, "A" to "Z" and "Other".
  void PopulateDefaultTree();

  // The text of the file box as it stands: the exports read the book it names.
  const std::string& BookPath() const { return bookPath_; }
  scan::TreeModel& Tree() { return tree_; }
  const scan::TreeModel& Tree() const { return tree_; }
  ContactDetailView& Detail() { return detail_; }
  // The scanned book's whole model, when it could be read.
  std::shared_ptr<const wab::Book> Book() const { return book_; }
  View& GetView() { return view_; }

  // The state of the controls as the form set them.
  bool IsEnabled(const char* control) const;
  bool IsVisible(const char* control) const;
  bool IsChecked(const char* control) const;

 private:
  class TreeToView;

  void SetEnabled(const char* control, bool enabled);
  void SetVisible(const char* control, bool visible);
  void ReportFailure(const std::string& text);
  void RunHook(const std::function<void(FrmMain&)>& hook);
  void ChooseBook(const std::string& path);
  // The whole-book model beside the designed scan: ties the scanned nodes to
  // its contacts by record id, adds the groups and the (hidden) deleted
  // contacts, and returns the completion message.
  std::string AttachWholeBook(const std::string& path, automation::AddressBookReader& reader, std::int32_t contacts);
  void ForgetWholeBook();
  bool ShowModelNode(const scan::ModelNode& node);

  View& view_;
  std::unique_ptr<TreeToView> treeToView_;
  scan::TreeModel tree_;
  ContactDetailView detail_;
  BarProgress scanBar_;
  std::string bookPath_;
  std::vector<std::pair<std::string, bool>> enabled_, visible_, checked_;
  std::shared_ptr<const wab::Book> book_;
  std::vector<NodeId> deletedNodes_;
};

}  // namespace forms
