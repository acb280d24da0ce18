#include <gtest/gtest.h>

#include <deque>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include "export/ExportFakes.h"
#include "app/FrmConversion.h"
#include "export/OutlookExport.h"
#include "platform/automation/Outlook.h"
#include "support/qt/ScriptedDialogs.h"
#include "support/TestData.h"

using namespace exporttest;
using automation::ScopedRegistration;
using automation::SameObject;
using app::FrmConversion;

namespace {

class FakeOutlook : public automation::outlook::Application {
 public:
  explicit FakeOutlook(std::string v, bool failVersion = false) : version_(std::move(v)), fail_(failVersion) {}
  std::shared_ptr<automation::outlook::Namespace> GetNamespace(const std::string&) override {
    throw automation::AutomationError("no profile");
  }
  std::string version() override {
    if (fail_) throw automation::AutomationError("no profile");
    return version_;
  }

 private:
  std::string version_;
  bool fail_;
};

template <class T>
T* Find(QWidget* form, const char* name) {
  T* w = form->findChild<T*>(QString::fromLatin1(name));
  if (!w) ADD_FAILURE() << "no control " << name;
  return w;
}

class ConversionDialog : public ::testing::Test {
 protected:
  void SetUp() override { QSettings(QStringLiteral("Vantrel Software"), QStringLiteral("Addrivo")).clear(); }
  void TearDown() override {
    delete app::LoadedConversionDialog();
    exports::SetOutlookExport({});
  }

  // Registers an Outlook that reports version; counts how often it is created.
  void RegisterOutlook(const std::string& version, bool failVersion = false) {
    outlook_.reset();  // restores what was there first
    outlook_ = std::make_unique<ScopedRegistration>(automation::outlook::kOutlookProgId, [=, this] {
      ++outlookCreated;
      return std::static_pointer_cast<automation::Object>(std::make_shared<FakeOutlook>(version, failVersion));
    });
  }

  // A book of n contacts behind the reader's ProgID.
  void RegisterBook(int n) {
    reader = std::make_shared<RecordingReader>(&log);
    for (int i = 0; i < n; ++i) reader->contacts.push_back({{"Name", "Contact " + std::to_string(i)}});
    readerRegistration_.reset();
    readerRegistration_ = std::make_unique<ScopedRegistration>(automation::kAddressBookReaderProgId,
                                                               SameObject(reader));
  }

  std::unique_ptr<FrmConversion> NewLoadedForm() {
    auto form = std::make_unique<FrmConversion>();
    form->SetBookPathSource([this] { return bookPath; });
    form->SetSheetWriterFactory([this] { return std::make_unique<RecordingWriter>(&log); });
    form->Form_Load();
    return form;
  }

  // Shows the single dialog modally and runs step once it is up; the
  // dialog is closed afterwards unless step hid it.
  void ShowAndRun(const std::function<void(FrmConversion&)>& step) {
    QTimer::singleShot(0, [&] {
      FrmConversion* form = app::LoadedConversionDialog();
      ASSERT_NE(form, nullptr);
      form->SetSheetWriterFactory([this] { return std::make_unique<RecordingWriter>(&log); });
      step(*form);
      if (form->isVisible()) form->close();
    });
    app::ShowConversionDialog(nullptr, [this] { return bookPath; });
  }

  testsupport::ScriptedDialogs dialogs;
  testsupport::TempDir dir;
  Log log;
  std::shared_ptr<RecordingReader> reader;
  QString bookPath = QStringLiteral("/books/Family.WAB");
  int outlookCreated = 0;

 private:
  std::unique_ptr<ScopedRegistration> outlook_, readerRegistration_;
};

TEST_F(ConversionDialog, HasEveryControlWithItsDesignSettings) {
  FrmConversion form;
  EXPECT_EQ(form.windowTitle(), "Conversion Options");
  auto* label = Find<QLabel>(&form, "Label1");
  EXPECT_EQ(label->text(), "Choose Conversion Format");
  EXPECT_EQ(label->font().family(), "Verdana");
  auto* frame = Find<QFrame>(&form, "OsenXPFrame1");
  EXPECT_EQ(frame->geometry().topLeft(), QPoint(0, 32));
  EXPECT_EQ(frame->height(), 166 + 96);  // four whole-book options below the designed three
  EXPECT_GE(frame->width(), 417);
  const QGradient* gradient = frame->palette().brush(QPalette::Window).gradient();
  ASSERT_NE(gradient, nullptr);
  EXPECT_EQ(gradient->stops().front().second, QColor(0xE0, 0xE0, 0xE0));
  EXPECT_EQ(gradient->stops().back().second, QColor(0x97, 0xC7, 0xF0));

  struct { const char* name; const char* caption; QRect where; } options[] = {
      {"OptOutlook2K", "Outlook 2000/2002/XP Format (Ansi Format)", QRect(112, 8, 273, 33)},
      {"OptOutlook2K3", "Outlook 2003/2007 Format (Unicode Format)", QRect(112, 40, 265, 33)},
      {"OptExcel", "Excel 97/2000/2002/2003 (.xls) Format", QRect(112, 88, 225, 33)},
      {"OptVCard", "vCard (.vcf) \u2014 phones, webmail, Thunderbird, Apple Contacts", QRect(112, 120, 225, 24)},
      {"OptCsvOutlook", "CSV for Outlook (.csv)", QRect(112, 144, 225, 24)},
      {"OptCsvGoogle", "CSV for Google Contacts (.csv)", QRect(112, 168, 225, 24)},
      {"OptXlsx", "Excel Workbook (.xlsx)", QRect(112, 192, 225, 24)}};
  for (auto& o : options) {
    auto* b = Find<QRadioButton>(&form, o.name);
    EXPECT_EQ(b->text(), QString::fromUtf8(o.caption));
    EXPECT_EQ(b->parentWidget(), frame) << o.name;
    EXPECT_EQ(b->geometry().topLeft(), o.where.topLeft()) << o.name;
    EXPECT_EQ(b->height(), o.where.height()) << o.name;
    // Never narrower than designed, nor than its caption, nor past the frame.
    EXPECT_GE(b->width(), std::max(o.where.width(), b->sizeHint().width())) << o.name;
    EXPECT_LE(b->geometry().right(), frame->width()) << o.name;
    EXPECT_TRUE(b->isEnabled());
    EXPECT_FALSE(b->isChecked());
  }
  auto* bar = Find<QProgressBar>(&form, "ProgBarSave");
  EXPECT_EQ(bar->parentWidget(), frame);
  EXPECT_EQ(bar->geometry(), QRect(18, 136 + 96, 385, 17));
  EXPECT_TRUE(bar->isTextVisible());
  EXPECT_EQ(bar->layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(bar->palette().color(QPalette::Highlight), QColor(0x28, 0xD2, 0x2B));
  auto* note = Find<QLabel>(&form, "LblSaveProgress");
  EXPECT_TRUE(note->text().isEmpty());
  EXPECT_EQ(note->font().family(), "Verdana");
  auto* start = Find<QPushButton>(&form, "CmdConversion");
  EXPECT_EQ(start->text(), "&Start Conversion");
  EXPECT_EQ(start->geometry(), QRect(120, 208 + 96, 145, 29));
  EXPECT_FALSE(start->isEnabled());
}

struct VersionCase {
  const char* version;
  bool olderOutlook;  // offers only the ANSI format, preselected
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.version; }

class LoadCheck : public ConversionDialog, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(LoadCheck, OffersTheOutlookFormatsTheVersionSupports) {
  RegisterOutlook(GetParam().version);
  auto form = NewLoadedForm();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(outlookCreated, 1);
  const bool older = GetParam().olderOutlook;
  EXPECT_EQ(Find<QRadioButton>(form.get(), "OptOutlook2K3")->isEnabled(), !older);
  EXPECT_TRUE(Find<QRadioButton>(form.get(), "OptOutlook2K")->isEnabled());
  EXPECT_EQ(Find<QRadioButton>(form.get(), "OptOutlook2K")->isChecked(), older);
  EXPECT_FALSE(Find<QRadioButton>(form.get(), "OptOutlook2K3")->isChecked());
  EXPECT_FALSE(Find<QRadioButton>(form.get(), "OptExcel")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(form.get(), "OptExcel")->isEnabled());
  EXPECT_EQ(Find<QPushButton>(form.get(), "CmdConversion")->isEnabled(), older);
  EXPECT_EQ(Find<QProgressBar>(form.get(), "ProgBarSave")->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, LoadCheck,
                         ::testing::Values(VersionCase{"9.0.0.1234", true}, VersionCase{"10.0.1", true},
                                           VersionCase{"11.0", false}, VersionCase{"12.0.6423", false},
                                           // "9." anywhere counts, as in this 2003 build.
                                           VersionCase{"11.0.8169.0", true}),
                         [](const auto& info) {
                           std::string name = info.param.version;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return "v" + name;
                         });

TEST_F(ConversionDialog, FailedLoadCheckSaysSoAndKeepsTheDesignState) {
  for (bool registered : {false, true}) {
    std::unique_ptr<FrmConversion> form;
    if (registered) {
      RegisterOutlook("11.0", /*failVersion=*/true);
    }
    dialogs.messages.clear();
    form = NewLoadedForm();
    ASSERT_EQ(dialogs.messages.size(), 1u) << registered;
    EXPECT_EQ(dialogs.messages[0].text, "Outlook not INSTALLED or CONFIGURED for a vaild profile.");
    EXPECT_EQ(dialogs.messages[0].title, "Vantrel Software");
    EXPECT_EQ(dialogs.messages[0].icon, dialogs::MessageIcon::Information);
    for (const char* name : {"OptOutlook2K", "OptOutlook2K3", "OptExcel"}) {
      EXPECT_TRUE(Find<QRadioButton>(form.get(), name)->isEnabled());
      EXPECT_FALSE(Find<QRadioButton>(form.get(), name)->isChecked());
    }
    EXPECT_FALSE(Find<QPushButton>(form.get(), "CmdConversion")->isEnabled());
  }
}

TEST_F(ConversionDialog, ChoosingAnyOptionEnablesStart) {
  for (const char* name : {"OptOutlook2K", "OptOutlook2K3", "OptExcel"}) {
    RegisterOutlook("12.0.6423");
    auto form = NewLoadedForm();
    auto* start = Find<QPushButton>(form.get(), "CmdConversion");
    ASSERT_FALSE(start->isEnabled());
    Find<QRadioButton>(form.get(), name)->click();
    EXPECT_TRUE(start->isEnabled()) << name;
    EXPECT_TRUE(Find<QRadioButton>(form.get(), name)->isChecked());
  }
}

TEST_F(ConversionDialog, CancelledFolderChoiceChangesNothing) {
  RegisterBook(2);
  auto form = NewLoadedForm();
  Find<QRadioButton>(form.get(), "OptExcel")->click();
  dialogs.messages.clear();
  Find<QPushButton>(form.get(), "CmdConversion")->click();
  EXPECT_EQ(dialogs.folderTitles, QStringList{"Select Folder to Save File"});
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(log.empty()) << "no export ran";
  EXPECT_TRUE(Find<QPushButton>(form.get(), "CmdConversion")->isEnabled());
  EXPECT_TRUE(Find<QRadioButton>(form.get(), "OptExcel")->isChecked());
}

TEST_F(ConversionDialog, FolderThatIsNoFolderCountsAsCancelled) {
  RegisterBook(1);
  auto form = NewLoadedForm();
  Find<QRadioButton>(form.get(), "OptExcel")->click();
  testsupport::WriteFile(dir / "plain", "x");
  dialogs.folderAnswers = {QString::fromStdString((dir / "plain").string()),
                           QString::fromStdString((dir / "missing").string())};
  dialogs.messages.clear();
  Find<QPushButton>(form.get(), "CmdConversion")->click();
  Find<QPushButton>(form.get(), "CmdConversion")->click();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(log.empty());
}

TEST_F(ConversionDialog, AddsOneSeparatorToTheChosenFolder) {
  const std::string d = dir.path().string();
  for (auto [answer, expected] : std::vector<std::pair<std::string, std::string>>{
           {d, d + "/family.xls"}, {d + "/", d + "/family.xls"}, {"/", "/family.xls"}}) {
    RegisterBook(1);
    log.clear();
    auto form = NewLoadedForm();
    Find<QRadioButton>(form.get(), "OptExcel")->click();
    dialogs.messages.clear();
    dialogs.folderAnswers = {QString::fromStdString(answer)};
    Find<QPushButton>(form.get(), "CmdConversion")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(),
              "1 Contacts Successfully Saved to \r\nFileName: " + expected);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "CreateFile(" + expected + ")");
  }
}

TEST_F(ConversionDialog, ReadsTheBookPathWhenStartIsPressed) {
  RegisterBook(1);
  auto form = NewLoadedForm();
  Find<QRadioButton>(form.get(), "OptExcel")->click();
  bookPath = QStringLiteral(" /later/Другая.WAB ");
  dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
  Find<QPushButton>(form.get(), "CmdConversion")->click();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "Open(/later/Другая.WAB)");
  EXPECT_EQ(log[2], "CreateFile(" + dir.path().string() + "/другая.xls)");  // no blank from the path
}

TEST_F(ConversionDialog, CompletionHidesTheDialogAndASecondShowingFindsItsState) {
  RegisterOutlook("12.0.6423");
  RegisterBook(3);
  dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
  bool hiddenByItself = false;
  ShowAndRun([&](FrmConversion& form) {
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isModal());
    Find<QRadioButton>(&form, "OptExcel")->click();
    Find<QPushButton>(&form, "CmdConversion")->click();
    hiddenByItself = !form.isVisible();
  });
  EXPECT_TRUE(hiddenByItself);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Conversion Completed...");
  EXPECT_EQ(dialogs.messages[0].icon, dialogs::MessageIcon::Information);
  EXPECT_EQ(dialogs.messages[0].text.toStdString(),
            "3 Contacts Successfully Saved to \r\nFileName: " + dir.path().string() + "/family.xls");
  ASSERT_NE(app::LoadedConversionDialog(), nullptr) << "hidden, still loaded";

  ShowAndRun([&](FrmConversion& form) {
    EXPECT_EQ(outlookCreated, 1) << "the load check does not run again";
    EXPECT_TRUE(Find<QRadioButton>(&form, "OptExcel")->isChecked());
    EXPECT_EQ(Find<QProgressBar>(&form, "ProgBarSave")->value(), 3);
    EXPECT_EQ(Find<QProgressBar>(&form, "ProgBarSave")->maximum(), 3);
    auto* start = Find<QPushButton>(&form, "CmdConversion");
    EXPECT_FALSE(start->isEnabled());
    Find<QRadioButton>(&form, "OptExcel")->click();
    EXPECT_TRUE(start->isEnabled());
    // The user closes it this time.
  });
  EXPECT_EQ(app::LoadedConversionDialog(), nullptr) << "a closed dialog is discarded";

  ShowAndRun([&](FrmConversion& form) {
    EXPECT_EQ(outlookCreated, 2) << "loaded afresh";
    EXPECT_FALSE(Find<QRadioButton>(&form, "OptExcel")->isChecked());
    EXPECT_FALSE(Find<QPushButton>(&form, "CmdConversion")->isEnabled());
  });
}

TEST_F(ConversionDialog, FailedExportReportsItAndStaysOpen) {
  RegisterBook(3);
  reader->failSelectAt = 1;
  dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
  bool stillVisible = false;
  ShowAndRun([&](FrmConversion& form) {
    dialogs.messages.clear();
    Find<QRadioButton>(&form, "OptExcel")->click();
    Find<QPushButton>(&form, "CmdConversion")->click();
    stillVisible = form.isVisible();
    EXPECT_TRUE(Find<QPushButton>(&form, "CmdConversion")->isEnabled());
  });
  EXPECT_TRUE(stillVisible);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Vantrel Software");
  EXPECT_EQ(dialogs.messages[0].text.toStdString(),
            "The contacts could not be saved to " + dir.path().string() +
                "/family.xls.\r\nThe address book /books/Family.WAB could not be read: record 1 is damaged");
  EXPECT_EQ(log.back(), "Abandon");
}

TEST_F(ConversionDialog, OutlookOptionsRunTheOutlookExport) {
  RegisterOutlook("12.0.6423");
  RegisterBook(1);
  // Nothing installed: the Outlook failure, and the dialog stays ready.
  {
    auto form = NewLoadedForm();
    Find<QRadioButton>(form.get(), "OptOutlook2K3")->click();
    dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
    Find<QPushButton>(form.get(), "CmdConversion")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Outlook not installed or configured for a vaild profile.\r\n"))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.messages[0].title, "Vantrel Software");
    EXPECT_TRUE(Find<QPushButton>(form.get(), "CmdConversion")->isEnabled());
  }
  std::vector<std::string> calls;
  exports::SetOutlookExport([&](const std::string& book, const std::string& folder, exports::OutlookFormat format,
                                exports::ExportProgress* progress) {
    calls.push_back(book + "|" + folder + "|" + (format == exports::OutlookFormat::Unicode ? "unicode" : "ansi"));
    progress->Prepare(0, 1, 0, 0.01);
    progress->SetPosition(1);
    exports::ExportResult r;
    r.completed = true;
    r.message = "1 Contacts Successfully Saved to Outlook\r\nFileName: x.pst";
    return r;
  });
  for (const char* name : {"OptOutlook2K", "OptOutlook2K3"}) {
    auto form = NewLoadedForm();
    dialogs.messages.clear();
    Find<QRadioButton>(form.get(), name)->click();
    dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
    Find<QPushButton>(form.get(), "CmdConversion")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Conversion Completed...");
    EXPECT_FALSE(Find<QPushButton>(form.get(), "CmdConversion")->isEnabled());
    EXPECT_EQ(Find<QProgressBar>(form.get(), "ProgBarSave")->value(), 1);
  }
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(calls, (std::vector<std::string>{"/books/Family.WAB|" + folder + "|ansi",
                                             "/books/Family.WAB|" + folder + "|unicode"}));
}


// The whole-book options run their export on the real book, ask before
// replacing a file, and come back chosen the next time the dialog loads.
TEST_F(ConversionDialog, WholeBookOptionsExportAskBeforeReplacingAndAreRemembered) {
  const auto source = testsupport::TestDataPath("wab/HiraokaTaro.WAB");
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "no sample book at " << source;
  RegisterOutlook("12.0.6423");
  bookPath = QString::fromStdString(source.string());
  const struct {
    const char* option;
    const char* file;
  } rows[] = {{"OptVCard", "hiraokataro.vcf"},
              {"OptCsvOutlook", "hiraokataro.csv"},
              {"OptCsvGoogle", "hiraokataro.csv"},
              {"OptXlsx", "hiraokataro.xlsx"}};
  for (const auto& row : rows) {
    testsupport::TempDir out;
    std::vector<std::string> asked;
    bool answer = false;
    int barValue = -1;
    auto run = [&] {
      auto form = NewLoadedForm();
      form->SetReplaceConsent([&](const std::string& path) {
        asked.push_back(path);
        return answer;
      });
      Find<QRadioButton>(form.get(), row.option)->click();
      dialogs.messages.clear();
      dialogs.folderAnswers = {QString::fromStdString(out.path().string())};
      Find<QPushButton>(form.get(), "CmdConversion")->click();
      barValue = Find<QProgressBar>(form.get(), "ProgBarSave")->value();
    };
    run();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Conversion Completed...");
    EXPECT_EQ(barValue, 6) << row.option;  // 4 contacts, 2 groups
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("4 Contacts Successfully Saved to \r\nFileName: ") +
                                                    QString::fromStdString((out / row.file).string())))
        << dialogs.messages[0].text.toStdString();
    testsupport::WriteFile(out / row.file, "mine");
    run();  // answered No: the file stays, the failure is reported
    EXPECT_EQ(asked, std::vector<std::string>{(out / row.file).string()});
    EXPECT_EQ(dialogs.messages[0].title, "Vantrel Software");
    EXPECT_EQ(testsupport::ReadFile(out / row.file), "mine");
    answer = true;
    run();
    EXPECT_EQ(dialogs.messages[0].title, "Conversion Completed...");
    EXPECT_NE(testsupport::ReadFile(out / row.file), "mine");

    auto again = NewLoadedForm();
    EXPECT_TRUE(Find<QRadioButton>(again.get(), row.option)->isChecked()) << row.option;
    EXPECT_TRUE(Find<QPushButton>(again.get(), "CmdConversion")->isEnabled());
  }
}

#ifdef ADDRIVO_HAVE_EXCEL
TEST_F(ConversionDialog, WithoutAWriterOfItsOwnItWritesThroughExcelFile) {
  RegisterBook(2);
  FrmConversion form;
  form.SetBookPathSource([this] { return bookPath; });
  form.Form_Load();
  Find<QRadioButton>(&form, "OptExcel")->click();
  dialogs.messages.clear();
  dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
  Find<QPushButton>(&form, "CmdConversion")->click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Conversion Completed...");
  const std::string bytes = testsupport::ReadFile(dir / "family.xls");
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x09\x00\x04\x00\x02\x00\x10\x00", 8)) << "a BIFF 2 worksheet";
  EXPECT_NE(bytes.find("Contact 1"), std::string::npos);
}

// A workbook of that name is the user's: the dialog asks, No (also the
// default) writes nothing, Yes replaces it. An empty book leaves an empty
// bar, not Qt's busy animation of a 0..0 range.
TEST_F(ConversionDialog, AsksBeforeReplacingAWorkbookAndShowsAnEmptyBookAsAnEmptyBar) {
  RegisterBook(0);
  testsupport::WriteFile(dir / "family.xls", "mine");
  struct Row {
    std::deque<bool> answers;
    bool replaced;
  };
  for (const Row& row : {Row{{}, false}, Row{{false}, false}, Row{{true}, true}}) {
    FrmConversion form;
    form.SetBookPathSource([this] { return bookPath; });
    form.Form_Load();
    Find<QRadioButton>(&form, "OptExcel")->click();
    dialogs.messages.clear();
    dialogs.questions.clear();
    dialogs.yesNoAnswers = row.answers;
    dialogs.folderAnswers = {QString::fromStdString(dir.path().string())};
    Find<QPushButton>(&form, "CmdConversion")->click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].toStdString(), (dir / "family.xls").string() + " already exists. Replace it?");
    EXPECT_EQ(testsupport::ReadFile(dir / "family.xls") == "mine", !row.replaced);
    // No: nothing more is said, and the dialog stays ready for another folder.
    EXPECT_EQ(dialogs.messages.size(), row.replaced ? 1u : 0u);
    EXPECT_EQ(Find<QPushButton>(&form, "CmdConversion")->isEnabled(), !row.replaced);
    if (row.replaced) {
      auto* bar = Find<QProgressBar>(&form, "ProgBarSave");
      EXPECT_LT(bar->minimum(), bar->maximum());
      EXPECT_EQ(bar->value(), bar->minimum());
    }
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  // Headless also when ctest lists the cases.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings go to a folder of their own, never the user's.
  testsupport::TempDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.path().string()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
