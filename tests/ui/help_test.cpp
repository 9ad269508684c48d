// The help window: the manual built into the program, its pictures and its
// table of contents, and a manual that names every menu command.
#include <QFile>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "session.h"
#include "test_classes.h"
#include "ui/help_window.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

// The manual as the program carries it.
QString BuiltInManual() {
  QFile file(QStringLiteral(":/manual/manual.md"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every match of the first group of `pattern` in `text`.
QStringList Captures(const QString& text, const QString& pattern) {
  QStringList found;
  auto matches = QRegularExpression(pattern).globalMatch(text);
  while (matches.hasNext()) found << matches.next().captured(1);
  return found;
}

// The anchors of the headings of a shown document.
QStringList HeadingAnchors(const QTextDocument& document) {
  QStringList anchors;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 0) continue;
    for (auto it = block.begin(); !it.atEnd(); ++it)
      anchors << it.fragment().charFormat().anchorNames();
  }
  return anchors;
}

// The menu bar's commands as the user reads them: "文件(F)", "打开算例…",
// without the recent files, which are the user's own.
QStringList MenuTexts(const QMenuBar& bar) {
  QStringList texts;
  for (const QMenu* menu : bar.findChildren<QMenu*>()) {
    if (menu->objectName() == QStringLiteral("RecentCases")) continue;
    texts << menu->title().remove(QLatin1Char('&'));
    for (const QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      texts << action->text().remove(QLatin1Char('&'));
    }
  }
  return texts;
}

QTextBrowser* OpenHelp(MainWindow& window) {
  window.findChild<QAction*>(QStringLiteral("ShowHelp"))->trigger();
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == QStringLiteral("HelpWindow")) return qobject_cast<QTextBrowser*>(top);
  return nullptr;
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void headingAnchor_data();
  void headingAnchor();
  void manualNamesEveryMenuCommand();
  void helpWindowShowsTheManual();
  void contentsLinksLeadToTheirHeadings();
};

void HelpTest::headingAnchor_data() {
  QTest::addColumn<QString>("heading");
  QTest::addColumn<QString>("anchor");
  QTest::newRow("cjk and punctuation")
      << QStringLiteral("一、安装与启动") << QStringLiteral("一安装与启动");
  QTest::newRow("en dash dropped") << QStringLiteral("四、工况：泵流量过程与前池水位–面积表")
                                   << QStringLiteral("四工况泵流量过程与前池水位面积表");
  QTest::newRow("blanks and hyphens kept")
      << QStringLiteral("十、批处理：kelvane --batch") << QStringLiteral("十批处理kelvane---batch");
  QTest::newRow("lower case") << QStringLiteral("十四、Windows 版")
                              << QStringLiteral("十四windows-版");
  QTest::newRow("underscore kept") << QStringLiteral("a_b (c)") << QStringLiteral("a_b-c");
}

void HelpTest::headingAnchor() {
  QFETCH(QString, heading);
  QFETCH(QString, anchor);
  QCOMPARE(HeadingAnchor(heading), anchor);
}

void HelpTest::manualNamesEveryMenuCommand() {
  Session s;
  const QString manual = BuiltInManual();
  QVERIFY(!manual.isEmpty());
  const QStringList texts = MenuTexts(*s.window.menuBar());
  QVERIFY(texts.size() > 20);
  for (const QString& text : texts) QVERIFY2(manual.contains(text), qPrintable(text));
}

// The window shows the manual's text, with every picture it links loaded
// from the program itself.
void HelpTest::helpWindowShowsTheManual() {
  Session s;
  QTextBrowser* help = OpenHelp(s.window);
  QVERIFY(help && help->isVisible());
  const QString text = help->toPlainText();
  QVERIFY(text.startsWith(QStringLiteral("Kelvane 使用说明")));
  QVERIFY(!text.contains(QStringLiteral("](")));  // rendered, not shown as Markdown
  const QStringList pictures =
      Captures(BuiltInManual(), QStringLiteral("\\]\\(([a-z0-9-]+\\.png)\\)"));
  QVERIFY(pictures.size() >= 15);
  for (const QString& picture : pictures) {
    const QVariant image = help->document()->resource(QTextDocument::ImageResource,
                                                      help->source().resolved(QUrl(picture)));
    const QImage shown = image.typeId() == QMetaType::QByteArray
                             ? QImage::fromData(image.toByteArray())
                             : image.value<QImage>();
    QVERIFY2(!shown.isNull(), qPrintable(picture));
  }
  help->close();
}

// Each link of the table of contents names a heading's anchor, and following
// it scrolls the window there.
void HelpTest::contentsLinksLeadToTheirHeadings() {
  Session s;
  QTextBrowser* help = OpenHelp(s.window);
  QVERIFY(help);
  const QStringList anchors = HeadingAnchors(*help->document());
  const QStringList links = Captures(BuiltInManual(), QStringLiteral("\\]\\(#([^)]+)\\)"));
  QVERIFY(links.size() >= 14);
  for (const QString& link : links) QVERIFY2(anchors.contains(link), qPrintable(link));
  help->verticalScrollBar()->setValue(0);
  help->scrollToAnchor(links.back());
  QVERIFY(help->verticalScrollBar()->value() > 0);
  help->close();
}

KELVANE_UI_TEST(help, HelpTest);
#include "help_test.moc"
