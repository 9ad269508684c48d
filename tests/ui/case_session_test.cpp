// The case session: each change of the case is told once, a run reaches the
// windows that show it, and the operating cases' runs leave the windows when
// the design data changes or another run starts.
#include "ui/case_session.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <functional>

#include "session.h"
#include "test_classes.h"
#include "ui/main_window.h"

using namespace kelvane;
using namespace kelvane::ui;

class CaseSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void eachChangeIsToldOnce();
  void unreadableEventsChangeNothing();
  void typingReachesTheSession();
  void completedCaseKeepsTheRunsBoxes();
  void keepsTheDesignDataWithTheEvents();
  void runReachesTheOpenWindows();
  void caseRunsLeaveTheWindows();
};

// Every setter, and what it leaves in the session.
void CaseSessionTest::eachChangeIsToldOnce() {
  struct Row {
    const char* what;
    std::function<void(CaseSession&)> change;
    std::function<bool(const CaseSession&)> inForce;
  };
  DesignTexts design;
  design[DesignId::PumpMinLevel] = "-6";
  EventTexts events;
  events.rampTime = "30";
  Case opened;
  opened.title = "事故停泵";
  opened.texts[InputId::StepCount] = "60";
  const std::vector<OperatingCase> cases = {{"高水位", {{"reservoir-level", "-3.5"}}}};
  InputTexts texts = DefaultInputTexts();
  texts[InputId::StepCount] = "80";
  const Row rows[] = {
      {"texts", [&](CaseSession& s) { s.SetTexts(texts); },
       [&](const CaseSession& s) { return s.Typed().texts == texts; }},
      {"events", [&](CaseSession& s) { QVERIFY(!s.SetEvents(events)); },
       [&](const CaseSession& s) { return s.Typed().events == events; }},
      {"design", [&](CaseSession& s) { s.SetDesign(design); },
       [&](const CaseSession& s) {
         return s.Typed().design == design && s.Prepared().design[DesignId::PumpMinLevel] == -6.0;
       }},
      {"project",
       [](CaseSession& s) {
         ProjectInfo project;
         project.name = "泵站";
         s.SetProject(project);
       },
       [](const CaseSession& s) { return s.Project().name == "泵站"; }},
      {"operating cases", [&](CaseSession& s) { s.SetOperatingCases(cases); },
       [&](const CaseSession& s) { return s.OperatingCases() == cases; }},
      {"whole case", [&](CaseSession& s) { s.SetCase(PrepareCase(opened), {}, cases); },
       [&](const CaseSession& s) {
         return s.Typed() == opened && s.OperatingCases() == cases &&
                s.BaseCaseName() == "事故停泵";
       }},
  };
  for (const Row& row : rows) {
    CaseSession session;
    QSignalSpy changed(&session, &CaseSession::caseChanged);
    row.change(session);
    QVERIFY2(changed.count() == 1, row.what);
    QVERIFY2(row.inForce(session), row.what);
  }
}

void CaseSessionTest::unreadableEventsChangeNothing() {
  CaseSession session;
  EventTexts bad;
  bad.model = "implicit";
  QSignalSpy changed(&session, &CaseSession::caseChanged);
  QVERIFY(session.SetEvents(bad).has_value());
  QCOMPARE(changed.count(), 0);
  QVERIFY(session.Typed().events == EventTexts());
}

// The boxes are the session's texts: each key typed is one change, and
// Calculate runs what the boxes hold.
void CaseSessionTest::typingReachesTheSession() {
  Session s;
  QSignalSpy changed(s.window.Session(), &CaseSession::caseChanged);
  TypeInto(Text(s.form, InputId::StepCount), QStringLiteral("50"));
  QCOMPARE(changed.count(), 3);  // cleared, "5", "50"
  QCOMPARE(s.window.Session()->Typed().texts[InputId::StepCount], std::string("50"));
  s.form.calculate();
  QVERIFY(s.form.CompletedRun());
  QCOMPARE(s.form.CompletedInputs()[InputId::StepCount], std::string("50"));
  QCOMPARE(s.form.Run().StepCount(), 50);
}

// The case of the last complete run, which the book and the operating cases
// are made of: the boxes of that run, every other part of the case in force
// (read as PrepareCase reads it), kept through a run that fails.
void CaseSessionTest::completedCaseKeepsTheRunsBoxes() {
  CaseSession session;
  InputTexts ran = DefaultInputTexts();
  ran[InputId::StepCount] = "50";
  session.SetTexts(ran);
  session.Calculate({});
  QVERIFY(session.CompletedRun());
  InputTexts later = ran;
  later[InputId::StepCount] = "0";  // cannot run
  session.SetTexts(later);
  DesignTexts design;
  design[DesignId::PumpMinLevel] = "-6";
  session.SetDesign(design);
  const PreparedCase& completed = session.CompletedCase();
  QVERIFY(completed.typed.design == design);
  QCOMPARE(completed.design[DesignId::PumpMinLevel], std::optional<double>(-6));
  EventTexts events;
  events.rampTime = "30";
  QVERIFY(!session.SetEvents(events));
  QVERIFY(completed.typed.events == events);
  QCOMPARE(completed.extras.pump.rampTime, 30.0);
  session.Calculate({});
  QVERIFY(!session.CompletedRun());
  QVERIFY(completed.typed.texts == ran);
  QVERIFY(completed.typed.design == design);
  Case opened = session.Typed();
  opened.title = "事故停泵";
  session.SetCase(PrepareCase(opened), {}, {{"高水位", {{"reservoir-level", "-3.5"}}}});
  QCOMPARE(session.CompletedCase().typed.title, std::string("事故停泵"));
  QVERIFY(session.CompletedCase().typed.texts == ran);
  const std::vector<Case> over = session.CasesOverCompletedRun();
  QCOMPARE(over.size(), std::size_t(1));
  QCOMPARE(over[0].texts[InputId::StepCount], std::string("50"));
}

// A change of the model or the pump event keeps the design data in the case
// that runs (the mixed model takes its sections from it).
void CaseSessionTest::keepsTheDesignDataWithTheEvents() {
  Session s;
  DesignTexts design;
  design[DesignId::CulvertWidth] = "4.5";
  s.window.SetDesign(design);
  EventTexts events;
  events.model = "mixed";
  CaseSession& session = *s.window.Session();
  QVERIFY(!session.SetEvents(events));
  QCOMPARE(session.Prepared().extras.model, MarchModel::Mixed);
  QCOMPARE(session.Prepared().design[DesignId::CulvertWidth], std::optional<double>(4.5));
}

// A run made through the session reaches the chart windows that are open:
// the new run's steps, and a failed run's notice.
void CaseSessionTest::runReachesTheOpenWindows() {
  Session s("40");
  s.form.calculate();
  s.window.showHistory();
  s.window.showEnvelope();
  HistoryWindow* history = s.window.historyWindow();
  EnvelopeWindow* envelope = s.window.envelopeWindow();
  QVERIFY(history && envelope);
  const std::size_t before = history->Chart()->Data().lines.at(0).y.size();

  CaseSession& session = *s.window.Session();
  Text(s.form, InputId::StepCount)->setText(QStringLiteral("80"));
  session.Calculate({});
  QVERIFY(session.CompletedRun());
  const std::size_t after = history->Chart()->Data().lines.at(0).y.size();
  QVERIFY2(after > before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
  QVERIFY(!history->Status()->isVisibleTo(history));

  Text(s.form, InputId::StepCount)->setText(QStringLiteral("0"));
  session.Calculate({});
  QVERIFY(!session.CompletedRun());
  for (QLabel* status : {history->Status(), envelope->Status()}) {
    QVERIFY(status->isVisibleTo(status->window()));
    QCOMPARE(status->text(), QStringLiteral("上次计算未完成，没有可显示的结果。"));
  }
}

// The operating cases' runs are shown beside the window's run until the
// design data changes (they were checked against other data) or another run
// starts (they were run over the run replaced).
void CaseSessionTest::caseRunsLeaveTheWindows() {
  QTemporaryDir folder;
  const QString file = folder.filePath(QStringLiteral("cases.toml"));
  QFile out(file);
  QVERIFY(out.open(QIODevice::WriteOnly));
  out.write("[[cases]]\nname = \"高水位\"\nreservoir-level = \"-3.5\"\n");
  out.close();
  MainWindow window;
  window.SetSaveFileChooser([](const SaveDialogSettings&) { return QString(); });
  window.openCase(file);
  Text(*window.inputForm(), InputId::StepCount)->setText(QStringLiteral("40"));
  window.inputForm()->calculate();
  window.showHistory();
  window.RunBook();
  CaseSession& session = *window.Session();
  HistoryWindow* history = window.historyWindow();
  QCOMPARE(session.ChartCases().size(), std::size_t(2));
  QVERIFY(history->Cases()->isVisibleTo(history));

  DesignTexts design;
  design[DesignId::PumpMinLevel] = "-6";
  window.SetDesign(design);
  QVERIFY(session.ChartCases().empty());
  QVERIFY(!history->Cases()->isVisibleTo(history));

  window.RunBook();
  QVERIFY(history->Cases()->isVisibleTo(history));
  std::size_t casesAtStart = 99;
  connect(&session, &CaseSession::runStarted, this,
          [&] { casesAtStart = session.ChartCases().size(); });
  window.inputForm()->calculate();
  QCOMPARE(casesAtStart, std::size_t(0));
}

KELVANE_UI_TEST(case_session, CaseSessionTest);
#include "case_session_test.moc"
