#include "platform/help/HelpViewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace help {
namespace {

constexpr int kPageRole = Qt::UserRole;

QString DecodePage(const QByteArray& bytes) {
  // A page states its own character set in a <meta> tag or a byte-order mark.
  QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
  if (decoder.isValid()) {
    QString text = decoder.decode(bytes);
    if (!decoder.hasError()) return text;
  }
  return QString::fromLatin1(bytes);
}

QString Escaped(const QString& s) { return s.toHtmlEscaped(); }

}  // namespace

QString FromHelpText(const std::string& text) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// ---------------------------------------------------------------- HelpBrowser

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent), document_(new HelpDocument(nullptr, this)) {
  setDocument(document_);
  // Links are ours to follow: pages come out of the help file, and nothing
  // here starts a web browser.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::FollowLink);
}

QUrl HelpBrowser::ResolveLink(const QUrl& base, const QUrl& link) {
  const QString scheme = link.scheme().toLower();
  if (scheme.isEmpty()) {
    // A link to a place on the same page carries only a fragment.
    const QUrl from = base.scheme() == QLatin1String("chm") ? base : QUrl(QStringLiteral("chm:/"));
    return from.resolved(link);
  }
  if (scheme == QLatin1String("chm")) return link;
  // "ms-its:Help.chm::/page.html" and "mk:@MSITStore:Help.chm::/page.html"
  // address a page inside a help file; we show only the one that is open.
  if (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk") || scheme == QLatin1String("its")) {
    const QString whole = link.toString();
    const qsizetype at = whole.indexOf(QLatin1String("::"));
    if (at < 0) return {};
    QUrl page(QStringLiteral("chm:") + whole.mid(at + 2));
    return page.isValid() ? page : QUrl();
  }
  return {};
}

void HelpBrowser::FollowLink(const QUrl& link) {
  if (!file_) return;  // the window shows why there is nothing to follow
  const QUrl target = Resolve(link);
  if (target.isEmpty()) {
    emit externalLinkClicked(link);
    return;
  }
  setSource(target);
}

QVariant LoadHelpResource(const ChmFile* file, int type, const QUrl& name) {
  // Not null, so the document looks no further.
  if (name.scheme().compare(QLatin1String("chm"), Qt::CaseInsensitive) != 0 || !file) return QByteArray("");
  const std::string chm_path = ChmFile::Normalize(name.path().toStdString());
  const std::optional<std::string> data = file->Read(chm_path);
  if (type == QTextDocument::HtmlResource) {
    if (!data && file->Contains(chm_path)) {
      return QStringLiteral("<html><body><h2>Page damaged</h2><p>The page <b>%1</b> cannot be read: the help "
                            "file is damaged. Reinstalling Addrivo puts a good copy back beside the "
                            "program.</p></body></html>")
          .arg(Escaped(QString::fromStdString(chm_path)));
    }
    if (!data) {
      return QStringLiteral("<html><body><h2>Page not found</h2><p>The page <b>%1</b> is not in this help "
                            "file.</p><p>Choose a topic from the contents.</p></body></html>")
          .arg(Escaped(QString::fromStdString(chm_path)));
    }
    return DecodePage(QByteArray(data->data(), static_cast<qsizetype>(data->size())));
  }
  if (!data) return QByteArray("");
  QByteArray bytes(data->data(), static_cast<qsizetype>(data->size()));
  if (type == QTextDocument::StyleSheetResource) return DecodePage(bytes);
  return bytes;  // images: the document decodes them itself
}

// ----------------------------------------------------------------- HelpViewer

HelpViewer::HelpViewer(QWidget* owner) : QMainWindow(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(900, 620);

  browser_ = new HelpBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));

  contents_ = new QTreeWidget(this);
  contents_->setObjectName(QStringLiteral("HelpContents"));
  contents_->setHeaderHidden(true);
  index_ = new QTreeWidget(this);
  index_->setObjectName(QStringLiteral("HelpIndex"));
  index_->setHeaderHidden(true);
  index_->setRootIsDecorated(false);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("HelpTabs"));
  tabs_->addTab(contents_, tr("Contents"));
  tabs_->addTab(index_, tr("Index"));

  search_tab_ = new QWidget(this);
  search_text_ = new QLineEdit(search_tab_);
  search_text_->setObjectName(QStringLiteral("HelpSearchText"));
  search_text_->setPlaceholderText(tr("Words to look for"));
  auto* go = new QPushButton(tr("&List Topics"), search_tab_);
  go->setObjectName(QStringLiteral("HelpSearchGo"));
  search_results_ = new QListWidget(search_tab_);
  search_results_->setObjectName(QStringLiteral("HelpSearchResults"));
  auto* search_layout = new QVBoxLayout(search_tab_);
  search_layout->setContentsMargins(4, 4, 4, 4);
  search_layout->addWidget(search_text_);
  search_layout->addWidget(go);
  search_layout->addWidget(search_results_);
  tabs_->addTab(search_tab_, tr("Search"));
  connect(go, &QPushButton::clicked, this, [this] { Search(search_text_->text()); });
  connect(search_text_, &QLineEdit::returnPressed, this, [this] { Search(search_text_->text()); });
  auto open_result = [this](QListWidgetItem* item) {
    const QUrl url = item->data(kPageRole).toUrl();
    if (file_ && url.isValid()) browser_->setSource(url);
  };
  connect(search_results_, &QListWidget::itemClicked, this, open_result);
  connect(search_results_, &QListWidget::itemActivated, this, open_result);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(tabs_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({260, 640});
  setCentralWidget(splitter);

  QToolBar* bar = addToolBar(tr("Navigation"));
  bar->setObjectName(QStringLiteral("HelpToolBar"));
  bar->setMovable(false);
  QAction* back = bar->addAction(tr("Back"), browser_, &QTextBrowser::backward);
  QAction* forward = bar->addAction(tr("Forward"), browser_, &QTextBrowser::forward);
  QAction* home = home_ = bar->addAction(tr("Home"), this, [this] {
    if (file_) browser_->setSource(PageUrl(file_->StartPage()));
  });
  back->setObjectName(QStringLiteral("HelpBack"));
  forward->setObjectName(QStringLiteral("HelpForward"));
  home->setObjectName(QStringLiteral("HelpHome"));
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

  connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { OnItemActivated(item); });
  connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OnItemActivated(item); });
  connect(index_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { OnItemActivated(item); });
  connect(index_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OnItemActivated(item); });
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpViewer::OnSourceChanged);
  connect(browser_, &HelpBrowser::externalLinkClicked, this, [this](const QUrl& url) {
    statusBar()->showMessage(tr("%1 is outside the help file and is not opened from here.")
                                 .arg(url.toDisplayString()),
                             8000);
  });
  statusBar()->setObjectName(QStringLiteral("HelpStatus"));
  setWindowTitle(tr("HTML Help"));
}

HelpViewer::~HelpViewer() {
  // The browser must not reach for the file while it goes away.
  browser_->SetFile(nullptr);
}

QUrl HelpViewer::PageUrl(const std::string& chm_path) {
  QUrl url;
  url.setScheme(QStringLiteral("chm"));
  const std::string normalized = ChmFile::Normalize(chm_path);
  url.setPath(QString::fromStdString(normalized));
  return url;
}

QUrl HelpViewer::CurrentPage() const { return file_ ? browser_->source() : QUrl(); }

bool HelpViewer::Open(const QString& path, const QString& topic) {
  path_ = path;
  browser_->SetFile(nullptr);
  browser_->clearHistory();
  browser_->setSource(QUrl());
  contents_->clear();
  index_->clear();
  contents_by_page_.clear();
  page_texts_.clear();
  search_results_->clear();
  file_.reset();

  home_->setEnabled(false);
  ChmStatus status = ChmStatus::Ok;
  file_ = ChmFile::Open(QFile::encodeName(path).toStdString(), &status);
  if (!file_) {
    if (status == ChmStatus::NotFound)
      ShowProblem(tr("The help file could not be found."),
                  tr("There is no readable file at %1. Reinstalling Addrivo puts the help file back "
                     "beside the program."));
    else
      ShowProblem(tr("The help file cannot be opened."),
                  tr("%1 is damaged or is not a compiled help file. Reinstalling Addrivo puts a good "
                     "copy back beside the program."));
    return false;
  }

  const std::string start = topic.isEmpty() ? file_->StartPage() : ChmFile::Normalize(topic.toStdString());
  // Every page and the contents come out of the same compressed data: when
  // the first page cannot be read, the file is damaged.
  if (start.empty() || !file_->Read(start)) {
    if (!topic.isEmpty() && !start.empty() && file_->Read(file_->StartPage())) {
      // Only the asked-for page is missing; the file itself is sound.
      return Open(path, {});
    }
    file_.reset();
    ShowProblem(tr("The help file cannot be opened."),
                tr("%1 is damaged: its pages cannot be read. Reinstalling Addrivo puts a good copy back "
                   "beside the program."));
    return false;
  }

  setWindowTitle(file_->Title().empty() ? tr("HTML Help") : FromHelpText(file_->Title()));
  browser_->SetFile(file_.get());
  home_->setEnabled(true);
  if (!file_->ContentsFile().empty())
    if (auto hhc = file_->Read(file_->ContentsFile())) FillTree(contents_, ParseSitemap(*hhc), true);
  if (!file_->IndexFile().empty())
    if (auto hhk = file_->Read(file_->IndexFile())) FillTree(index_, ParseSitemap(*hhk), false);
  tabs_->setTabEnabled(1, index_->topLevelItemCount() > 0);
  tabs_->setTabEnabled(2, true);
  // The same address as before still has to be read again: the file may
  // have been replaced since.
  const QUrl page = PageUrl(start);
  if (browser_->source() == page)
    browser_->reload();
  else
    browser_->setSource(page);
  browser_->clearHistory();
  return true;
}

void HelpViewer::ShowContentsTab() { tabs_->setCurrentWidget(contents_); }

void HelpViewer::ShowIndexTab() {
  if (tabs_->isTabEnabled(1)) tabs_->setCurrentWidget(index_);
}

const QList<HelpViewer::PageText>& HelpViewer::PageTexts() {
  if (page_texts_.isEmpty() && file_) {
    for (const std::string& page : file_->Pages()) {
      const auto bytes = file_->Read(page);
      if (!bytes) continue;
      // Only the text is wanted: a bare document loads no pictures.
      HelpDocument doc(file_.get());
      doc.setHtml(DecodePage(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()))));
      QString title = doc.metaInformation(QTextDocument::DocumentTitle).trimmed();
      if (title.isEmpty()) title = QString::fromStdString(page);
      page_texts_.append({title, doc.toPlainText(), PageUrl(page)});
    }
  }
  return page_texts_;
}

int HelpViewer::Search(const QString& words) {
  search_text_->setText(words);
  search_results_->clear();
  const QStringList wanted = words.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  if (wanted.isEmpty() || !file_) return 0;
  int found = 0;
  for (const PageText& page : PageTexts()) {
    const bool all = std::all_of(wanted.begin(), wanted.end(), [&page](const QString& w) {
      return page.text.contains(w, Qt::CaseInsensitive) || page.title.contains(w, Qt::CaseInsensitive);
    });
    if (!all) continue;
    auto* item = new QListWidgetItem(page.title, search_results_);
    item->setData(kPageRole, page.url);
    ++found;
  }
  statusBar()->showMessage(found ? tr("%n topic(s) found.", nullptr, found) : tr("No topics found."), 8000);
  return found;
}

void HelpViewer::ShowProblem(const QString& headline, const QString& detail) {
  setWindowTitle(tr("HTML Help"));
  tabs_->setTabEnabled(1, false);
  tabs_->setTabEnabled(2, false);
  const QString file = QStringLiteral("<b>%1</b>").arg(Escaped(QDir::toNativeSeparators(path_)));
  browser_->setHtml(QStringLiteral("<html><body><h2>%1</h2><p>%2</p><p>%3</p></body></html>")
                        .arg(Escaped(headline), Escaped(detail).replace(QStringLiteral("%1"), file),
                             Escaped(tr("Addrivo itself is not affected; close this window to go on."))));
}

void HelpViewer::FillTree(QTreeWidget* tree, const std::vector<SitemapEntry>& entries, bool contents) {
  AddEntries(nullptr, tree, entries, contents);
  if (contents) tree->expandToDepth(0);
}

void HelpViewer::AddEntries(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<SitemapEntry>& entries,
                            bool contents) {
  for (const SitemapEntry& entry : entries) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, FromHelpText(entry.name));
    if (!entry.locals.empty()) {
      // Links in a sitemap are relative to the root of the file.
      const QUrl page = HelpBrowser::ResolveLink(QUrl(), QUrl(FromHelpText(entry.locals.front())));
      const QUrl url = page.isEmpty() ? PageUrl(entry.locals.front()) : page;
      item->setData(0, kPageRole, url);
      if (contents) contents_by_page_.insert(url.adjusted(QUrl::RemoveFragment).path().toLower(), item);
    }
    AddEntries(item, tree, entry.children, contents);
  }
}

void HelpViewer::OnItemActivated(QTreeWidgetItem* item) {
  const QUrl url = item->data(0, kPageRole).toUrl();
  if (url.isValid() && !url.isEmpty() && file_) browser_->setSource(url);
}

void HelpViewer::OnSourceChanged(const QUrl& url) {
  // Keep the contents in step with the page, whichever way it was reached.
  QTreeWidgetItem* item = contents_by_page_.value(url.adjusted(QUrl::RemoveFragment).path().toLower());
  if (item && contents_->currentItem() != item) {
    const QSignalBlocker quiet(contents_);
    contents_->setCurrentItem(item);
  }
}

}  // namespace help
