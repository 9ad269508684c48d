#include "ui/report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextObjectInterface>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <string>

#include "charts/chart_scene.h"
#include "files/file_writer.h"
#include "files/odf_package.h"
#include "model/errors.h"
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

// The report's date: `date`, or today (yyyy-MM-dd) when empty.
std::string DateText(const std::string& date) {
  return date.empty() ? QDate::currentDate().toString(Qt::ISODate).toStdString() : date;
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

// The headings' and tables' type sizes, in the PDF and the editable copy
// alike: without them the editable copy's headings would be set at the
// body's size (Qt's writer gives a heading's size adjustment no property).
const QString kTypeSizes =
    u"h1 { font-size: 18pt; } h2 { font-size: 14pt; } h3 { font-size: 11pt; } "
    "th, td { font-size: 9.5pt; } "_s;

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
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c < t.numeric.size() && t.numeric[c]) {
        cells[c] = ">" + cells[c];
      } else if (c < t.oneLine.size() && t.oneLine[c]) {
        cells[c] = "=" + cells[c];
      }
    }
    table.Row(cells);
  }
  return table.End();
}

std::string DocumentHtml(const ReportDocument& document) {
  std::string html;
  int chart = 0;
  const bool book = document.cover.has_value();
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
        if (book) {
          // One paragraph, whose lines the book keeps on one page.
          html += "<p align=\"center\">" + ChartPlaceholder(chart++) + "<br/>" +
                  ReportHtml(block.text) + "</p>";
          break;
        }
        html += "<p align=\"center\">" + ChartPlaceholder(chart++) + "</p>";
        html += "<p align=\"center\">" + ReportHtml(block.text) + "</p>";
        break;
    }
  }
  return html;
}

// The cover's, the sign-off's and the 目录's spaces are given in px (1/96
// inch; 147 px is 110 pt): Qt's rich text reads a margin in pt as none.

constexpr const char* kNewPage = "<p style=\"page-break-before: always; margin: 0;\"></p>";

// An empty line of 1 pt with `pixels` of space above it: a space that Qt's layout
// keeps at the top of the document (where it drops the first paragraph's
// top margin) and before a table (where it drops the paragraph's bottom
// margin), and that a word processor sets alike.
std::string SpaceHtml(int pixels) {
  return "<p style=\"margin-top: " + std::to_string(pixels) +
         "px; margin-bottom: 0; font-size: 1pt;\">&nbsp;</p>";
}

// The cover: the title well down the page, what kind of report, and the
// cover's lines with the date last.
std::string CoverHtml(const ReportDocument& document, const std::string& date) {
  const ReportCover& cover = *document.cover;
  std::string html = SpaceHtml(0) +
                     "<p style=\"margin-top: 147px; font-size: 22pt;\" align=\"center\"><b>" +
                     ReportHtml(document.title) + "</b></p>";
  html += "<p style=\"margin-top: 32px; font-size: 20pt;\" align=\"center\">" +
          ReportHtml(document.subtitle) + "</p>" + SpaceHtml(120);
  html += "<table align=\"center\" cellpadding=\"6\" width=\"70%\">";
  std::vector<std::pair<std::string, std::string>> lines = cover.lines;
  lines.emplace_back("计算日期", date);
  for (const auto& [label, value] : lines) {
    html += "<tr><td width=\"35%\" style=\"font-size: 13pt;\">" + ReportHtml(label) +
            "</td><td style=\"font-size: 13pt; border-bottom: 1px solid #000000;\">" +
            ReportHtml(value) + "</td></tr>";
  }
  return html + "</table>";
}

// The sign-off page: each duty with its name and blank lines to sign and
// date by hand.
std::string SignOffHtml(const ReportCover& cover) {
  std::string html = kNewPage;
  html +=
      "<p style=\"margin-top: 53px; margin-bottom: 40px; font-size: 18pt;\" "
      "align=\"center\"><b>签署页</b></p>";
  HtmlTable table;
  // The date's blank lines kept on one line in a word processor too.
  table.Head({"职责", "姓名", "签名", "日期"}, {14, 24, 24, 38});
  for (const auto& [duty, name] : cover.signers) {
    table.Row({duty, name, "", "=______年____月____日"});
  }
  return html + table.End();
}

// The 目录: every heading and subheading with a placeholder for its page
// (none in an editable copy: its word processor numbers the pages).
std::string ContentsHtml(const ReportDocument& document, bool pages = true) {
  std::string html = kNewPage;
  html += "<p style=\"margin-bottom: 24px; font-size: 18pt;\" align=\"center\"><b>目录</b></p>";
  html += "<table width=\"100%\" cellpadding=\"3\">";
  int index = 0;
  for (const ReportBlock& block : document.blocks) {
    const bool sub = block.kind == ReportBlockKind::Subheading;
    if (block.kind != ReportBlockKind::Heading && !sub) continue;
    html += std::string("<tr><td") + (sub ? " style=\"padding-left: 24pt;\"" : "") + ">" +
            ReportHtml(block.text) + "</td><td align=\"right\" width=\"15%\">" +
            (pages ? PagePlaceholder(index++) : "") + "</td></tr>";
  }
  return html + "</table>" + kNewPage;
}

// The headings (h2, h3) of the body in order.
std::vector<QTextBlock> Headings(const QTextDocument& document) {
  std::vector<QTextBlock> headings;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() >= 2) headings.push_back(block);
  }
  return headings;
}

// The page on which line `line` of `block` stands (its first by default),
// which the layout moves down to the next page when it would cross a
// page's foot.
int PageOf(const QTextDocument& document, const QTextBlock& block, int line = 0) {
  double top = document.documentLayout()->blockBoundingRect(block).top();
  const QTextLayout* layout = block.layout();
  if (layout != nullptr && layout->lineCount() > 0) {
    top += layout->lineAt(std::clamp(line, 0, layout->lineCount() - 1)).position().y();
  }
  const double height = document.pageSize().height();
  // A line moved to the next page may stand a fraction of a unit above its
  // top (the layout's fixed-point rounding).
  top += 2;
  return int(top / height);
}

// Whether a paragraph outside the tables (a chart with its caption
// included) begins on one page and ends on the next, though it would fit
// on one page.
bool SplitAcrossPages(const QTextDocument& document, const QTextBlock& block) {
  const QTextLayout* layout = block.layout();
  if (layout == nullptr || layout->lineCount() < 2) return false;
  if (document.documentLayout()->blockBoundingRect(block).height() >=
      0.9 * document.pageSize().height())
    return false;
  return PageOf(document, block, layout->lineCount() - 1) != PageOf(document, block);
}

// Everything from the block at `from` on laid out again: the layout redoes
// only the paragraphs a change touches, and the blocks after a table that
// charts moved would keep no height. What comes before that block does not
// move.
void LayOutAgain(QTextDocument& document, int from = 0) {
  from = document.findBlock(from).position();
  document.markContentsDirty(from, document.characterCount() - from);
}

// Makes the edits of `edit` as one change, then lays out again all from the
// block at `from` on, once: each edit alone would lay out again all that
// follows it.
template <class Edit>
void EditThenLayOut(QTextDocument& document, int from, Edit&& edit) {
  QTextCursor block(&document);
  block.beginEditBlock();
  edit();
  block.endEditBlock();
  LayOutAgain(document, from);
}

// Whether a short table (a third of a page or less: a reader takes it in
// at one look) begins on one page and ends on the next.
bool SplitAcrossPages(const QTextDocument& document, QTextTable& table) {
  if (document.documentLayout()->frameBoundingRect(&table).height() >
      document.pageSize().height() / 3)
    return false;
  const QTextBlock first = table.firstCursorPosition().block();
  const QTextBlock last = table.lastCursorPosition().block();
  const int lastLine = last.layout() != nullptr ? last.layout()->lineCount() - 1 : 0;
  return PageOf(document, last, lastLine) != PageOf(document, first);
}

// Whether `block` is a chart of the book with its caption (one paragraph).
bool IsChart(const QTextBlock& block) {
  for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
    if (it.fragment().charFormat().objectType() == kChartObjectType) return true;
  }
  return false;
}

// The table that begins straight after `block`, if any.
QTextTable* TableAfter(const QTextBlock& block) {
  const QTextBlock next = block.next();
  if (!next.isValid()) return nullptr;
  QTextTable* table = QTextCursor(next).currentTable();
  return table != nullptr && table->firstCursorPosition().block() == next ? table : nullptr;
}

// The block of the first cell of the table's second row beneath its head
// (its last row when it has fewer): a reader meets the head with rows under
// it, not alone.
QTextBlock FirstRowsEnd(QTextTable& table) {
  const int row = std::min(table.format().headerRowCount() + 1, table.rows() - 1);
  return table.cellAt(std::max(row, 0), 0).firstCursorPosition().block();
}

// What a heading keeps on its page, past its text (the first block after it
// that is no heading): when the text opens a table, or is a short lead
// paragraph (a quarter page or less) straight before a table or a chart,
// the table's head and first rows, or the chart with its caption. Else the
// text itself.
QTextBlock KeptWithHeading(const QTextDocument& document, const QTextBlock& text) {
  if (QTextTable* table = QTextCursor(text).currentTable()) return FirstRowsEnd(*table);
  if (document.documentLayout()->blockBoundingRect(text).height() >
      document.pageSize().height() / 4)
    return text;
  if (QTextTable* table = TableAfter(text)) return FirstRowsEnd(*table);
  if (IsChart(text.next())) return text.next();
  return text;
}

// What breaks a page rule first, in reading order: a heading that stands on
// an earlier page than what it keeps (KeptWithHeading), a paragraph split
// across two pages (a caption away from its chart), or a short table split
// so. Neither set when nothing does.
struct Stranded {
  QTextBlock block;
  QTextTable* table = nullptr;
  // A heading's text and the last block it keeps: the heading that moves
  // takes them along, so page breaks made before them earlier go.
  QTextBlock text, kept;
};

Stranded FirstStranded(const QTextDocument& document) {
  constexpr auto kBreak = QTextFormat::PageBreak_AlwaysBefore;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (QTextTable* table = QTextCursor(block).currentTable()) {
      if (table->firstCursorPosition().block() == block &&
          !(table->format().pageBreakPolicy() & kBreak) && SplitAcrossPages(document, *table))
        return {{}, table, {}, {}};
      continue;
    }
    if (block.blockFormat().pageBreakPolicy() & kBreak) continue;
    if (block.blockFormat().headingLevel() >= 2) {
      // The text after the heading and any subheadings straight after it.
      QTextBlock next = block.next();
      while (next.isValid() && next.blockFormat().headingLevel() >= 2) next = next.next();
      if (!next.isValid()) continue;
      const QTextBlock kept = KeptWithHeading(document, next);
      if (PageOf(document, kept) != PageOf(document, block)) return {block, nullptr, next, kept};
    } else if (SplitAcrossPages(document, block)) {
      return {block, nullptr, {}, {}};
    }
  }
  return {};
}

// Where the first thing MoveToNextPage changes begins: the table's frame,
// or the block.
int FirstPosition(const Stranded& stranded) {
  return stranded.table != nullptr ? stranded.table->firstPosition() - 1
                                   : stranded.block.position();
}

// Lets the layout place `block` (or the table it stands in) where it falls:
// no page break before it.
void ClearPageBreak(const QTextBlock& block) {
  if (!block.isValid()) return;
  QTextCursor cursor(block);
  if (QTextTable* table = cursor.currentTable()) {
    QTextTableFormat format = table->format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    table->setFormat(format);
  } else {
    QTextBlockFormat format;
    format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    cursor.mergeBlockFormat(format);
  }
}

// Begins what `stranded` names on a new page.
void MoveToNextPage(const Stranded& stranded) {
  if (stranded.table != nullptr) {
    QTextTableFormat format = stranded.table->format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    stranded.table->setFormat(format);
  } else if (stranded.block.isValid()) {
    QTextBlockFormat format;
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(stranded.block).mergeBlockFormat(format);
    for (QTextBlock block = stranded.text; block.isValid(); block = block.next()) {
      ClearPageBreak(block);
      // A table is cleared once, by its first block: go on after it.
      const QTextTable* table = QTextCursor(block).currentTable();
      const QTextBlock last = table != nullptr ? table->lastCursorPosition().block() : block;
      if (stranded.kept.position() <= last.position()) break;
      block = last;
    }
  }
}

// Moves what FirstStranded finds to the top of the next page, one at a
// time, as each move shifts what follows. Whether anything moved.
bool KeepHeadingsWithText(QTextDocument& document) {
  bool any = false;
  for (int round = 0; round < 500; ++round) {
    const Stranded stranded = FirstStranded(document);
    if (stranded.table == nullptr && !stranded.block.isValid()) break;
    EditThenLayOut(document, FirstPosition(stranded), [&] { MoveToNextPage(stranded); });
    any = true;
  }
  return any;
}

// Writes each heading's page number into the 目录 where `numbers` (the
// places of the placeholders, then of the numbers written) say. The 目录
// ends with a page break, so its numbers move nothing after it.
void FillContents(QTextDocument& document, std::vector<std::pair<int, int>>& numbers) {
  const std::vector<QTextBlock> headings = Headings(document);
  if (numbers.empty()) {
    for (std::size_t index = 0; index < headings.size(); ++index) {
      const QTextCursor cursor = document.find(Q(PagePlaceholder(int(index))));
      if (cursor.isNull()) break;
      numbers.emplace_back(cursor.selectionStart(),
                           cursor.selectionEnd() - cursor.selectionStart());
    }
  }
  std::vector<int> pages;
  for (std::size_t index = 0; index < numbers.size() && index < headings.size(); ++index) {
    pages.push_back(PageOf(document, headings[index]) + 1);
  }
  // From the last, so that the places before stay where they were.
  EditThenLayOut(document, numbers.empty() ? 0 : numbers.front().first, [&] {
    for (std::size_t index = pages.size(); index-- > 0;) {
      QTextCursor cursor(&document);
      cursor.setPosition(numbers[index].first);
      cursor.setPosition(numbers[index].first + numbers[index].second, QTextCursor::KeepAnchor);
      const QString number = QString::number(pages[index]);
      cursor.insertText(number);
      const int change = int(number.size()) - numbers[index].second;
      numbers[index].second = int(number.size());
      for (std::size_t later = index + 1; later < numbers.size(); ++later) {
        numbers[later].first += change;
      }
    }
  });
}

// A book's pages: each paragraph on one page, headings kept with their
// text, then the 目录's numbers, again until nothing moves.
void Paginate(QTextDocument& document) {
  std::vector<std::pair<int, int>> numbers;
  for (int round = 0; round < 4; ++round) {
    const bool moved = KeepHeadingsWithText(document);
    if (!moved && round > 0) return;
    FillContents(document, numbers);
  }
}

}  // namespace

// Short, so that the 目录's line is no longer with it than with the number.
std::string PagePlaceholder(int index) { return "[[" + std::to_string(index) + "]]"; }

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

namespace {

// Page `pageIndex`'s share of the laid-out document.
void DrawBody(QPainter& painter, QTextDocument& document, const QRectF& body, int pageIndex) {
  painter.save();
  painter.translate(body.left(), body.top() - pageIndex * body.height());
  QAbstractTextDocumentLayout::PaintContext context;
  // The clip ends one unit short of the next page, so that a line drawn
  // exactly on the page boundary (the top of a chart beginning the next
  // page) is drawn there only. The layout is asked for the lines a little
  // inside it: a line ending on the boundary or beginning there is written
  // into one page only, not also, clipped away but read by a text
  // extractor, into its neighbour.
  const QRectF page(0, pageIndex * body.height(), body.width(), body.height() - 1);
  painter.setClipRect(page);
  context.clip = page.adjusted(0, 2, 0, -2);
  document.documentLayout()->draw(&painter, context);
  painter.restore();
}

}  // namespace

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
  // Nothing is undone: the edits below need no record.
  document.setUndoRedoEnabled(false);
  document.setDefaultFont(ReportFont(10.5));
  document.setDocumentMargin(0);
  document.setDefaultStyleSheet(kTypeSizes +
                                u"h2 { margin-top: 14pt; } h3 { margin-top: 8pt; } "
                                "p { margin-top: 3pt; margin-bottom: 3pt; }"_s);
  // The text and then the charts go in before the document has a layout,
  // so that nothing is laid out while they go in: laid out as they went in,
  // each chart would lay out again all after it (and the blocks after a
  // table that the charts moved would keep no height). The layout made
  // after them lays the whole out, and the page size lays it out again,
  // afresh, on the PDF's measures.
  document.setHtml(Q(pages.html));
  for (int index = 0;; ++index) {
    QTextCursor cursor = document.find(Q(ChartPlaceholder(index)));
    if (cursor.isNull()) break;
    QTextCharFormat format;
    format.setObjectType(kChartObjectType);
    format.setProperty(kChartProperty, index);
    // In a book the chart and its caption are one paragraph, which
    // Paginate keeps on one page.
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
  }
  ChartObject charts(pages, body.width() * 0.95);
  document.documentLayout()->setPaintDevice(&writer);
  document.documentLayout()->registerHandler(kChartObjectType, &charts);
  document.setPageSize(body.size());
  if (pages.book) Paginate(document);

  const QString date = Q(DateText(pages.date));
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
    if (pages.book && pageIndex == 0) {
      DrawBody(painter, document, body, pageIndex);
      continue;
    }
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

    DrawBody(painter, document, body, pageIndex);
  }
  if (!painter.end()) ReportFail("cannot finish the PDF");
  return bytes;
}

QByteArray ReportDocumentPdf(const ReportDocument& document) {
  HtmlPages pages;
  pages.title = document.title;
  pages.header = document.header;
  pages.date = document.date;
  if (document.cover) {
    pages.book = true;
    pages.html = "<html><body>" + CoverHtml(document, DateText(document.date)) +
                 SignOffHtml(*document.cover) + ContentsHtml(document) + DocumentHtml(document) +
                 "</body></html>";
  } else {
    pages.html = "<html><body><h1 align=\"center\">" + ReportHtml(document.title) + "<br/>" +
                 ReportHtml(document.subtitle) + "</h1>" + DocumentHtml(document) +
                 "</body></html>";
  }
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

namespace {

// Every span of `text` without a size of its own at `points`: a word
// processor sets such text at its own default (12 pt, above the
// subheadings), not at the document's default font.
void GiveBodySize(QTextDocument& text, double points) {
  std::vector<std::pair<int, int>> spans;
  for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().hasProperty(QTextFormat::FontPointSize))
        spans.emplace_back(fragment.position(), fragment.length());
    }
  }
  QTextCharFormat size;
  size.setFontPointSize(points);
  QTextCursor cursor(&text);
  for (const auto& [from, length] : spans) {
    cursor.setPosition(from);
    cursor.setPosition(from + length, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(size);
  }
}

}  // namespace

QByteArray ReportDocumentOdt(const ReportDocument& document) {
  std::string html = "<html><body>";
  if (document.cover) {
    html += CoverHtml(document, DateText(document.date)) + SignOffHtml(*document.cover) +
            ContentsHtml(document, false);
  } else {
    html += "<h1 align=\"center\">" + ReportHtml(document.title) + "<br/>" +
            ReportHtml(document.subtitle) + "</h1>";
  }
  html += DocumentHtml(document) + "</body></html>";

  QTextDocument text;
  text.setDefaultFont(ReportFont(10.5));
  text.setDefaultStyleSheet(kTypeSizes);
  text.setHtml(Q(html));
  GiveBodySize(text, 10.5);
  // The ODF writer gives a table's width in percent as that many points (a
  // table of 100% is 100 pt wide, its cells a character or two) and its
  // columns' in a form word processors ignore: shares of the word
  // processor's A4 text width (2 cm margins) in points instead.
  constexpr double kTextWidthPt = 481.9;
  const auto points = [](const QTextLength& length, double whole) {
    return length.type() == QTextLength::PercentageLength
               ? QTextLength(QTextLength::FixedLength, whole * length.rawValue() / 100)
               : length;
  };
  for (QTextFrame* frame : text.rootFrame()->childFrames()) {
    auto* table = qobject_cast<QTextTable*>(frame);
    if (table == nullptr) continue;
    QTextTableFormat format = table->format();
    format.setWidth(points(format.width(), kTextWidthPt));
    const double width = format.width().rawValue();
    QList<QTextLength> columns = format.columnWidthConstraints();
    while (columns.size() < table->columns()) columns.append(QTextLength());
    // Columns given no width share what the others leave (the writer would
    // give them equal percentages).
    double given = 0;
    qsizetype free = 0;
    for (QTextLength& column : columns) {
      column = points(column, width);
      if (column.type() == QTextLength::FixedLength) {
        given += column.rawValue();
      } else {
        ++free;
      }
    }
    const double share = free > 0 ? std::max(width - given, 0.0) / double(free) : 0;
    for (QTextLength& column : columns) {
      if (column.type() != QTextLength::FixedLength)
        column = QTextLength(QTextLength::FixedLength, share);
    }
    format.setColumnWidthConstraints(columns);
    table->setFormat(format);
  }
  // Each chart as a picture of the size it takes on the PDF's page (pixels
  // of 1/96 inch, drawn at twice that).
  constexpr double kWidth = 600, kScale = 2;
  int index = 0;
  for (const ReportBlock& block : document.blocks) {
    if (block.kind != ReportBlockKind::Chart) continue;
    QTextCursor cursor = text.find(Q(ChartPlaceholder(index)));
    if (cursor.isNull()) break;
    QImage image(int(kWidth * kScale), int(kWidth * kChartAspect * kScale), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.scale(kScale, kScale);
      ui::PaintChart(painter, LayoutChart(block.chart, kWidth, kWidth * kChartAspect));
    }
    const QString name = u"chart-%1.png"_s.arg(++index);
    text.addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(kWidth);
    format.setHeight(kWidth * kChartAspect);
    cursor.insertImage(format);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QTextDocumentWriter writer(&buffer, "odf");
  if (!writer.write(&text)) ReportFail("cannot write the ODF text");
  // The sizes and weights in the East Asian properties too: the Chinese
  // text is set by those.
  const std::string package = OdtWithPropertiesInEveryScript(
      std::string_view(bytes.constData(), std::size_t(bytes.size())));
  return {package.data(), qsizetype(package.size())};
}

bool IsOdtName(std::string_view path) {
  if (path.size() < 4) return false;
  std::string end(path.substr(path.size() - 4));
  for (char& c : end) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".odt";
}

void WritePdfFile(const QByteArray& pdf, const std::string& path) {
  WriteFileAtomically(path, [&](const ByteWriter& write) {
    write(std::string_view(pdf.constData(), std::size_t(pdf.size())));
  });
}

void WriteReportDocument(const ReportDocument& document, const std::string& path) {
  WritePdfFile(IsOdtName(path) ? ReportDocumentOdt(document) : ReportDocumentPdf(document), path);
}

}  // namespace kelvane

#include "report_pdf.moc"
