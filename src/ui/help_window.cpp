#include "ui/help_window.h"

#include <QCoreApplication>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

// The manual's resource, compiled into this library (src/ui/CMakeLists.txt):
// a static library's resources are registered by hand.
static void InitManualResource() { Q_INIT_RESOURCE(manual); }

namespace kelvane::ui {
namespace {

// Makes each heading the target of the links that name its anchor: the
// Markdown reader gives headings no names of their own.
void NameHeadings(QTextDocument* document) {
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 0 || block.text().isEmpty()) continue;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorNames({HeadingAnchor(block.text())});
    cursor.mergeCharFormat(format);
  }
}

}  // namespace

void ShowHelpAt(QWidget& owner, const QString& heading) {
  auto* window = owner.findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
  if (!window) window = NewHelpWindow(&owner);
  window->show();
  window->raise();
  window->activateWindow();
  window->scrollToAnchor(HeadingAnchor(heading));
}

QString HeadingAnchor(const QString& heading) {
  QString anchor;
  for (const QChar c : heading.toLower()) {
    if (c == QLatin1Char(' ')) {
      anchor += QLatin1Char('-');
    } else if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) {
      anchor += c;
    }
  }
  return anchor;
}

QTextBrowser* NewHelpWindow(QWidget* parent) {
  InitManualResource();
  auto* browser = new QTextBrowser(parent);
  if (parent) browser->setWindowFlag(Qt::Window);  // a window of its own over `parent`
  browser->setObjectName(QStringLiteral("HelpWindow"));
  browser->setWindowTitle(QCoreApplication::translate("kelvane::ui::MainWindow", "使用说明"));
  browser->resize(760, 640);
  // Links to the web or to files beside the program open outside.
  browser->setOpenExternalLinks(true);
  browser->setSource(QUrl(QStringLiteral("qrc:/manual/manual.md")),
                     QTextDocument::MarkdownResource);
  NameHeadings(browser->document());
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), browser);
  QObject::connect(escape, &QShortcut::activated, browser, &QWidget::close);
  return browser;
}

}  // namespace kelvane::ui
