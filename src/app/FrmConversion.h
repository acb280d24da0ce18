// The conversion dialog in Qt: the option buttons, the progress bar and
// Start under their designed names and places. What they do is the form's
// (forms::FrmConversion): this dialog forwards the clicks and shows what the
// form says.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "QtView.h"
#include "forms/FrmConversion.h"
#include "forms/ServerAccount.h"

class QButtonGroup;

namespace app {

// Where the dialog finds the address book's path at Start: the main window's
// file box as it reads at that moment.
using BookPathSource = std::function<QString()>;

class FrmConversion : public QDialog {
  Q_OBJECT

 public:
  explicit FrmConversion(QWidget* owner = nullptr);
  ~FrmConversion() override;

  forms::FrmConversion& Form() { return form_; }

  void SetBookPathSource(BookPathSource source);
  // The writer the spreadsheet export uses; the program's own by default.
  void SetSheetWriterFactory(exports::SheetWriterFactory factory) { form_.SetSheetWriterFactory(std::move(factory)); }
  // Asked before an export replaces a file the user has: a Yes/No question,
  // No by default, unless a test puts another answer in its place.
  void SetReplaceConsent(exports::ReplaceConsent consent) { form_.SetReplaceConsent(std::move(consent)); }

  // Asks for the contacts server's address, user and password; a dialog of
  // its own unless a test puts its answers in its place.
  void SetServerAsker(forms::ServerAsker ask) { serverAsker_ = std::move(ask); }

  // The form's commands, as the controls run them.
  void Form_Load() { form_.Form_Load(); }
  void Form_Activate() { form_.Form_Activate(); }
  void OptOutlook2K_Click() { form_.OptOutlook2K_Click(); }
  void OptOutlook2K3_Click() { form_.OptOutlook2K3_Click(); }
  void OptExcel_Click() { form_.OptExcel_Click(); }
  void CmdConversion_Click() { form_.CmdConversion_Click(); }

  // True once the user closed the dialog (rather than it hiding itself).
  bool closedByUser() const { return closedByUser_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  class Settings;

  QtView view_;
  forms::FrmConversion form_;
  std::unique_ptr<Settings> settings_;
  QButtonGroup* options_ = nullptr;
  forms::ServerAsker serverAsker_;
  bool closedByUser_ = false;
};

// Shows the single conversion dialog modally over owner, loading it first
// when it is not loaded; returns when the dialog hides or is closed. A
// dialog the user closed is discarded and loads afresh the next time.
void ShowConversionDialog(QWidget* owner, BookPathSource bookPath);

// The loaded dialog, or nullptr.
FrmConversion* LoadedConversionDialog();

}  // namespace app
