#include "base/help.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "base/forms.h"

namespace glim::help {

namespace {

// One window for every help page; links between pages of the same help file work inside it.
class HelpWindow : public QWidget {
 public:
  HelpWindow() {
    setWindowTitle(QStringLiteral("Glimmora Help"));
    setObjectName(QStringLiteral("frmHelp"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtHelp"));
    browser_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
  }
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

QPointer<HelpWindow>& current() {
  static QPointer<HelpWindow> window;
  return window;
}

QString helpFolder(const QString& helpFile) {
  const QFileInfo info(helpFile);
  return info.path() + QStringLiteral("/help/") + info.fileName() + u'/';
}

bool show(const QString& page) {
  if (!QFileInfo(page).isFile()) return false;
  if (!current()) {
    current() = new HelpWindow();
    current()->setAttribute(Qt::WA_DeleteOnClose);
    forms::track(current());
  }
  current()->browser()->setSource(QUrl::fromLocalFile(page));
  current()->show();
  current()->raise();
  current()->activateWindow();
  return true;
}

}  // namespace

QString topicPage(const QString& helpFile, int context) {
  return helpFolder(helpFile) + QString::number(context) + QStringLiteral(".html");
}
QString contentsPage(const QString& helpFile) {
  return helpFolder(helpFile) + QStringLiteral("index.html");
}
QString namedPage(const QString& helpFile, const QString& name) {
  return helpFolder(helpFile) + name + QStringLiteral(".html");
}

bool showTopic(const QString& helpFile, int context) {
  return show(topicPage(helpFile, context));
}
bool showContents(const QString& helpFile) {
  return show(contentsPage(helpFile));
}
bool showPage(const QString& helpFile, const QString& name) {
  return show(namedPage(helpFile, name));
}

QTextBrowser* openBrowser() {
  return current() ? current()->browser() : nullptr;
}

}  // namespace glim::help
