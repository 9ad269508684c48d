// The plot picture (coordinates, cutting at the edges) and the plot window
// driven from the main window; the PNG of the batch mode.
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "session.h"
#include "test_classes.h"
#include "ui/main_window.h"
#include "ui/picture.h"
#include "ui/ui.h"
#include "watchdog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

constexpr int kW = PlotPicture::kWidth;
constexpr int kH = PlotPicture::kHeight;

QSet<QPoint> Drawn(const QImage& image) {
  QSet<QPoint> points;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != PlotPicture::Background()) points.insert(QPoint(x, y));
  return points;
}

// What the plot command must leave on an empty picture, worked out from the
// run: the cell holding each point of the coordinate system (0, H0 + 3) -
// (T + 1, H0 - 3).
QSet<QPoint> ExpectedPlot(const SurgeRun& run) {
  const int node = run.SegmentCount() + 1;
  const int steps = run.StepCount();
  const float h0 = run.Head(node, 1);
  const float top = h0 + 3.0f;
  const float height = (h0 - 3.0f) - top;
  const float width = run.StepTime(steps) + 1.0f;
  auto column = [&](double x) { return std::floor(x * kW / width); };
  auto row = [&](double y) { return std::floor((y - top) * kH / height); };
  QSet<QPoint> points;
  const int lineRow = static_cast<int>(row(h0));
  const int lineEnd = static_cast<int>(std::min<double>(column(steps), kW - 1));
  for (int x = 0; x <= lineEnd; ++x) points.insert(QPoint(x, lineRow));
  for (int y = 0; y < kH; ++y) points.insert(QPoint(0, y));
  for (int j = 1; j <= steps; ++j) {
    const double x = column(run.StepTime(j));
    const double y = row(run.Head(node, j));
    if (x >= 0 && x < kW && y >= 0 && y < kH) points.insert(QPoint(int(x), int(y)));
  }
  return points;
}

// A main window whose runs are plotted; its save dialog cancels.
struct PlotSession : Session {
  void Calculate(const char* steps, const char* waveSpeed = "1000", const char* finalFlow = "0") {
    Text(form, InputId::StepCount)->setText(QString::fromLatin1(steps));
    Text(form, InputId::WaveSpeed)->setText(QString::fromLatin1(waveSpeed));
    Text(form, InputId::FinalPumpDischarge)->setText(QString::fromLatin1(finalFlow));
    form.calculate();
  }
  QImage Picture() const { return window.plotWindow()->Picture1()->Picture().Image(); }
  QPushButton* PlotButton(int n) const {
    return window.plotWindow()->findChild<QPushButton*>(QStringLiteral("Command%1").arg(n));
  }
};

}  // namespace

class PlotWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void pixelOfPoint_data();
  void pixelOfPoint();
  void linesCutAtEdges_data();
  void linesCutAtEdges();
  void emptyExtentFails();
  void plotOfRun_data();
  void plotOfRun();
  void clearCloseAndCloseBox();
  void twoRunsDrawnOverEachOther();
  void pngMatchesWindow();
};

// A coordinate system of one unit per pixel with y upwards: y = 297 is the
// top edge, y = 0 the bottom edge.
void PlotWindowTest::pixelOfPoint_data() {
  QTest::addColumn<float>("x");
  QTest::addColumn<float>("y");
  QTest::addColumn<QPoint>("pixel");  // (-1, -1): not drawn
  QTest::newRow("top-left corner") << 0.0f << 297.0f << QPoint(0, 0);
  QTest::newRow("inside a cell") << 10.5f << 200.5f << QPoint(10, 96);
  QTest::newRow("just inside bottom-right") << 644.99f << 0.01f << QPoint(644, 296);
  QTest::newRow("right edge") << 645.0f << 100.0f << QPoint(-1, -1);
  QTest::newRow("bottom edge") << 10.0f << 0.0f << QPoint(-1, -1);
  QTest::newRow("left of the picture") << -0.01f << 100.0f << QPoint(-1, -1);
  QTest::newRow("above the picture") << 10.0f << 297.01f << QPoint(-1, -1);
}

void PlotWindowTest::pixelOfPoint() {
  QFETCH(float, x);
  QFETCH(float, y);
  QFETCH(QPoint, pixel);
  PlotPicture picture;
  picture.Scale(0, 297, 645, 0);
  picture.DrawPoint(x, y);
  const QSet<QPoint> expected = pixel.x() < 0 ? QSet<QPoint>() : QSet<QPoint>{pixel};
  QCOMPARE(Drawn(picture.Image()), expected);
}

void PlotWindowTest::linesCutAtEdges_data() {
  QTest::addColumn<QRectF>("ends");  // (x1, y1) and (x2, y2) as a rect's corners
  QTest::addColumn<int>("count");
  QTest::addColumn<QPoint>("first");
  QTest::addColumn<QPoint>("last");
  auto ends = [](float x1, float y1, float x2, float y2) {
    return QRectF(QPointF(x1, y1), QPointF(x2, y2));
  };
  QTest::newRow("across, far past both sides")
      << ends(-1e6f, 148.5f, 1e6f, 148.5f) << kW << QPoint(0, 148) << QPoint(644, 148);
  QTest::newRow("up the left edge, far past")
      << ends(0, 2227.5f, 0, -2227.5f) << kH << QPoint(0, 0) << QPoint(0, 296);
  QTest::newRow("stops inside") << ends(0, 148.5f, 100, 148.5f) << 101 << QPoint(0, 148)
                                << QPoint(100, 148);
  QTest::newRow("diagonal corner to corner")
      << ends(0, 297, 645, 0) << kW << QPoint(0, 0) << QPoint(644, 296);
  QTest::newRow("on the right edge") << ends(645, 0, 645, 297) << 0 << QPoint() << QPoint();
  QTest::newRow("on the bottom edge") << ends(0, 0, 645, 0) << 0 << QPoint() << QPoint();
  QTest::newRow("wholly above") << ends(-10, 400, 700, 300) << 0 << QPoint() << QPoint();
}

void PlotWindowTest::linesCutAtEdges() {
  QFETCH(QRectF, ends);
  QFETCH(int, count);
  QFETCH(QPoint, first);
  QFETCH(QPoint, last);
  PlotPicture picture;
  picture.Scale(0, 297, 645, 0);
  picture.Line(ends.left(), ends.top(), ends.right(), ends.bottom());
  const QSet<QPoint> drawn = Drawn(picture.Image());
  QCOMPARE(drawn.size(), count);
  if (count > 0) {
    QVERIFY(drawn.contains(first));
    QVERIFY(drawn.contains(last));
    // One pixel per column or per row, whichever the line is longer in.
    QSet<int> columns, rows;
    for (const QPoint& p : drawn) columns.insert(p.x()), rows.insert(p.y());
    QCOMPARE(std::max(columns.size(), rows.size()), count);
  }
  picture.Clear();
  QVERIFY(Drawn(picture.Image()).isEmpty());
}

void PlotWindowTest::emptyExtentFails() {
  PlotPicture picture;
  for (auto corners : {std::array<float, 4>{0, 5, 0, 1}, std::array<float, 4>{0, 5, 10, 5}}) {
    try {
      picture.Scale(corners[0], corners[1], corners[2], corners[3]);
      QFAIL("an empty extent was accepted");
    } catch (const RunError& error) {
      QCOMPARE(error.number(), 11);
    }
  }
}

void PlotWindowTest::plotOfRun_data() {
  QTest::addColumn<QByteArray>("steps");
  QTest::addColumn<QByteArray>("waveSpeed");
  QTest::addColumn<bool>("lineReachesRightEdge");
  // Steps of about 0.12 s: the reference line to x = StepCount runs past T + 1.
  QTest::newRow("short steps") << QByteArray("400") << QByteArray("1000") << true;
  // Slow waves, steps of over a second: it stops inside at x = StepCount.
  QTest::newRow("long steps") << QByteArray("100") << QByteArray("100") << false;
}

void PlotWindowTest::plotOfRun() {
  QFETCH(QByteArray, steps);
  QFETCH(QByteArray, waveSpeed);
  QFETCH(bool, lineReachesRightEdge);
  ModalWatchdog watchdog;
  PlotSession s;
  s.window.show();
  s.Calculate(steps.constData(), waveSpeed.constData());
  s.window.showPlot();

  PlotWindow* plot = s.window.plotWindow();
  QVERIFY(plot && plot->isVisible());
  QCOMPARE(plot->windowTitle(), QStringLiteral("前池水位变化线"));
  QCOMPARE(plot->size(), QSize(715, 338));
  QVERIFY(plot->testAttribute(Qt::WA_DeleteOnClose));
  QCOMPARE(plot->Picture1()->objectName(), QStringLiteral("Picture1"));
  QCOMPARE(plot->Picture1()->geometry(), QRect(8, 8, 645, 297));
  QCOMPARE(s.PlotButton(1)->text(), QStringLiteral("清除"));
  QCOMPARE(s.PlotButton(1)->geometry(), QRect(192, 304, 129, 25));
  QCOMPARE(s.PlotButton(2)->text(), QStringLiteral("关闭"));
  QCOMPARE(s.PlotButton(2)->geometry(), QRect(376, 304, 129, 25));
  QVERIFY(!s.form.findChild<QPushButton*>(QStringLiteral("Command3"))->isEnabled());

  const SurgeRun& run = s.form.Run();
  const QImage image = s.Picture();
  QCOMPARE(image.size(), QSize(645, 297));
  const QSet<QPoint> expected = ExpectedPlot(run);
  QCOMPARE(Drawn(image), expected);
  for (QRgb pixel : {image.pixel(0, 0), image.pixel(0, 296)})
    QCOMPARE(pixel, PlotPicture::Foreground());
  QCOMPARE(image.pixel(644, 0), PlotPicture::Background());

  // The dots of the first, a middle and the last step, and the reference
  // line's right end.
  const int node = run.SegmentCount() + 1;
  const float h0 = run.Head(node, 1);
  const double width = run.StepTime(run.StepCount()) + 1.0f;
  const double height = (h0 - 3.0f) - (h0 + 3.0f);
  for (int step : {1, run.StepCount() / 2, int(run.StepCount())}) {
    const int x = int(std::floor(run.StepTime(step) * kW / width));
    const int y = int(std::floor((run.Head(node, step) - (h0 + 3.0f)) * kH / height));
    if (y >= 0 && y < kH) QCOMPARE(image.pixel(x, y), PlotPicture::Foreground());
  }
  const int lineRow = int(std::floor(3.0 * kH / 6.0));
  QCOMPARE(image.pixel(kW - 1, lineRow) == PlotPicture::Foreground(), lineReachesRightEdge);
  QVERIFY2(watchdog.Clean(), qPrintable(watchdog.Report()));
}

void PlotWindowTest::clearCloseAndCloseBox() {
  PlotSession s;
  s.window.show();
  s.Calculate("200");
  s.window.showPlot();
  QPointer<PlotWindow> first = s.window.plotWindow();
  const QImage drawn = s.Picture();
  QVERIFY(!Drawn(drawn).isEmpty());

  // The window opens with the focus on the picture: the space bar wipes
  // nothing.
  first->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(first.data(), 5000));
  QCOMPARE(first->focusWidget(), static_cast<QWidget*>(first->Picture1()));
  QTest::keyClick(first.data(), Qt::Key_Space);
  QCOMPARE(s.Picture(), drawn);

  // "关闭" hides and keeps the drawing; the next plot shows the same window.
  s.PlotButton(2)->click();
  QVERIFY(first && !first->isVisible());
  QCOMPARE(s.Picture(), drawn);
  s.window.showPlot();
  QCOMPARE(s.window.plotWindow(), first.data());
  QVERIFY(first->isVisible());
  QCOMPARE(s.Picture(), drawn);  // the same run drawn again over itself

  // "清除" wipes; the window stays.
  s.PlotButton(1)->click();
  QVERIFY(Drawn(s.Picture()).isEmpty());
  QVERIFY(first->isVisible());

  // The close box destroys the window: the next plot starts a fresh picture.
  s.window.showPlot();
  s.Calculate("60");
  QVERIFY(first->close());
  QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);
  QVERIFY(!s.window.plotWindow());
  s.window.showPlot();
  QVERIFY(s.window.plotWindow() && s.window.plotWindow()->isVisible());
  QCOMPARE(Drawn(s.Picture()), ExpectedPlot(s.form.Run()));
}

void PlotWindowTest::twoRunsDrawnOverEachOther() {
  PlotSession s;
  s.window.show();
  s.Calculate("300", "1000", "0");
  s.window.showPlot();
  const QSet<QPoint> firstRun = Drawn(s.Picture());
  s.Calculate("300", "1000", "60");
  // A Calculate leaves the plot window and its drawing as they are.
  QVERIFY(s.window.plotWindow()->isVisible());
  QCOMPARE(Drawn(s.Picture()), firstRun);
  const QSet<QPoint> secondRun = ExpectedPlot(s.form.Run());
  QVERIFY(secondRun != firstRun);
  s.window.showPlot();
  QCOMPARE(Drawn(s.Picture()), firstRun | secondRun);
}

void PlotWindowTest::pngMatchesWindow() {
  PlotSession s;
  s.window.show();
  s.Calculate("250");
  s.window.showPlot();
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("plot.png"));
  SavePlotPng(s.form.Run(), path.toStdString());
  QImage png(path, "PNG");
  QCOMPARE(png.size(), QSize(645, 297));
  QCOMPARE(png.convertToFormat(QImage::Format_RGB32), s.Picture());

  try {
    SavePlotPng(s.form.Run(), folder.filePath(QStringLiteral("missing/plot.png")).toStdString());
    QFAIL("a PNG in a missing folder was reported as written");
  } catch (const RunError& error) {
    QVERIFY(error.number() >= 52);
  }
}

KELVANE_UI_TEST(plot_window, PlotWindowTest);
#include "plot_window_test.moc"
