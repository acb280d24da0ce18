// The conversion dialog: the choice of target (an Outlook personal folders
// file in one of two formats, or an Excel workbook), the output folder, the
// progress of the export and its completion.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "BookExport.h"
#include "SpreadsheetExport.h"

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace exports {

// Where the dialog finds the address book's path at Start: the main window's
// file box as it reads at that moment.
using BookPathSource = std::function<QString()>;

class FrmConversion : public QDialog {
  Q_OBJECT

 public:
  explicit FrmConversion(QWidget* owner = nullptr);

  void SetBookPathSource(BookPathSource source) { bookPath_ = std::move(source); }
  // The writer the spreadsheet export uses; the program's own by default.
  void SetSheetWriterFactory(SheetWriterFactory factory) { writerFactory_ = std::move(factory); }

  // Asked before an export replaces a file the user has: a Yes/No question,
  // No by default, unless a test puts another answer in its place.
  void SetReplaceConsent(ReplaceConsent consent) { replaceConsent_ = std::move(consent); }

  // Runs once per load: offers the Outlook option that suits the installed
  // Outlook's version.
  void Form_Load();

  // True once the user closed the dialog (rather than it hiding itself).
  bool closedByUser() const { return closedByUser_; }

 public slots:
  void OptOutlook2K_Click();
  void OptOutlook2K3_Click();
  void OptExcel_Click();
  void OptBookFormat_Click();
  void CmdConversion_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Offers the code page choice when the book's texts are 8-bit.
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  QLabel* Label1;
  QFrame* OsenXPFrame1;
  QRadioButton* OptOutlook2K;
  QRadioButton* OptOutlook2K3;
  QRadioButton* OptExcel;
  // The exports of the whole book, below the designed three.
  QRadioButton* OptVCard;
  QRadioButton* OptCsvOutlook;
  QRadioButton* OptCsvGoogle;
  QRadioButton* OptXlsx;
  QProgressBar* ProgBarSave;
  QLabel* LblSaveProgress;
  QPushButton* CmdConversion;
  // The code page of a book's 8-bit texts: guessed (0) unless chosen; shown
  // only for such books. The workbook and whole-book exports take it.
  QComboBox* CboCodePage;
  QButtonGroup* options_;

  BookPathSource bookPath_;
  SheetWriterFactory writerFactory_;
  ReplaceConsent replaceConsent_;
  bool closedByUser_ = false;
};

// Shows the single conversion dialog modally over owner, loading it first
// when it is not loaded; returns when the dialog hides or is closed. A
// dialog the user closed is discarded and loads afresh the next time.
void ShowConversionDialog(QWidget* owner, BookPathSource bookPath);

// The loaded dialog, or nullptr.
FrmConversion* LoadedConversionDialog();

}  // namespace exports
