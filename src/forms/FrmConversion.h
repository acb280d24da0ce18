// The conversion dialog's behaviour without a toolkit: the choice of target
// (an Outlook personal folders file in one of two formats, an Excel
// workbook, or one of the whole book's formats), the output folder, the
// progress of the export and its completion. The options are one table:
// a new format is one row here and its case in exports::RunExport.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Progress.h"
#include "View.h"
#include "export/ExportDispatch.h"

namespace forms {

struct ConversionOption {
  const char* control;  // the option button's name
  const char* caption;
  exports::ExportFormat format;
  // The designed three load as designed; a later option chosen last time is
  // chosen again at load.
  bool remembered;
};

inline constexpr std::array<ConversionOption, 8> kConversionOptions{{
    {"OptOutlook2K", "Outlook 2000/2002/XP Format (Ansi Format)", exports::ExportFormat::OutlookAnsi, false},
    {"OptOutlook2K3", "Outlook 2003/2007 Format (Unicode Format)", exports::ExportFormat::OutlookUnicode, false},
    {"OptExcel", "Excel 97/2000/2002/2003 (.xls) Format", exports::ExportFormat::Excel, false},
    {"OptVCard", "vCard (.vcf) \u2014 phones, webmail, Thunderbird, Apple Contacts", exports::ExportFormat::VCard, true},
    {"OptCsvOutlook", "CSV for Outlook (.csv)", exports::ExportFormat::CsvOutlook, true},
    {"OptCsvGoogle", "CSV for Google Contacts (.csv)", exports::ExportFormat::CsvGoogle, true},
    {"OptXlsx", "Excel Workbook (.xlsx)", exports::ExportFormat::Xlsx, true},
    {"OptCardDav", "Contacts server (CardDAV: phones, Nextcloud, iCloud \u2026)", exports::ExportFormat::CardDav, true},
}};

// The code pages offered for a book whose texts are 8-bit; the first entry
// leaves the choice to the export (the locale's page, or a guess from the
// texts when they do not fit it).
struct CodePageChoice {
  int page;  // 0: guess
  const char* caption;
};

inline constexpr std::array<CodePageChoice, 17> kCodePageChoices{{
    {0, "Code page: guess"},
    {1250, "1250 Central European"}, {1251, "1251 Cyrillic"}, {1252, "1252 Western"},
    {1253, "1253 Greek"}, {1254, "1254 Turkish"}, {1255, "1255 Hebrew"}, {1256, "1256 Arabic"},
    {1257, "1257 Baltic"}, {1258, "1258 Vietnamese"}, {866, "866 Cyrillic (DOS)"},
    {20866, "20866 Cyrillic (KOI8-R)"}, {874, "874 Thai"}, {932, "932 Japanese"},
    {936, "936 Chinese, simplified"}, {949, "949 Korean"}, {950, "950 Chinese, traditional"},
}};

// What the dialog remembers between runs (the last whole-book option): the
// Qt window keeps it with QSettings; without one nothing is remembered.
class Settings {
 public:
  virtual ~Settings() = default;
  virtual std::string Get(const std::string& key) = 0;  // "" when absent
  virtual void Set(const std::string& key, const std::string& value) = 0;
  virtual void Remove(const std::string& key) = 0;
};

class FrmConversion {
 public:
  inline static constexpr const char* kCaption = "Conversion Options";
  inline static constexpr const char* kChooseFormat = "Choose Conversion Format";
  inline static constexpr const char* kStartCaption = "&Start Conversion";
  inline static constexpr const char* kFolderTitle = "Select Folder to Save File";
  inline static constexpr const char* kOutlookCheckFailed =
      "Outlook not INSTALLED or CONFIGURED for a vaild profile.";
  inline static constexpr const char* kLastFormatKey = "conversion/lastBookFormat";

  // The designed controls, by name.
  inline static constexpr const char* kForm = "FrmConversion";
  inline static constexpr const char* kStart = "CmdConversion";
  inline static constexpr const char* kBar = "ProgBarSave";
  inline static constexpr const char* kProgressLabel = "LblSaveProgress";
  inline static constexpr const char* kFormatLabel = "Label1";
  // Beyond the designed controls: the code page of a book's 8-bit texts,
  // shown only for such books.
  inline static constexpr const char* kCodePage = "CboCodePage";
  inline static constexpr const char* kCodePageTip = "Code page of the book's 8-bit texts";

  explicit FrmConversion(View& view);

  // Where the dialog finds the address book's path at Start: the main
  // window's file box as it reads at that moment.
  void SetBookPathSource(std::function<std::string()> source) { bookPath_ = std::move(source); }
  // The writer the spreadsheet export uses; the program's own by default.
  void SetSheetWriterFactory(exports::SheetWriterFactory factory) { sheetWriter_ = std::move(factory); }
  // Asked before an export replaces a file the user has; by default a Yes/No
  // question through the dialogs, No by default.
  void SetReplaceConsent(exports::ReplaceConsent consent) { replace_ = std::move(consent); }
  void SetSettings(Settings* settings) { settings_ = settings; }
  // Fills a format's own fields of the request before it runs (a server's
  // address, say); false ends Start quietly, as a cancelled folder does.
  using RequestFiller = std::function<bool(exports::ExportRequest&)>;
  void SetRequestFiller(exports::ExportFormat format, RequestFiller filler);
  // Runs the export; exports::RunExport unless a test puts another in its place.
  using Runner = std::function<exports::ExportOutcome(const exports::ExportRequest&)>;
  void SetRunner(Runner runner) { runner_ = std::move(runner); }

  // The design-time state, for a view to apply once it has built the
  // controls: captions, every option available, none chosen, Start disabled.
  void Design();
  // Runs once per load: the Outlook check that offers the option suiting the
  // installed Outlook's version, then the last whole-book option, if any.
  void Form_Load();

  // The option handlers: choosing any option enables Start.
  void OptOutlook2K_Click();
  void OptOutlook2K3_Click();
  void OptExcel_Click();
  // Any option of kConversionOptions by its control name.
  void Option_Click(std::string_view control);
  void CmdConversion_Click();
  // Each time the dialog is shown: offers the code page choice when the
  // book's texts are 8-bit (and puts it back to the guess).
  void Form_Activate();
  // An entry of kCodePageChoices chosen, by its index.
  void CboCodePage_Click(std::size_t index);
  // The code page the next Start hands to the export; 0: the export's guess.
  int ChosenCodePage() const { return codePageShown_ ? codePage_ : 0; }

  // The option chosen, if any.
  std::optional<exports::ExportFormat> Chosen() const;
  bool IsEnabled(std::string_view control) const;
  bool IsChecked(std::string_view control) const;
  // How the last Start ended, if it ran an export.
  const std::optional<exports::ExportOutcome>& LastOutcome() const { return last_; }

 private:
  void SetEnabled(std::string_view control, bool enabled);
  void Check(std::string_view control);  // "" checks none

  View& view_;
  BarProgress bar_;
  std::function<std::string()> bookPath_;
  exports::SheetWriterFactory sheetWriter_;
  exports::ReplaceConsent replace_;
  Settings* settings_ = nullptr;
  std::map<exports::ExportFormat, RequestFiller> fillers_;
  Runner runner_;
  std::map<std::string, bool, std::less<>> enabled_;
  std::string checked_;
  std::optional<exports::ExportOutcome> last_;
  bool codePageShown_ = false;
  int codePage_ = 0;
};

}  // namespace forms
