// The main window's form without a window: what each command makes
// available, what the scan says, and what the detail view shows, checked on
// a recording view.
#include <gtest/gtest.h>

#include <functional>

#include "../app/FakeAddressBook.h"
#include "RecordingView.h"
#include "forms/FrmMain.h"
#include "forms/ProgressCounter.h"

namespace {

using forms::FrmMain;
using testsupport::FakeAddressBook;

// What the user can do, as the view shows it.
struct Availability {
  bool scanButton, scanMenu, saveButton, saveMenu, reading;
  std::string file;
  bool operator==(const Availability&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Availability& a) {
  return os << "{scan " << a.scanButton << "/" << a.scanMenu << ", save " << a.saveButton << "/" << a.saveMenu
            << ", reading " << a.reading << ", file '" << a.file << "'}";
}

// Public throughout: the table's steps drive it too.
class MainForm : public ::testing::Test {
 public:
  MainForm() : form(view) { form.Form_Load(); }

  Availability Now() const {
    const bool label = view.On(view.visible, FrmMain::kReadLabel), bar = view.On(view.visible, FrmMain::kScanBar);
    EXPECT_EQ(label, bar) << "the label and the bar show together";
    return {view.On(view.enabled, FrmMain::kScan), view.On(view.enabled, FrmMain::kMenuScan),
            view.On(view.enabled, FrmMain::kSave), view.On(view.enabled, FrmMain::kMenuSave), label,
            view.text.count(FrmMain::kBookFileBox) ? view.text.at(FrmMain::kBookFileBox) : std::string()};
  }
  void Browse(const std::string& answer) {
    dialogs.files.push_back(answer);
    form.CmdBrowse_Click();
  }

  testsupport::RecordingDialogs dialogs;
  testsupport::FakeReaderRegistration fake;
  testsupport::RecordingView view;
  FrmMain form;
};

struct Steps {
  const char* name;
  std::function<void(MainForm&)> run;
  Availability expected;
};

void PrintTo(const Steps& steps, std::ostream* os) { *os << steps.name; }

class AvailabilityTest : public ::testing::TestWithParam<Steps> {};

TEST_P(AvailabilityTest, EachCommandLeavesTheDesignedState) {
  struct Run : MainForm {
    void TestBody() override {}
  } t;
  t.fake.reader->contacts = {{{"Name", "Ann"}}, {{"Name", "Bob"}}};
  GetParam().run(t);
  EXPECT_EQ(t.Now(), GetParam().expected);
}

const std::string kBook = "/books/family.wab";

INSTANTIATE_TEST_SUITE_P(
    MainWindow, AvailabilityTest,
    ::testing::Values(
        Steps{"AtStart", [](MainForm&) {}, {false, false, false, false, false, ""}},
        Steps{"BrowseChoosesABook", [](MainForm& t) { t.Browse(kBook); }, {true, true, false, false, true, kBook}},
        Steps{"ScanCompletes",
              [](MainForm& t) {
                t.Browse(kBook);
                t.form.CmdEnumerateNotes_Click();
              },
              {false, true, true, true, false, kBook}},
        Steps{"BrowseCancelledAfterAScan",
              [](MainForm& t) {
                t.Browse(kBook);
                t.form.CmdEnumerateNotes_Click();
                t.Browse("");
              },
              {false, true, false, true, false, ""}},
        Steps{"FailedScanPutsBackTheMenuEntryItOffered",
              [](MainForm& t) {
                t.fake.reader->beforeCall = [](const std::string& call) {
                  if (call == "Select:1") throw automation::AutomationError("record 1 is damaged");
                };
                t.Browse(kBook);
                t.form.CmdEnumerateNotes_Click();
              },
              {true, true, false, false, true, kBook}},
        Steps{"OpenBookScansAtOnce", [](MainForm& t) { t.form.OpenBook(kBook); },
              {false, true, true, true, false, kBook}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainForm, TypingAPathEnablesTheButtonButNotTheMenuEntry) {
  form.txtNotesDatabaseFile_Change("x.wab");
  EXPECT_EQ(Now(), (Availability{true, false, false, false, false, ""}));  // the view's box holds what it typed
  EXPECT_EQ(form.BookPath(), "x.wab");
  form.txtNotesDatabaseFile_Change("");
  EXPECT_FALSE(view.On(view.enabled, FrmMain::kScan));
}

TEST_F(MainForm, ScanFillsTheTreeReportsAndFollowsTheProgressProtocol) {
  fake.reader->contacts = {{{"Name", "  Bob"}}, {{"Name", ""}}, {{"Name", "Ann"}}};
  fake.reader->skipped = 1;
  Browse(kBook + "  ");
  form.CmdEnumerateNotes_Click();
  EXPECT_EQ(fake.reader->calls.front(), "Open:" + kBook) << "the path is trimmed";
  ASSERT_EQ(dialogs.messages.size(), 1u);
  // The fake book is no file: the whole-book model is left out, the scan stands.
  EXPECT_EQ(dialogs.messages[0].text,
            "Windows Address Book Scan Completed\n\n3 contacts, 1 damaged record skipped.");
  EXPECT_EQ(dialogs.messages[0].title, "Vantrel Software");
  EXPECT_EQ(view.setup[FrmMain::kScanBar].upper, 3);
  EXPECT_EQ(view.position[FrmMain::kScanBar], 3);
  EXPECT_EQ(ProgressCounter, 4);
  // Every node the model has, the view has, under the same parent.
  EXPECT_EQ(view.nodes.size(), form.Tree().NodeCount());
  for (const auto& n : form.Tree().Nodes()) EXPECT_EQ(view.nodes.at(n.shown.id).parent, n.shown.parent);
  const auto contacts = form.Tree().ContactNodes();
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_EQ(view.nodes[contacts[0]].text, "Bob");
  EXPECT_EQ(view.nodes[contacts[0]].parent, form.Tree().FindId("B"));
  EXPECT_EQ(view.nodes[contacts[1]].parent, form.Tree().FindId("Other"));
}

TEST_F(MainForm, FailuresNameTheBookOrSayItIsNone) {
  struct Case {
    std::string cause, message;
  } cases[] = {
      {automation::kNotAnAddressBook, automation::kNotAnAddressBook},
      {"no such file", "The address book \"" + kBook + "\" could not be read.\nno such file"},
  };
  for (const Case& c : cases) {
    fake.reader->beforeCall = [&](const std::string& call) {
      if (call.rfind("Open:", 0) == 0) throw automation::AutomationError(c.cause);
    };
    dialogs.messages.clear();
    Browse(kBook);
    form.CmdEnumerateNotes_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, c.message);
    EXPECT_FALSE(view.On(view.enabled, FrmMain::kSave));
  }
}

TEST_F(MainForm, DetailViewShowsTheClickedContactAndKeepsItForGroups) {
  fake.reader->contacts = {{{"Name", "Ann"}, {"MiddleName", "B"}, {"Surname", "Cole"}, {"CellPhone", "555"}},
                           {{"Name", ""}, {"Surname", "Dee"}, {"Fax", "777"}}};
  Browse(kBook);
  form.CmdEnumerateNotes_Click();
  const auto contacts = form.Tree().ContactNodes();
  EXPECT_FALSE(view.On(view.visible, "ImgContact"));
  struct Case {
    forms::NodeId node;
    std::string header, box, value;
  } cases[] = {
      {contacts[0], "Ann B Cole", "txtBusinessCellPhone", "555"},
      {form.Tree().FindId("A"), "Ann B Cole", "txtBusinessCellPhone", "555"},  // a group keeps what was shown
      {contacts[1], " Dee", "txtHomeFax", "777"},                              // no first name: a leading space
      {form.Tree().FindId(scan::kRootKey), " Dee", "txtBusinessCellPhone", ""},
  };
  for (const Case& c : cases) {
    form.ContactsTreeView_NodeClick(c.node);
    EXPECT_EQ(view.text["LblTopName"], c.header);
    EXPECT_EQ(view.text[c.box], c.value) << c.box;
    EXPECT_TRUE(view.On(view.visible, "ImgContact"));
  }
}

TEST_F(MainForm, HooksRunWithTheFormAndTheirFailuresAreReported) {
  int shown = 0;
  form.showAbout = [&](FrmMain& f) { shown += &f == &form; };
  form.showConversionDialog = [](FrmMain&) { throw std::runtime_error("no dialog here"); };
  form.mnuAbout_Click();
  form.CmdContactsCreate_Click();
  form.mnuContents_Click();  // nothing plugged in: nothing happens
  EXPECT_EQ(shown, 1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "no dialog here");
  form.mnuExit_Click();
  EXPECT_TRUE(view.closed);
}

TEST(ProgressCounterTest, HoldsTheLargestCountPlusOne) {
  static_assert(sizeof(ProgressCounter) > 4, "must hold N + 1 for any count the reader reports");
  ProgressCounter = 2147483647;
  ++ProgressCounter;
  EXPECT_EQ(ProgressCounter, 2147483648LL);
  ProgressCounter = 1;
}

}  // namespace
