#include "FrmConversion.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <algorithm>
#include <exception>

#include "forms/ServerAccount.h"


namespace app {
namespace {

// The layout is given in twips; a pixel is 15 of them at 96 dpi.
QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

// A colour as the form designer stores it: 0x00BBGGRR.
QColor DesignerColour(unsigned value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// Where QSettings keeps what the dialog remembers between runs.
constexpr const char* kSettingsOrganization = "Vantrel Software";
constexpr const char* kSettingsApplication = "Addrivo";

// Room for one more option below the designed three, in twips.
constexpr int kOptionStep = 360;
constexpr int kAddedHeight = static_cast<int>(forms::kConversionOptions.size() - 3) * kOptionStep;

// The contacts server's address, user name and password (never shown).
bool AskServer(QWidget* owner, forms::ServerAnswers& answers) {
  QDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("FrmServer"));
  dialog.setWindowTitle(QString::fromUtf8(forms::kServerTitle));
  auto* layout = new QFormLayout(&dialog);
  auto field = [&](const char* name, const char* prompt, const std::string& text, QLineEdit::EchoMode echo) {
    auto* edit = new QLineEdit(QString::fromStdString(text), &dialog);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(echo);
    edit->setMinimumWidth(320);
    layout->addRow(QString::fromUtf8(prompt), edit);
    return edit;
  };
  QLineEdit* address = field("txtServerAddress", forms::kServerAddressPrompt, answers.address, QLineEdit::Normal);
  address->setPlaceholderText(QStringLiteral("https://"));
  QLineEdit* user = field("txtServerUser", forms::kServerUserPrompt, answers.user, QLineEdit::Normal);
  QLineEdit* password = field("txtServerPassword", forms::kServerPasswordPrompt, "", QLineEdit::Password);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  (answers.address.empty() ? address : password)->setFocus();
  if (dialog.exec() != QDialog::Accepted) return false;
  answers.address = address->text().toStdString();
  answers.user = user->text().toStdString();
  answers.password = password->text().toStdString();
  return true;
}

QPointer<FrmConversion>& Instance() {
  static QPointer<FrmConversion> instance;
  return instance;
}

}  // namespace

class FrmConversion::Settings final : public forms::Settings {
 public:
  std::string Get(const std::string& key) override { return store_.value(Q(key)).toString().toStdString(); }
  void Set(const std::string& key, const std::string& value) override { store_.setValue(Q(key), Q(value)); }
  void Remove(const std::string& key) override {
    if (store_.contains(Q(key))) store_.remove(Q(key));
  }

 private:
  static QString Q(const std::string& s) { return QString::fromStdString(s); }
  QSettings store_{QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication)};
};

FrmConversion::FrmConversion(QWidget* owner)
    : QDialog(owner), view_(this), form_(view_), settings_(std::make_unique<Settings>()) {
  setObjectName(QLatin1String(forms::FrmConversion::kForm));
  form_.SetSettings(settings_.get());
  form_.SetRequestFiller(exports::ExportFormat::CardDav,
                         forms::ServerAccountFiller(settings_.get(), [this](forms::ServerAnswers& answers) {
                           return serverAsker_ ? serverAsker_(answers) : AskServer(this, answers);
                         }));
  setFixedSize(6255 / 15, (3780 + kAddedHeight) / 15);

  auto* label1 = new QLabel(this);
  label1->setObjectName(QLatin1String(forms::FrmConversion::kFormatLabel));
  label1->setFont(QFont(QStringLiteral("Verdana")));
  label1->setGeometry(Twips(120, 120, 6015, 300));

  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("OsenXPFrame1"));
  frame->setGeometry(Twips(0, 480, 6255, 2490 + kAddedHeight));
  frame->setFrameShape(QFrame::NoFrame);
  QLinearGradient gradient(0, 0, 0, 1);
  gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
  gradient.setColorAt(0, DesignerColour(14737632));
  gradient.setColorAt(1, DesignerColour(15779735));
  QPalette framePalette = frame->palette();
  framePalette.setBrush(QPalette::Window, QBrush(gradient));
  frame->setPalette(framePalette);
  frame->setAutoFillBackground(true);

  // The designed three where the design puts them, every later option one
  // step below the one before.
  const QRect designed[] = {Twips(1680, 120, 4095, 495), Twips(1680, 600, 3975, 495), Twips(1680, 1320, 3375, 495)};
  options_ = new QButtonGroup(this);
  std::vector<QRadioButton*> buttons;
  for (std::size_t i = 0; i < forms::kConversionOptions.size(); ++i) {
    const forms::ConversionOption& o = forms::kConversionOptions[i];
    auto* button = new QRadioButton(frame);
    button->setObjectName(QLatin1String(o.control));
    const int later = static_cast<int>(i) - 3;
    button->setGeometry(i < 3 ? designed[i] : Twips(1680, 1800 + later * kOptionStep, 3375, kOptionStep));
    options_->addButton(button);
    buttons.push_back(button);
    const std::string control = o.control;
    connect(button, &QRadioButton::clicked, this, [this, control] { form_.Option_Click(control); });
  }

  auto* line = new QFrame(frame);
  line->setFrameShape(QFrame::HLine);
  line->setGeometry(Twips(270, 1890 + kAddedHeight, 5775, 30));

  auto* progressLabel = new QLabel(frame);
  progressLabel->setObjectName(QLatin1String(forms::FrmConversion::kProgressLabel));
  progressLabel->setFont(QFont(QStringLiteral("Verdana")));
  progressLabel->setGeometry(Twips(270, 1800 + kAddedHeight, 5775, 240));

  auto* bar = new QProgressBar(frame);
  bar->setObjectName(QLatin1String(forms::FrmConversion::kBar));
  bar->setGeometry(Twips(270, 2040 + kAddedHeight, 5775, 255));
  bar->setTextVisible(true);
  bar->setLayoutDirection(Qt::RightToLeft);
  QPalette barPalette = bar->palette();
  barPalette.setColor(QPalette::Highlight, DesignerColour(2871848));
  bar->setPalette(barPalette);

  auto* start = new QPushButton(this);
  start->setObjectName(QLatin1String(forms::FrmConversion::kStart));
  start->setGeometry(Twips(1800, 3120 + kAddedHeight, 2175, 435));
  start->setAutoDefault(false);
  connect(start, &QPushButton::clicked, this, [this] { form_.CmdConversion_Click(); });

  // Left of Start, for books whose texts are 8-bit (the form shows it).
  auto* codePage = new QComboBox(this);
  codePage->setObjectName(QLatin1String(forms::FrmConversion::kCodePage));
  codePage->setGeometry(Twips(120, 3120 + kAddedHeight, 1590, 435));
  connect(codePage, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) form_.CboCodePage_Click(static_cast<std::size_t>(index));
  });

  form_.Design();

  // The captions keep their whole text in whatever font the desktop uses:
  // an option is at least as wide as its caption, and the frame and the
  // dialog grow with the widest.
  int right = frame->width();
  for (QRadioButton* b : buttons) {
    b->resize(std::max(b->width(), b->sizeHint().width()), b->height());
    right = std::max(right, b->geometry().right() + 1 + 8);
  }
  if (right > frame->width()) {
    frame->resize(right, frame->height());
    setFixedSize(right, height());
  }
}

FrmConversion::~FrmConversion() = default;

void FrmConversion::SetBookPathSource(BookPathSource source) {
  form_.SetBookPathSource([source = std::move(source)] { return source ? source().toStdString() : std::string(); });
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
  dialog->Form_Activate();
  dialog->exec();
  if (dialog && dialog->closedByUser()) delete dialog.data();
}

FrmConversion* LoadedConversionDialog() { return Instance().data(); }

}  // namespace app
