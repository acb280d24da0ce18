#include "FrmConversion.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <algorithm>
#include <exception>

#include "OutlookExport.h"
#include "PathNames.h"
#include "platform/automation/Outlook.h"
#include "platform/dialogs/BrowseForFolder.h"
#include "platform/dialogs/QtDialogs.h"

namespace exports {
namespace {

// The layout is given in twips; a pixel is 15 of them at 96 dpi.
QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

// A colour as the form designer stores it: 0x00BBGGRR.
QColor DesignerColour(unsigned value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

constexpr const char* kOutlookCheckFailed = "Outlook not INSTALLED or CONFIGURED for a vaild profile.";

// ProgBarSave as the exports see it. The export does not yield to the event
// loop, so the bar repaints itself whenever its shown percentage changes.
class BarProgress : public ExportProgress {
 public:
  explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t, double) override {
    // An empty book gives an empty bar: a range of 0..0 would make Qt show
    // its "busy" animation instead.
    bar_->setMinimum(lower);
    bar_->setMaximum(upper > lower ? upper : lower + 1);
    shownPercent_ = -1;
  }
  void SetPosition(std::int32_t position) override {
    bar_->setValue(position);
    const int span = bar_->maximum() - bar_->minimum();
    const int percent = span > 0 ? static_cast<int>(100LL * (position - bar_->minimum()) / span) : 100;
    if (percent != shownPercent_ && bar_->isVisible()) {
      shownPercent_ = percent;
      bar_->repaint();
    }
  }

 private:
  QProgressBar* bar_;
  int shownPercent_ = -1;
};

// The whole-book options remember the last one chosen between runs.
constexpr const char* kSettingsOrganization = "Vantrel Software";
constexpr const char* kSettingsApplication = "Addrivo";
constexpr const char* kLastFormatKey = "conversion/lastBookFormat";

// Room for one more option below the designed three, in twips.
constexpr int kOptionStep = 360;
constexpr int kAddedHeight = 4 * kOptionStep;

QPointer<FrmConversion>& Instance() {
  static QPointer<FrmConversion> instance;
  return instance;
}

}  // namespace

FrmConversion::FrmConversion(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("FrmConversion"));
  setWindowTitle(QStringLiteral("Conversion Options"));
  setFixedSize(6255 / 15, (3780 + kAddedHeight) / 15);

  Label1 = new QLabel(QStringLiteral("Choose Conversion Format"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(QFont(QStringLiteral("Verdana")));
  Label1->setGeometry(Twips(120, 120, 6015, 300));

  OsenXPFrame1 = new QFrame(this);
  OsenXPFrame1->setObjectName(QStringLiteral("OsenXPFrame1"));
  OsenXPFrame1->setGeometry(Twips(0, 480, 6255, 2490 + kAddedHeight));
  OsenXPFrame1->setFrameShape(QFrame::NoFrame);
  QLinearGradient gradient(0, 0, 0, 1);
  gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
  gradient.setColorAt(0, DesignerColour(14737632));
  gradient.setColorAt(1, DesignerColour(15779735));
  QPalette framePalette = OsenXPFrame1->palette();
  framePalette.setBrush(QPalette::Window, QBrush(gradient));
  OsenXPFrame1->setPalette(framePalette);
  OsenXPFrame1->setAutoFillBackground(true);

  auto option = [this](const char* name, const char* caption, QRect where) {
    auto* button = new QRadioButton(QString::fromUtf8(caption), OsenXPFrame1);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(where);
    return button;
  };
  OptOutlook2K = option("OptOutlook2K", "Outlook 2000/2002/XP Format (Ansi Format)", Twips(1680, 120, 4095, 495));
  OptOutlook2K3 = option("OptOutlook2K3", "Outlook 2003/2007 Format (Unicode Format)", Twips(1680, 600, 3975, 495));
  OptExcel = option("OptExcel", "Excel 97/2000/2002/2003 (.xls) Format", Twips(1680, 1320, 3375, 495));
  OptVCard = option("OptVCard", "vCard (.vcf) \u2014 phones, webmail, Thunderbird, Apple Contacts",
                    Twips(1680, 1800, 3375, kOptionStep));
  OptCsvOutlook = option("OptCsvOutlook", "CSV for Outlook (.csv)", Twips(1680, 1800 + kOptionStep, 3375, kOptionStep));
  OptCsvGoogle = option("OptCsvGoogle", "CSV for Google Contacts (.csv)",
                        Twips(1680, 1800 + 2 * kOptionStep, 3375, kOptionStep));
  OptXlsx = option("OptXlsx", "Excel Workbook (.xlsx)", Twips(1680, 1800 + 3 * kOptionStep, 3375, kOptionStep));
  // The captions keep their whole text in whatever font the desktop uses:
  // an option is at least as wide as its caption, and the frame and the
  // dialog grow with the widest.
  int right = OsenXPFrame1->width();
  for (QRadioButton* b : {OptOutlook2K, OptOutlook2K3, OptExcel, OptVCard, OptCsvOutlook, OptCsvGoogle, OptXlsx}) {
    b->resize(std::max(b->width(), b->sizeHint().width()), b->height());
    right = std::max(right, b->geometry().right() + 1 + 8);
  }
  if (right > OsenXPFrame1->width()) {
    OsenXPFrame1->resize(right, OsenXPFrame1->height());
    setFixedSize(right, height());
  }
  options_ = new QButtonGroup(this);
  options_->addButton(OptOutlook2K);
  options_->addButton(OptOutlook2K3);
  options_->addButton(OptExcel);
  for (QRadioButton* b : {OptVCard, OptCsvOutlook, OptCsvGoogle, OptXlsx}) options_->addButton(b);

  auto* line = new QFrame(OsenXPFrame1);
  line->setFrameShape(QFrame::HLine);
  line->setGeometry(Twips(270, 1890 + kAddedHeight, 5775, 30));

  LblSaveProgress = new QLabel(OsenXPFrame1);
  LblSaveProgress->setObjectName(QStringLiteral("LblSaveProgress"));
  LblSaveProgress->setFont(QFont(QStringLiteral("Verdana")));
  LblSaveProgress->setGeometry(Twips(270, 1800 + kAddedHeight, 5775, 240));

  ProgBarSave = new QProgressBar(OsenXPFrame1);
  ProgBarSave->setObjectName(QStringLiteral("ProgBarSave"));
  ProgBarSave->setGeometry(Twips(270, 2040 + kAddedHeight, 5775, 255));
  ProgBarSave->setTextVisible(true);
  ProgBarSave->setLayoutDirection(Qt::RightToLeft);
  QPalette barPalette = ProgBarSave->palette();
  barPalette.setColor(QPalette::Highlight, DesignerColour(2871848));
  ProgBarSave->setPalette(barPalette);
  ProgBarSave->setValue(0);

  CmdConversion = new QPushButton(QStringLiteral("&Start Conversion"), this);
  CmdConversion->setObjectName(QStringLiteral("CmdConversion"));
  CmdConversion->setGeometry(Twips(1800, 3120 + kAddedHeight, 2175, 435));
  CmdConversion->setEnabled(false);
  CmdConversion->setAutoDefault(false);

  connect(OptOutlook2K, &QRadioButton::clicked, this, &FrmConversion::OptOutlook2K_Click);
  connect(OptOutlook2K3, &QRadioButton::clicked, this, &FrmConversion::OptOutlook2K3_Click);
  connect(OptExcel, &QRadioButton::clicked, this, &FrmConversion::OptExcel_Click);
  for (QRadioButton* b : {OptVCard, OptCsvOutlook, OptCsvGoogle, OptXlsx})
    connect(b, &QRadioButton::clicked, this, &FrmConversion::OptBookFormat_Click);
  connect(CmdConversion, &QPushButton::clicked, this, &FrmConversion::CmdConversion_Click);

  // Through the program's dialogs (Yes/No, No by default), so the question
  // is asked the same way for every format and scripted in tests.
  replaceConsent_ = [this](const std::string& path) {
    return dialogs::Current().AskYesNo(dialogs::OwnerOf(this), ReplaceQuestion(path), kFailureTitle);
  };
}

void FrmConversion::Form_Load() {
  try {
    auto outlook = automation::Registry::Instance().Create<automation::outlook::Application>(
        automation::outlook::kOutlookProgId);
    const std::string version = outlook->version();
    if (version.find("9.") != std::string::npos || version.find("10.") != std::string::npos) {
      OptOutlook2K3->setEnabled(false);
      OptOutlook2K->setEnabled(true);
      OptOutlook2K->setChecked(true);
      CmdConversion->setEnabled(true);
    } else {
      OptOutlook2K3->setEnabled(true);
      OptOutlook2K->setEnabled(true);
      options_->setExclusive(false);
      for (QAbstractButton* b : options_->buttons()) b->setChecked(false);
      options_->setExclusive(true);
    }
    ProgBarSave->setValue(0);
  } catch (const std::exception&) {
    dialogs::Current().ShowMessage(dialogs::OwnerOf(this), kOutlookCheckFailed, kFailureTitle,
                                   dialogs::MessageIcon::Information);
  }
  // The designed options load as designed; a whole-book format chosen last
  // time is chosen again.
  const QString last = QSettings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication))
                           .value(QString::fromLatin1(kLastFormatKey))
                           .toString();
  for (QRadioButton* b : {OptVCard, OptCsvOutlook, OptCsvGoogle, OptXlsx}) {
    if (!last.isEmpty() && b->objectName() == last) {
      b->setChecked(true);
      CmdConversion->setEnabled(true);
    }
  }
}

void FrmConversion::OptOutlook2K_Click() { CmdConversion->setEnabled(true); }
void FrmConversion::OptBookFormat_Click() { CmdConversion->setEnabled(true); }
void FrmConversion::OptOutlook2K3_Click() { CmdConversion->setEnabled(true); }
void FrmConversion::OptExcel_Click() { CmdConversion->setEnabled(true); }

void FrmConversion::CmdConversion_Click() {
  QString folder = QString::fromStdString(dialogs::BrowseForFolder(dialogs::Owner{}, "Select Folder to Save File"));
  if (folder.isEmpty()) return;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');

  const std::string book = (bookPath_ ? bookPath_() : QString()).toStdString();
  const std::string out = folder.toStdString();
  BarProgress progress(ProgBarSave);
  ExportResult result;
  if (OptOutlook2K3->isChecked() || OptOutlook2K->isChecked()) {
    result = ExportToOutlook(book, out, OptOutlook2K3->isChecked() ? OutlookFormat::Unicode : OutlookFormat::Ansi,
                             &progress);
  } else if (OptExcel->isChecked()) {
    result = ExportToSpreadsheet(book, out, &progress, writerFactory_, replaceConsent_);
  } else if (QAbstractButton* chosen = options_->checkedButton()) {
    BookExportRequest request;
    request.bookPath = book;
    request.folder = out;
    request.format = chosen == OptVCard        ? BookFormat::VCard
                     : chosen == OptCsvOutlook ? BookFormat::CsvOutlook
                     : chosen == OptCsvGoogle  ? BookFormat::CsvGoogle
                                               : BookFormat::Xlsx;
    request.replace = replaceConsent_;
    request.progress = &progress;
    result = ExportBook(request);
  } else {
    return;
  }
  QSettings settings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication));
  const bool bookFormat = !OptOutlook2K->isChecked() && !OptOutlook2K3->isChecked() && !OptExcel->isChecked();
  if (bookFormat)
    settings.setValue(QString::fromLatin1(kLastFormatKey), options_->checkedButton()->objectName());
  else if (settings.contains(QString::fromLatin1(kLastFormatKey)))
    settings.remove(QString::fromLatin1(kLastFormatKey));

  if (result.declined) return;  // the user kept the file; nothing was written
  if (!result.completed) {
    dialogs::Current().ShowMessage(dialogs::OwnerOf(this), result.message, kFailureTitle,
                                   dialogs::MessageIcon::Information);
    return;
  }
  CmdConversion->setEnabled(false);
  dialogs::Current().ShowMessage(dialogs::OwnerOf(this), result.message, kCompletionTitle,
                                 dialogs::MessageIcon::Information);
  hide();
}

void FrmConversion::closeEvent(QCloseEvent* event) {
  closedByUser_ = true;
  QDialog::closeEvent(event);
}

// Escape closes the dialog as its close button does.
void FrmConversion::reject() {
  closedByUser_ = true;
  QDialog::reject();
}

void ShowConversionDialog(QWidget* owner, BookPathSource bookPath) {
  QPointer<FrmConversion>& dialog = Instance();
  if (!dialog) {
    dialog = new FrmConversion(owner);
    dialog->SetBookPathSource(std::move(bookPath));
    dialog->Form_Load();
  } else {
    dialog->SetBookPathSource(std::move(bookPath));
  }
  dialog->exec();
  if (dialog && dialog->closedByUser()) delete dialog.data();
}

FrmConversion* LoadedConversionDialog() { return Instance().data(); }

}  // namespace exports
