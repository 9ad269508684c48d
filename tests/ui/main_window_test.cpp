// The main window: layout, focus and keys, the Calculate flow with its
// states, the error rule, and the results command.
#include "ui/main_window.h"

#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

#include "files/output.h"
#include "session.h"
#include "test_classes.h"
#include "ui/run_error_box.h"
#include "ui/translations.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The table as the window's text box holds it: LF line ends.
QString TableForWindow(const std::string& table) {
  return QString::fromStdString(table).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
QStringList Lines(const QString& text) {
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void layout_data();
  void layout();
  void windowAndStartStates();
  void tabOrder();
  void keysStartCalculate_data();
  void keysStartCalculate();
  void calculateStates_data();
  void calculateStates();
  void secondRunBarFollowsItsOwnMarch();
  void realSaveDialog();
  void toolkitSpeaksChinese();
  void solverErrorKeepsProgramGoing();
  void fileErrorLeavesOutputEnabled();
  void ctrlROnlyWhileEnabled();
  void resultsWindowText();
  void resultsErrorLeavesWindowsAsTheyWere();
  void exitClosesEveryWindow();
  void statusLineFitsTheWindow_data();
  void statusLineFitsTheWindow();
};

void MainWindowTest::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("pixels");
  QTest::addColumn<QString>("text");
  struct Row {
    const char* name;
    int x, y, w, h;
    const char* text;
  };
  const Row rows[] = {
      {"Label1", 8, 24, 57, 25, "恒定泵流量"},
      {"Text1", 88, 24, 73, 25, "41.6"},
      {"Label3", 208, 24, 65, 25, "库水位"},
      {"Text3", 304, 16, 73, 25, "-4.34"},
      {"Label5", 408, 24, 65, 25, "计算时段数"},
      {"Text5", 504, 16, 73, 25, "1500"},
      {"Label16", 8, 64, 57, 25, "泵突启闭后流量"},
      {"Text16", 88, 64, 73, 25, "0"},
      {"Label2", 208, 64, 57, 25, "取水头部水头损失"},
      {"Text2", 304, 64, 73, 25, ".153"},
      {"Label15", 408, 72, 65, 17, "输出间隔"},
      {"Text15", 504, 64, 73, 25, "5"},
      {"Label6", 8, 144, 65, 25, "沿程水头损失系数"},
      {"Text6", 88, 144, 73, 25, "0.01"},
      {"Label9", 208, 152, 73, 25, "前池水面面积"},
      {"Text9", 304, 144, 73, 25, "1287.414"},
      {"Label12", 408, 152, 65, 25, "箱涵总长"},
      {"Text12", 504, 144, 73, 25, "596.662"},
      {"Label7", 8, 208, 65, 25, "箱涵坡降"},
      {"Text7", 88, 200, 73, 25, "-0.0074"},
      {"Label10", 208, 208, 73, 25, "箱涵断面面积"},
      {"Text10", 304, 200, 73, 25, "18"},
      {"Label4", 408, 208, 73, 25, "划分管段数"},
      {"Text4", 504, 200, 73, 25, "5"},
      {"Label8", 8, 272, 57, 25, "水力半径"},
      {"Text8", 88, 264, 73, 25, "0.75"},
      {"Label11", 208, 272, 73, 25, "弹性波速"},
      {"Text11", 304, 264, 73, 25, "1000"},
      {"Label13", 8, 320, 57, 25, "初始输出时段"},
      {"Text13", 88, 320, 73, 25, "1"},
      {"Label14", 200, 320, 65, 25, "终端输出时段"},
      {"Text14", 304, 320, 73, 25, "100"},
      {"Command4", 416, 320, 89, 25, "结果查询"},
      {"Command1", 64, 376, 89, 25, "计算"},
      {"Command3", 240, 376, 89, 25, "输出图形"},
      {"Command2", 432, 376, 89, 25, "退出"},
      {"Line1", 0, 112, 624, 1, ""},
      {"Line2", 0, 360, 624, 1, ""},
      {"ProgressBar1", 0, 408, 617, 33, ""},
  };
  for (const Row& row : rows)
    QTest::newRow(row.name) << QString::fromLatin1(row.name) << QRect(row.x, row.y, row.w, row.h)
                            << QString::fromUtf8(row.text);
}

void MainWindowTest::layout() {
  QFETCH(QString, name);
  QFETCH(QRect, pixels);
  QFETCH(QString, text);
  InputForm form;
  auto* widget = form.findChild<QWidget*>(name);
  QVERIFY(widget);
  QCOMPARE(widget->geometry(), pixels);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    QCOMPARE(label->text(), text);
    // The whole caption fits its box, wrapped as the label wraps it.
    const QRect needed = label->fontMetrics().boundingRect(
        QRect(QPoint(), pixels.size()), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    QVERIFY2(needed.height() <= pixels.height() && needed.width() <= pixels.width(),
             qPrintable(QStringLiteral("needs %1x%2").arg(needed.width()).arg(needed.height())));
  }
  if (auto* box = qobject_cast<QLineEdit*>(widget)) QCOMPARE(box->text(), text);
  if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->text(), text);
}

void MainWindowTest::windowAndStartStates() {
  Session s;
  const InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  QCOMPARE(s.window.windowTitle(), QStringLiteral("Kelvane"));
  QCOMPARE(form.size(), QSize(625, 445));
  QCOMPARE(form.minimumSize(), QSize(625, 445));
  QCOMPARE(form.maximumSize(), QSize(625, 445));
  const Qt::WindowFlags flags = s.window.windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 192, 255));
  QVERIFY(form.autoFillBackground());
  QCOMPARE(form.findChild<QWidget*>(QStringLiteral("Line2"))->palette().color(QPalette::Window),
           QColor(255, 0, 0));
  QCOMPARE(form.findChild<QWidget*>(QStringLiteral("Line1"))->palette().color(QPalette::Window),
           form.palette().color(QPalette::Highlight));
  // Enter goes to Command1 unless another button has the focus.
  QVERIFY(Button(form, 1)->isDefault());
  for (int n = 1; n <= 4; ++n) QVERIFY(Button(form, n)->autoDefault());

  QCOMPARE(QApplication::focusWidget(), Text(form, InputId::SteadyDischarge));
  QCOMPARE(Observe(form), (Moment{false, false, false, true, 0, 100, 0, false}));
  QCOMPARE(form.ProgressBar()->value(), form.ProgressBar()->minimum());  // drawn empty
  QVERIFY(!s.window.resultsWindow());
  QVERIFY(!s.window.plotWindow());
}

void MainWindowTest::tabOrder() {
  Session s("20");
  InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  auto walk = [&form] {
    QStringList names;
    for (int i = 0; i < 20; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      names << QApplication::focusWidget()->objectName();
      if (QApplication::focusWidget() == Text(form, InputId::SteadyDischarge)) break;
    }
    return names;
  };
  QStringList expected = {"Text2",  "Text3",  "Text4",  "Text5",  "Command1", "Command2",
                          "Text6",  "Text7",  "Text8",  "Text9",  "Text10",   "Text11",
                          "Text12", "Text13", "Text14", "Text15", "Text16",   "Text1"};
  QCOMPARE(walk(), expected);

  form.calculate();
  Text(form, InputId::SteadyDischarge)->setFocus();
  expected.insert(expected.indexOf(QStringLiteral("Text16")), QStringLiteral("Command3"));
  QCOMPARE(walk(), expected);  // Command4 never: it stays hidden
}

void MainWindowTest::keysStartCalculate_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<int>("key");
  QTest::newRow("Esc in a text box") << "Text3" << int(Qt::Key_Escape);
  QTest::newRow("Esc on Exit") << "Command2" << int(Qt::Key_Escape);
  QTest::newRow("Enter in a text box") << "Text12" << int(Qt::Key_Return);
  QTest::newRow("keypad Enter in a text box") << "Text16" << int(Qt::Key_Enter);
}

void MainWindowTest::keysStartCalculate() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  Session s("20");
  InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  auto* target = form.findChild<QWidget*>(focus);
  target->setFocus();
  QTest::keyClick(target, Qt::Key(key));
  QCOMPARE(s.dialog.requests.size(), std::size_t{1});
  QVERIFY(Button(form, 3)->isEnabled());
  QVERIFY(form.isVisible());  // Esc on "退出" does not exit
}

void MainWindowTest::calculateStates_data() {
  QTest::addColumn<bool>("chooseName");
  QTest::newRow("a name") << true;
  QTest::newRow("cancel") << false;
}

void MainWindowTest::calculateStates() {
  QFETCH(bool, chooseName);
  Session s("300");
  InputForm& form = s.form;
  const ScriptedDialog& dialog = s.dialog;
  const QString path = s.Path("结果.txt");
  if (chooseName) s.AnswerWith("结果.txt");
  QVERIFY(s.ShowActive());
  BarPaints paints(form);

  form.calculate();

  // Asked for the name: busy, the bar at the end of the march it followed.
  QCOMPARE(dialog.requests.size(), std::size_t{1});
  const SaveDialogSettings& request = dialog.requests[0];
  QCOMPARE(request.presetName, QStringLiteral("计算结果.txt"));
  QCOMPARE(request.title, QStringLiteral("保存输出结果"));
  QCOMPARE(dialog.asked[0], (Moment{false, false, false, true, 0, 300, 300, true}));

  // Before the dialog the bar was drawn with its old range and value, then
  // followed the march step by step.
  QVERIFY(paints.paints.size() > 3);
  QCOMPARE(paints.paints.front(), (Moment{false, false, false, true, 0, 100, 0, true}));
  QCOMPARE(paints.paints[1], (Moment{false, false, false, true, 0, 300, 1, true}));
  for (std::size_t i = 2; i < paints.paints.size(); ++i) {
    if (paints.paints[i].barValue == 300) break;
    QVERIFY(paints.paints[i].barValue > paints.paints[i - 1].barValue);
  }

  // While the file is written (after the march has reached its last step)
  // the bar is redrawn at every line: steps 1, 6, ..., 296, busy all along.
  std::vector<float> written;
  bool marched = false;
  for (const Moment& m : paints.paints) {
    if (!marched) {
      marched = m.barValue == 300;
      continue;
    }
    QVERIFY(m.busy && m.barVisible);
    written.push_back(m.barValue);
  }
  if (chooseName) {
    QCOMPARE(written.size(), std::size_t{60});
    for (std::size_t i = 0; i < written.size(); ++i) QCOMPARE(written[i], float(1 + 5 * i));
    const QByteArray file = ReadAll(path);
    QCOMPARE(file.count("\r\n"), 2 + 60);
  } else {
    QVERIFY(written.empty());
    QVERIFY(!QFile::exists(path));
  }

  // The end: bar hidden, cursor back, output commands enabled (Command4
  // still hidden), the run complete in memory either way.
  const float lastValue = chooseName ? 296 : 300;  // the last line written, or the march's end
  QCOMPARE(Observe(form), (Moment{true, true, false, false, 0, 300, lastValue, false}));
  QVERIFY(!QApplication::overrideCursor());
  QCOMPARE(int(form.Run().StepCount()), 300);
  QCOMPARE(form.Run().TimeSteps(), 300);
}

void MainWindowTest::secondRunBarFollowsItsOwnMarch() {
  Session s("300");
  InputForm& form = s.form;
  s.AnswerWith("a.txt");
  QVERIFY(s.ShowActive());
  form.calculate();
  QCOMPARE(form.ProgressBar()->Value(), 296.0f);

  // A shorter run: the bar first shows the old 296 of 300, then the new
  // range from the march's first step; never the old run's value.
  Text(form, InputId::StepCount)->setText(QStringLiteral("100"));
  BarPaints paints(form);
  form.calculate();
  QVERIFY(!paints.paints.empty());
  QCOMPARE(paints.paints.front(), (Moment{true, true, false, true, 0, 300, 296, true}));
  QCOMPARE(paints.paints.at(1), (Moment{true, true, false, true, 0, 100, 1, true}));
  QCOMPARE(s.dialog.asked.at(1), (Moment{true, true, false, true, 0, 100, 100, true}));
  QCOMPARE(form.ProgressBar()->Value(), 96.0f);
  QVERIFY(!form.ProgressBar()->isVisible());
}

void MainWindowTest::realSaveDialog() {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("existing.txt"));
  {
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old content that is longer than nothing\r\n");
  }
  InputForm form;  // with the real save dialog
  Text(form, InputId::StepCount)->setText(QStringLiteral("30"));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form, 5000));
  ModalWatchdog watchdog;
  QString seen;
  // As the user would: the whole path typed into the name box, then Save
  // (after the watchdog's turn, so that the question it asks can be seen).
  auto typePath = [&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return modal->close(), void();
    seen = dialog->windowTitle() + QLatin1Char('|') +
           QFileInfo(dialog->selectedFiles().value(0)).fileName() + QLatin1Char('|') +
           dialog->nameFilters().join(QLatin1Char(';')) + QLatin1Char('|') +
           dialog->selectedNameFilter() + QLatin1Char('|') +
           QString::number(dialog->acceptMode() == QFileDialog::AcceptSave) +
           QString::number(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
  };
  QString question;
  auto answer = [&](QMessageBox::StandardButton button) {
    return [&question, button](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return modal->close(), void();
      question = box->text();
      box->button(button)->click();
    };
  };

  // The existing file: the toolkit asks before replacing it; yes replaces.
  watchdog.Expect(typePath);
  watchdog.Expect(answer(QMessageBox::Yes));
  form.calculate();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QCOMPARE(seen, QStringLiteral("保存输出结果|计算结果.txt|所有文件 (*);(*.txt);(*.dat)|"
                                "所有文件 (*)|10"));
  QVERIFY2(question.contains(QStringLiteral("existing.txt")), qPrintable(question));
  const QByteArray replaced = ReadAll(path);
  QVERIFY(replaced.startsWith(QByteArray::fromHex("D4CBCBE3BDE1B9FBCEAAA3BA0D0A")));
  QVERIFY(!replaced.contains("old content"));
  QCOMPARE(replaced.count("\r\n"), 2 + 6);

  // No to the question goes back to the dialog; cancelling there writes
  // nothing, and the run still ends.
  watchdog.Expect(typePath);
  watchdog.Expect(answer(QMessageBox::No));
  watchdog.Expect([](QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  });
  Text(form, InputId::OutputInterval)->setText(QStringLiteral("1"));
  form.calculate();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QCOMPARE(ReadAll(path), replaced);
  QVERIFY(Button(form, 3)->isEnabled());
  QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("existing.txt")});
}

void MainWindowTest::toolkitSpeaksChinese() {
  QTranslator translator;
  QVERIFY(InstallToolkitTranslations(translator));
  QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  QVERIFY(QCoreApplication::removeTranslator(&translator));
}

void MainWindowTest::solverErrorKeepsProgramGoing() {
  Session s("50");
  InputForm& form = s.form;
  const ScriptedDialog& dialog = s.dialog;
  QVERIFY(s.ShowActive());
  form.calculate();
  QVERIFY(Button(form, 3)->isEnabled());

  Text(form, InputId::ForebayArea)->setText(QStringLiteral("0"));
  const InputTexts typed = TypedTexts(form);
  ModalWatchdog watchdog;
  QString title, text;
  Moment whileShown{};
  watchdog.Expect([&](QWidget* modal) {
    whileShown = Observe(form);
    RecordMessage(&title, &text)(modal);
  });
  form.calculate();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));

  QCOMPARE(title, QStringLiteral("Kelvane"));
  const QString head = QStringLiteral("运行时错误 '11':\n\n除数为零\n");
  QVERIFY2(text.startsWith(head) && text.size() > head.size(), qPrintable(text));
  QVERIFY(!text.mid(head.size()).contains(QLatin1Char('\n')));
  // The library's message for the error these texts give: the forebay level
  // of the first marched step divides by the area.
  try {
    SurgeRun run;
    Calculate(typed, run);
    QFAIL("the texts calculate");
  } catch (const RunError& error) {
    QCOMPARE(text, RunErrorMessage(error));
    const ErrorLocation& at = error.location();
    QVERIFY(at.stage == Stage::March);
    QCOMPARE(at.step, 2);
    QCOMPARE(at.node, 6);  // the forebay end of five reaches
    QVERIFY(at.quantity == Quantity::Head);
  }
  // Cursor back and bar hidden already while the message shows; the output
  // commands are off until a run completes; no file was asked for.
  QCOMPARE(whileShown, (Moment{false, false, false, false, 0, 50, 1, false}));
  QCOMPARE(Observe(form), whileShown);
  QVERIFY(!QApplication::overrideCursor());
  QCOMPARE(dialog.requests.size(), std::size_t{1});
  QVERIFY(TypedTexts(form) == typed);
  QVERIFY(form.isVisible());

  // The program goes on: the next good run enables them again.
  Text(form, InputId::ForebayArea)->setText(QStringLiteral("1287.414"));
  form.calculate();
  QCOMPARE(dialog.requests.size(), std::size_t{2});
  QVERIFY(Button(form, 3)->isEnabled() && Button(form, 4)->isEnabled());
}

void MainWindowTest::fileErrorLeavesOutputEnabled() {
  Session s("50");
  InputForm& form = s.form;
  s.AnswerWith("no such folder/结果.txt");
  const QString path = s.dialog.answer;
  QVERIFY(s.ShowActive());
  ModalWatchdog watchdog;
  QString title, text;
  watchdog.Expect(RecordMessage(&title, &text));
  form.calculate();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QCOMPARE(title, QStringLiteral("Kelvane"));
  QVERIFY2(text.startsWith(QStringLiteral("运行时错误 '76':\n\n路径未找到\n")) ||
               text.startsWith(QStringLiteral("运行时错误 '75':\n\n路径/文件访问错误\n")),
           qPrintable(text));
  // The library's message for writing this run there: it names the file,
  // and the window adds its stage.
  try {
    WriteResultFile(form.Run(), 5, path.toStdString(), NoProgress());
    QFAIL("the file was written");
  } catch (const RunError& error) {
    ErrorLocation at = error.location();
    at.stage = Stage::ResultFile;
    QCOMPARE(text, RunErrorMessage(RunError(error.code(), at)));
    QCOMPARE(QString::fromStdString(error.location().file), path);
  }
  // The run itself is complete: as after a normal end.
  QCOMPARE(Observe(form).command3Enabled, true);
  QCOMPARE(Observe(form).command4Enabled, true);
  QCOMPARE(Observe(form).barVisible, false);
  QVERIFY(!QApplication::overrideCursor());
}

void MainWindowTest::ctrlROnlyWhileEnabled() {
  Session s("200");
  InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  QTest::keyClick(Text(form, InputId::SteadyDischarge), Qt::Key_R, Qt::ControlModifier);
  QVERIFY(!s.window.resultsWindow());

  form.calculate();
  QVERIFY(form.isActiveWindow());
  QTest::keyClick(Text(form, InputId::SegmentCount), Qt::Key_R, Qt::ControlModifier);
  QVERIFY(s.window.resultsWindow());
  QVERIFY(s.window.resultsWindow()->isVisible());
  QVERIFY(!Button(form, 4)->isVisible());
}

void MainWindowTest::resultsWindowText() {
  Session s;
  InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  form.calculate();  // the defaults
  s.window.showPlot();
  QVERIFY(!Button(form, 3)->isEnabled());
  s.window.showResults();

  ResultsWindow* results = s.window.resultsWindow();
  QVERIFY(results && results->isVisible());
  QVERIFY(Button(form, 3)->isEnabled());  // the results command enables the plot again
  QVERIFY(!form.ProgressBar()->isVisible());
  QVERIFY(!QApplication::overrideCursor());
  QCOMPARE(results->windowTitle(), QStringLiteral("输出"));
  QPlainTextEdit* box = results->Text1();
  QCOMPARE(box->objectName(), QStringLiteral("Text1"));
  // As high as laid out, and wide enough for every column: nothing to
  // scroll sideways.
  QCOMPARE(results->height(), 520);
  QVERIFY(results->width() >= 607);
  QCOMPARE(box->geometry(), QRect(0, 0, results->width() + 2, 521));
  QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
  // The box follows the window: wider shows more columns, narrower keeps
  // its scroll bars in view.
  for (const QSize size : {QSize(900, 700), QSize(300, 200)}) {
    results->resize(size);
    QCOMPARE(box->geometry(), QRect(0, 0, size.width() + 2, size.height() + 1));
  }
  results->resize(607, 520);
  QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // The fields line up: every character a row can hold is as wide as a space.
  const QFontMetrics metrics(box->font());
  for (QChar c : QStringLiteral("0123456789.-"))
    QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char(' ')));

  SurgeRun copy = form.Run();
  const QString defaults = box->toPlainText();
  QCOMPARE(defaults, TableForWindow(ResultsTableText(copy, TableRange{1, 100, 5}, NoProgress())));
  QStringList lines = Lines(defaults);
  QCOMPARE(lines.size(), 2 + 20);  // steps 1, 6, ..., 96
  QCOMPARE(lines[0], QStringLiteral("计算结果为:"));
  QVERIFY(lines[2].startsWith(QStringLiteral("0.00")));
  QCOMPARE(lines[21].left(4), QString::fromStdString(FormatHundredths(form.Run().StepTime(96)))
                                  .leftJustified(4, QLatin1Char(' '), true));
  QCOMPARE(int(form.Run().FirstOutputStep()), 1);
  QCOMPARE(int(form.Run().LastOutputStep()), 100);

  // The boxes are read afresh: a new range and a fractional interval.
  Text(form, InputId::FirstOutputStep)->setText(QStringLiteral("2"));
  Text(form, InputId::LastOutputStep)->setText(QStringLiteral("40"));
  Text(form, InputId::OutputInterval)->setText(QStringLiteral("2.5"));
  s.window.showResults();
  const QString changed = box->toPlainText();
  lines = Lines(changed);
  QCOMPARE(lines.size(), 2 + 16);  // counters 2, 4.5, ..., 39.5
  QCOMPARE(changed, TableForWindow(ResultsTableText(copy, TableRange{2, 40, 2.5}, NoProgress())));
  QCOMPARE(int(form.Run().LastOutputStep()), 40);

  // A new Calculate hides the results window.
  Text(form, InputId::StepCount)->setText(QStringLiteral("40"));
  form.calculate();
  QVERIFY(!results->isVisible());
}

void MainWindowTest::resultsErrorLeavesWindowsAsTheyWere() {
  Session s("120");
  InputForm& form = s.form;
  QVERIFY(s.ShowActive());
  form.calculate();
  s.window.showResults();
  const QString before = s.window.resultsWindow()->Text1()->toPlainText();
  s.window.showPlot();
  const Moment state = Observe(form);

  Text(form, InputId::LastOutputStep)->setText(QStringLiteral("500"));  // beyond the run's steps
  ModalWatchdog watchdog;
  QString title, text;
  watchdog.Expect(RecordMessage(&title, &text));
  s.window.showResults();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY2(text.startsWith(QStringLiteral("运行时错误 '9':\n\n下标越界\n")), qPrintable(text));
  // The library's message for this table: the row of counter 121, the first
  // step beyond the run, has no time.
  try {
    ResultsTableText(form.Run(), TableRange{1, 500, 5}, NoProgress());
    QFAIL("the table was made");
  } catch (const RunError& error) {
    QCOMPARE(text, RunErrorMessage(error));
    const ErrorLocation& at = error.location();
    QVERIFY(at.stage == Stage::ResultsTable);
    QVERIFY(at.quantity == Quantity::Time);
    QCOMPARE(at.step, 121);
    QCOMPARE(at.value, std::optional<double>(121));
  }
  QCOMPARE(s.window.resultsWindow()->Text1()->toPlainText(), before);
  QVERIFY(s.window.resultsWindow()->isVisible());
  QCOMPARE(Observe(form), state);  // Command3 still off, the bar as it was
}

void MainWindowTest::exitClosesEveryWindow() {
  QApplication::setQuitOnLastWindowClosed(false);  // the test program goes on
  Session s("120");
  QVERIFY(s.ShowActive());
  s.form.calculate();
  s.window.showPlot();
  s.window.showResults();
  QPointer<PlotWindow> plot = s.window.plotWindow();
  QVERIFY(plot && plot->isVisible() && s.window.resultsWindow()->isVisible());
  // The typed step count is not kept: the question is answered 不保存.
  ModalWatchdog watchdog;
  QString question;
  watchdog.Expect(Press(QStringLiteral("不保存"), &question));
  Button(s.form, 2)->click();  // "退出"
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY(!s.form.isVisible());
  QVERIFY(!s.window.resultsWindow()->isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(plot.isNull(), 5000);
}

// The status line: the grid's figures whatever else fails, each item whole
// or left for the tooltip (which lists every one), never cut at the window's
// edge.
void MainWindowTest::statusLineFitsTheWindow_data() {
  QTest::addColumn<QString>("box");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QByteArray>("caseFile");
  QTest::addColumn<QStringList>("expected");  // in the items, in order
  QTest::addColumn<bool>("cut");
  const QStringList grid = {QStringLiteral("时间步长 0.1193 s"), QStringLiteral("计算历时 178.9 s"),
                            QStringLiteral("2L/a 1.193 s")};
  // The period follows the grid's figures; the share of it the run covers
  // and the classic drift are left for the tooltip.
  QTest::newRow("defaults") << QString() << QString() << QByteArray()
                            << (grid + QStringList{QStringLiteral("振荡周期 414.6 s")}) << true;
  QTest::newRow("hydraulic radius 0")
      << QStringLiteral("Text8") << QStringLiteral("0") << QByteArray()
      << (grid + QStringList{QStringLiteral("恒定流算不出")}) << false;
  QTest::newRow("no reach") << QStringLiteral("Text4") << QStringLiteral("0") << QByteArray()
                            << QStringList{QStringLiteral(
                                   "这些输入构不成一次计算：时间步长无从得出")}
                            << false;
  QTest::newRow("event, table and design data")
      << QString() << QString()
      << QByteArray(
             "[pump]\nunits = \"4:-10.4:0:30:10\"\n"
             "[forebay]\narea-table = [[-10, 450], [-5, 1350], [0, 2700]]\n"
             "[design]\nforebay-wall-top = \"-2\"\nforebay-freeboard = \"0.5\"\n")
      << (grid + QStringList{QStringLiteral("设计校核 1 项")}) << true;
}

void MainWindowTest::statusLineFitsTheWindow() {
  QFETCH(QString, box);
  QFETCH(QString, text);
  QFETCH(QByteArray, caseFile);
  QFETCH(QStringList, expected);
  QFETCH(bool, cut);
  Session s;
  QVERIFY(s.ShowActive());
  if (!box.isEmpty()) s.form.findChild<QLineEdit*>(box)->setText(text);
  if (!caseFile.isEmpty()) {
    QFile file(s.Path("case.toml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(caseFile);
    file.close();
    s.window.openCase(s.Path("case.toml"));
  }
  auto* line = s.window.findChild<StatusLine*>(QStringLiteral("RunPreview"));
  QVERIFY(line);
  const QStringList items = line->Items();
  qsizetype from = 0;
  for (const QString& item : expected) {
    const qsizetype at = items.indexOf(item, from);
    QVERIFY2(at >= 0, qPrintable(item + QStringLiteral(" not in ") + items.join(QLatin1Char('|'))));
    from = at + 1;
  }
  QCOMPARE(line->toolTip(), items.join(QLatin1Char('\n')));
  // What is shown fits the line, which fits the window.
  QVERIFY(line->geometry().right() < s.window.statusBar()->width());
  QVERIFY(s.window.statusBar()->width() <= 625);
  QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->contentsRect().width());
  QCOMPARE(line->text().endsWith(QStringLiteral("…")), cut);
  if (cut) {
    // Whole items first, up to the mark.
    QVERIFY(line->text().startsWith(items.first(3).join(QStringLiteral("　"))));
  } else {
    QCOMPARE(line->text(), items.join(QStringLiteral("　")));
  }
}

KELVANE_UI_TEST(main_window, MainWindowTest);
#include "main_window_test.moc"
