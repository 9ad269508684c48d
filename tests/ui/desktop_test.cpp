// The main window as a desktop user meets it: the question before typed
// inputs are thrown away, the menus' shortcuts wherever the focus is, Esc on
// the secondary windows, and the file dialogs (the type added to a bare
// name, the window each belongs to, Chinese texts and dates).
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTreeView>
#include <QtTest>
#include <map>

#include "cases/case_file.h"
#include "session.h"
#include "test_classes.h"
#include "ui/translations.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QAction* MenuAction(const MainWindow& window, const char* name) {
  return window.findChild<QAction*>(QLatin1String(name));
}

// Types `name` into a file dialog, selects filter `filter` first, and
// accepts; records the dialog's filters and the window it belongs to.
struct DialogAnswer {
  QString name;
  int filter = 0;
  QStringList filters;
  QWidget* owner = nullptr;
  ModalWatchdog::Answer Answer() {
    return [this](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return modal->close(), void();
      filters = dialog->nameFilters();
      owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
      if (name.isEmpty()) return dialog->reject();
      dialog->selectNameFilter(filters.value(filter));
      // As the user picks it in the box: the dialog hears of the choice.
      emit dialog->filterSelected(filters.value(filter));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
      QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
    };
  }
};

// Stands in for a platform whose line edits bind keys the menus use (on X11
// Ctrl+E is "end of line"): the box claims every shortcut it is offered.
class ClaimsShortcuts : public QObject {
 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) event->accept();
    return false;
  }
};

bool WaitActive(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window, 5000);
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void typedInputsAreNotLostWithoutAQuestion_data();
  void typedInputsAreNotLostWithoutAQuestion();
  void shortcutsWorkWhereverTheFocusIs_data();
  void shortcutsWorkWhereverTheFocusIs();
  void escapeClosesTheSecondaryWindows();
  void bareNamesGetTheChosenType_data();
  void bareNamesGetTheChosenType();
  void dialogsBelongToTheirWindow();
  void dialogTextsAreChinese();
};

enum class Command { ExitButton, CloseBox, NewCase };

void DesktopTest::typedInputsAreNotLostWithoutAQuestion_data() {
  QTest::addColumn<Command>("command");
  QTest::addColumn<QString>("typed");   // into 计算时段数; empty: left alone
  QTest::addColumn<QString>("answer");  // empty: no question expected
  QTest::addColumn<bool>("goesOn");     // the window closed or the defaults back
  QTest::addColumn<bool>("saved");
  QTest::newRow("defaults, exit") << Command::ExitButton << QString() << QString() << true << false;
  QTest::newRow("defaults, new") << Command::NewCase << QString() << QString() << true << false;
  QTest::newRow("typed, exit, discard")
      << Command::ExitButton << QStringLiteral("300") << QStringLiteral("不保存") << true << false;
  QTest::newRow("typed, exit, cancel")
      << Command::ExitButton << QStringLiteral("300") << QStringLiteral("取消") << false << false;
  QTest::newRow("typed, exit, save")
      << Command::ExitButton << QStringLiteral("300") << QStringLiteral("保存") << true << true;
  QTest::newRow("typed, close box, cancel")
      << Command::CloseBox << QStringLiteral("300") << QStringLiteral("取消") << false << false;
  QTest::newRow("typed, close box, discard")
      << Command::CloseBox << QStringLiteral("300") << QStringLiteral("不保存") << true << false;
  QTest::newRow("typed, new, cancel")
      << Command::NewCase << QStringLiteral("300") << QStringLiteral("取消") << false << false;
  QTest::newRow("typed, new, save")
      << Command::NewCase << QStringLiteral("300") << QStringLiteral("保存") << true << true;
}

void DesktopTest::typedInputsAreNotLostWithoutAQuestion() {
  QFETCH(Command, command);
  QFETCH(QString, typed);
  QFETCH(QString, answer);
  QFETCH(bool, goesOn);
  QFETCH(bool, saved);
  Session s;
  const QString casePath = s.Path("case1.toml");
  s.window.SetSaveFileChooser([&casePath](const SaveDialogSettings&) { return casePath; });
  QVERIFY(s.ShowActive());
  if (!typed.isEmpty()) Text(s.form, InputId::StepCount)->setText(typed);
  const InputTexts before = TypedTexts(s.form);

  ModalWatchdog watchdog;
  QString question;
  if (!answer.isEmpty()) watchdog.Expect(Press(answer, &question));
  switch (command) {
    case Command::ExitButton:
      Button(s.form, 2)->click();
      break;
    case Command::CloseBox:
      s.window.close();
      break;
    case Command::NewCase:
      MenuAction(s.window, "NewCase")->trigger();
      break;
  }
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  if (!answer.isEmpty())
    QVERIFY2(question.contains(QStringLiteral("是否保存")), qPrintable(question));

  if (command == Command::NewCase) {
    QVERIFY(TypedTexts(s.form) == (goesOn ? DefaultInputTexts() : before));
  } else {
    QCOMPARE(s.window.isVisible(), !goesOn);
    QVERIFY(TypedTexts(s.form) == before);
  }
  QCOMPARE(QFile::exists(casePath), saved);
  if (saved) QVERIFY(ReadCaseFile(casePath.toStdString()).base.texts == before);
}

void DesktopTest::shortcutsWorkWhereverTheFocusIs_data() {
  QTest::addColumn<QKeySequence>("keys");
  QTest::addColumn<QString>("focus");  // "box", "button" or "chart"
  for (const char* focus : {"box", "button", "chart"}) {
    for (QKeySequence keys :
         {QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::CTRL | Qt::Key_E),
          QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::CTRL | Qt::Key_O),
          QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::Key_F1)}) {
      QTest::addRow("%s in a %s", qPrintable(keys.toString()), focus)
          << keys << QString::fromLatin1(focus);
    }
  }
}

void DesktopTest::shortcutsWorkWhereverTheFocusIs() {
  QFETCH(QKeySequence, keys);
  QFETCH(QString, focus);
  Session s("200");
  int saveAsked = 0;
  int openAsked = 0;
  s.window.SetSaveFileChooser([&saveAsked](const SaveDialogSettings&) {
    ++saveAsked;
    return QString();
  });
  s.window.SetOpenFileChooser([&openAsked] {
    ++openAsked;
    return QString();
  });
  QVERIFY(s.ShowActive());
  s.form.calculate();
  saveAsked = 0;

  const bool envelopeKey = keys == QKeySequence(Qt::CTRL | Qt::Key_E);
  QWidget* target = nullptr;
  if (focus == QStringLiteral("chart")) {
    // The other chart than the one the key opens.
    if (envelopeKey) {
      s.window.showHistory();
      target = s.window.historyWindow();
    } else {
      s.window.showEnvelope();
      target = s.window.envelopeWindow();
    }
    QVERIFY(WaitActive(target));
    if (QApplication::focusWidget() && QApplication::focusWidget()->window() == target)
      target = QApplication::focusWidget();
  } else {
    target = focus == QStringLiteral("box")
                 ? static_cast<QWidget*>(Text(s.form, InputId::WaveSpeed))
                 : Button(s.form, 1);
    target->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), target, 5000);
  }
  QLineEdit* box = Text(s.form, InputId::WaveSpeed);
  box->setCursorPosition(0);
  ClaimsShortcuts platformBindings;
  box->installEventFilter(&platformBindings);

  ModalWatchdog watchdog;  // nothing modal expected
  const QKeyCombination combination = keys[0];
  QTest::keyClick(target, combination.key(), combination.keyboardModifiers());
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));

  auto shown = [](QWidget* w) { return w && w->isVisible(); };
  QWidget* help = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == QStringLiteral("HelpWindow")) help = top;
  switch (keys[0].key()) {
    case Qt::Key_T:
      QVERIFY(shown(s.window.historyWindow()));
      break;
    case Qt::Key_E:
      QVERIFY(shown(s.window.envelopeWindow()));
      break;
    case Qt::Key_R:
      QVERIFY(shown(s.window.resultsWindow()));
      break;
    case Qt::Key_O:
      QCOMPARE(openAsked, 1);
      break;
    case Qt::Key_S:
      QCOMPARE(saveAsked, 1);  // no case file open: 另存为
      break;
    default:
      QVERIFY(shown(help));
      help->close();
  }
  // The box's own binding (Ctrl+E: end of line) did not run as well.
  QCOMPARE(box->cursorPosition(), 0);
}

void DesktopTest::escapeClosesTheSecondaryWindows() {
  Session s("60");
  QVERIFY(s.ShowActive());
  s.form.calculate();
  s.window.showHistory();
  s.window.showEnvelope();
  MenuAction(s.window, "ShowHelp")->trigger();
  QWidget* help = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == QStringLiteral("HelpWindow")) help = top;
  QVERIFY(help);
  for (QWidget* window : {static_cast<QWidget*>(s.window.historyWindow()),
                          static_cast<QWidget*>(s.window.envelopeWindow()), help}) {
    QVERIFY(WaitActive(window));
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
  }
  // The about box: Esc is its OK.
  ModalWatchdog watchdog;
  bool closed = false;
  watchdog.Expect([&closed](QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_Escape);
    closed = !modal->isVisible();
  });
  MenuAction(s.window, "ShowAbout")->trigger();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY(closed);
  // The main window keeps Esc for Calculate: no secondary window is left
  // that could have taken it.
  QVERIFY(s.window.isVisible());
}

void DesktopTest::bareNamesGetTheChosenType_data() {
  QTest::addColumn<QStringList>("filters");
  QTest::addColumn<int>("filter");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("chosen");
  const QStringList cases{QStringLiteral("算例文件 (*.toml)"), QStringLiteral("所有文件 (*)")};
  const QStringList images{QStringLiteral("PNG 图片 (*.png)"), QStringLiteral("SVG 图片 (*.svg)")};
  QTest::newRow("case, bare name")
      << cases << 0 << QStringLiteral("case1") << QStringLiteral("case1.toml");
  QTest::newRow("case, own type kept")
      << cases << 0 << QStringLiteral("case1.txt") << QStringLiteral("case1.txt");
  QTest::newRow("case, every file")
      << cases << 1 << QStringLiteral("case1") << QStringLiteral("case1");
  QTest::newRow("image, PNG") << images << 0 << QStringLiteral("myplot")
                              << QStringLiteral("myplot.png");
  QTest::newRow("image, SVG chosen")
      << images << 1 << QStringLiteral("myplot") << QStringLiteral("myplot.svg");
  QTest::newRow("result file, every file") << ResultFileDialogSettings().nameFilters << 0
                                           << QStringLiteral("结果") << QStringLiteral("结果");
  QTest::newRow("result file, *.dat") << ResultFileDialogSettings().nameFilters << 2
                                      << QStringLiteral("结果") << QStringLiteral("结果.dat");
}

void DesktopTest::bareNamesGetTheChosenType() {
  QFETCH(QStringList, filters);
  QFETCH(int, filter);
  QFETCH(QString, typed);
  QFETCH(QString, chosen);
  QTemporaryDir folder;
  QWidget owner;
  QVERIFY(WaitActive(&owner));
  ModalWatchdog watchdog;
  DialogAnswer answer;
  answer.name = folder.filePath(typed);
  answer.filter = filter;
  watchdog.Expect(answer.Answer());
  SaveDialogSettings settings;
  settings.title = QStringLiteral("保存");
  settings.nameFilters = filters;
  const QString path = ChooseSaveFile(&owner, settings);
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QCOMPARE(path, folder.filePath(chosen));

  // The name with its type is the one checked for replacing: the toolkit
  // asks about it.
  if (chosen == typed) return;
  {
    QFile existing(folder.filePath(chosen));
    QVERIFY(existing.open(QIODevice::WriteOnly));
  }
  QString question;
  watchdog.Expect(answer.Answer());
  watchdog.Expect(Press(QStringLiteral("否(&N)"), &question));
  watchdog.Expect([](QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  });
  QTranslator toolkit;
  InstallToolkitTranslations(toolkit);
  QCOMPARE(ChooseSaveFile(&owner, settings), QString());
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY2(question.contains(chosen), qPrintable(question));
}

// Each dialog is the child of the window whose command opened it, so the
// main window is not brought over a chart by an export.
void DesktopTest::dialogsBelongToTheirWindow() {
  Session s("60");
  QVERIFY(s.ShowActive());
  s.form.calculate();
  s.window.showHistory();
  s.window.showEnvelope();
  HistoryWindow* history = s.window.historyWindow();
  EnvelopeWindow* envelope = s.window.envelopeWindow();
  struct Row {
    QWidget* window;
    std::function<void()> command;
  };
  const Row rows[] = {
      {history, [history] { history->exportImage(); }},
      {history, [history] { history->exportCsv(); }},
      {envelope, [envelope] { envelope->exportImage(); }},
      {envelope, [envelope] { envelope->exportCsv(); }},
  };
  for (const Row& row : rows) {
    QVERIFY(WaitActive(row.window));
    ModalWatchdog watchdog;
    DialogAnswer cancel;
    bool mainActive = true;
    watchdog.Expect([&](QWidget* modal) {
      mainActive = s.window.isActiveWindow();
      cancel.Answer()(modal);
    });
    row.command();
    QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
    QCOMPARE(cancel.owner, row.window);
    QVERIFY(!mainActive);
    QTest::qWait(50);
    QVERIFY(!s.window.isActiveWindow());
  }
}

void DesktopTest::dialogTextsAreChinese() {
  // Every filter of every dialog: the words before the pattern are Chinese.
  Session s("60");
  std::vector<SaveDialogSettings> asked;
  s.window.SetSaveFileChooser([&asked](const SaveDialogSettings& settings) {
    asked.push_back(settings);
    return QString();
  });
  QVERIFY(s.ShowActive());
  s.form.calculate();
  s.window.saveCaseAs();
  s.window.showHistory();
  s.window.historyWindow()->exportImage();
  s.window.historyWindow()->exportCsv();
  s.window.showEnvelope();
  s.window.envelopeWindow()->exportCsv();
  QCOMPARE(asked.size(), std::size_t{5});
  QStringList filters;
  for (const SaveDialogSettings& settings : asked) filters << settings.nameFilters;
  for (const QString& filter : filters) {
    const QString words = filter.left(filter.indexOf(QLatin1Char('(')));
    QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("\\b(all|files?)\\b"),
                                                QRegularExpression::CaseInsensitiveOption)),
             qPrintable(filter));
  }
  QVERIFY(filters.contains(QStringLiteral("所有文件 (*)")));

  // The toolkit speaks the interface's language whatever the system's
  // locale (the test runs in the C locale): the file dialog's column
  // headers and its dates.
  QTranslator toolkit;
  QVERIFY(InstallToolkitTranslations(toolkit));
  QCOMPARE(QLocale().name(), QStringLiteral("zh_CN"));
  QTemporaryDir folder;
  for (const char* name : {"a.txt", "case.toml", "plot.PNG", "noext"}) {
    QFile file(folder.filePath(QString::fromLatin1(name)));
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
  QFileDialog dialog(nullptr, QStringLiteral("保存"), folder.path());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  UseProgramFileLabels(dialog);
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  QVERIFY(view);
  QAbstractItemModel* model = view->model();
  QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名称"));
  QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("大小"));
  const QModelIndex root = view->rootIndex();
  QTRY_VERIFY_WITH_TIMEOUT(model->rowCount(root) == 5, 5000);
  // The type column in the program's words, the date in Chinese.
  const std::map<QString, QString> types = {
      {QStringLiteral("a.txt"), QStringLiteral("文本文件")},
      {QStringLiteral("case.toml"), QStringLiteral("TOML 文件")},
      {QStringLiteral("plot.PNG"), QStringLiteral("PNG 图片")},
      {QStringLiteral("noext"), QStringLiteral("文件")},
      {QStringLiteral("sub"), QStringLiteral("文件夹")}};
  for (int row = 0; row < model->rowCount(root); ++row) {
    const QString name = model->index(row, 0, root).data().toString();
    QCOMPARE(model->index(row, 2, root).data().toString(), types.at(name));
    if (name != QStringLiteral("a.txt")) continue;
    const QString date = model->index(row, 3, root).data().toString();
    const QDateTime modified = QFileInfo(folder.filePath(name)).lastModified();
    QCOMPARE(date,
             QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat));
  }
  QVERIFY(QCoreApplication::removeTranslator(&toolkit));
}

// As the program starts: the interface's locale before the application.
int RunDesktopTest(int argc, char** argv) {
  UseInterfaceLocale();
  QApplication app(argc, argv);
  DesktopTest test;
  return QTest::qExec(&test, argc, argv);
}
KELVANE_UI_TEST_MAIN(desktop, RunDesktopTest);
#include "desktop_test.moc"
