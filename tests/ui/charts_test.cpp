// The menu bar and the chart windows: the menu's states through a Calculate,
// the drawn series against the run's grids, following runs and failures, the
// saved result file without calculating, the caption of a case file.
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QtTest>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "cases/case_file.h"
#include "files/output.h"
#include "session.h"
#include "support/child_process.h"
#include "test_classes.h"
#include "ui/main_window.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QAction* Action(const MainWindow& window, const char* name) {
  return window.findChild<QAction*>(QLatin1String(name));
}

// A window whose save dialog answers with a file in a temporary folder, or
// cancels.
struct WindowSession {
  QTemporaryDir folder;
  MainWindow window;
  QString answer;
  int asked = 0;
  SaveDialogSettings request;  // what the last dialog would show
  explicit WindowSession(const char* steps = nullptr) {
    window.SetSaveFileChooser([this](const SaveDialogSettings& settings) {
      ++asked;
      request = settings;
      return answer;
    });
    if (steps) Text(*window.inputForm(), InputId::StepCount)->setText(QString::fromLatin1(steps));
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
  // A Calculate that fails on a forebay of no area; its message box is
  // answered.
  void FailingCalculate() {
    QLineEdit* area = Text(*window.inputForm(), InputId::ForebayArea);
    const QString kept = area->text();
    area->setText(QStringLiteral("0"));
    ModalWatchdog watchdog;
    QString title, text;
    watchdog.Expect(RecordMessage(&title, &text));
    window.inputForm()->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(watchdog.Clean(), 5000);
    area->setText(kept);
  }
};

struct MenuState {
  bool results, plot, history, envelope, saveResult;
  bool operator==(const MenuState&) const = default;
};
MenuState Menu(const MainWindow& f) {
  return {Action(f, "ShowResults")->isEnabled(), Action(f, "ShowPlot")->isEnabled(),
          Action(f, "ShowHistory")->isEnabled(), Action(f, "ShowEnvelope")->isEnabled(),
          Action(f, "SaveResultFile")->isEnabled()};
}

}  // namespace

namespace QTest {
template <>
char* toString(const MenuState& m) {
  return QTest::toString(QStringLiteral("results %1 plot %2 history %3 envelope %4 save %5")
                             .arg(m.results)
                             .arg(m.plot)
                             .arg(m.history)
                             .arg(m.envelope)
                             .arg(m.saveResult));
}
}  // namespace QTest

class ChartsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void clientAreaKeepsItsSize();
  void menuStatesFollowTheCommands();
  void historySeriesAreTheRunsGrids();
  void manyStepsKeepEveryPeak();
  void windowsFollowRunsAndFailures();
  void historyTicksKeepTheirRoles();
  void historyWithoutNodesAndOfOneStep();
  void resultFileSavedAgainWithoutCalculating();
  void reportOfTheLastCompleteRun();
  void captionAndSaveQuestionOfACaseFile();
  void caseFilesThroughTheLibrary();
  void caseEventsRunAndStayWithTheCase();
  void historyShowsThePumpDischarge();
  void helpNamesEveryBoxWithItsUnit();
};

void ChartsTest::clientAreaKeepsItsSize() {
  WindowSession s;
  s.window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&s.window));
  QCOMPARE(s.window.inputForm()->size(), QSize(625, 445));
  QCOMPARE(s.window.inputForm()->geometry().top(), s.window.menuBar()->geometry().bottom() + 1);
  QVERIFY(!s.window.inputForm()->isWindow());
  QCOMPARE(s.window.windowTitle(), QStringLiteral("Kelvane"));
}

void ChartsTest::menuStatesFollowTheCommands() {
  WindowSession s("50");
  QCOMPARE(Menu(s.window), (MenuState{false, false, false, false, false}));
  s.window.inputForm()->calculate();  // the save dialog cancelled
  QCOMPARE(Menu(s.window), (MenuState{true, true, true, true, true}));
  s.window.showPlot();  // the plot command disables itself
  QCOMPARE(Menu(s.window), (MenuState{true, false, true, true, true}));
  s.FailingCalculate();
  QCOMPARE(Menu(s.window), (MenuState{false, false, false, false, false}));
  s.window.inputForm()->calculate();
  QCOMPARE(Menu(s.window), (MenuState{true, true, true, true, true}));
  s.window.plotWindow()->close();
}

// Fewer steps than pixels: every step is drawn, at its own time, with the
// grid's own value; several nodes overlaid; discharge is velocity × area.
void ChartsTest::historySeriesAreTheRunsGrids() {
  WindowSession s("60");
  s.window.inputForm()->calculate();
  s.window.showHistory();
  HistoryWindow* window = s.window.historyWindow();
  QVERIFY(window);
  QVERIFY(QTest::qWaitForWindowExposed(window));
  QCOMPARE(window->Nodes(), std::vector<int>{6});  // the forebay first
  window->SetNodes({1, 6});
  const SurgeRun& run = s.window.inputForm()->Run();
  const double area = s.window.inputForm()->CompletedRun()->parameters.CulvertArea;
  for (ChartQuantity q : {ChartQuantity::Head, ChartQuantity::Discharge}) {
    window->SetQuantity(q);
    QCoreApplication::processEvents();
    const ChartData& data = window->Chart()->Data();
    const ChartScene& scene = window->Chart()->Scene();
    QCOMPARE(scene.lines.size(), std::size_t(2));
    const int nodes[] = {1, 6};
    for (int n = 0; n < 2; ++n) {
      const std::vector<std::size_t>& drawn = scene.lines[n].indices;
      QCOMPARE(drawn.size(), std::size_t(60));
      for (int step = 1; step <= 60; ++step) {
        const double value = q == ChartQuantity::Head ? run.Head(nodes[n], step)
                                                      : double(run.Velocity(nodes[n], step)) * area;
        QCOMPARE(drawn[step - 1], std::size_t(step - 1));
        QCOMPARE(data.lines[n].x[step - 1], double(run.StepTime(step)));
        QCOMPARE(data.lines[n].y[step - 1], value);
      }
    }
    QVERIFY(QString::fromStdString(data.lines[1].name).contains(QStringLiteral("节点 6")));
  }
}

// More steps than pixels: the line holds a few points per pixel column, yet
// its lowest and highest are the node's over every step.
void ChartsTest::manyStepsKeepEveryPeak() {
  WindowSession s("6000");
  s.window.inputForm()->calculate();
  s.window.showHistory();
  HistoryWindow* window = s.window.historyWindow();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  window->SetNodes({3});  // the water hammer rings here: a peak every few steps
  QCoreApplication::processEvents();
  const std::vector<std::size_t>& drawn = window->Chart()->Scene().lines[0].indices;
  const std::vector<double>& values = window->Chart()->Data().lines[0].y;
  const int columns = int(window->Chart()->Scene().plot.width + 0.5);
  QVERIFY2(drawn.size() <= std::size_t(4 * columns + 2), qPrintable(QString::number(drawn.size())));
  const SurgeRun& run = s.window.inputForm()->Run();
  double low = INFINITY, high = -INFINITY, drawnLow = INFINITY, drawnHigh = -INFINITY;
  for (int step = 1; step <= 6000; ++step) {
    low = std::min(low, double(run.Head(3, step)));
    high = std::max(high, double(run.Head(3, step)));
  }
  for (std::size_t k : drawn) {
    drawnLow = std::min(drawnLow, values[k]);
    drawnHigh = std::max(drawnHigh, values[k]);
  }
  QCOMPARE(drawnLow, low);
  QCOMPARE(drawnHigh, high);
  window->close();
}

// After a failed Calculate both windows say so and draw nothing; the next
// complete run is drawn again (here with more reaches: the forebay moves).
void ChartsTest::windowsFollowRunsAndFailures() {
  WindowSession s("40");
  s.window.inputForm()->calculate();
  s.window.showHistory();
  s.window.showEnvelope();
  HistoryWindow* history = s.window.historyWindow();
  EnvelopeWindow* envelope = s.window.envelopeWindow();
  QCOMPARE(envelope->Chart(EnvelopeOf::Head)->Scene().lines.size(), std::size_t(3));
  QCOMPARE(envelope->Table(EnvelopeOf::Head)->rowCount(), 6);
  // Titled as the book titles it: the heads are piezometric.
  QVERIFY(envelope->Chart(EnvelopeOf::Head)
              ->Data()
              .title.starts_with("测压管水头包络线（时段 1 至 40）"));

  s.FailingCalculate();
  for (QLabel* status : {history->Status(), envelope->Status()}) {
    QVERIFY(status->isVisibleTo(status->window()));
    QVERIFY(status->text().contains(QStringLiteral("上次计算未完成")));
  }
  QVERIFY(history->Chart()->Scene().lines.empty());
  QVERIFY(envelope->Chart(EnvelopeOf::Velocity)->Scene().lines.empty());
  QVERIFY(!history->Chart()->Scene().note.text.empty());

  Text(*s.window.inputForm(), InputId::SegmentCount)->setText(QStringLiteral("8"));
  s.window.inputForm()->calculate();
  QVERIFY(!history->Status()->isVisibleTo(history));
  QCOMPARE(history->Nodes(), std::vector<int>{9});  // the forebay, wherever it is now
  const SurgeRun& run = s.window.inputForm()->Run();
  QCOMPARE(history->Chart()->Scene().lines[0].indices.size(), std::size_t(40));
  QCOMPARE(history->Chart()->Data().lines[0].y[39], double(run.Head(9, 40)));
  QCOMPARE(envelope->Table(EnvelopeOf::Head)->rowCount(), 9);
  // The table's highest head of the forebay is the summary's.
  const RunSummary summary = SummarizeRun(run, *s.window.inputForm()->CompletedRun());
  QCOMPARE(envelope->Table(EnvelopeOf::Head)->item(8, 4)->text(),
           QString::number(summary.envelope[8].highestHead.step));
  history->close();
  envelope->close();
}

// A new reach count: the reservoir end and the forebay stay ticked as such,
// another node goes to the node nearest its distance; the list names the two
// ends.
void ChartsTest::historyTicksKeepTheirRoles() {
  WindowSession s("30");
  s.window.inputForm()->calculate();
  s.window.showHistory();
  HistoryWindow* history = s.window.historyWindow();
  auto* list = history->findChild<QListWidget*>(QStringLiteral("Nodes"));
  history->SetNodes({1, 3, 6});
  struct Row {
    const char* reaches;
    std::vector<int> nodes;
  };
  // Node 3 of 5 reaches lies at 0.4 L: node 5 of 10 reaches, then 1.2 reaches
  // of 3 (node 2), which lies at 1.67 reaches of 5 (node 3).
  const Row rows[] = {{"10", {1, 5, 11}}, {"3", {1, 2, 4}}, {"5", {1, 3, 6}}};
  for (const Row& row : rows) {
    Text(*s.window.inputForm(), InputId::SegmentCount)->setText(QString::fromLatin1(row.reaches));
    s.window.inputForm()->calculate();
    QCOMPARE(history->Nodes(), row.nodes);
    QCOMPARE(history->Chart()->Scene().lines.size(), row.nodes.size());
    QVERIFY(list->item(0)->text().endsWith(QStringLiteral("水库")));
    QVERIFY(list->item(list->count() - 1)->text().endsWith(QStringLiteral("前池")));
    for (int k = 1; k + 1 < list->count(); ++k) {
      QVERIFY(!list->item(k)->text().contains(QStringLiteral("水库")) &&
              !list->item(k)->text().contains(QStringLiteral("前池")));
    }
  }
  history->close();
}

// No node ticked: the chart says so and the CSV export is refused with a
// message (no file dialog); a node keeps its colour whatever else is
// ticked; a run of one step draws its point.
void ChartsTest::historyWithoutNodesAndOfOneStep() {
  WindowSession s("30");
  s.window.inputForm()->calculate();
  s.window.showHistory();
  HistoryWindow* history = s.window.historyWindow();
  const unsigned forebay = history->Chart()->Scene().lines.at(0).colour;
  history->SetNodes({1, 3, 6});
  QCOMPARE(history->Chart()->Scene().lines.at(2).colour, forebay);
  const unsigned node3 = history->Chart()->Scene().lines.at(1).colour;
  history->SetNodes({3});
  QCOMPARE(history->Chart()->Scene().lines.at(0).colour, node3);

  history->SetNodes({});
  QVERIFY(history->Chart()->Scene().note.text.find("未勾选节点") != std::string::npos);
  const int asked = s.asked;
  ModalWatchdog watchdog;
  QString title, text;
  watchdog.Expect(RecordMessage(&title, &text));
  history->exportCsv();
  QTRY_VERIFY_WITH_TIMEOUT(watchdog.Clean(), 5000);
  QVERIFY2(text.contains(QStringLiteral("未勾选节点")), qPrintable(text));
  QCOMPARE(s.asked, asked);  // no file asked for, none written

  Text(*s.window.inputForm(), InputId::StepCount)->setText(QStringLiteral("1"));
  history->SetNodes({6});
  s.window.inputForm()->calculate();
  QVERIFY(s.window.inputForm()->CompletedRun());
  const SceneLine& line = history->Chart()->Scene().lines.at(0);
  QCOMPARE(line.points.size(), std::size_t(1));
  QVERIFY(line.markers);
  QVERIFY(history->Chart()->Scene().plot.Contains(line.points[0]));
  history->close();
}

void ChartsTest::resultFileSavedAgainWithoutCalculating() {
  WindowSession s("30");
  s.window.inputForm()->calculate();  // cancelled: no file
  QCOMPARE(s.asked, 1);
  s.answer = s.Path("again.txt");
  Action(s.window, "SaveResultFile")->trigger();
  QCOMPARE(s.asked, 2);
  const RunOutcome* outcome = s.window.inputForm()->CompletedRun();
  std::string expected;
  WriteResultText(
      s.window.inputForm()->Run(), outcome->parameters.OutputInterval,
      [&](std::string_view bytes) { expected += bytes; }, NoProgress());
  QFile file(s.answer);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), QByteArray::fromStdString(expected));
}

// 导出计算书: enabled by a complete run only; the PDF holds the open case's
// title, its file's project names and the boxes as typed for that run, not
// as edited since; a folder
// that does not exist gives the run-time error box and no file.
void ChartsTest::reportOfTheLastCompleteRun() {
  WindowSession s;
  QAction* report = Action(s.window, "ExportReport");
  QVERIFY(!report->isEnabled());
  std::map<std::string, CaseFile> files;
  files["/cases/c.toml"].base = Case{std::string("泵站甲"), std::string("备注")};
  files["/cases/c.toml"].project.calculatedBy = "张三";
  s.window.SetCaseFileAccess({[&](const std::string& path) { return files.at(path); }, {}});
  s.window.openCase(QStringLiteral("/cases/c.toml"));
  Text(*s.window.inputForm(), InputId::StepCount)->setText(QStringLiteral("30"));
  s.window.inputForm()->calculate();  // the result file cancelled
  QVERIFY(report->isEnabled());
  Text(*s.window.inputForm(), InputId::StepCount)->setText(QStringLiteral("40"));

  s.answer = s.Path("计算书.pdf");
  report->trigger();
  QCOMPARE(s.asked, 2);
  QCOMPARE(s.request.nameFilters, (QStringList{QStringLiteral("PDF 文件 (*.pdf)"),
                                               QStringLiteral("OpenDocument 文本 (*.odt)")}));
  QCOMPARE(FilterSuffix(s.request.nameFilters[0]), QStringLiteral("pdf"));
  QFile file(s.answer);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.readAll().startsWith("%PDF-"));
  const test::ProcessResult text =
      test::RunProcess({"/usr/bin/pdftotext", "-enc", "UTF-8", s.answer.toStdString(), "-"});
  QCOMPARE(text.status, 0);
  for (const char* expected : {"泵站甲", "备注", "张三", "“30”"})
    QVERIFY2(text.out.find(expected) != std::string::npos, expected);
  QVERIFY(text.out.find("“40”") == std::string::npos);

  s.answer = s.Path("no such folder/计算书.pdf");
  QString title, message;
  {
    ModalWatchdog watchdog;
    watchdog.Expect(RecordMessage(&title, &message));
    report->trigger();
    QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  }
  QVERIFY2(message.startsWith(QStringLiteral("运行时错误 '")), qPrintable(message));
  QVERIFY(!QFile::exists(s.answer));
  QVERIFY(!QApplication::overrideCursor());

  s.FailingCalculate();
  QVERIFY(!report->isEnabled());
}

// Through an in-memory stand-in for the case-file library: the caption names
// the file and marks it while the inputs differ from it; closing asks only
// then, and cancelling keeps the window.
void ChartsTest::captionAndSaveQuestionOfACaseFile() {
  WindowSession s;
  std::map<std::string, Case> files;
  // Built, not assigned: assigning short literals trips GCC 12's -Wrestrict.
  Case stored{std::string("t"), std::string()};
  std::string oddSteps(" 1 500 ");
  stored.texts[InputId::StepCount].swap(oddSteps);
  files["/cases/a.toml"] = stored;
  s.window.SetCaseFileAccess({});
  QVERIFY(!Action(s.window, "OpenCase")->isEnabled());
  s.window.SetCaseFileAccess(
      {[&](const std::string& path) { return CaseFile{files.at(path)}; },
       [&](const std::string& path, const CaseFile& file) { files[path] = file.base; }});
  QVERIFY(Action(s.window, "OpenCase")->isEnabled());
  s.window.openCase(QStringLiteral("/cases/a.toml"));
  QCOMPARE(Text(*s.window.inputForm(), InputId::StepCount)->text(), QStringLiteral(" 1 500 "));
  QCOMPARE(s.window.windowTitle(), QStringLiteral("a.toml[*] - Kelvane"));
  QVERIFY(!s.window.isWindowModified());

  QLineEdit* steps = Text(*s.window.inputForm(), InputId::StepCount);
  steps->setText(QStringLiteral("100"));
  QVERIFY(s.window.isWindowModified());
  steps->setText(QStringLiteral(" 1 500 "));
  QVERIFY(!s.window.isWindowModified());  // the texts equal the file's again

  steps->setText(QStringLiteral("100"));
  s.window.show();
  {
    ModalWatchdog watchdog;
    watchdog.Expect([](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      box->escapeButton()->click();  // 取消
    });
    QVERIFY(!s.window.close());
    QVERIFY(watchdog.Clean());
  }
  QVERIFY(s.window.isVisible());
  QVERIFY(s.window.saveCase());
  QCOMPARE(files["/cases/a.toml"].texts[InputId::StepCount], std::string("100"));
  QCOMPARE(files["/cases/a.toml"].title, std::string("t"));  // kept
  QVERIFY(!s.window.isWindowModified());
  QVERIFY(s.window.close());  // nothing to ask
}

// The window's case files through the library: saved as typed, opened back
// as typed; a bad file changes nothing and names the file.
void ChartsTest::caseFilesThroughTheLibrary() {
  WindowSession s;
  const QString path = s.Path("odd.toml");
  s.answer = path;
  const char* odd[] = {"41.6m3/s", "", "－４", " 1 500 "};
  const InputId boxes[] = {InputId::SteadyDischarge, InputId::IntakeHeadLoss,
                           InputId::ReservoirLevel, InputId::StepCount};
  for (int k = 0; k < 4; ++k)
    Text(*s.window.inputForm(), boxes[k])->setText(QString::fromUtf8(odd[k]));
  const InputTexts typed = TypedTexts(*s.window.inputForm());
  QVERIFY(s.window.saveCaseAs());
  QCOMPARE(s.window.windowTitle(), QStringLiteral("odd.toml[*] - Kelvane"));

  s.window.newCase();
  QVERIFY(TypedTexts(*s.window.inputForm()) == DefaultInputTexts());
  QCOMPARE(s.window.windowTitle(), QStringLiteral("Kelvane"));
  s.window.openCase(path);
  QVERIFY(TypedTexts(*s.window.inputForm()) == typed);

  QFile bad(s.Path("bad.toml"));
  QVERIFY(bad.open(QIODevice::WriteOnly));
  bad.write("[inputs]\nnot-a-box = \"1\"\n");
  bad.close();
  ModalWatchdog watchdog;
  QString title, text;
  watchdog.Expect(RecordMessage(&title, &text));
  s.window.openCase(bad.fileName());
  QTRY_VERIFY_WITH_TIMEOUT(watchdog.Clean(), 5000);
  QVERIFY2(text.contains(QStringLiteral("bad.toml")), qPrintable(text));
  QVERIFY(TypedTexts(*s.window.inputForm()) == typed);
  QCOMPARE(s.window.CaseFile(), path);
}

// A case with a pump ramp and a forebay area table: the window runs with
// them (another forebay level than the boxes alone), its status line says
// so, 保存算例 writes them back with the file's [project], and 新建 drops
// them.
void ChartsTest::caseEventsRunAndStayWithTheCase() {
  WindowSession s;
  const QString path = s.Path("event.toml");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(
      "[project]\nname = \"某泵站\"\nbasis = [\"甲\", \"乙\"]\n"
      "[pump]\nramp-time = 30\n[forebay]\narea-table = [[-10, 450], [0, 2700]]\n");
  file.close();

  s.window.inputForm()->calculate();
  const float boxesAlone = s.window.inputForm()->Run().Head(6, 1000);
  s.window.openCase(path);
  QVERIFY2(StatusItems(s.window).contains(QStringLiteral("泵流量斜坡")),
           qPrintable(StatusItems(s.window)));
  s.window.inputForm()->calculate();
  QVERIFY(s.window.inputForm()->CompletedRun() != nullptr);
  QVERIFY(s.window.inputForm()->Run().Head(6, 1000) != boxesAlone);

  Text(*s.window.inputForm(), InputId::StepCount)->setText(QStringLiteral("1400"));
  QVERIFY(s.window.saveCase());
  const CaseFile saved = ReadCaseFile(path.toStdString());
  QVERIFY(saved.base.events.rampTime.has_value());
  QVERIFY(saved.base.events.areaTable.has_value());
  QCOMPARE(saved.base.texts[InputId::StepCount], std::string("1400"));
  QCOMPARE(saved.project.name, std::string("某泵站"));
  QVERIFY((saved.project.basis == std::vector<std::string>{"甲", "乙"}));

  s.window.newCase();
  QVERIFY(!StatusItems(s.window).contains(QStringLiteral("泵流量")));
  s.window.inputForm()->calculate();
  QCOMPARE(s.window.inputForm()->Run().Head(6, 1000), boxesAlone);
}

void ChartsTest::helpNamesEveryBoxWithItsUnit() {
  WindowSession s;
  Action(s.window, "ShowHelp")->trigger();
  QTextBrowser* help = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == QStringLiteral("HelpWindow")) help = qobject_cast<QTextBrowser*>(top);
  }
  QVERIFY(help && help->isVisible());
  const QString text = help->toPlainText();
  for (const InputField& field : InputFields()) {
    const QString row =
        QString::fromUtf8(field.caption) + QLatin1Char('\n') +
        (*field.unit ? QString::fromUtf8(field.unit) : QStringLiteral("（无量纲）"));
    QVERIFY2(text.contains(row), qPrintable(row));
  }
  for (const char* window : {"过程线", "包络线", "结果查询", "输出图形"})
    QVERIFY(text.contains(QString::fromUtf8(window)));
  help->close();
}

// 过程线's last quantity: the pump discharge the run used with the culvert's
// inflow, titled with the event; its CSV has both columns.
void ChartsTest::historyShowsThePumpDischarge() {
  WindowSession s("400");
  Case typed;
  typed.events.rampTime = "30";
  s.window.inputForm()->SetCase(PrepareCase(typed));
  s.window.inputForm()->calculate();
  s.window.showHistory();
  HistoryWindow* window = s.window.historyWindow();
  auto* quantity = window->findChild<QComboBox*>(QStringLiteral("Quantity"));
  quantity->setCurrentIndex(quantity->count() - 1);
  const ChartData& data = window->Chart()->Data();
  QCOMPARE(QString::fromStdString(data.title),
           QStringLiteral("泵流量与箱涵入前池流量（泵流量：线性变化 30 s）"));
  QCOMPARE(data.lines.size(), std::size_t(2));
  QCOMPARE(data.lines[0].y.front(), 41.6);
  QCOMPARE(data.lines[0].y.back(), 0.0);  // after the ramp
  QVERIFY(!window->findChild<QListWidget*>(QStringLiteral("Nodes"))->isEnabled());
  s.answer = s.Path("q.csv");
  window->exportCsv();
  QFile csv(s.answer);
  QVERIFY(csv.open(QIODevice::ReadOnly));
  QVERIFY(csv.readLine().startsWith("step,time_s,Q_pump_m3_per_s,Q6_m3_per_s"));
  QVERIFY(csv.readLine().startsWith("1,0,41.6,"));
  window->close();
}

KELVANE_UI_TEST(charts, ChartsTest);
#include "charts_test.moc"
