// The conversion dialog's form without a window: which options the
// installed Outlook leaves, what Start asks for and runs, and how each
// outcome ends, checked on a recording view.
#include <gtest/gtest.h>

#include <memory>

#include "RecordingView.h"
#include "forms/FrmConversion.h"
#include "platform/automation/Outlook.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using exports::ExportFormat;
using exports::ExportOutcome;
using forms::FrmConversion;

class VersionOnlyOutlook : public automation::outlook::Application {
 public:
  explicit VersionOnlyOutlook(std::string v) : version_(std::move(v)) {}
  std::string version() override { return version_; }
  std::shared_ptr<automation::outlook::Namespace> GetNamespace(const std::string&) override { return nullptr; }

 private:
  std::string version_;
};

struct Load {
  const char* version;  // nullptr: no Outlook
  bool unicodeOffered, ansiChosen, startEnabled, reported;
};

void PrintTo(const Load& row, std::ostream* os) { *os << (row.version ? row.version : "no Outlook"); }

class OutlookCheck : public ::testing::TestWithParam<Load> {};

TEST_P(OutlookCheck, OffersTheOptionsThatSuitTheInstalledOutlook) {
  const Load& row = GetParam();
  std::unique_ptr<automation::ScopedRegistration> outlook;
  if (row.version)
    outlook = std::make_unique<automation::ScopedRegistration>(automation::outlook::kOutlookProgId, [v = row.version] {
      return std::static_pointer_cast<automation::Object>(std::make_shared<VersionOnlyOutlook>(v));
    });
  testsupport::RecordingDialogs dialogs;
  testsupport::RecordingView view;
  FrmConversion form(view);
  form.Design();
  form.Form_Load();
  EXPECT_EQ(form.IsEnabled("OptOutlook2K3"), row.unicodeOffered);
  EXPECT_EQ(form.IsChecked("OptOutlook2K"), row.ansiChosen);
  EXPECT_EQ(view.On(view.checked, "OptOutlook2K"), row.ansiChosen);
  EXPECT_EQ(form.IsEnabled(FrmConversion::kStart), row.startEnabled);
  ASSERT_EQ(dialogs.messages.size(), row.reported ? 1u : 0u);
  if (row.reported) {
    EXPECT_EQ(dialogs.messages[0].text, FrmConversion::kOutlookCheckFailed);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, OutlookCheck,
                         ::testing::Values(Load{"10.0.6626", false, true, true, false},
                                           Load{"9.0.0.8954", false, true, true, false},
                                           Load{"11.0.8169.0", false, true, true, false},  // holds "9."
                                           Load{"11.0.5608.5606", true, false, false, false},
                                           Load{"12.0.4518.1014", true, false, false, false},
                                           Load{nullptr, true, false, false, true}),
                         [](const auto& info) {
                           std::string name = info.param.version ? info.param.version : "NoOutlook";
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return "V" + name;
                         });

struct Start {
  const char* option;
  ExportOutcome::Status status;
  bool messageShown, hidden;
  const char* title;
};

std::string StatusName(ExportOutcome::Status status) {
  switch (status) {
    case ExportOutcome::Status::Written: return "Written";
    case ExportOutcome::Status::Declined: return "Declined";
    case ExportOutcome::Status::Failed: return "Failed";
  }
  return "";
}

void PrintTo(const Start& row, std::ostream* os) { *os << row.option << " " << StatusName(row.status); }

class StartOutcome : public ::testing::TestWithParam<Start> {};

TEST_P(StartOutcome, EndsAsTheOutcomeSays) {
  const Start& row = GetParam();
  testsupport::TempDir dir;
  testsupport::RecordingDialogs dialogs;
  dialogs.folders.push_back(dir.path().string());
  testsupport::RecordingView view;
  FrmConversion form(view);
  form.Design();
  form.SetBookPathSource([] { return std::string(" /books/Family.WAB"); });
  std::vector<exports::ExportRequest> runs;
  form.SetRunner([&](const exports::ExportRequest& request) {
    runs.push_back(request);
    ExportOutcome outcome;
    outcome.status = row.status;
    outcome.message = "what happened";
    return outcome;
  });
  form.Option_Click(row.option);
  form.CmdConversion_Click();

  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].bookPath, "/books/Family.WAB") << "the book the main window opened: the file box without its blanks";
  EXPECT_EQ(runs[0].folder, dir.path().string() + "/");
  EXPECT_EQ(runs[0].format, *form.Chosen());
  ASSERT_EQ(dialogs.messages.size(), row.messageShown ? 1u : 0u);
  if (row.messageShown) {
    EXPECT_EQ(dialogs.messages[0].title, row.title);
  }
  EXPECT_EQ(view.hidden, row.hidden);
  EXPECT_EQ(form.IsEnabled(FrmConversion::kStart), !row.hidden) << "Start is off after a completed export only";
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, StartOutcome,
    ::testing::Values(Start{"OptExcel", ExportOutcome::Status::Written, true, true, "Conversion Completed..."},
                      Start{"OptExcel", ExportOutcome::Status::Declined, false, false, ""},
                      Start{"OptXlsx", ExportOutcome::Status::Declined, true, false, "Vantrel Software"},
                      Start{"OptOutlook2K3", ExportOutcome::Status::Failed, true, false, "Vantrel Software"},
                      Start{"OptVCard", ExportOutcome::Status::Written, true, true, "Conversion Completed..."}),
    [](const auto& info) { return std::string(info.param.option + 3) + StatusName(info.param.status); });

TEST(StartWithoutAFolder, ACancelledChoiceOrAFormatFillerThatSaysNoRunsNothing) {
  testsupport::TempDir dir;
  testsupport::RecordingDialogs dialogs;
  testsupport::RecordingView view;
  FrmConversion form(view);
  form.Design();
  int runs = 0;
  form.SetRunner([&](const exports::ExportRequest&) {
    ++runs;
    return ExportOutcome{};
  });
  form.Option_Click("OptCsvGoogle");
  form.CmdConversion_Click();  // the folder chooser answers nothing
  form.SetRequestFiller(ExportFormat::CsvGoogle, [](exports::ExportRequest&) { return false; });
  dialogs.folders.push_back(dir.path().string());
  form.CmdConversion_Click();
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(form.IsEnabled(FrmConversion::kStart));
}

// The code page choice appears for a book of 8-bit texts only, and what is
// chosen there is what the export is handed; shown again, it is back at the
// guess.
TEST(CodePageChoice, ShownForEightBitBooksAndHandedToTheExport) {
  namespace tw = testsupport::wab;
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    bool eightBit, shown;
    std::size_t chosen;  // index into kCodePageChoices
    int handed;
  } cases[] = {{"cyrillic", true, true, 2, 1251}, {"guessed", true, true, 0, 0}, {"unicode", false, false, 2, 0}};
  for (const Case& c : cases) {
    tw::Book book;
    book.records.push_back(tw::Contact(
        3, {c.eightBit ? tw::String8(tw::kSurname, "Иванов", 1251) : tw::Unicode(tw::kSurname, "Иванов")}));
    const std::string path = (dir / (std::string(c.name) + ".wab")).string();
    tw::WriteBookFile(path, book);
    testsupport::RecordingDialogs dialogs;
    dialogs.folders.push_back(dir.path().string());
    testsupport::RecordingView view;
    FrmConversion form(view);
    form.Design();
    form.SetBookPathSource([path] { return path; });
    int handed = -1;
    form.SetRunner([&](const exports::ExportRequest& request) {
      handed = request.codePage;
      return ExportOutcome{};
    });
    form.Form_Activate();
    EXPECT_EQ(view.On(view.visible, FrmConversion::kCodePage), c.shown) << c.name;
    EXPECT_EQ(view.items[FrmConversion::kCodePage].size(), forms::kCodePageChoices.size()) << c.name;
    form.CboCodePage_Click(c.chosen);
    form.Option_Click("OptCsvOutlook");
    form.CmdConversion_Click();
    EXPECT_EQ(handed, c.handed) << c.name;
    form.Form_Activate();
    EXPECT_EQ(form.ChosenCodePage(), 0) << c.name;
  }
}

TEST(ExportDispatch, EveryOptionAndVerbReachesItsFormatAndEveryResultOneOutcome) {
  for (const forms::ConversionOption& o : forms::kConversionOptions) {
    const exports::ExportFormatInfo& info = exports::InfoOf(o.format);
    EXPECT_EQ(info.format, o.format) << o.control;
    EXPECT_EQ(exports::FormatOfVerb(info.verb), &info) << info.verb;
  }
  EXPECT_EQ(exports::FormatOfVerb("no-such-verb"), nullptr);

  struct Case {
    bool completed, declined;
    ExportOutcome::Status status;
    const char* title;
  } cases[] = {
      {true, false, ExportOutcome::Status::Written, exports::kCompletionTitle},
      {false, true, ExportOutcome::Status::Declined, exports::kFailureTitle},
      {false, false, ExportOutcome::Status::Failed, exports::kFailureTitle},
  };
  for (const Case& c : cases) {
    exports::ExportResult result;
    result.completed = c.completed;
    result.declined = c.declined;
    result.message = "text";
    const ExportOutcome outcome = exports::OutcomeOf(result);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.title, c.title);
    EXPECT_EQ(outcome.cause.empty(), c.status != ExportOutcome::Status::Failed);
  }
}

}  // namespace
