// The operating cases in the chart windows: after the book is run, the
// 过程线, 包络线 and 前池水位变化线 windows draw the cases picked, one
// colour each with its name in the legend, their tables show the first case
// picked, and the exports follow the choice; the cases run again, or taken
// out of the table, show in the open windows at once.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <string>
#include <vector>

#include "charts/chart_scene.h"
#include "report/calculation_document.h"
#include "session.h"
#include "support/files.h"
#include "test_classes.h"
#include "ui/case_picker.h"
#include "ui/cases_dialog.h"
#include "ui/main_window.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

// A case file of the default station with two operating cases, opened,
// calculated over 60 steps and its book run; every save dialog answers
// `answer`.
struct CasesSession {
  QTemporaryDir folder;
  MainWindow window;
  QString answer;
  BookInput book;  // its runs are the windows'
  CasesSession() {
    window.SetSaveFileChooser([this](const SaveDialogSettings&) { return answer; });
    const QString file = Path("cases.toml");
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)) qFatal("cannot write the case file");
    out.write(
        "title = \"设计库水位事故停泵\"\n"
        "[[cases]]\nname = \"最高库水位事故停泵\"\nreservoir-level = \"-3.5\"\n"
        "[[cases]]\nname = \"设计库水位正常停机\"\npump-ramp-time = 120\n");
    out.close();
    window.openCase(file);
    Text(*window.inputForm(), InputId::StepCount)->setText(QStringLiteral("60"));
    answer = Path("result.txt");
    window.inputForm()->calculate();
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
  void RunBook() { book = window.RunBook(); }
  // The 工况表 as the user works it from the menu: `act` gets the dialog.
  bool EditCases(const std::function<void(CasesDialog&)>& act) {
    ModalWatchdog watchdog;
    watchdog.Expect([act](QWidget* modal) {
      auto* dialog = qobject_cast<CasesDialog*>(modal);
      if (!dialog) return modal->close(), void();
      act(*dialog);
    });
    window.findChild<QAction*>(QStringLiteral("EditCases"))->trigger();
    return QTest::qWaitFor([&] { return watchdog.Clean(); }, 5000);
  }
  void Calculate(const char* name) {
    answer = Path(name);
    window.inputForm()->calculate();
  }
  std::string Export(QWidget& w, const char* name, bool image) {
    answer = Path(name);
    QMetaObject::invokeMethod(&w, image ? "exportImage" : "exportCsv");
    return test::ReadFile(answer.toStdString());
  }
};

const char* const kNames[] = {"设计库水位事故停泵", "最高库水位事故停泵", "设计库水位正常停机"};

QStringList PickerNames(const CasePicker& picker) {
  QStringList names;
  for (int k = 0; k < picker.count(); ++k) names << picker.item(k)->text();
  return names;
}

std::vector<std::string> LegendTexts(const ChartScene& scene) {
  std::vector<std::string> texts;
  for (const LegendEntry& entry : scene.legend) texts.push_back(entry.text);
  return texts;
}

// The last step's value of each line, as the chart holds it.
std::vector<double> LastValues(const ChartData& data) {
  std::vector<double> values;
  for (const ChartLine& line : data.lines) values.push_back(line.y.back());
  return values;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

class CaseChartsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void historyDrawsThePickedCases();
  void envelopeDrawsThePickedCases();
  void forebayWindowDrawsThePickedCases();
  void openWindowsFollowTheCasesRunAgain();
};

// Before the book the window shows the run alone and no picker; after it the
// cases are listed, the main window's own first and alone ticked; two cases
// ticked draw one line each in its case's colour, the legend naming them,
// and the CSV and SVG hold both; a new Calculate takes the cases away.
void CaseChartsTest::historyDrawsThePickedCases() {
  CasesSession s;
  s.window.showHistory();
  HistoryWindow* window = s.window.historyWindow();
  QVERIFY(window);
  QVERIFY(!window->Cases()->isVisibleTo(window));
  const std::string alone = s.Export(*window, "alone.csv", false);

  s.RunBook();
  QVERIFY(window->Cases()->isVisibleTo(window));
  QCOMPARE(PickerNames(*window->Cases()),
           QStringList({QString::fromUtf8(kNames[0]), QString::fromUtf8(kNames[1]),
                        QString::fromUtf8(kNames[2])}));
  QCOMPARE(window->Cases()->Picked(), std::vector<int>{0});
  QCOMPARE(window->Chart()->Data().lines.size(), std::size_t(1));
  QCOMPARE(s.Export(*window, "base.csv", false), alone);

  struct Pick {
    std::vector<int> cases;
    std::vector<int> nodes;
  };
  const Pick picks[] = {{{0, 2}, {6}}, {{1, 2}, {6}}, {{0, 1, 2}, {1, 6}}};
  for (const Pick& pick : picks) {
    window->SetNodes(pick.nodes);
    window->Cases()->SetPicked(pick.cases);
    const ChartData& data = window->Chart()->Data();
    const ChartScene& scene = window->Chart()->Scene();
    QCOMPARE(data.lines.size(), pick.cases.size() * pick.nodes.size());
    std::vector<std::string> legend;
    for (std::size_t k = 0; k < pick.cases.size(); ++k) {
      const int c = pick.cases[k];
      const SurgeRun& run = *s.book.cases[c].input.run;
      for (std::size_t n = 0; n < pick.nodes.size(); ++n) {
        const std::size_t line = k * pick.nodes.size() + n;
        legend.push_back(kNames[c] + std::string(" ") +
                         NodeLabel(GeometryOf(s.book.cases[c].input.outcome), pick.nodes[n]));
        QCOMPARE(scene.lines[line].colour, kLineColours[c]);
        QCOMPARE(data.lines[line].y.back(), double(run.Head(pick.nodes[n], 60)));
      }
    }
    QCOMPARE(LegendTexts(scene), legend);

    const std::string csv = s.Export(*window, "cases.csv", false);
    QVERIFY2(csv.starts_with("case,step,time_s,"), csv.substr(0, 80).c_str());
    QCOMPARE(Count(csv, "\n"), 1 + 60 * pick.cases.size());
    for (int c : pick.cases)
      QCOMPARE(Count(csv, std::string("\n") + kNames[c] + ","), std::size_t(60));
    const std::string svg = s.Export(*window, "cases.svg", true);
    for (int c : pick.cases) QVERIFY2(svg.find(kNames[c]) != std::string::npos, kNames[c]);
  }

  // A new Calculate of the same case leaves the cases' runs standing.
  s.Calculate("again.txt");
  QVERIFY(window->Cases()->isVisibleTo(window));
  window->Cases()->SetPicked({0});
  QCOMPARE(window->Chart()->Data().lines.size(), std::size_t(2));
  window->close();
}

// The envelope of two cases: the highest and lowest of each in its colour,
// the table and the CSV follow the pick; the main window's case alone draws
// its own chart and exports as before the book.
void CaseChartsTest::envelopeDrawsThePickedCases() {
  CasesSession s;
  s.window.showEnvelope();
  EnvelopeWindow* window = s.window.envelopeWindow();
  QVERIFY(window);
  QVERIFY(!window->Cases()->isVisibleTo(window));
  const std::size_t lines = window->Chart(EnvelopeOf::Head)->Data().lines.size();
  const std::string csv = s.Export(*window, "alone.csv", false);

  s.RunBook();
  QVERIFY(window->Cases()->isVisibleTo(window));
  QCOMPARE(window->Chart(EnvelopeOf::Head)->Data().lines.size(), lines);
  QCOMPARE(s.Export(*window, "base.csv", false), csv);
  // The picture the window exports is titled as the book's chart is.
  const std::string own = ReportChartData(s.book.cases[0].input, ReportChart::HeadEnvelope).title;
  QVERIFY2(s.Export(*window, "base.svg", true).find(own) != std::string::npos, own.c_str());

  window->Cases()->SetPicked({1, 2});
  const ChartScene& scene = window->Chart(EnvelopeOf::Head)->Scene();
  std::vector<std::string> legend;
  for (int c : {1, 2})
    for (const char* line : {" 最高水头", " 最低水头"})
      legend.push_back(kNames[c] + std::string(line));
  QCOMPARE(LegendTexts(scene), legend);
  for (std::size_t k = 0; k < 4; ++k) {
    QCOMPARE(scene.lines[k].colour, kLineColours[1 + k / 2]);
    // A case's highest and lowest heads told apart by their dashes.
    QCOMPARE(scene.lines[k].style, k % 2 ? LineStyle::Dashed : LineStyle::Solid);
  }
  const std::string svg = s.Export(*window, "cases.svg", true);
  QVERIFY2(svg.find("各工况沿程最高、最低水头") != std::string::npos, svg.substr(0, 400).c_str());
  QVERIFY(svg.find("各工况比较") == std::string::npos);
  QCOMPARE(window->Chart(EnvelopeOf::Velocity)->Data().lines.size(), std::size_t(4));
  // The table is the first case picked's.
  const RunSummary& first = s.book.cases[1].input.summary;
  QTableWidget* table = window->Table(EnvelopeOf::Head);
  QCOMPARE(table->rowCount(), first.nodes);
  QCOMPARE(table->item(first.nodes - 1, 3)->text().toDouble(),
           std::round(double(first.envelope.back().highestHead.value) * 1000) / 1000);
  const std::string cases = s.Export(*window, "cases.csv", false);
  QVERIFY2(cases.starts_with("case,node,"), cases.substr(0, 80).c_str());
  QCOMPARE(Count(cases, "\n"), std::size_t(1 + 2 * first.nodes));
  QVERIFY(cases.find(std::string("\n") + kNames[0] + ",") == std::string::npos);
  window->close();
}

// The 前池水位变化线 window: the picture before the book; after it the
// cases' forebay levels in one chart, one colour each named by its case,
// the picked case alone with its forebay levels, and the exports of what is
// shown.
void CaseChartsTest::forebayWindowDrawsThePickedCases() {
  CasesSession s;
  // The results table (which opens the plot command) within the 60 steps.
  Text(*s.window.inputForm(), InputId::LastOutputStep)->setText(QStringLiteral("60"));
  s.window.showResults();
  s.window.showPlot();
  PlotWindow* window = s.window.plotWindow();
  QVERIFY(window);
  QVERIFY(!window->ShowsCases());
  QVERIFY(window->Picture1()->isVisibleTo(window));
  const QSize pictureSize = window->size();

  s.RunBook();
  QVERIFY(window->ShowsCases());
  QVERIFY(!window->Picture1()->isVisibleTo(window));
  QCOMPARE(PickerNames(*window->Cases()),
           QStringList({QString::fromUtf8(kNames[0]), QString::fromUtf8(kNames[1]),
                        QString::fromUtf8(kNames[2])}));
  const ChartData& alone = window->Chart()->Data();
  QCOMPARE(alone.title, std::string("前池水位过程线"));
  QCOMPARE(alone.yTitle, std::string("水位 (m)"));
  QCOMPARE(alone.lines.size(), std::size_t(1));

  for (const std::vector<int>& pick : {std::vector<int>{0, 2}, std::vector<int>{0, 1, 2}}) {
    window->Cases()->SetPicked(pick);
    const ChartScene& scene = window->Chart()->Scene();
    std::vector<std::string> legend;
    std::vector<double> last;
    for (std::size_t k = 0; k < pick.size(); ++k) {
      const int c = pick[k];
      legend.push_back(kNames[c]);
      const SurgeRun& run = *s.book.cases[c].input.run;
      last.push_back(run.Head(run.GridNodes(), 60));
      QCOMPARE(scene.lines[k].colour, kLineColours[c]);
    }
    QCOMPARE(LegendTexts(scene), legend);
    QCOMPARE(LastValues(window->Chart()->Data()), last);
    QCOMPARE(window->Chart()->Data().yTitle, std::string("水位 (m)"));

    const std::string csv = s.Export(*window, "forebay.csv", false);
    QVERIFY2(csv.starts_with("case,step,time_s,H6_m\n"), csv.substr(0, 80).c_str());
    QCOMPARE(Count(csv, "\n"), 1 + 60 * pick.size());
    const std::string svg = s.Export(*window, "forebay.svg", true);
    for (int c : pick) QVERIFY2(svg.find(kNames[c]) != std::string::npos, kNames[c]);
    QVERIFY(svg.find("各工况前池水位过程线") != std::string::npos);
  }
  // The cases all taken out of the table: the picture again, at its own
  // size.
  QVERIFY(s.EditCases([](CasesDialog& d) {
    d.Table()->selectAll();
    d.removeRows();
    d.findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
  }));
  QVERIFY(!window->ShowsCases());
  QVERIFY(window->Picture1()->isVisibleTo(window));
  QCOMPARE(window->size(), pictureSize);
  window->close();
}

// 计算全部工况 shows its cases in the open windows at once; a Calculate of
// another main-window case runs the cases again over it while they are
// shown; a case taken out of the table leaves the pickers.
void CaseChartsTest::openWindowsFollowTheCasesRunAgain() {
  CasesSession s;
  s.window.showHistory();
  HistoryWindow* window = s.window.historyWindow();
  QVERIFY(window);
  QVERIFY(!window->Cases()->isVisibleTo(window));

  QVERIFY(s.EditCases([](CasesDialog& d) {
    QTimer::singleShot(60000, &d, &CasesDialog::reject);
    d.findChild<QPushButton*>(QStringLiteral("RunAllButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), 30000);
  }));
  QVERIFY(window->Cases()->isVisibleTo(window));
  QCOMPARE(PickerNames(*window->Cases()).size(), 3);

  // The third case changes the ramp time alone: its steady forebay level is
  // the main window's, whatever the reservoir level.
  window->Cases()->SetPicked({0, 2});
  const std::vector<double> before = {window->Chart()->Data().lines[0].y.front(),
                                      window->Chart()->Data().lines[1].y.front()};
  QCOMPARE(before[1], before[0]);
  Text(*s.window.inputForm(), InputId::ReservoirLevel)->setText(QStringLiteral("-4"));
  s.Calculate("lower.txt");
  QVERIFY(window->Cases()->isVisibleTo(window));
  QCOMPARE(PickerNames(*window->Cases()).size(), 3);
  window->Cases()->SetPicked({0, 2});
  const ChartData& after = window->Chart()->Data();
  QCOMPARE(after.lines[0].y.front(), double(s.window.inputForm()->Run().Head(6, 1)));
  QVERIFY(after.lines[0].y.front() != before[0]);
  QCOMPARE(after.lines[1].y.front(), after.lines[0].y.front());

  // The first operating case taken out of the table.
  QVERIFY(s.EditCases([](CasesDialog& d) {
    d.Table()->setCurrentCell(0, 0);
    d.removeRows();
    d.findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
  }));
  QCOMPARE(PickerNames(*window->Cases()),
           QStringList({QString::fromUtf8(kNames[0]), QString::fromUtf8(kNames[2])}));
  window->close();
}

KELVANE_UI_TEST(case_charts, CaseChartsTest);
#include "case_charts_test.moc"
