// The two drawings of a chart scene and the chart widget: the SVG read by an
// XML parser holds the title, the axis titles, the font list and one
// polyline per line; the PNG's lines stay inside the plot; the widget zooms
// by a dragged rectangle and goes back by right clicks no further than the
// whole chart.
#include <QImage>
#include <QXmlStreamReader>
#include <QtTest>
#include <cmath>

#include "charts/chart_scene.h"
#include "test_classes.h"
#include "ui/chart_painter.h"
#include "ui/chart_view.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

// Two lines (one dashed with markers) and a limit, the lines running well
// past the range a zoom shows.
ChartData FixedChart() {
  ChartData data;
  data.title = "水头过程线 <A&B>";
  data.xTitle = "时间 (s)";
  data.yTitle = "水头 (m)";
  ChartLine first{"节点 1（0.000 m）", {}, {}, LineStyle::Solid, false, -1};
  ChartLine second{"节点 6（596.662 m）", {}, {}, LineStyle::Dashed, true, -1};
  for (int i = 0; i <= 400; ++i) {
    first.x.push_back(0.1 * i);
    first.y.push_back(20 + 15 * std::sin(i * 0.05));
    second.x.push_back(0.1 * i);
    second.y.push_back(18 - 10 * std::cos(i * 0.07));
  }
  data.lines = {first, second};
  data.limits = {{"最高水位限值", 33}};
  return data;
}

// Whether a pixel is a line's: clearly coloured, unlike the grey frame, grid
// and texts.
bool Coloured(QRgb pixel) {
  const int high = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
  const int low = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
  return high - low > 60;
}

}  // namespace

class ChartRenderTest : public QObject {
  Q_OBJECT

 private slots:
  void svgParsesAndHoldsTheChartsTexts();
  void pngInkStaysInThePlot();
  void dragZoomsAndRightClickGoesBackToTheWholeChart();
};

void ChartRenderTest::svgParsesAndHoldsTheChartsTexts() {
  const ChartData data = FixedChart();
  const std::string svg = ChartSvg(LayoutChart(data, 800, 500));
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  int polylines = 0;
  QString fonts, title;
  QStringList texts;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QStringView name = xml.name();
    if (name == QLatin1String("svg")) {
      QCOMPARE(xml.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
      fonts = xml.attributes().value(QLatin1String("font-family")).toString();
    } else if (name == QLatin1String("polyline")) {
      ++polylines;
      // Coordinates with two decimals.
      const QString points = xml.attributes().value(QLatin1String("points")).toString();
      QVERIFY(QRegularExpression(QStringLiteral("^(-?\\d+\\.\\d\\d,-?\\d+\\.\\d\\d ?)+$"))
                  .match(points)
                  .hasMatch());
    } else if (name == QLatin1String("title")) {
      title = xml.readElementText();
    } else if (name == QLatin1String("text")) {
      texts << xml.readElementText();
    }
  }
  QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
  QCOMPARE(polylines, 2);
  QCOMPARE(title, QString::fromStdString(data.title));
  for (const std::string& text :
       {data.title, data.xTitle, data.yTitle, data.lines[1].name, data.limits[0].name}) {
    QVERIFY2(texts.contains(QString::fromStdString(text)), text.c_str());
  }
  QVERIFY(fonts.contains(QLatin1String("'WenQuanYi Zen Hei'")));
  QVERIFY(fonts.contains(QLatin1String("'Noto Sans CJK SC'")));
  QVERIFY(fonts.endsWith(QLatin1String(", sans-serif")));
}

// Zoomed so that the lines run far beyond the plot on every side: their
// colours are inside the plot's frame and in the legend's swatches, nowhere
// else.
void ChartRenderTest::pngInkStaysInThePlot() {
  const ChartData data = FixedChart();
  const ChartScene scene = LayoutChart(data, 700, 450, ChartRange{12, 25, 15, 25});
  QImage image;
  QVERIFY(image.loadFromData(ChartPng(scene, "test.png"), "PNG"));
  QCOMPARE(image.size(), QSize(700, 450));
  const SceneRect& plot = scene.plot;
  int inside = 0, outside = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!Coloured(image.pixel(x, y))) continue;
      const double cx = x + 0.5, cy = y + 0.5;
      if (cx > plot.left && cx < plot.Right() && cy > plot.top && cy < plot.Bottom()) {
        ++inside;
        continue;
      }
      bool legend = false;
      for (const LegendEntry& entry : scene.legend) {
        legend = legend || (cx >= entry.box.left - 1 && cx <= entry.box.left + kLegendSwatch + 1 &&
                            cy >= entry.box.top && cy <= entry.box.Bottom());
      }
      if (!legend) ++outside;
    }
  }
  QVERIFY2(inside > 500, qPrintable(QString::number(inside)));
  QCOMPARE(outside, 0);
}

void ChartRenderTest::dragZoomsAndRightClickGoesBackToTheWholeChart() {
  ChartView view;
  view.resize(800, 500);
  view.SetData(FixedChart());
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  const ChartRange whole = WholeRange(view.Data()).value();
  QVERIFY(view.Scene().range == whole);

  // A rectangle over the plot's middle third.
  const SceneRect plot = view.Scene().plot;
  const QPoint from(int(plot.left + plot.width / 3), int(plot.top + plot.height / 3));
  const QPoint to(int(plot.left + 2 * plot.width / 3), int(plot.top + 2 * plot.height / 3));
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(&view, to);
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, to);
  const ChartRange zoomed = view.Scene().range;
  QVERIFY(zoomed.xFrom > whole.xFrom && zoomed.xTo < whole.xTo);
  QVERIFY(zoomed.yFrom > whole.yFrom && zoomed.yTo < whole.yTo);
  QVERIFY(std::abs((zoomed.xTo - zoomed.xFrom) - (whole.xTo - whole.xFrom) / 3) <
          0.02 * (whole.xTo - whole.xFrom));
  QCOMPARE(view.ShownFrom(), zoomed.xFrom);

  view.ZoomTo({10, 11, 0, 40});
  QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, from);
  QVERIFY(view.Scene().range == zoomed);
  for (int click = 0; click < 3; ++click) {
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, from);
    QVERIFY(view.Scene().range == whole);  // never past the whole chart
  }
  // A click is no zoom.
  QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, from);
  QVERIFY(view.Scene().range == whole);
  view.ZoomTo({10, 11, 0, 40});
  view.ResetZoom();
  QVERIFY(view.Scene().range == whole);
}

KELVANE_UI_TEST(chart_render, ChartRenderTest);
#include "chart_render_test.moc"
