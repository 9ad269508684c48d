// The reports' PDF writer: HTML laid out by Qt's text document on A4 pages,
// with the title and date in each page's header, the page number beneath,
// and charts as vector objects placed by the layout. The calculation report
// writes its HTML with these pieces; a ReportDocument (the study's report)
// is turned into HTML here.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/chart_data.h"
#include "report/report_document.h"

class QPainter;

namespace kelvane {

// `text` escaped for the report's HTML, line breaks kept.
std::string ReportHtml(std::string_view text);

// A table of the report's HTML, row by row.
struct HtmlTable {
  std::string html =
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\" "
      "style=\"border-collapse: collapse; border-color: #606060;\">";
  // A table in smaller type with less padding, for many columns of numbers.
  void Compact();
  // The heading row; `widths` in per cent of the table, none for the
  // layout's own choice.
  void Head(const std::vector<std::string>& cells, const std::vector<int>& widths = {});
  // The heading rows: `title` over the whole table (none when empty), then the
  // cells' row (none when there are no cells).
  void Head(const std::string& title, std::size_t columns, const std::vector<std::string>& cells,
            const std::vector<int>& widths);
  // Cells given as text; a cell starting with '>' is a number, aligned
  // right, one starting with '=' is kept on one line.
  void Row(const std::vector<std::string>& cells);
  // The table and a little room beneath it.
  // The style attributes of the heading cells and of the other cells, if any.
  std::string headStyle, cellStyle;
  std::string End() const { return html + "</table><p style=\"font-size: 4pt;\">&nbsp;</p>"; }
};

// Where chart `index` goes in the HTML: a paragraph of its own that the
// document later holds as one drawn object.
std::string ChartPlaceholder(int index);

// Draws `chart` into `area` (the PDF's device units) as vector graphics:
// laid out by the chart scene and drawn by the painter renderer, as the
// windows draw their charts.
void DrawChartData(QPainter& painter, const QRectF& area, const ChartData& chart);

// Throws RunError (Stage::Report) for a PDF that cannot be drawn.
[[noreturn]] void ReportFail(const char* what);

struct HtmlPages {
  std::string title;   // the PDF's title and the header's left, before `header`
  std::string header;  // "计算书"
  std::string date;    // "" for today
  std::string html;    // the body, with ChartPlaceholder paragraphs
  std::function<void(QPainter&, const QRectF&, int index)> drawChart;
  // A book: the first page (the cover) has no header or page number; no
  // heading stays alone at a page's foot (it begins the next page), nor
  // apart from the head and first rows of the table, or the chart, that it
  // or its short lead paragraph opens; a chart
  // keeps its caption on its page; and each PagePlaceholder(n) becomes the
  // number of the page on which the n-th heading (h2 or h3) begins.
  bool book = false;
};

// Where the number of the page of heading `index` goes in a book's 目录.
std::string PagePlaceholder(int index);

// The pages as the bytes of a PDF file. Throws RunError (Stage::Report) when
// the PDF cannot be drawn.
QByteArray HtmlPagesPdf(const HtmlPages& pages);

// A report document as a PDF; as OpenDocument text (an editable copy: the
// same headings, paragraphs and tables, the charts as pictures, a 目录
// without page numbers); and written through WriteFileAtomically, as ODT
// under a name ending in ".odt" (any case), else as PDF (a failure throws
// RunError with the file catalogue's number and leaves an existing file
// untouched).
QByteArray ReportDocumentPdf(const ReportDocument& document);
QByteArray ReportDocumentOdt(const ReportDocument& document);
bool IsOdtName(std::string_view path);
void WritePdfFile(const QByteArray& pdf, const std::string& path);
void WriteReportDocument(const ReportDocument& document, const std::string& path);

}  // namespace kelvane
