// The 工况 dialogs: every row checked as it is typed (tint, tooltip, 确定
// refused), a block pasted from a spreadsheet, the unit-sequence generator,
// and 确定 / 取消 / 清除 through the main window's menu, with the run the
// batch mode makes of the saved case as the reference.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>
#include <string>
#include <vector>

#include "cases/case_file.h"
#include "dialog_session.h"
#include "evaluation/report.h"
#include "format/number_format.h"
#include "model/run_preview.h"
#include "run/mixed_case.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "test_classes.h"
#include "ui/flag_tint.h"
#include "ui/forebay_table_dialog.h"
#include "ui/pump_event_dialog.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

// Opens the channel example (mixed model), with `forebayArea` typed when
// not empty; the culvert box's rigid-column forecast of the case.
std::optional<RunLengthPreview> OpenChannelExample(EventSession& s, const QString& forebayArea) {
  s.window.openCase(QStringLiteral(KELVANE_EXAMPLES "/channel-pump-start.toml"));
  if (!forebayArea.isEmpty())
    s.window.inputForm()->InputBox(InputId::ForebayArea)->setText(forebayArea);
  const PreparedCase& prepared = s.window.Session()->Prepared();
  return PreviewRunLength(MixedRunTexts(prepared), prepared.extras);
}

}  // namespace

class EventDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void badRowIsTintedAndNamed();
  void pastedBlockFillsTheTable();
  void generatorFillsTheSchedule();
  void generatorAsksBeforeReplacingTheUsersRows();
  void menuKeysWorkInTheDialog();
  void okAppliesCancelLeavesClearDrops();
  void exportedBookIsTheBatchModes();
  void modelMenuIsSavedAndReopened();
  void mixedModelIsTheMenusThird();
  void eventWarningsAreTheBatchModes_data();
  void eventWarningsAreTheBatchModes();
  void runLengthCommandsSetTheStepCount();
  void mixedRunLengthDecidesTheChannelExample_data();
  void mixedRunLengthDecidesTheChannelExample();
  void mixedStatusPeriodIsTheSummarys_data();
  void mixedStatusPeriodIsTheSummarys();
};

// Rows typed one after another; the last one is bad in the named column, its
// cell tinted, its tooltip and the message line naming row and column, and
// 确定 disabled until it is mended.
void EventDialogsTest::badRowIsTintedAndNamed() {
  struct Case {
    bool pump;
    std::vector<std::pair<const char*, const char*>> rows;
    int column;  // of the last row, 1-based
    const char* words;
    const char* mended;
  };
  const Case cases[] = {
      {true, {{"0", "41.6"}, {"10", "2O"}}, 2, "泵流量过程第 2 行“流量 (m³/s)”列", "20"},
      {true, {{"0", "41.6"}, {"10", "20"}, {"5", "0"}}, 1, "早于上一行的 10", "50"},
      {true, {{"-1", "3"}}, 1, "第 1 行“时间 (s)”列", "1"},
      {false, {{"-10", "450"}, {"-10", "900"}}, 1, "前池水位–面积表第 2 行“水位 (m)”列", "0"},
      {false, {{"-10", "450"}, {"0", "0"}}, 2, "应大于 0", "2700"},
  };
  for (const Case& c : cases) {
    PumpEventDialog pump(EventTexts{}, DefaultInputTexts());
    ForebayTableDialog forebay(EventTexts{}, DefaultInputTexts());
    QDialog& dialog = c.pump ? static_cast<QDialog&>(pump) : forebay;
    EventTable& editor = c.pump ? *pump.Schedule() : *forebay.AreaTable();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog, 5000));
    QTableWidget& table = *editor.Table();
    const int last = static_cast<int>(c.rows.size()) - 1;
    for (int r = 0; r <= last; ++r) {
      Click(editor, "AddRow");
      TypeCell(table, r, 0, c.rows[r].first);
      TypeCell(table, r, 1, c.rows[r].second);
    }
    const QString words = QString::fromUtf8(c.words);
    QVERIFY2(Tinted(table, last, c.column - 1), c.words);
    QVERIFY2(!Tinted(table, last, 2 - c.column), c.words);
    QVERIFY2(table.item(last, 0)->toolTip().contains(words),
             qPrintable(table.item(last, 0)->toolTip()));
    QVERIFY2(editor.Message()->text().contains(words), qPrintable(editor.Message()->text()));
    QVERIFY(!Named<QPushButton>(dialog, "OkButton")->isEnabled());
    dialog.accept();  // refused
    QVERIFY(dialog.isVisible());

    TypeCell(table, last, c.column - 1, c.mended);
    QVERIFY2(!Tinted(table, last, c.column - 1), c.words);
    QVERIFY(editor.Message()->text().isEmpty());
    QVERIFY(Named<QPushButton>(dialog, "OkButton")->isEnabled());
    QVERIFY(dialog.isVisible());  // Enter ends a cell's edit, not the dialog
  }
}

// A block copied from a spreadsheet (a heading, tabs, CRLF) fills the
// table from the current cell; a block wider than the table is refused.
void EventDialogsTest::pastedBlockFillsTheTable() {
  ForebayTableDialog dialog(EventTexts{}, DefaultInputTexts());
  EventTable& editor = *dialog.AreaTable();
  QTableWidget& table = *editor.Table();
  // Ctrl+V on the table, as a spreadsheet's copy leaves the clipboard.
  dialog.show();
  dialog.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dialog, 5000));
  table.setFocus();
  QApplication::clipboard()->setText(
      QStringLiteral("水位\t面积\r\n-10\t450\r\n-5\t1200\r\n0\t2700\r\n"));
  QTest::keyClick(&table, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(CellTexts(table),
           (QStringList{QStringLiteral("-10"), QStringLiteral("450"), QStringLiteral("-5"),
                        QStringLiteral("1200"), QStringLiteral("0"), QStringLiteral("2700")}));
  QVERIFY(editor.Faults().empty());
  QCOMPARE(dialog.Events().areaTable->size(), std::size_t(3));

  // One column over the areas from row 2 on, adding a row.
  table.setCurrentCell(1, 1);
  editor.Paste(QStringLiteral("1300\n2800\n3000\n"));
  QCOMPARE(table.rowCount(), 4);
  QCOMPARE(table.item(3, 1)->text(), QStringLiteral("3000"));
  QVERIFY(Tinted(table, 3, 0));  // its level is missing
  QVERIFY(!Named<QPushButton>(dialog, "OkButton")->isEnabled());

  const QStringList before = CellTexts(table);
  editor.Paste(QStringLiteral("1\t2\n"));
  QCOMPARE(CellTexts(table), before);
  QVERIFY2(editor.Message()->text().contains(QStringLiteral("未粘贴")),
           qPrintable(editor.Message()->text()));
}

// The generator fills the schedule of the unit sequence from the steady
// discharge, and the dialog keeps the sequence as such until the table is
// edited; a bad field is tinted and named.
void EventDialogsTest::generatorFillsTheSchedule() {
  struct Case {
    const char* steady;
    const char* fields[5];  // k, q, t0, interval, ramp
    bool stop;
    QStringList cells;
    const char* units;
  };
  const Case cases[] = {
      {"41.6",
       {"2", "20.8", "0", "30", "10"},
       true,
       {"0", "41.6", "10", "20.8", "30", "20.8", "40", "0"},
       "2:-20.8:0:30:10"},
      {"0",
       {"3", "10", "5", "20", "0"},
       false,
       {"5", "0", "5", "10", "25", "10", "25", "20", "45", "20", "45", "30"},
       "3:10:5:20:0"},
  };
  const char* names[] = {"UnitCount", "UnitDischarge", "FirstUnitTime", "UnitInterval",
                         "UnitRampTime"};
  for (const Case& c : cases) {
    InputTexts inputs = DefaultInputTexts();
    inputs[InputId::SteadyDischarge] = c.steady;
    PumpEventDialog dialog(EventTexts{}, inputs);
    for (int k = 0; k < 5; ++k)
      Named<QLineEdit>(dialog, names[k])->setText(QString::fromUtf8(c.fields[k]));
    Named<QComboBox>(dialog, "UnitDirection")->setCurrentIndex(c.stop ? 0 : 1);
    Click(dialog, "GenerateSchedule");
    QCOMPARE(CellTexts(*dialog.Schedule()->Table()), c.cells);
    QVERIFY(dialog.Acceptable());
    QCOMPARE(dialog.Events().units, std::optional<std::string>(c.units));
    QVERIFY(!dialog.Events().schedule);

    // Reopened from the sequence, the same points; an edit makes it a
    // schedule of the table's rows.
    PumpEventDialog again(dialog.Events(), inputs);
    QCOMPARE(CellTexts(*again.Schedule()->Table()), c.cells);
    TypeCell(*again.Schedule()->Table(), 0, 1, "7");
    QVERIFY(!again.Events().units);
    QCOMPARE(again.Events().schedule->size(), c.cells.size() / 2);
  }

  PumpEventDialog dialog(EventTexts{}, DefaultInputTexts());
  Named<QLineEdit>(dialog, "UnitCount")->setText(QStringLiteral("2.5"));
  Click(dialog, "GenerateSchedule");
  QCOMPARE(dialog.Schedule()->Table()->rowCount(), 0);
  QVERIFY(Named<QLineEdit>(dialog, "UnitCount")->palette().color(QPalette::Base) ==
          FlaggedBackColor());
  QVERIFY2(Named<QLabel>(dialog, "GeneratorMessage")->text().contains(QStringLiteral("“台数”项")),
           qPrintable(Named<QLabel>(dialog, "GeneratorMessage")->text()));
}

// 生成流量过程 over rows that are not its own (typed, or opened with the case)
// asks first: 取消 keeps them, 替换 replaces them; over an empty table or its
// own rows it asks nothing. An edit of its rows clears its "已生成" note.
void EventDialogsTest::generatorAsksBeforeReplacingTheUsersRows() {
  const TextTable users = {{1, {"0", "41.6"}}, {2, {"5", "0"}}};
  const QStringList usersCells = {"0", "41.6", "5", "0"};
  const QStringList generated = {"0", "41.6", "10", "20.8", "30", "20.8", "40", "0"};
  struct Case {
    const char* name;
    bool opened;         // the rows come with the case
    bool typed;          // the rows are put in after the dialog opened
    const char* answer;  // the question's button pressed; null: no question
  };
  const Case cases[] = {
      {"empty table", false, false, nullptr},
      {"typed, kept", false, true, "取消"},
      {"typed, replaced", false, true, "替换"},
      {"opened with the case, replaced", true, false, "替换"},
  };
  for (const Case& c : cases) {
    EventTexts events;
    if (c.opened) events.schedule = users;
    PumpEventDialog dialog(events, DefaultInputTexts());
    if (c.typed) dialog.Schedule()->SetRows(users);
    auto* note = Named<QLabel>(dialog, "GeneratorMessage");
    ModalWatchdog watchdog;
    QString question;
    if (c.answer) watchdog.Expect(Press(QString::fromUtf8(c.answer), &question));
    Click(dialog, "GenerateSchedule");
    QVERIFY2(watchdog.Clean(), qPrintable(QString::fromUtf8(c.name) + watchdog.Report()));
    if (c.answer) QVERIFY2(question.contains(QStringLiteral("已有 2 行")), qPrintable(question));
    const bool replaced = !c.answer || QString::fromUtf8(c.answer) == QStringLiteral("替换");
    QCOMPARE(CellTexts(*dialog.Schedule()->Table()), replaced ? generated : usersCells);
    QCOMPARE(note->text().startsWith(QStringLiteral("已生成 4 点")), replaced);
    if (!replaced) continue;
    // Its own rows: generated again without a question; edited, the note goes.
    Click(dialog, "GenerateSchedule");
    QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
    TypeCell(*dialog.Schedule()->Table(), 0, 1, "7");
    QVERIFY2(note->text().isEmpty(), qPrintable(note->text()));
  }
}

// The keys of the main window's menus inside a 工况 dialog: F1 shows the
// manual at the 工况 section over the dialog; Ctrl+S puts the dialog's entries
// in force and saves the case, or, while 确定 is refused, leaves the dialog
// open.
void EventDialogsTest::menuKeysWorkInTheDialog() {
  struct Case {
    const char* rampTime;
    bool saved;
  };
  for (const Case& c : {Case{"30", true}, Case{"abc", false}}) {
    EventSession s;
    s.answer = s.Path("case.toml");
    bool helpShown = false, openAfterSave = false;
    s.Edit<PumpEventDialog>("EditPumpEvent", [&](PumpEventDialog& dialog) {
      // The dialog's keys reach it once it is the active window.
      dialog.activateWindow();
      if (!QTest::qWaitForWindowActive(&dialog, 5000)) return dialog.reject();
      QTest::keyClick(&dialog, Qt::Key_F1);
      auto* help = dialog.findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
      helpShown = help && help->isVisible() && help->verticalScrollBar()->value() > 0;
      if (help) help->close();
      Named<QLineEdit>(dialog, "RampTime")->setText(QString::fromUtf8(c.rampTime));
      QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
      openAfterSave = dialog.isVisible();
      if (openAfterSave) dialog.reject();
    });
    QVERIFY(helpShown);
    QCOMPARE(openAfterSave, !c.saved);
    QCOMPARE(QFileInfo::exists(s.answer), c.saved);
    if (c.saved) {
      QCOMPARE(ReadCaseFile(s.answer.toStdString()).base.events.rampTime,
               std::optional<std::string>(c.rampTime));
    }
  }
}

// 确定 puts the dialog's event in force: the status line names it, the run
// differs from the sudden change and is, byte for byte, the batch mode's run
// of the case the window saves. 取消 leaves everything; 清除 goes back to the
// boxes alone.
void EventDialogsTest::okAppliesCancelLeavesClearDrops() {
  EventSession s;
  const std::string instant = s.Calculate("instant.txt");
  QVERIFY(!instant.empty());

  s.Edit<PumpEventDialog>("EditPumpEvent", [](PumpEventDialog& d) {
    Click(d, "GenerateSchedule");  // two units of 20.8 stop 30 s apart
    Click(d, "OkButton");
  });
  QVERIFY2(s.Status().contains(QStringLiteral("机组启闭序列：2 台")), qPrintable(s.Status()));
  const std::string windowRun = s.Calculate("window.txt");
  QVERIFY(!windowRun.empty());
  QVERIFY(windowRun != instant);

  s.answer = s.Path("case.toml");
  QVERIFY(s.window.saveCaseAs());
  const test::ProcessResult batch =
      test::RunProcess({KELVANE_EXE, "--batch", "--case", s.answer.toStdString(), "--output",
                        s.Path("batch.txt").toStdString()});
  QCOMPARE(batch.status, 0);
  QVERIFY(test::ReadFile(s.Path("batch.txt").toStdString()) == windowRun);

  // 取消 after changing everything: nothing changes.
  const QString status = s.Status();
  s.Edit<PumpEventDialog>("EditPumpEvent", [](PumpEventDialog& d) {
    Named<QLineEdit>(d, "RampTime")->setText(QStringLiteral("30"));
    d.Schedule()->Paste(QStringLiteral("0\t41.6\n"));
    Click(d, "CancelButton");
  });
  QCOMPARE(s.Status(), status);
  QVERIFY(!s.window.isWindowModified());
  QVERIFY(s.Calculate("again.txt") == windowRun);

  s.Edit<ForebayTableDialog>("EditForebayTable", [](ForebayTableDialog& d) {
    d.AreaTable()->Paste(QStringLiteral("-10\t450\n0\t2700\n"));
    Click(d, "OkButton");
  });
  QVERIFY2(s.Status().contains(QStringLiteral("前池水位–面积表：2 点")), qPrintable(s.Status()));
  QVERIFY(s.window.isWindowModified());

  for (const char* action : {"EditForebayTable", "EditPumpEvent"})
    s.Edit<QDialog>(action, [](QDialog& d) { Click(d, "ClearButton"); });
  QVERIFY2(!s.Status().contains(QStringLiteral("前池水位")) &&
               !s.Status().contains(QStringLiteral("机组")),
           qPrintable(s.Status()));
  QVERIFY(s.Calculate("cleared.txt") == instant);
}

// A case file with operating cases, opened, calculated and exported in the
// window, gives the book the batch mode writes of it: the same text, every
// case named.
void EventDialogsTest::exportedBookIsTheBatchModes() {
  EventSession s;
  const QString file = s.Path("cases.toml");
  {
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(
        "title = \"设计库水位事故停泵\"\n[project]\nname = \"某泵站工程\"\n"
        "[design]\nforebay-wall-top = \"-2.4\"\nforebay-freeboard = \"0.5\"\n"
        "[[cases]]\nname = \"最高库水位事故停泵\"\nreservoir-level = \"-3.5\"\n"
        "[[cases]]\nname = \"设计库水位正常停机\"\npump-ramp-time = 120\n");
  }
  s.window.openCase(file);
  QVERIFY(!s.Calculate("result.txt").empty());
  const std::string book = ExportedBookOfBatch(s, file);
  QVERIFY(!book.empty());
  for (const char* name :
       {"某泵站工程", "设计库水位事故停泵", "最高库水位事故停泵", "设计库水位正常停机"})
    QVERIFY2(book.find(name) != std::string::npos, name);
}

// 工况 → 计算模型: one model checked; 平衡模型 puts its march in force (the
// status line names it), is saved as the case file's [model] kind, which the
// batch mode runs alike, and comes back checked when the file is opened.
void EventDialogsTest::modelMenuIsSavedAndReopened() {
  EventSession s;
  QAction* classic = Named<QAction>(s.window, "Model_classic");
  QAction* balanced = Named<QAction>(s.window, "Model_balanced");
  QVERIFY(classic && balanced);
  QVERIFY(classic->isChecked() && !balanced->isChecked());
  const std::string classicRun = s.Calculate("classic.txt");
  balanced->trigger();
  QVERIFY(balanced->isChecked() && !classic->isChecked());
  QVERIFY2(s.Status().contains(QStringLiteral("计算模型：平衡模型")), qPrintable(s.Status()));
  QVERIFY2(!s.Status().contains(QStringLiteral("经典模型：")), qPrintable(s.Status()));
  const std::string balancedRun = s.Calculate("balanced.txt");
  QVERIFY(!balancedRun.empty() && balancedRun != classicRun);

  s.answer = s.Path("model.toml");
  QVERIFY(s.window.saveCaseAs());
  const std::string saved = test::ReadFile(s.answer.toStdString());
  QVERIFY2(saved.find("[model]\nkind = \"balanced\"") != std::string::npos, saved.c_str());
  const test::ProcessResult batch =
      test::RunProcess({KELVANE_EXE, "--batch", "--case", s.answer.toStdString(), "--output",
                        s.Path("batch.txt").toStdString()});
  QCOMPARE(batch.status, 0);
  QVERIFY(test::ReadFile(s.Path("batch.txt").toStdString()) == balancedRun);

  const QString file = s.answer;
  s.window.newCase();
  QVERIFY(classic->isChecked() && !balanced->isChecked());
  s.window.openCase(file);
  QVERIFY(balanced->isChecked() && !classic->isChecked());
  QVERIFY(s.Calculate("reopened.txt") == balancedRun);
  // Back to the classic model: the file's text then says so.
  classic->trigger();
  QVERIFY(s.window.isWindowModified());
  QVERIFY(s.Calculate("classic-again.txt") == classicRun);
}

// The free-surface model is the menu's third: checked alone, named in the
// status line, saved as its kind and checked again when the file is opened.
void EventDialogsTest::mixedModelIsTheMenusThird() {
  EventSession s;
  auto* menu = Named<QMenu>(s.window, "ModelMenu");
  QVERIFY(menu);
  QStringList names;
  for (const QAction* a : menu->actions()) names << a->objectName();
  QCOMPARE(names, (QStringList{QStringLiteral("Model_classic"), QStringLiteral("Model_balanced"),
                               QStringLiteral("Model_mixed")}));
  QAction* mixed = menu->actions().back();
  // The section, read by the free-surface model alone: offered with it.
  auto* sections = Named<QMenu>(s.window, "SectionMenu");
  QVERIFY(sections);
  QAction* channel = Named<QAction>(s.window, "Section_channel");
  QVERIFY(channel && Named<QAction>(s.window, "Section_box"));
  for (const QAction* a : sections->actions()) QVERIFY(!a->isEnabled() && !a->isChecked());
  auto* form = s.window.inputForm();
  form->InputBox(InputId::CulvertArea)->setText(QStringLiteral("0"));
  const QColor tinted = form->InputBox(InputId::CulvertArea)->palette().color(QPalette::Base);
  mixed->trigger();
  for (const QAction* a : menu->actions()) QCOMPARE(a->isChecked(), a == mixed);
  for (const QAction* a : sections->actions()) QVERIFY(a->isEnabled() && !a->isChecked());
  channel->trigger();
  for (const QAction* a : sections->actions()) QCOMPARE(a->isChecked(), a == channel);
  QVERIFY2(s.Status().contains(QStringLiteral("断面形式：明渠（梯形断面）")),
           qPrintable(s.Status()));
  // The section gives the wetted area and hydraulic radius: their boxes are
  // greyed and untinted whatever they hold, their tooltips say so; the
  // forebay's box is still read.
  for (InputId id : {InputId::CulvertArea, InputId::HydraulicRadius}) {
    const QLineEdit* box = form->InputBox(id);
    QVERIFY(!box->isEnabled());
    QVERIFY2(box->toolTip().contains(QStringLiteral("由断面给出")), qPrintable(box->toolTip()));
    QVERIFY(box->palette().color(QPalette::Base) != tinted);
  }
  QVERIFY(form->InputBox(InputId::ForebayArea)->isEnabled());
  QVERIFY2(s.Status().contains(QStringLiteral("计算模型：自由水面与混合流模型")),
           qPrintable(s.Status()));
  s.answer = s.Path("mixed.toml");
  QVERIFY(s.window.saveCaseAs());
  const std::string saved = test::ReadFile(s.answer.toStdString());
  QVERIFY2(saved.find("[model]\nkind = \"mixed\"") != std::string::npos, saved.c_str());
  QVERIFY2(saved.find("\nsection = \"channel\"") != std::string::npos, saved.c_str());
  s.window.newCase();
  QVERIFY(!mixed->isChecked());
  QVERIFY(!channel->isChecked() && !channel->isEnabled());
  QVERIFY(form->InputBox(InputId::CulvertArea)->isEnabled());
  s.window.openCase(s.answer);
  QVERIFY(mixed->isChecked());
  QVERIFY(channel->isChecked());
  QVERIFY(!form->InputBox(InputId::HydraulicRadius)->isEnabled());
}

// A pump event that runs the pumps backwards or gives an exponent without a
// ramp: the window warns of it in the batch mode's words, in the status line
// and in the 泵流量过程 dialog, whose exponent box is tinted with it.
void EventDialogsTest::eventWarningsAreTheBatchModes_data() {
  QTest::addColumn<QByteArray>("caseFile");
  QTest::addColumn<int>("count");
  QTest::addColumn<bool>("exponentTinted");
  QTest::newRow("reverse flow") << QByteArray(
                                       "[pump]\nschedule = [[0, 41.6], [10, -5], [20, -2]]\n")
                                << 2 << false;
  QTest::newRow("exponent alone") << QByteArray("[pump]\nramp-exponent = 2\n") << 1 << true;
  QTest::newRow("none") << QByteArray("[pump]\nramp-time = 30\nramp-exponent = 2\n") << 0 << false;
}

void EventDialogsTest::eventWarningsAreTheBatchModes() {
  QFETCH(QByteArray, caseFile);
  QFETCH(int, count);
  QFETCH(bool, exponentTinted);
  EventSession s;
  const std::string path = s.Path("warned.toml").toStdString();
  test::WriteFile(path, caseFile.toStdString());
  const test::ProcessResult batch = test::RunProcess(
      {KELVANE_EXE, "--batch", "--case", path, "--output", s.Path("out.txt").toStdString()});
  QCOMPARE(batch.status, 0);
  QStringList warnings;
  for (const QString& line : QString::fromStdString(batch.err).split(QLatin1Char('\n'))) {
    if (line.startsWith(QStringLiteral("kelvane: 警告: ")))
      warnings << line.mid(QStringLiteral("kelvane: 警告: ").size());
  }
  QCOMPARE(warnings.size(), count);
  s.window.openCase(QString::fromStdString(path));
  for (const QString& warning : warnings) {
    QVERIFY2(s.Status().contains(QStringLiteral("警告：") + warning), qPrintable(s.Status()));
  }
  QString summary;
  bool tinted = false;
  s.Edit<PumpEventDialog>("EditPumpEvent", [&](PumpEventDialog& d) {
    summary = Named<QLabel>(d, "Summary")->text();
    auto* exponent = Named<QLineEdit>(d, "RampExponent");
    tinted = exponent->palette().color(QPalette::Base) != QPalette().color(QPalette::Base);
    d.reject();
  });
  QCOMPARE(summary.contains(QStringLiteral("警告：")), count > 0);
  if (count > 0) QVERIFY2(summary.contains(warnings.front()), qPrintable(summary));
  QCOMPARE(tinted, exponentTinted);
}

// 工况 → 计算时长: each command puts the step count it names in the box as
// typed text, from the rigid column's forecast of the case in force; a count
// beyond the most a run can have is shown, not offered.
void EventDialogsTest::runLengthCommandsSetTheStepCount() {
  EventSession s;
  auto* menu = Named<QMenu>(s.window, "RunLengthMenu");
  QVERIFY(menu);
  QLineEdit* steps = s.window.inputForm()->InputBox(InputId::StepCount);
  const std::optional<RunLengthPreview> preview = PreviewRunLength(DefaultInputTexts(), {});
  QVERIFY(preview);
  emit menu->aboutToShow();
  Named<QAction>(s.window, "RunLength_2")->trigger();
  QCOMPARE(steps->text(), QString::number(preview->StepsForPeriods(2)));
  QVERIFY2(s.Status().contains(QStringLiteral("振荡周期 ")), qPrintable(s.Status()));
  emit menu->aboutToShow();
  QAction* decide = Named<QAction>(s.window, "RunLengthToDecide");
  QVERIFY2(decide->text().contains(QString::number(*preview->StepsToDecide())),
           qPrintable(decide->text()));
  decide->trigger();
  QCOMPARE(steps->text(), QString::number(*preview->StepsToDecide()));

  // A hundred reaches: three periods need more steps than a run has.
  s.window.inputForm()->InputBox(InputId::SegmentCount)->setText(QStringLiteral("100"));
  emit menu->aboutToShow();
  QAction* three = Named<QAction>(s.window, "RunLength_3");
  QVERIFY(!three->isEnabled());
  QVERIFY2(three->text().contains(QStringLiteral("超过 32766")), qPrintable(three->text()));
}

// 工况 → 计算时长 under the mixed model on the channel example: the forebay
// checks wait for the surge's round trip after the pump start, which the
// rigid column of the culvert box alone does not see (with a smaller
// forebay its extremes come well before the surge is back). The count the
// menu offers decides every check; one fewer leaves them 未定, and so does
// the box column's count wherever it falls short.
void EventDialogsTest::mixedRunLengthDecidesTheChannelExample_data() {
  QTest::addColumn<QString>("forebayArea");  // "" as the example has it
  QTest::newRow("example") << QString();
  QTest::newRow("smaller forebay") << QStringLiteral("600");
}

void EventDialogsTest::mixedRunLengthDecidesTheChannelExample() {
  QFETCH(QString, forebayArea);
  EventSession s;
  const std::optional<RunLengthPreview> box = OpenChannelExample(s, forebayArea);
  const PreparedCase& prepared = s.window.Session()->Prepared();
  QCOMPARE(prepared.extras.model, MarchModel::Mixed);
  QVERIFY(box && box->StepsToDecide());
  const long long boxSteps = *box->StepsToDecide();
  emit Named<QMenu>(s.window, "RunLengthMenu")->aboutToShow();
  QAction* decide = Named<QAction>(s.window, "RunLengthToDecide");
  QVERIFY(decide && decide->isEnabled());
  decide->trigger();
  QLineEdit* steps = s.window.inputForm()->InputBox(InputId::StepCount);
  const long long offered = steps->text().toLongLong();
  QVERIFY2(offered != boxSteps, qPrintable(steps->text()));
  struct Row {
    long long steps;
    bool decided;
  };
  const Row rows[] = {{offered, true}, {offered - 1, false}, {boxSteps, boxSteps >= offered}};
  for (const Row& row : rows) {
    steps->setText(QString::number(row.steps));
    s.Calculate("out.txt");
    // Judged as the window's envelope and the book judge the run.
    const CaseRun& run = s.window.Session()->LastRun();
    QVERIFY(run.Complete());
    const DesignCheckReport checks =
        CheckDesign(prepared.design, SummarizeRun(run.run, run.outcome), run.run, run.outcome);
    QVERIFY(!checks.rows.empty());
    QStringList undecided;
    for (const CheckRow& check : checks.rows) {
      if (check.verdict == CheckVerdict::Undetermined)
        undecided << QString::fromUtf8(CheckItemName(check.kind));
    }
    QVERIFY2(undecided.isEmpty() == row.decided,
             qPrintable(QString::number(row.steps) + QLatin1Char(' ') + undecided.join(u'、')));
  }
}

// The status line's period of a mixed case is its summary's (the model's
// own column at step 1), not the culvert box's, also after an edit.
void EventDialogsTest::mixedStatusPeriodIsTheSummarys_data() {
  mixedRunLengthDecidesTheChannelExample_data();
}

void EventDialogsTest::mixedStatusPeriodIsTheSummarys() {
  QFETCH(QString, forebayArea);
  EventSession s;
  const std::optional<RunLengthPreview> box = OpenChannelExample(s, forebayArea);
  QVERIFY(box);
  s.Calculate("out.txt");
  const CaseRun& run = s.window.Session()->LastRun();
  QVERIFY(run.Complete());
  const RunSummary summary = SummarizeRun(run.run, run.outcome);
  QVERIFY(summary.oscillation);
  const auto period = [](double seconds) {
    return QStringLiteral("振荡周期 %1 s").arg(QString::fromStdString(SignificantText(seconds, 4)));
  };
  QVERIFY(period(summary.oscillation->period) != period(box->oscillation.period));
  QTRY_VERIFY2(s.Status().contains(period(summary.oscillation->period)), qPrintable(s.Status()));
  QVERIFY2(!s.Status().contains(period(box->oscillation.period)), qPrintable(s.Status()));
}

KELVANE_UI_TEST(event_dialogs, EventDialogsTest);
#include "event_dialogs_test.moc"
