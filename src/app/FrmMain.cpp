#include "FrmMain.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <exception>
#include <optional>
#include <stdexcept>

#include "Artwork.h"
#include "ContactDetailView.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"
#include "scan/ContactKey.h"
#include "scan/ProgressCounter.h"
#include "scan/ScanBook.h"

namespace app {
namespace {

QFont DesignFont(const char* family, bool bold) {
  QFont f{QString::fromLatin1(family)};
  f.setPointSizeF(8.25);
  f.setBold(bold);
  return f;
}

// The banner across the top of the window; no command uses it.
class Banner : public QWidget {
 public:
  explicit Banner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedHeight(60);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(SmallIcon(QStringLiteral("AddressBook"), 48));
    auto* image2 = new QLabel(this);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setPixmap(SmallIcon(QStringLiteral("CardTransfer"), 48));
    row->addWidget(image1);
    row->addStretch(1);
    row->addWidget(image2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QLinearGradient fill(0, 0, width(), 0);
    fill.setColorAt(0, QColor(0x1F, 0x3F, 0x7A));
    fill.setColorAt(1, QColor(0x6F, 0x9F, 0xD8));
    p.fillRect(rect(), fill);
    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPointSizeF(16);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(72, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Vantrel Addrivo"));
  }
};

QString CauseOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

// What a node stands for in the whole-book model (record IDs), beside the
// roles the contact tree keeps.
constexpr int kContactIdRole = Qt::UserRole + 16;
constexpr int kGroupIdRole = Qt::UserRole + 17;
const QString kGroupsKey = QStringLiteral("Groups");

QString Plural(std::size_t n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

}  // namespace

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("FrmMain"));
  setWindowTitle(kCaption);
  setWindowIcon(SmallIcons()[scan::kImageAddressBook]);
  BuildControls();
  BuildMenus();
  resize(720, 700);
  Form_Load();
}

FrmMain::~FrmMain() = default;

void FrmMain::BuildControls() {
  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 2);

  grid->addWidget(new Banner(central), 0, 0, 1, 2);

  auto* label3 = new QLabel(QStringLiteral("Select Windows Address Book File (.wab)"), central);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->setFont(DesignFont("Verdana", true));
  grid->addWidget(label3, 1, 0, 1, 2);

  auto* fileRow = new QHBoxLayout;
  txtNotesDatabaseFile_ = new QLineEdit(central);
  txtNotesDatabaseFile_->setObjectName(QStringLiteral("txtNotesDatabaseFile"));
  txtNotesDatabaseFile_->setFont(DesignFont("Tahoma", false));
  CmdBrowse_ = new QPushButton(QStringLiteral("&Browse..."), central);
  CmdBrowse_->setObjectName(QStringLiteral("CmdBrowse"));
  CmdEnumerateNotes_ = new QPushButton(QStringLiteral("Scan &Contacts"), central);
  CmdEnumerateNotes_->setObjectName(QStringLiteral("CmdEnumerateNotes"));
  CmdEnumerateNotes_->setEnabled(false);
  CmdContactsCreate_ = new QPushButton(QStringLiteral("&Save Contacts"), central);
  CmdContactsCreate_->setObjectName(QStringLiteral("CmdContactsCreate"));
  CmdContactsCreate_->setEnabled(false);
  CmdBrowse_->setMinimumWidth(89);
  CmdEnumerateNotes_->setMinimumWidth(121);
  CmdContactsCreate_->setMinimumWidth(121);
  fileRow->addWidget(txtNotesDatabaseFile_, 1);
  fileRow->addWidget(CmdBrowse_);
  fileRow->addWidget(CmdEnumerateNotes_);
  fileRow->addWidget(CmdContactsCreate_);
  grid->addLayout(fileRow, 2, 0, 1, 2);

  ContactsTreeView_ = new QTreeWidget(central);
  ContactsTreeView_->setObjectName(QStringLiteral("ContactsTreeView"));
  ContactsTreeView_->setColumnCount(1);
  ContactsTreeView_->setHeaderLabel(QStringLiteral("Windows Address Book Contacts"));
  ContactsTreeView_->setMinimumWidth(225);
  ContactsTreeView_->setUniformRowHeights(true);
  grid->addWidget(ContactsTreeView_, 3, 0);
  tree_ = std::make_unique<scan::ContactTree>(ContactsTreeView_);

  detail_ = new ContactDetailView(central);
  grid->addWidget(detail_, 3, 1);
  grid->setRowStretch(3, 1);

  LblRead_ = new QLabel(QStringLiteral("Reading Contacts"), central);
  LblRead_->setObjectName(QStringLiteral("LblRead"));
  LblRead_->setFont(DesignFont("Verdana", true));
  LblRead_->setAlignment(Qt::AlignCenter);
  LblRead_->hide();
  ProgBarScanNotes_ = new ScanProgressBar(central);
  ProgBarScanNotes_->setObjectName(QStringLiteral("ProgBarScanNotes"));
  ProgBarScanNotes_->setRange(0, 100);
  ProgBarScanNotes_->setValue(0);
  ProgBarScanNotes_->hide();
  grid->addWidget(LblRead_, 4, 0);
  grid->addWidget(ProgBarScanNotes_, 4, 1);
  setCentralWidget(central);

  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("OsenXPStatusBar1"));
  status->setSizeGripEnabled(false);
  auto* panel1 = new QLabel(kMessageTitle, status);
  panel1->setObjectName(QStringLiteral("OsenXPStatusBar1Panel1"));
  QFont bold = panel1->font();
  bold.setBold(true);
  panel1->setFont(bold);
  panel1->setMinimumWidth(130);
  auto* panel2 = new QLabel(kWebAddress, status);
  panel2->setObjectName(QStringLiteral("OsenXPStatusBar1Panel2"));
  panel2->setTextFormat(Qt::PlainText);
  status->addWidget(panel1);
  status->addWidget(panel2, 1);
  setStatusBar(status);

  connect(CmdBrowse_, &QPushButton::clicked, this, [this] { CmdBrowse_Click(); });
  connect(CmdEnumerateNotes_, &QPushButton::clicked, this, [this] { CmdEnumerateNotes_Click(); });
  connect(CmdContactsCreate_, &QPushButton::clicked, this, [this] { CmdContactsCreate_Click(); });
  connect(txtNotesDatabaseFile_, &QLineEdit::textChanged, this, [this] { txtNotesDatabaseFile_Change(); });
  connect(ContactsTreeView_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* node, int) { ContactsTreeView_NodeClick(node); });
}

void FrmMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  auto entry = [this](QMenu* menu, const char* name, const QString& caption, bool enabled,
                      void (FrmMain::*command)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return action;
  };
  mnuOpen_ = entry(file, "mnuOpen", QStringLiteral("Open Windows Address Book File..."), true, &FrmMain::CmdBrowse_Click);
  mnuScan_ = entry(file, "mnuScan", QStringLiteral("Scan Contacts"), false, &FrmMain::CmdEnumerateNotes_Click);
  mnuSave_ = entry(file, "mnuSave", QStringLiteral("Save Contacts..."), false, &FrmMain::CmdContactsCreate_Click);
  file->addSeparator()->setObjectName(QStringLiteral("mnuSep"));
  mnuExit_ = entry(file, "mnuExit", QStringLiteral("Exit"), true, &FrmMain::mnuExit_Click);

  QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
  view->setObjectName(QStringLiteral("mnuView"));
  mnuShowDeleted_ = entry(view, "mnuShowDeleted", QStringLiteral("Show deleted contacts"), true,
                          &FrmMain::mnuShowDeleted_Click);
  mnuShowDeleted_->setCheckable(true);
  mnuShowDeleted_->setChecked(false);

  QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  mnuContents_ = entry(help, "mnuContents", QStringLiteral("Contents..."), true, &FrmMain::mnuContents_Click);
  mnuAbout_ = entry(help, "mnuAbout", QStringLiteral("About..."), true, &FrmMain::mnuAbout_Click);
}

void FrmMain::Form_Load() {
  ProgressCounter = 1;
  PopulateDefaultTree();
}

void FrmMain::PopulateDefaultTree() {
  ForgetWholeBook();
  if (smallIcons_.isEmpty()) smallIcons_ = SmallIcons();
  scan::PopulateDefaultTree(*tree_, smallIcons_);
}

void FrmMain::ReportFailure(const QString& text) {
  dialogs::Current().ShowMessage(dialogs::OwnerOf(this), text.toStdString(), kMessageTitle.toStdString(),
                                 dialogs::MessageIcon::Information);
}

void FrmMain::CmdBrowse_Click() {
  QString chosen;
  try {
    chosen = QString::fromStdString(
        dialogs::Current().GetOpenFileName(dialogs::OwnerOf(this), std::string(), kFileFilter.toStdString()));
  } catch (const std::exception& e) {
    // Nothing has changed yet: the window stays as it was.
    ReportFailure(QStringLiteral("The address book file could not be chosen.\n") + CauseOf(e));
    return;
  } catch (...) {
    ReportFailure(QStringLiteral("The address book file could not be chosen."));
    return;
  }
  ChooseBook(chosen);
}

void FrmMain::ChooseBook(const QString& path) {
  PopulateDefaultTree();
  ProgBarScanNotes_->setValue(0);
  CmdContactsCreate_->setEnabled(false);
  txtNotesDatabaseFile_->setText(path);
  if (!txtNotesDatabaseFile_->text().isEmpty()) {
    CmdEnumerateNotes_->setEnabled(true);
    LblRead_->show();
    ProgBarScanNotes_->show();
    mnuScan_->setEnabled(true);
  }
}

void FrmMain::OpenBook(const QString& path) {
  ChooseBook(path);
  if (!txtNotesDatabaseFile_->text().isEmpty()) CmdEnumerateNotes_Click();
}

void FrmMain::txtNotesDatabaseFile_Change() {
  CmdEnumerateNotes_->setEnabled(!txtNotesDatabaseFile_->text().isEmpty());
}

void FrmMain::CmdEnumerateNotes_Click() {
  // What a failure puts back; contacts already added stay in the tree.
  const bool saveWasEnabled = mnuSave_->isEnabled();
  const int barMinimum = ProgBarScanNotes_->minimum(), barMaximum = ProgBarScanNotes_->maximum();
  const int barValue = ProgBarScanNotes_->value(), barLargeChange = ProgBarScanNotes_->LargeChange();
  const double barScale = ProgBarScanNotes_->Scale();
  const QString path = scan::TrimSpaces(txtNotesDatabaseFile_->text());
  auto restore = [&] {
    mnuSave_->setEnabled(saveWasEnabled);
    ProgBarScanNotes_->setRange(barMinimum, barMaximum);
    ProgBarScanNotes_->setValue(barValue);
    ProgBarScanNotes_->SetLargeChange(barLargeChange);
    ProgBarScanNotes_->SetScale(barScale);
  };

  QString completed;
  try {
    auto reader = automation::Registry::Instance().Create<automation::AddressBookReader>(
        automation::kAddressBookReaderProgId);
    reader->Open(path.toStdString());

    // The bar is set up, and the export entry offered, once the count is known.
    class BarProgress final : public scan::ScanProgress {
     public:
      BarProgress(ScanProgressBar* bar, QAction* save, std::vector<QTreeWidgetItem*>* nodes)
          : bar_(bar), save_(save), nodes_(nodes) {}
      void Prepare(std::int32_t count) override {
        bar_->setMinimum(0);
        // An empty book gives an empty bar, not Qt's "busy" animation of 0..0.
        bar_->setMaximum(count > 0 ? count : 1);
        bar_->SetLargeChange(scan::LargeProgressStep(count));
        bar_->SetScale(count / 100.0);
        save_->setEnabled(true);
      }
      // The position never exceeds the count, and the count fits an int.
      void SetPosition(std::int64_t position) override { bar_->setValue(static_cast<int>(position)); }
      void Added(std::int32_t, QTreeWidgetItem* node) override { nodes_->push_back(node); }

     private:
      ScanProgressBar* bar_;
      QAction* save_;
      std::vector<QTreeWidgetItem*>* nodes_;
    } progress(ProgBarScanNotes_, mnuSave_, &scannedNodes_);
    ForgetWholeBook();
    const std::int32_t count = scan::ScanBook(*reader, *tree_, &progress);
    completed = AttachWholeBook(path, reader.get(), count, reader->SkippedRecords());
    reader.reset();
  } catch (const std::exception& e) {
    restore();
    const QString cause = CauseOf(e);
    if (cause == QLatin1String(automation::kNotAnAddressBook))
      ReportFailure(cause);
    else
      ReportFailure(QStringLiteral("The address book \"%1\" could not be read.\n%2").arg(path, cause));
    return;
  } catch (...) {
    restore();
    ReportFailure(QStringLiteral("The address book \"%1\" could not be read.").arg(path));
    return;
  }

  dialogs::Current().ShowMessage(dialogs::OwnerOf(this), completed.toStdString(), kMessageTitle.toStdString(),
                                 dialogs::MessageIcon::Information);
  CmdContactsCreate_->setEnabled(true);
  CmdEnumerateNotes_->setEnabled(false);
  LblRead_->hide();
  ProgBarScanNotes_->hide();
}

void FrmMain::RunHook(const std::function<void(FrmMain&)>& hook) {
  if (!hook) return;
  try {
    hook(*this);
  } catch (const std::exception& e) {
    ReportFailure(CauseOf(e));
  } catch (...) {
    ReportFailure(QStringLiteral("The command failed."));
  }
}

void FrmMain::CmdContactsCreate_Click() { RunHook(showConversionDialog); }
void FrmMain::mnuContents_Click() { RunHook(showHelpContents); }
void FrmMain::mnuAbout_Click() { RunHook(showAbout); }

void FrmMain::mnuExit_Click() { close(); }

QString FrmMain::NotesDatabaseFile() const { return txtNotesDatabaseFile_->text(); }

void FrmMain::ContactsTreeView_NodeClick(QTreeWidgetItem* node) {
  if (!node) return;
  // Looked up by its key the node finds itself, except when a second scan
  // within the same second reused the key: the clicked node's own record is
  // the one to show either way.
  if (ShowModelNode(node)) return;
  detail_->ShowRecord(scan::ContactTree::NodeRecordText(node));
}

void FrmMain::ForgetWholeBook() {
  book_.reset();
  scannedNodes_.clear();
  deletedNodes_.clear();
}

QString FrmMain::AttachWholeBook(const QString& path, automation::AddressBookReader* reader, std::int32_t contacts,
                                 std::int32_t damaged) {
  std::shared_ptr<wab::Book> book;
  std::vector<std::uint32_t> scanOrder;  // record IDs of the contacts, in the order the scan read them
  try {
    // The bytes the real reader already holds: the book is opened and
    // checked once per scan. Another reader leaves it to be opened here.
    const auto* real = dynamic_cast<const wab::WabReader*>(reader);
    std::optional<wab::WabFile> opened;
    if (!real || !real->File()) opened.emplace(wab::OpenBookFile(path.toStdString()));
    const wab::WabFile& file = opened ? *opened : *real->File();
    wab::BookOptions options;
    options.recoverDeleted = true;
    book = std::make_shared<wab::Book>(wab::ReadBook(file, options));
    // A book cut short under the program is damaged, as opening it again would find.
    if (!file.Intact()) throw std::runtime_error("the book was cut short");
    for (const auto& r : file.Records())
      if (r.kind == static_cast<std::uint32_t>(wab::RecordKind::Contact)) scanOrder.push_back(r.recordId);
  } catch (...) {
    // The designed scan has its contacts already; without the model the
    // window shows what the reader gave, as it always did.
    book.reset();
  }
  std::vector<QTreeWidgetItem*> nodes;
  nodes.swap(scannedNodes_);

  QString text = QStringLiteral("Windows Address Book Scan Completed\n\n") +
                 Plural(static_cast<std::size_t>(contacts), "contact", "contacts");
  if (book) {
    if (scanOrder.size() == nodes.size())
      for (std::size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i]) nodes[i]->setData(0, kContactIdRole, scanOrder[i]);
    if (!book->groups.empty()) {
      tree_->AddNode(kGroupsKey, kGroupsKey, scan::kImageCardTransfer, scan::kNoImage, scan::kRootKey);
      for (const auto& g : book->groups) {
        const QString key = QStringLiteral("Group %1").arg(g.id);
        tree_->AddNode(key, QString::fromStdString(g.displayName), scan::kImageContacts, scan::kNoImage, kGroupsKey);
        tree_->FindNode(key)->setData(0, kGroupIdRole, g.id);
      }
    }
    for (const auto& c : book->contacts) {
      if (!c.deleted) continue;
      const QString name = ContactDetailView::RecordFields(c).value(0);
      const QString key = QStringLiteral("Deleted %1").arg(c.id);
      QTreeWidgetItem* node = tree_->AddNode(key, scan::DisplayText(name) + QStringLiteral(" (deleted)"),
                                             scan::kImageContacts, scan::kNoImage, scan::GroupKeyFor(name));
      node->setData(0, kContactIdRole, c.id);
      node->setForeground(0, QBrush(Qt::gray));
      QFont italic = node->font(0);
      italic.setItalic(true);
      node->setFont(0, italic);
      node->setHidden(!mnuShowDeleted_->isChecked());
      deletedNodes_.push_back(node);
    }
    tree_->ExpandRoot(true);
    book_ = std::move(book);
    text += QStringLiteral(", ") + Plural(book_->groups.size(), "group", "groups");
  }
  text += QStringLiteral(", ") + Plural(static_cast<std::size_t>(damaged), "damaged record", "damaged records") +
          QStringLiteral(" skipped.");
  if (book_ && book_->deletedRecovered > 0)
    text += QStringLiteral("\n") +
            Plural(book_->deletedRecovered, "deleted contact can", "deleted contacts can") +
            QStringLiteral(" be shown with View > Show deleted contacts.");
  return text;
}

void FrmMain::mnuShowDeleted_Click() {
  for (QTreeWidgetItem* node : deletedNodes_) node->setHidden(!mnuShowDeleted_->isChecked());
}

bool FrmMain::ShowModelNode(QTreeWidgetItem* node) {
  if (!book_) return false;
  if (const QVariant id = node->data(0, kGroupIdRole); id.isValid()) {
    if (const wab::Group* g = book_->FindGroup(id.toUInt())) {
      detail_->ShowGroup(*book_, *g);
      return true;
    }
  }
  if (const QVariant id = node->data(0, kContactIdRole); id.isValid()) {
    if (const wab::Contact* c = book_->FindContact(id.toUInt())) {
      detail_->ShowContact(*book_, *c, scan::ContactTree::NodeRecordText(node));
      return true;
    }
  }
  return false;
}

}  // namespace app
