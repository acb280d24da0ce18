// The window that shows a compiled help file: the table of contents and the
// index beside the page, with back, forward and home.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <memory>

#include "platform/help/ChmFile.h"
#include "platform/help/Sitemap.h"

class QAction;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace help {

// A resource of a help file for a document: the object at a chm: address
// (a notice page for a missing or damaged page), and an empty byte array for
// every other address, so that Qt never falls back to reading a local file
// (file:, a relative name, a FIFO, /dev/zero).
QVariant LoadHelpResource(const ChmFile* file, int type, const QUrl& name);

// A document whose images and style sheets come from the help file only:
// every document the viewer makes is one (the page shown, the pages read
// for searching).
class HelpDocument : public QTextDocument {
  Q_OBJECT
 public:
  explicit HelpDocument(const ChmFile* file, QObject* parent = nullptr) : QTextDocument(parent), file_(file) {}
  void SetFile(const ChmFile* file) { file_ = file; }

 protected:
  QVariant loadResource(int type, const QUrl& name) override { return LoadHelpResource(file_, type, name); }

 private:
  const ChmFile* file_;
};

// A text browser that takes its pages, images and style sheets from a help
// file. Pages live under the "chm" scheme: chm:/folder/page.html.
class HelpBrowser : public QTextBrowser {
  Q_OBJECT
 public:
  explicit HelpBrowser(QWidget* parent = nullptr);
  void SetFile(const ChmFile* file) {
    file_ = file;
    document_->SetFile(file);
  }
  QVariant loadResource(int type, const QUrl& name) override { return LoadHelpResource(file_, type, name); }

  // The help-file address a link leads to, relative ones taken against the
  // page shown; an empty URL when the link leads out of the help file.
  QUrl Resolve(const QUrl& link) const { return ResolveLink(source(), link); }
  static QUrl ResolveLink(const QUrl& base, const QUrl& link);

 signals:
  // A link that leads out of the help file (a web site, a mail address, a
  // file on disk). The viewer does not follow those.
  void externalLinkClicked(const QUrl& url);

 private:
  void FollowLink(const QUrl& link);
  const ChmFile* file_ = nullptr;
  HelpDocument* document_;
};

class HelpViewer : public QMainWindow {
  Q_OBJECT
 public:
  explicit HelpViewer(QWidget* owner);
  ~HelpViewer() override;

  // Opens the help file (again) and shows topic, or the start page when topic
  // is empty. Returns false when the file cannot be read; the window then
  // says why.
  bool Open(const QString& path, const QString& topic = {});
  void ShowContentsTab();
  void ShowIndexTab();
  // Lists the pages that hold every word of words (case-insensitive) in the
  // search tab; returns how many were found.
  int Search(const QString& words);

  const QString& FilePath() const { return path_; }
  // The address of the page shown, chm:/page.html; empty when none is shown.
  QUrl CurrentPage() const;
  bool HasFile() const { return file_ != nullptr; }

  static QUrl PageUrl(const std::string& chm_path);

 private:
  void ShowProblem(const QString& headline, const QString& detail);
  void FillTree(QTreeWidget* tree, const std::vector<SitemapEntry>& entries, bool contents);
  void AddEntries(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<SitemapEntry>& entries,
                  bool contents);
  void OnItemActivated(QTreeWidgetItem* item);
  void OnSourceChanged(const QUrl& url);
  struct PageText {
    QString title;
    QString text;
    QUrl url;
  };
  const QList<PageText>& PageTexts();

  QString path_;
  std::unique_ptr<ChmFile> file_;
  HelpBrowser* browser_;
  QTabWidget* tabs_;
  QTreeWidget* contents_;
  QTreeWidget* index_;
  QAction* home_;
  QHash<QString, QTreeWidgetItem*> contents_by_page_;
  QWidget* search_tab_;
  QLineEdit* search_text_;
  QListWidget* search_results_;
  QList<PageText> page_texts_;  // filled on the first search
};

// Turns a text out of a help file into a QString: UTF-8 when it is valid
// UTF-8, else Latin-1 (help files without a stated code page are mostly
// Western European).
QString FromHelpText(const std::string& text);

}  // namespace help
