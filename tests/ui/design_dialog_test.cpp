// The 设计资料 dialog: its boxes are checked as they are typed, 确定 puts the
// data in force for the run's checks (the envelope, the report, the status
// line), 清除 empties the boxes, and the data goes with the case file.
#include "ui/design_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QtTest>

#include "cases/case_file.h"
#include "evaluation/design_checks.h"
#include "session.h"
#include "test_classes.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QLineEdit* DesignBox(const QWidget& dialog, DesignId id) {
  return dialog.findChild<QLineEdit*>(QLatin1String(Field(id).option));
}

bool Tinted(const QLineEdit* box) {
  return box->palette().color(QPalette::Base) != QPalette().color(QPalette::Base);
}

// Types `texts` into the dialog's boxes, then presses the button `caption`.
ModalWatchdog::Answer FillIn(std::vector<std::pair<DesignId, QString>> texts, QString caption) {
  return [texts, caption](QWidget* modal) {
    auto* dialog = qobject_cast<DesignDialog*>(modal);
    if (!dialog) return modal->close(), void();
    for (const auto& [id, text] : texts) {
      TypeInto(DesignBox(*dialog, id), text);
    }
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      if (button->text() == caption) return button->click();
    }
    dialog->reject();
  };
}

}  // namespace

class DesignDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void boxesAreCheckedAsTyped_data();
  void boxesAreCheckedAsTyped();
  void acceptedDataChecksTheRun();
  void soffitAboveTheStartIsTold();
  void dataGoesWithTheCase();
};

void DesignDialogTest::boxesAreCheckedAsTyped_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("tinted");
  QTest::addColumn<QString>("tip");  // what the tooltip holds
  const int height = int(DesignId::CulvertHeight);
  QTest::newRow("empty") << height << QString() << false << QStringLiteral("箱涵净高（m）</nobr>");
  QTest::newRow("blanks") << height << QStringLiteral("   ") << false
                          << QStringLiteral("箱涵净高（m）</nobr>");
  QTest::newRow("whole") << height << QStringLiteral("3.5") << false << QStringLiteral("读作 3.5");
  QTest::newRow("partly read") << height << QStringLiteral("12.5abc") << true
                               << QStringLiteral("读作 12.5<br>从 “abc” 起未读入");
  QTest::newRow("zero height") << height << QStringLiteral("0") << true
                               << QStringLiteral("应大于 0");
  QTest::newRow("typographic minus") << int(DesignId::PumpMinLevel) << QStringLiteral("−5") << true
                                     << QStringLiteral("看起来是全角数字或非 ASCII 减号");
}

void DesignDialogTest::boxesAreCheckedAsTyped() {
  QFETCH(int, item);
  QFETCH(QString, typed);
  QFETCH(bool, tinted);
  QFETCH(QString, tip);
  DesignDialog dialog({});
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QLineEdit* box = dialog.Box(DesignId(item));
  TypeInto(box, typed);
  QCOMPARE(Tinted(box), tinted);
  QVERIFY2(box->toolTip().contains(tip), qPrintable(box->toolTip()));
  // No other box is touched.
  for (const DesignField& field : DesignFields()) {
    if (field.id != DesignId(item)) QVERIFY(!Tinted(dialog.Box(field.id)));
  }
  // What the dialog gives is the text as typed; an empty box is not given.
  const DesignTexts texts = dialog.Texts();
  if (typed.trimmed().isEmpty()) {
    QVERIFY(!texts.Any());
  } else {
    QCOMPARE(QString::fromStdString(texts[DesignId(item)].value()), typed);
  }
}

// 确定 puts the data in force: the status line says so, the run's report
// carries it and its summary gets the 校核 section, the envelope window
// draws the culvert and marks where it drains.
void DesignDialogTest::acceptedDataChecksTheRun() {
  Session s("300");
  QVERIFY(s.ShowActive());
  QVERIFY(!StatusItems(s.window).contains(QStringLiteral("设计")));
  ModalWatchdog watchdog;
  watchdog.Expect(FillIn({{DesignId::CulvertInvertUpstream, QStringLiteral("-8")},
                          {DesignId::CulvertInvertDownstream, QStringLiteral("-8")},
                          {DesignId::CulvertHeight, QStringLiteral("3.2")},
                          {DesignId::PumpMinLevel, QStringLiteral("-6")}},
                         QStringLiteral("确定")));
  s.window.findChild<QAction*>(QStringLiteral("EditDesign"))->trigger();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QCOMPARE(s.window.Design()[DesignId::CulvertHeight], std::optional<std::string>("3.2"));
  QVERIFY2(StatusItems(s.window).contains(QStringLiteral("设计校核 3 项")),
           qPrintable(StatusItems(s.window)));

  s.form.calculate();  // the result file's dialog cancelled
  QVERIFY(s.form.CompletedRun());
  const ReportInput report = s.window.RunReport();
  QVERIFY(report.prepared->typed.design == s.window.Design());
  const DesignCheckReport checks =
      CheckDesign(report.prepared->design, report.summary, *report.run, report.outcome);
  QCOMPARE(checks.rows.size(), std::size_t(3));
  const std::string summary = SummaryText(report.summary, *report.run, &checks);
  QVERIFY(summary.find("\n校核\n") != std::string::npos);

  s.window.showEnvelope();
  EnvelopeWindow* envelope = s.window.envelopeWindow();
  QVERIFY(envelope);
  auto lineNames = [envelope] {
    QStringList names;
    for (const ChartLine& line : envelope->Chart(EnvelopeOf::Head)->Data().lines)
      names << QString::fromStdString(line.name);
    return names;
  };
  QVERIFY2(lineNames().contains(QStringLiteral("箱涵顶板")), qPrintable(lineNames().join(u',')));
  QVERIFY(!envelope->Chart(EnvelopeOf::Head)->Data().spans.empty());
  QVERIFY(envelope->Chart(EnvelopeOf::Velocity)->Data().spans.empty());
  QVERIFY2(envelope->Checks()->text().contains(
               QStringLiteral("校核　不满足：箱涵满流；无效：前池最低水位、水柱分离")),
           qPrintable(envelope->Checks()->text()));

  // 清除 empties the boxes and leaves the dialog open; with 确定 the
  // envelope is the plain one again.
  const std::size_t plainLines =
      EnvelopeChart(report.summary, *report.run, GeometryOf(report.outcome), EnvelopeOf::Head)
          .lines.size();
  bool stayedOpen = false;
  watchdog.Expect([&stayedOpen](QWidget* modal) {
    auto* dialog = qobject_cast<DesignDialog*>(modal);
    if (!dialog) return modal->close(), void();
    dialog->ClearButton()->click();
    stayedOpen = dialog->isVisible();
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  s.window.editDesign();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY(stayedOpen);
  QVERIFY(!s.window.Design().Any());
  QCOMPARE(envelope->Chart(EnvelopeOf::Head)->Data().lines.size(), plainLines);
  QVERIFY(envelope->Chart(EnvelopeOf::Head)->Data().spans.empty());
  QVERIFY(envelope->Checks()->isHidden());
  QVERIFY(!StatusItems(s.window).contains(QStringLiteral("设计")));
}

// A soffit above the head the run starts with: the culvert's three boxes
// are tinted with the reason as it is typed, and once in force the status
// line says so.
void DesignDialogTest::soffitAboveTheStartIsTold() {
  Session s("300");
  QVERIFY(s.ShowActive());
  const std::vector<std::pair<DesignId, QString>> culvert = {
      {DesignId::CulvertInvertUpstream, QStringLiteral("-10")},
      {DesignId::CulvertInvertDownstream, QStringLiteral("-14.415")},
      {DesignId::CulvertHeight, QStringLiteral("9")},
      {DesignId::PumpMinLevel, QStringLiteral("-6")}};
  {
    DesignDialog dialog({});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const auto& [id, text] : culvert) TypeInto(dialog.Box(id), text);
    for (const DesignField& field : DesignFields()) {
      const bool concerned = field.id == DesignId::CulvertInvertUpstream ||
                             field.id == DesignId::CulvertInvertDownstream ||
                             field.id == DesignId::CulvertHeight;
      QCOMPARE(Tinted(dialog.Box(field.id)), concerned);
      if (concerned) {
        QVERIFY2(dialog.Box(field.id)->toolTip().contains(QStringLiteral("箱涵自计算开始即未满流")),
                 qPrintable(dialog.Box(field.id)->toolTip()));
      }
    }
    // A soffit below the head: nothing to tell.
    TypeInto(dialog.Box(DesignId::CulvertHeight), QStringLiteral("5"));
    QVERIFY(!Tinted(dialog.Box(DesignId::CulvertInvertUpstream)));
  }
  ModalWatchdog watchdog;
  watchdog.Expect(FillIn(culvert, QStringLiteral("确定")));
  s.window.findChild<QAction*>(QStringLiteral("EditDesign"))->trigger();
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY2(StatusItems(s.window).contains(
               QStringLiteral("箱涵起始未满流：第 1 时段节点 1 的水头 -4.340 m")),
           qPrintable(StatusItems(s.window)));
}

// Saved with the case, read back by 打开算例, dropped by 新建 — without a
// question once saved; a change of the design data alone marks the case.
void DesignDialogTest::dataGoesWithTheCase() {
  Session s;
  const QString path = s.Path("design.toml");
  s.window.SetSaveFileChooser([&path](const SaveDialogSettings&) { return path; });
  DesignTexts given;
  given[DesignId::CulvertHeight] = "12.5abc";
  given[DesignId::PumpMinLevel] = "-6";
  s.window.SetDesign(given);
  QVERIFY(s.window.saveCaseAs());
  QVERIFY(ReadCaseFile(path.toStdString()).base.design == given);
  QVERIFY(!s.window.isWindowModified());

  DesignTexts changed = given;
  changed[DesignId::PumpMinLevel] = "-7";
  s.window.SetDesign(changed);
  QVERIFY(s.window.isWindowModified());
  s.window.SetDesign(given);
  QVERIFY(!s.window.isWindowModified());

  ModalWatchdog watchdog;  // nothing to ask: the case is saved
  s.window.newCase();
  QVERIFY(!s.window.Design().Any());
  s.window.openCase(path);
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
  QVERIFY(s.window.Design() == given);
}

KELVANE_UI_TEST(design_dialog, DesignDialogTest);
#include "design_dialog_test.moc"
