#include "ui/report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <algorithm>
#include <string>

#include "output/file_writer.h"
#include "report/chart_scene.h"
#include "solver/errors.h"
#include "ui/chart_painter.h"

namespace kelvane {
namespace {

using namespace Qt::StringLiterals;

// Page geometry, mm: A4 with room for the header and the page number.
constexpr double kMarginLeft = 25, kMarginRight = 20, kMarginTop = 28, kMarginBottom = 22;
constexpr int kResolution = 600;       // dpi of the PDF's device units
constexpr double kChartAspect = 0.55;  // height over width

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

constexpr int kChartObjectType = QTextFormat::UserObject + 1;
constexpr int kChartProperty = QTextFormat::UserProperty + 1;

// The charts as objects of the document, drawn wherever the layout puts
// them.
class ChartObject : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  ChartObject(const HtmlPages& pages, double width) : pages_(pages), width_(width) {}
  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat&) override {
    return {width_, width_ * kChartAspect};
  }
  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                  const QTextFormat& format) override {
    pages_.drawChart(*painter, rect, format.property(kChartProperty).toInt());
  }

 private:
  const HtmlPages& pages_;
  double width_;
};

QFont ReportFont(double points) {
  QFont font;
  // CJK faces first, so every Chinese character comes from one embedded face.
  font.setFamilies({u"Noto Sans CJK SC"_s, u"Source Han Sans SC"_s, u"WenQuanYi Zen Hei"_s,
                    u"Microsoft YaHei"_s, u"SimSun"_s});
  font.setPointSizeF(points);
  return font;
}

// The document's blocks as the report's HTML; chart n is the n-th chart
// block.
// A table of the document: its title and head, the numeric cells set right.
std::string TableHtml(const ReportTable& t) {
  HtmlTable table;
  if (t.compact) table.Compact();
  table.Head(t.title, std::max(t.head.size(), t.rows.empty() ? 1 : t.rows[0].size()), t.head,
             t.widths);
  for (const std::vector<std::string>& row : t.rows) {
    std::vector<std::string> cells = row;
    for (std::size_t c = 0; c < cells.size() && c < t.numeric.size(); ++c) {
      if (t.numeric[c]) cells[c] = ">" + cells[c];
    }
    table.Row(cells);
  }
  return table.End();
}

std::string DocumentHtml(const ReportDocument& document) {
  std::string html;
  int chart = 0;
  for (const ReportBlock& block : document.blocks) {
    switch (block.kind) {
      case ReportBlockKind::Heading:
        html += "<h2>" + ReportHtml(block.text) + "</h2>";
        break;
      case ReportBlockKind::Subheading:
        html += "<h3>" + ReportHtml(block.text) + "</h3>";
        break;
      case ReportBlockKind::Paragraph:
        html += "<p>" + ReportHtml(block.text) + "</p>";
        break;
      case ReportBlockKind::Table:
        html += TableHtml(block.table);
        break;
      case ReportBlockKind::Chart:
        html += "<p align=\"center\">" + ChartPlaceholder(chart++) + "</p>";
        html += "<p align=\"center\">" + ReportHtml(block.text) + "</p>";
        break;
    }
  }
  return html;
}

}  // namespace

void ReportFail(const char* what) {
  ErrorLocation where;
  where.stage = Stage::Report;
  where.detail = what;
  throw RunError(ErrorCode::PathFileAccess, where);
}

std::string ReportHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "<br/>";
    } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      out += ' ';  // other control characters would not print
    } else {
      AppendXmlEscaped(out, std::string_view(&c, 1));
    }
  }
  return out;
}

void HtmlTable::Compact() {
  const std::size_t padding = html.find("cellpadding=\"4\"");
  if (padding != std::string::npos) html.replace(padding, 15, "cellpadding=\"2\"");
  headStyle = " style=\"font-size: 7.5pt;\"";
  cellStyle = " style=\"font-size: 7.5pt; white-space: nowrap;\"";
}

void HtmlTable::Head(const std::vector<std::string>& cells, const std::vector<int>& widths) {
  Head("", cells.size(), cells, widths);
}

void HtmlTable::Head(const std::string& title, std::size_t columns,
                     const std::vector<std::string>& cells, const std::vector<int>& widths) {
  html += "<thead>";
  if (!title.empty()) {
    html += "<tr><th colspan=\"" + std::to_string(columns) +
            "\" align=\"left\" style=\"font-size: 11pt; border: none;\">" + ReportHtml(title) +
            "</th></tr>";
  }
  if (!cells.empty()) {
    html += "<tr>";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      html += "<th bgcolor=\"#e8e8e8\"" + headStyle;
      if (i < widths.size()) html += " width=\"" + std::to_string(widths[i]) + "%\"";
      html += '>' + ReportHtml(cells[i]) + "</th>";
    }
    html += "</tr>";
  }
  html += "</thead>";
}

void HtmlTable::Row(const std::vector<std::string>& cells) {
  html += "<tr>";
  for (const std::string& cell : cells) {
    if (cell.starts_with('>')) {
      html += "<td align=\"right\" nowrap" + cellStyle + ">" + ReportHtml(cell.substr(1)) + "</td>";
    } else if (cell.starts_with('=')) {
      html += "<td nowrap" + cellStyle + ">" + ReportHtml(cell.substr(1)) + "</td>";
    } else {
      // A compact table's cells are short texts beside numbers: one line each.
      html += "<td" + cellStyle + ">" + ReportHtml(cell) + "</td>";
    }
  }
  html += "</tr>";
}

std::string ChartPlaceholder(int index) { return "[[chart:" + std::to_string(index) + "]]"; }

void DrawChartData(QPainter& painter, const QRectF& area, const ChartData& chart) {
  // The scene is laid out in pixels of 1/96 inch, so that its fonts and pens
  // print at the sizes the windows show them; the painter scales those pixels
  // onto the PDF's units.
  const double scale = kResolution / 96.0;
  const ChartScene scene = LayoutChart(chart, area.width() / scale, area.height() / scale);
  painter.save();
  painter.translate(area.topLeft());
  painter.scale(scale, scale);
  ui::PaintChart(painter, scene);
  painter.restore();
}

QByteArray HtmlPagesPdf(const HtmlPages& pages) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kResolution);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setTitle(Q(pages.title + " " + pages.header));
  writer.setCreator(u"Kelvane"_s);

  const double dotsPerMm = kResolution / 25.4;
  const QRectF page(0, 0, writer.width(), writer.height());
  const QRectF body(kMarginLeft * dotsPerMm, kMarginTop * dotsPerMm,
                    page.width() - (kMarginLeft + kMarginRight) * dotsPerMm,
                    page.height() - (kMarginTop + kMarginBottom) * dotsPerMm);

  QTextDocument document;
  document.documentLayout()->setPaintDevice(&writer);
  document.setDefaultFont(ReportFont(10.5));
  document.setDocumentMargin(0);
  document.setPageSize(body.size());
  document.setDefaultStyleSheet(
      u"h1 { font-size: 18pt; } h2 { font-size: 14pt; margin-top: 14pt; } "
      "h3 { font-size: 11pt; margin-top: 8pt; } p { margin-top: 3pt; margin-bottom: 3pt; } "
      "th, td { font-size: 9.5pt; }"_s);
  ChartObject charts(pages, body.width() * 0.95);
  document.documentLayout()->registerHandler(kChartObjectType, &charts);
  document.setHtml(Q(pages.html));
  for (int index = 0;; ++index) {
    QTextCursor cursor = document.find(Q(ChartPlaceholder(index)));
    if (cursor.isNull()) break;
    QTextCharFormat format;
    format.setObjectType(kChartObjectType);
    format.setProperty(kChartProperty, index);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
  }
  // The layout redoes only the paragraphs a change touches: after a table the
  // blocks that the charts moved keep no height and would not be drawn.
  // Everything is laid out again with the charts in place.
  document.markContentsDirty(0, document.characterCount());

  const QString date =
      pages.date.empty() ? QDate::currentDate().toString(Qt::ISODate) : Q(pages.date);
  QPainter painter;
  if (!painter.begin(&writer)) ReportFail("cannot draw the PDF");
  const int count = document.pageCount();
  const QFont small = ReportFont(9);
  // The header's title is cut short, with an ellipsis, where it would run
  // into the date.
  const QString dateText = u"计算日期 "_s + date;
  const QFontMetricsF metrics(small, &writer);
  const double titleRoom = body.width() - metrics.horizontalAdvance(dateText) - 4 * dotsPerMm;
  const QString title =
      metrics.elidedText(Q(pages.title + "  " + pages.header), Qt::ElideRight, titleRoom);
  for (int pageIndex = 0; pageIndex < count; ++pageIndex) {
    if (pageIndex > 0) writer.newPage();
    // The header: the title left, the date right, a rule beneath.
    painter.setFont(small);
    painter.setPen(QPen(Qt::black, 0));
    const double headerBase = body.top() - 4 * dotsPerMm;
    const QRectF header(body.left(), headerBase - 8 * dotsPerMm, body.width(), 8 * dotsPerMm);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, title);
    painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, dateText);
    painter.setPen(QPen(Qt::black, 0.3 * dotsPerMm));
    painter.drawLine(QPointF(body.left(), headerBase + dotsPerMm),
                     QPointF(body.right(), headerBase + dotsPerMm));
    // The page number, centred beneath the body.
    painter.setPen(QPen(Qt::black, 0));
    const QRectF footer(body.left(), body.bottom() + 6 * dotsPerMm, body.width(), 8 * dotsPerMm);
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignTop,
                     u"第 %1 页  共 %2 页"_s.arg(pageIndex + 1).arg(count));

    // This page's share of the laid-out document.
    painter.save();
    painter.translate(body.left(), body.top() - pageIndex * body.height());
    QAbstractTextDocumentLayout::PaintContext context;
    // The clip ends one unit short of the next page, so that a line drawn
    // exactly on the page boundary (the top of a chart beginning the next
    // page) is drawn there only.
    context.clip = QRectF(0, pageIndex * body.height(), body.width(), body.height() - 1);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
  }
  if (!painter.end()) ReportFail("cannot finish the PDF");
  return bytes;
}

QByteArray ReportDocumentPdf(const ReportDocument& document) {
  HtmlPages pages;
  pages.title = document.title;
  pages.header = document.header;
  pages.date = document.date;
  pages.html = "<html><body><h1 align=\"center\">" + ReportHtml(document.title) + "<br/>" +
               ReportHtml(document.subtitle) + "</h1>" + DocumentHtml(document) + "</body></html>";
  std::vector<const ChartData*> charts;
  for (const ReportBlock& block : document.blocks) {
    if (block.kind == ReportBlockKind::Chart) charts.push_back(&block.chart);
  }
  pages.drawChart = [&](QPainter& painter, const QRectF& area, int index) {
    if (index >= 0 && std::size_t(index) < charts.size())
      DrawChartData(painter, area, *charts[index]);
  };
  return HtmlPagesPdf(pages);
}

void WritePdfFile(const QByteArray& pdf, const std::string& path) {
  WriteFileAtomically(path, [&](const ByteWriter& write) {
    write(std::string_view(pdf.constData(), std::size_t(pdf.size())));
  });
}

void WriteReportDocument(const ReportDocument& document, const std::string& path) {
  WritePdfFile(ReportDocumentPdf(document), path);
}

}  // namespace kelvane

#include "report_pdf.moc"
