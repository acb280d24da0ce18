#include "FrmConversion.h"

#include <exception>

#include "platform/automation/Outlook.h"
#include "platform/dialogs/BrowseForFolder.h"
#include "export/BookCodePage.h"
#include "export/OutlookExport.h"
#include "export/PathNames.h"
#include "platform/os/Text.h"

namespace forms {
namespace {

const ConversionOption* OptionNamed(std::string_view control) {
  for (const ConversionOption& o : kConversionOptions)
    if (control == o.control) return &o;
  return nullptr;
}

std::vector<std::string> CodePageCaptions() {
  std::vector<std::string> captions;
  for (const CodePageChoice& c : kCodePageChoices) captions.emplace_back(c.caption);
  return captions;
}

}  // namespace

FrmConversion::FrmConversion(View& view) : view_(view), bar_(view, kBar), runner_(exports::RunExport) {}

void FrmConversion::SetRequestFiller(exports::ExportFormat format, RequestFiller filler) {
  fillers_[format] = std::move(filler);
}

void FrmConversion::SetEnabled(std::string_view control, bool enabled) {
  enabled_[std::string(control)] = enabled;
  view_.SetEnabled(control, enabled);
}

bool FrmConversion::IsEnabled(std::string_view control) const {
  const auto it = enabled_.find(control);
  return it != enabled_.end() && it->second;
}

void FrmConversion::Check(std::string_view control) {
  for (const ConversionOption& o : kConversionOptions) view_.SetChecked(o.control, control == o.control);
  checked_ = std::string(control);
}

bool FrmConversion::IsChecked(std::string_view control) const { return !control.empty() && checked_ == control; }

std::optional<exports::ExportFormat> FrmConversion::Chosen() const {
  if (const ConversionOption* o = OptionNamed(checked_)) return o->format;
  return std::nullopt;
}

void FrmConversion::Design() {
  view_.SetText(kForm, kCaption);
  view_.SetText(kFormatLabel, kChooseFormat);
  view_.SetText(kStart, kStartCaption);
  view_.SetText(kProgressLabel, std::string());
  for (const ConversionOption& o : kConversionOptions) {
    view_.SetText(o.control, o.caption);
    SetEnabled(o.control, true);
  }
  Check("");
  SetEnabled(kStart, false);
  bar_.Restore(ProgressSetup{0, 100, 0, 0.0}, 0);
  view_.SetItems(kCodePage, CodePageCaptions());
  view_.SetToolTip(kCodePage, kCodePageTip);
  view_.SetVisible(kCodePage, false);
}

void FrmConversion::Form_Activate() {
  const std::string book = text::TrimSpaces(bookPath_ ? bookPath_() : std::string());
  codePageShown_ = !book.empty() && exports::HasEightBitTexts(book);
  codePage_ = 0;
  if (codePageShown_) view_.SetItems(kCodePage, CodePageCaptions());  // back to the guess
  view_.SetVisible(kCodePage, codePageShown_);
}

void FrmConversion::CboCodePage_Click(std::size_t index) {
  if (index < kCodePageChoices.size()) codePage_ = kCodePageChoices[index].page;
}

void FrmConversion::Form_Load() {
  try {
    auto outlook = automation::Registry::Instance().Create<automation::outlook::Application>(
        automation::outlook::kOutlookProgId);
    if (exports::IsOlderOutlook(outlook->version())) {
      SetEnabled("OptOutlook2K3", false);
      SetEnabled("OptOutlook2K", true);
      Check("OptOutlook2K");
      SetEnabled(kStart, true);
    } else {
      SetEnabled("OptOutlook2K3", true);
      SetEnabled("OptOutlook2K", true);
      Check("");
    }
    bar_.Restore(bar_.Setup(), 0);
  } catch (const std::exception&) {
    dialogs::Current().ShowMessage(view_.Owner(), kOutlookCheckFailed, exports::kFailureTitle,
                                   dialogs::MessageIcon::Information);
  }
  // The designed options load as designed; a later option chosen last time
  // is chosen again.
  const std::string last = settings_ ? settings_->Get(kLastFormatKey) : std::string();
  if (const ConversionOption* o = OptionNamed(last); o && o->remembered) {
    Check(o->control);
    SetEnabled(kStart, true);
  }
}

void FrmConversion::OptOutlook2K_Click() { Option_Click("OptOutlook2K"); }
void FrmConversion::OptOutlook2K3_Click() { Option_Click("OptOutlook2K3"); }
void FrmConversion::OptExcel_Click() { Option_Click("OptExcel"); }

void FrmConversion::Option_Click(std::string_view control) {
  if (!OptionNamed(control)) return;
  Check(control);
  SetEnabled(kStart, true);
}

void FrmConversion::CmdConversion_Click() {
  const ConversionOption* option = OptionNamed(checked_);
  exports::ExportRequest request;
  if (option && exports::InfoOf(option->format).destination == exports::Destination::Elsewhere) {
    // Nothing to choose: the format's own fields say where it goes.
  } else {
    const std::string folder = dialogs::BrowseForFolder(dialogs::Owner{}, kFolderTitle);
    if (folder.empty()) return;
    request.folder = exports::WithTrailingSeparator(folder);
  }
  if (!option) return;

  request.format = option->format;
  // The book the main window opened: its file box's text without the blanks
  // it trims too (the exports read exactly the path they are given).
  request.bookPath = text::TrimSpaces(bookPath_ ? bookPath_() : std::string());
  request.codePage = ChosenCodePage();
  request.sheetWriter = sheetWriter_;
  request.replace = replace_ ? replace_ : [this](const std::string& path) {
    return dialogs::Current().AskYesNo(view_.Owner(), exports::ReplaceQuestion(path), exports::kFailureTitle);
  };
  request.progress = &bar_;
  if (const auto filler = fillers_.find(option->format); filler != fillers_.end() && filler->second)
    if (!filler->second(request)) return;

  const exports::ExportOutcome outcome = runner_(request);
  last_ = outcome;
  if (settings_) {
    if (option->remembered)
      settings_->Set(kLastFormatKey, option->control);
    else
      settings_->Remove(kLastFormatKey);
  }

  switch (outcome.status) {
    case exports::ExportOutcome::Status::Declined:
      // The user's own "No" to replacing the designed workbook ends Start
      // quietly; the other formats say what was kept, as they always did.
      if (option->format == exports::ExportFormat::Excel) return;
      [[fallthrough]];
    case exports::ExportOutcome::Status::Failed:
      dialogs::Current().ShowMessage(view_.Owner(), outcome.message, exports::kFailureTitle,
                                     dialogs::MessageIcon::Information);
      return;
    case exports::ExportOutcome::Status::Written:
      break;
  }
  SetEnabled(kStart, false);
  dialogs::Current().ShowMessage(view_.Owner(), outcome.message, exports::kCompletionTitle,
                                 dialogs::MessageIcon::Information);
  view_.HideForm();
}

}  // namespace forms
