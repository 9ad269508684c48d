// The 过程线 and 包络线 windows of free-surface runs: a pump start on an open
// channel and on a box culvert whose forebay it draws below the outlet's
// soffit. The envelope's table carries each node's invert, depths and regime,
// the channel's chart its water surface and banks; the discharge is the
// section's. With KELVANE_PICTURES naming a folder the windows are saved
// there as PNGs.
#include <QtTest>
#include <cmath>

#include "charts/chart_data.h"
#include "run/run_case.h"
#include "support/mixed_cases.h"
#include "ui/envelope_window.h"
#include "ui/history_window.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

// The texts of a table's header row.
QStringList Headers(const QTableWidget* table) {
  QStringList headers;
  for (int c = 0; c < table->columnCount(); ++c)
    headers << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text()
                                               : QString());
  return headers;
}

// Saves `window` as `name` in the pictures folder, when one is given.
void Picture(QWidget& window, const char* name) {
  const QByteArray folder = qgetenv("KELVANE_PICTURES");
  if (folder.isEmpty()) return;
  window.show();
  QCoreApplication::processEvents();
  QVERIFY(
      window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name)));
}

}  // namespace

class MixedWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsShowTheSection_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("regimes");  // of the nodes, in order
    QTest::addColumn<QString>("design");   // a line the head chart draws
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("checks");  // the window's line of verdicts
    // The time history of node 3 and the forebay, and the name of the heads
    // in the list of quantities.
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("heads");
    QTest::newRow("channel") << 0 << QStringLiteral("明流 明流 明流 明流 明流 明流")
                             << QStringLiteral("引渠堤顶") << QStringLiteral("mixed-channel")
                             << QStringLiteral("校核　未定：引渠安全超高、渠末涌波高度")
                             << QStringLiteral("水位过程线（模型：混合流） 水位 (m)")
                             << QStringLiteral("水位 (m)");
    // The forebay falls below the outlet's soffit, but the culvert runs out
    // faster than air could run in: it stays full.
    QTest::newRow("box, forebay below the outlet")
        << 1 << QStringLiteral("满流 满流 满流 满流 满流 满流") << QStringLiteral("箱涵顶板")
        << QStringLiteral("mixed-box")
        << QStringLiteral("校核　不满足：箱涵满流；满足：前池最低水位、水柱分离")
        << QStringLiteral("水头过程线（模型：混合流） 水头 (m)") << QStringLiteral("水头 (m)");
  }

  void windowsShowTheSection() {
    QFETCH(int, which);
    QFETCH(QString, regimes);
    QFETCH(QString, design);
    QFETCH(QString, picture);
    QFETCH(QString, checks);
    QFETCH(QString, history);
    QFETCH(QString, heads);
    const PreparedCase prepared =
        PrepareCase(which == 0 ? test::PumpStartOnChannel() : test::PumpStartDrainingBox());
    const CaseRun done = RunCase(prepared);
    QVERIFY(done.Complete());
    const FreeSurfaceRecord& f = *done.outcome.freeSurface;

    EnvelopeWindow envelope;
    envelope.ShowRun(done.run, done.outcome, prepared.design);
    const QTableWidget* table = envelope.Table(EnvelopeOf::Head);
    const QStringList headers = Headers(table);
    QCOMPARE(headers.size(), 14);
    QCOMPARE(headers.mid(9),
             (QStringList{QStringLiteral("底高程 (m)"), QStringLiteral("初始水深 (m)"),
                          QStringLiteral("最大水深 (m)"), QStringLiteral("最小水深 (m)"),
                          QStringLiteral("流态")}));
    QCOMPARE(table->rowCount(), int(f.nodes.size()));
    QStringList words;
    for (int k = 0; k < table->rowCount(); ++k) {
      // The depths are the heads' over the invert.
      const double highestHead = table->item(k, 3)->text().toDouble();
      const double invert = table->item(k, 9)->text().toDouble();
      QVERIFY(std::fabs(table->item(k, 11)->text().toDouble() - (highestHead - invert)) < 2e-3);
      words << table->item(k, 13)->text();
    }
    if (!regimes.isEmpty()) QCOMPARE(words.join(QLatin1Char(' ')), regimes);
    if (regimes.isEmpty()) QVERIFY(words.contains(QStringLiteral("满流与明流交替")));
    QCOMPARE(envelope.Table(EnvelopeOf::Velocity)->columnCount(), 9);
    bool drawn = false;
    for (const ChartLine& line : envelope.Chart(EnvelopeOf::Head)->Data().lines)
      drawn = drawn || QString::fromStdString(line.name) == design;
    QVERIFY(drawn);
    // A check beyond the model or not yet decided is not shown as met.
    QCOMPARE(envelope.Checks()->text(), checks);
    QCOMPARE(envelope.Tabs()->tabText(0) + QStringLiteral(" (m)"), heads);

    HistoryWindow window;
    const RunGeometry geometry = GeometryOf(done.outcome);
    window.ShowRun(done.run, geometry);
    window.SetNodes({3, 6});
    const ChartData& heads3 = window.Chart()->Data();
    QCOMPARE(QString::fromStdString(heads3.title + " " + heads3.yTitle), history);
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("Quantity"))->currentText(), heads);
    window.SetNodes({6});
    window.SetQuantity(ChartQuantity::Discharge);
    const ChartData& chart = window.Chart()->Data();
    QCOMPARE(chart.lines.size(), std::size_t(1));
    // The flow into the forebay starts at the steady discharge, not at the
    // velocity times the 箱涵断面面积 box.
    QVERIFY(std::fabs(chart.lines[0].y.front() - 20) < 0.02);
    Picture(window, qPrintable(picture + QStringLiteral("-history.png")));
    envelope.Tabs()->setCurrentIndex(0);
    Picture(envelope, qPrintable(picture + QStringLiteral("-envelope.png")));

    // A classic run after it: the head table is the nine columns again.
    const CaseRun classic = RunCase(PrepareCase(Case{}));
    envelope.ShowRun(classic.run, classic.outcome);
    QCOMPARE(envelope.Table(EnvelopeOf::Head)->columnCount(), 9);
    QCOMPARE(envelope.Tabs()->tabText(0), QStringLiteral("水头"));
  }
};

QTEST_MAIN(MixedWindowsTest)
#include "mixed_windows_test.moc"
