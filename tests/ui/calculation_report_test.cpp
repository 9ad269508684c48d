// The calculation report as a reader gets it: the text poppler extracts holds
// every input, the summary's extremes and the design checks' sentences word
// for word; its fonts are embedded; its pages render with ink; the 目录 names
// the page each heading begins on, no heading stands alone at a page's foot
// and each caption shares its chart's page; the editable copy converts back
// to PDF with the same tables; a report that cannot be written leaves
// nothing behind.
#include "ui/calculation_report.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "evaluation/design_checks.h"
#include "support/book_cases.h"
#include "support/child_process.h"
#include "support/pdf_pages.h"
#include "test_classes.h"
#include "texts/event_texts.h"
#include "ui/report_pdf.h"

using namespace kelvane;

namespace {

using test::Squeezed;

struct Report {
  PreparedCase prepared;
  SurgeRun run;
  ReportInput input;
  explicit Report(const DesignTexts& design, const EventTexts& events = {},
                  const InputTexts& texts = DefaultInputTexts()) {
    Case typed;
    typed.title = "某泵站 全部停泵";
    typed.notes = "第一行\n第二行";
    typed.design = design;
    typed.texts = texts;
    typed.events = events;
    prepared = PrepareCase(typed);
    input.prepared = &prepared;
    CalculateOptions options;
    options.extras = prepared.extras;
    input.outcome = Calculate(typed.texts, run, options);
    input.run = &run;
    input.summary = SummarizeRun(run, input.outcome);
    input.date = "2026-01-31";
  }
  Report(const Report&) = delete;  // the input points into it
  Report& operator=(const Report&) = delete;
  DesignCheckReport Checks() const {
    return CheckDesign(prepared.design, input.summary, run, input.outcome);
  }
};

// Design data whose checks pass and fail on the default pump stop.
DesignTexts MixedDesign() {
  DesignTexts design;
  design[DesignId::ForebayWallTop] = "-1";
  design[DesignId::ForebayFreeboard] = "1";
  design[DesignId::PumpMinLevel] = "-5";
  design[DesignId::CulvertInvertUpstream] = "-7.2";
  design[DesignId::CulvertInvertDownstream] = "-8.3";
  design[DesignId::CulvertHeight] = "3";
  design[DesignId::CulvertDesignPressureHead] = "3.3";
  return design;
}

std::string Tool(const char* name) { return std::string("/usr/bin/") + name; }

// The pages of a PDF as `pdftotext -layout` gives them (page 1 first), each
// as its lines.
std::vector<std::vector<std::string>> PageLines(const std::string& path) {
  const test::ProcessResult text =
      test::RunProcess({Tool("pdftotext"), "-enc", "UTF-8", "-layout", path, "-"});
  std::vector<std::vector<std::string>> pages(1);
  std::string line;
  for (char c : text.out) {
    if (c == '\f') {
      if (!line.empty()) pages.back().push_back(line);
      line.clear();
      pages.emplace_back();
    } else if (c == '\n') {
      pages.back().push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (pages.back().empty()) pages.pop_back();
  return pages;
}

// The text within the pages' body (A4 less the margins, in pt): a line
// that the layout moved on to the next page is written clipped into the
// page before too, outside its body.
std::string BodyText(const std::string& path, const std::string& mode = "") {
  std::vector<std::string> words = {
      Tool("pdftotext"), "-enc", "UTF-8", "-x", "70", "-y", "79", "-W", "469", "-H", "702"};
  if (!mode.empty()) words.push_back(mode);
  words.push_back(path);
  words.push_back("-");
  return test::RunProcess(words).out;
}

std::string PageText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return Squeezed(text);
}

// The headings and subheadings of a document, as the 目录 lists them.
std::vector<std::string> HeadingTexts(const ReportDocument& document) {
  std::vector<std::string> out;
  for (const ReportBlock& block : document.blocks) {
    if (block.kind == ReportBlockKind::Heading || block.kind == ReportBlockKind::Subheading)
      out.push_back(block.text);
  }
  return out;
}

// A converted book set at its sizes, not at the word processor's default
// (12 pt): the cover's title and subtitle (22 and 20 pt), a heading (14 pt)
// and a subheading (11 pt) above the body (10.5 pt), each Chinese character
// about as wide as its size; and the cover's title well down its page.
void EditableCopyAtItsSizes(const std::string& pdf, const ReportDocument& document) {
  const test::ProcessResult boxes = test::PdfText(pdf, "-bbox");
  QCOMPARE(boxes.status, 0);
  // The words after a heading's number; the first body paragraph's start.
  const auto named = [&](ReportBlockKind kind) {
    for (const ReportBlock& block : document.blocks)
      if (block.kind == kind)
        return block.text.substr(block.text.find_first_not_of(' ', block.text.find(' ')));
    return std::string();
  };
  std::string body;
  for (const ReportBlock& block : document.blocks)
    if (block.kind == ReportBlockKind::Paragraph && body.empty()) body = block.text.substr(0, 12);
  struct Row {
    std::string words;
    double points;
    bool last;  // the last such word (a heading's, after its 目录 line)
  };
  const Row rows[] = {{document.title, 22, false},
                      {document.subtitle, 20, false},
                      {named(ReportBlockKind::Heading), 14, true},
                      {named(ReportBlockKind::Subheading), 11, true},
                      {body, 10.5, false}};
  for (const Row& row : rows) {
    const std::size_t at = row.last ? boxes.out.rfind("\">" + row.words + "</word>")
                                    : boxes.out.find("\">" + row.words);
    QVERIFY2(at != std::string::npos, row.words.c_str());
    const test::PdfWordBox box =
        test::FindPdfWordStarting(boxes.out.substr(boxes.out.rfind("<word", at)), row.words);
    const double each = (box.right - box.left) / double(QString::fromStdString(box.text).size());
    QVERIFY2(each > 0.9 * row.points && each < 1.1 * row.points,
             (row.words + " " + std::to_string(each) + " pt a character").c_str());
  }
  // Below the top seventh of the A4 page's 842 pt (at the page's margin
  // without the cover's space).
  QVERIFY(test::FindPdfWord(boxes.out, document.title).top > 120);
}

class CalculationReportTest : public QObject {
  Q_OBJECT

 private slots:
  // The default case's report and the three-case book, each laid out once
  // for the functions that only read them.
  void initTestCase() {
    QVERIFY(shared_.isValid());
    plain_ = std::make_unique<const Report>(DesignTexts{});
    plainPdf_ = shared_.filePath(QStringLiteral("report.pdf")).toStdString();
    WriteCalculationReport(plain_->input, plainPdf_);
    book_ = std::make_unique<const test::BookCases>(test::ThreeBookCases());
    bookDocument_ = CalculationBook(book_->book);
  }

  void textHoldsInputsExtremesAndVerdicts() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("计算书.pdf")).toStdString();
    const Report report(MixedDesign());
    WriteCalculationReport(report.input, path);

    const test::ProcessResult text =
        test::RunProcess({Tool("pdftotext"), "-enc", "UTF-8", path, "-"});
    QCOMPARE(text.status, 0);
    QVERIFY(Squeezed(text.out).find("第2页共") != std::string::npos);
    QVERIFY(Squeezed(text.out).find("2026-01-31") != std::string::npos);
    // The body's text: each page's header and page number left out, so that
    // a sentence running on to the next page reads as one.
    const std::string body = Squeezed(BodyText(path)), whole = Squeezed(text.out);
    std::vector<std::string> expected = {"某泵站全部停泵", "第一行", "第二行", "“.153”", "0.153"};
    for (const InputField& field : InputFields()) {
      expected.push_back(field.caption);
      expected.push_back("“" + std::string(field.defaultText) + "”");
    }
    // Every design item given, by its caption.
    const DesignTexts given = MixedDesign();
    for (const DesignField& field : DesignFields())
      if (given[field.id]) expected.push_back(field.caption);
    // The summary's own texts of the extremes.
    const RunSummary& s = report.input.summary;
    for (const ExtremeAt& extreme : {s.forebayHighest, s.forebayLowest}) {
      expected.push_back(FixedText(extreme.value, 3) + "m");
      expected.push_back(StepTimeText(report.run, extreme.step));
    }
    for (const NodeEnvelope& node : s.envelope) {
      expected.push_back(FixedText(node.highestHead.value, 3));
      // The largest reverse velocity as a magnitude.
      const float reverse = node.lowestVelocity.value;
      expected.push_back(reverse < 0 ? FixedText(-reverse, 3) : "无");
    }
    // Every check's row and verdict, and every conclusion, word for word.
    const DesignCheckReport checks = report.Checks();
    QCOMPARE(checks.rows.size(), std::size_t(5));
    for (const CheckRow& row : checks.rows) {
      expected.push_back(row.item);
      expected.push_back(row.limitText);
      expected.push_back(row.whereText);
    }
    // The conclusions in the document the PDF is laid out from (a paragraph
    // moved on to the next page is also written, clipped, into the page
    // before, where an extractor reads it although it is not drawn there).
    const ReportDocument document = CalculationDocument(report.input);
    for (const std::string& sentence : checks.conclusions) {
      bool found = false;
      for (const ReportBlock& block : document.blocks) found |= block.text.ends_with(sentence);
      QVERIFY2(found, sentence.c_str());
    }
    for (const std::string& piece : expected) {
      const std::string squeezed = Squeezed(piece);
      QVERIFY2(
          body.find(squeezed) != std::string::npos || whole.find(squeezed) != std::string::npos,
          piece.c_str());
    }
  }

  // The conclusion tells the event as it was modelled, in the 工况 line's
  // words; with a level–area table the areas used stand where the box was.
  void eventAndForebayAreInTheirModelledWords() {
    struct Row {
      std::string units, schedule, rampTime, areaTable, steady;
      std::vector<std::string> present, absent;
    };
    const std::vector<Row> rows = {
        {"2:10:0:30:10",
         "",
         "",
         "",
         "20",
         {"水泵流量由 20 m³/s 起按机组启闭序列（2 台依次启动，每台 10 m³/s，首台 0 s，间隔 30 "
          "s，历时 10 s）变为 40 m³/s 后"},
         {"变为 0 m³/s 后"}},
        {"",
         "0:41.6,10:20.8,60:0",
         "",
         "",
         "",
         {"起按泵流量过程（3 点，0 至 60 s，流量 0 至 41.6 m³/s）变为 0 m³/s 后"},
         {}},
        {"", "", "30", "", "", {"起按泵流量斜坡（历时 30 s，指数 1）变为 0 m³/s 后"}, {}},
        {"",
         "",
         "",
         "-6:600,-2:2000",
         "",
         {"水泵流量由 41.6 m³/s 变为 0 m³/s 后", "前池水位–面积表所用面积", "最小者为稳定限的",
          "不用（按水位–面积表）"},
         {"1287.414 m²，为稳定限的", "水面面积 1287.414 m²"}},
    };
    for (const Row& row : rows) {
      EventTexts events;
      if (!row.units.empty()) events.units = row.units;
      if (!row.schedule.empty()) events.schedule = SplitPairsText(row.schedule);
      if (!row.rampTime.empty()) events.rampTime = row.rampTime;
      if (!row.areaTable.empty()) events.areaTable = SplitPairsText(row.areaTable);
      InputTexts texts = DefaultInputTexts();
      if (!row.steady.empty()) texts[InputId::SteadyDischarge] = row.steady;
      const Report report(DesignTexts{}, events, texts);
      QTemporaryDir folder;
      const std::string path = folder.filePath(QStringLiteral("r.pdf")).toStdString();
      WriteCalculationReport(report.input, path);
      const test::ProcessResult text =
          test::RunProcess({Tool("pdftotext"), "-enc", "UTF-8", path, "-"});
      QCOMPARE(text.status, 0);
      const std::string pdf = Squeezed(text.out);
      for (const std::string& piece : row.present)
        QVERIFY2(pdf.find(Squeezed(piece)) != std::string::npos, piece.c_str());
      for (const std::string& piece : row.absent)
        QVERIFY2(pdf.find(Squeezed(piece)) == std::string::npos, piece.c_str());
    }
  }

  void fontsAreEmbeddedAndPagesHaveInk() {
    QTemporaryDir folder;
    const std::string& path = plainPdf_;

    // Every font, the Chinese one included, embedded ("emb" column "yes").
    const test::ProcessResult fonts = test::RunProcess({Tool("pdffonts"), path});
    QCOMPARE(fonts.status, 0);
    const std::size_t emb = fonts.out.find(" emb ");
    QVERIFY(emb != std::string::npos);
    int fontCount = 0;
    std::size_t line = fonts.out.find('\n', fonts.out.find("\n---") + 1) + 1;
    for (; line < fonts.out.size(); line = fonts.out.find('\n', line) + 1) {
      if (line == 0) break;
      QCOMPARE(fonts.out.substr(line + emb + 1, 3), std::string("yes"));
      ++fontCount;
    }
    QVERIFY(fontCount >= 1);

    const std::string prefix = folder.filePath(QStringLiteral("page")).toStdString();
    const test::ProcessResult pages =
        test::RunProcess({Tool("pdftoppm"), "-r", "30", "-png", path, prefix});
    QCOMPARE(pages.status, 0);
    int rendered = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path().toStdString())) {
      if (entry.path().extension() != ".png") continue;
      const QImage page(QString::fromStdString(entry.path().string()));
      QVERIFY(!page.isNull());
      int ink = 0;
      for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) ink += qGray(page.pixel(x, y)) < 128;
      QVERIFY2(ink > 100, entry.path().c_str());
      ++rendered;
    }
    QVERIFY(rendered >= 2);
  }

  // Each chart of section 4 drawn in its frame: beneath the chart's title,
  // as poppler finds it on the page, coloured line pixels run across most of
  // the frame's width.
  void chartsDrawTheirLinesInTheirFrames() {
    QTemporaryDir folder;
    const std::string& path = plainPdf_;
    const Report& report = *plain_;
    const test::ProcessResult words = test::RunProcess({Tool("pdftotext"), "-bbox", path, "-"});
    QCOMPARE(words.status, 0);
    const std::string prefix = folder.filePath(QStringLiteral("page")).toStdString();
    QCOMPARE(test::RunProcess({Tool("pdftoppm"), "-r", "60", "-png", path, prefix}).status, 0);

    for (ReportChart chart : {ReportChart::ForebayLevel, ReportChart::HeadEnvelope}) {
      const std::string title = ReportChartData(report.input, chart).title;
      const test::PdfWordAt at = test::FindPdfWord(words.out, title.substr(0, title.find(' ')));
      QVERIFY2(at.page > 0, title.c_str());
      const QImage page(QString::fromStdString(prefix + "-" + std::to_string(at.page) + ".png"));
      QVERIFY(!page.isNull());
      // The frame: from the title down the chart's height (about 240 pt).
      const double pixelsPerPoint = 60.0 / 72.0;
      const int top = int(at.top * pixelsPerPoint);
      const int bottom = std::min(page.height(), int((at.top + 230) * pixelsPerPoint));
      int coloured = 0, left = page.width(), right = 0;
      for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < page.width(); ++x) {
          const QColor c = page.pixelColor(x, y);
          if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) <
              80)
            continue;
          ++coloured;
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
      QVERIFY2(coloured > 200, title.c_str());
      // 157 mm wide at 60 dpi is 370 px; the lines span the plot.
      QVERIFY2(right - left > 250, title.c_str());
    }
  }

  // An item left blank is listed as typed and checks nothing.
  void blankDesignItemChecksNothing() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("blank.pdf")).toStdString();
    DesignTexts design;
    design[DesignId::PumpMinLevel] = " ";
    const Report report(design);
    WriteCalculationReport(report.input, path);
    const test::ProcessResult text =
        test::RunProcess({Tool("pdftotext"), "-enc", "UTF-8", path, "-"});
    QCOMPARE(text.status, 0);
    const std::string pdf = Squeezed(text.out);
    for (const char* piece : {"“”", "空，不计", "未给出设计资料，未作校核。"}) {
      QVERIFY2(pdf.find(piece) != std::string::npos, piece);
    }
  }

  // The three-case book: the cover and sign-off names; no line running past
  // the text's right edge; every heading on the page its 目录 line names,
  // none the last line of its page; each caption on its chart's page.
  void bookPagesKeepTheirRules() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("book.pdf")).toStdString();
    const ReportDocument& document = bookDocument_;
    WriteReportDocument(document, path);
    // The text area ends 56 pt before the A4 page's 595 pt; a word may
    // overhang it by a character's sidebearing.
    const std::vector<std::string> beyond =
        test::PdfWordsRightOf(test::PdfText(path, "-bbox").out, 541);
    QVERIFY2(beyond.empty(), beyond.empty() ? "" : beyond.front().c_str());
    const std::vector<std::vector<std::string>> pages = PageLines(path);
    QVERIFY(pages.size() > 8);
    for (const char* piece : {"某泵站工程", "初步设计", "JS-2026-017", "2026-01-31"}) {
      QVERIFY2(PageText(pages[0]).find(Squeezed(piece)) != std::string::npos, piece);
    }
    for (const char* name : {"计算张三", "校核李四", "审核王五", "审定赵六"}) {
      QVERIFY2(PageText(pages[1]).find(name) != std::string::npos, name);
    }
    // The 目录's lines end in the page number.
    QVERIFY(PageText(pages[2]).find("目录") != std::string::npos);
    const std::vector<std::string> headings = HeadingTexts(document);
    for (const std::string& heading : headings) {
      const std::string squeezed = Squeezed(heading);
      int page = 0;
      for (const std::string& line : pages[2]) {
        const std::string entry = Squeezed(line);
        if (entry.starts_with(squeezed) && entry.size() > squeezed.size() &&
            std::isdigit(static_cast<unsigned char>(entry[squeezed.size()])) &&
            entry.find_first_not_of("0123456789", squeezed.size()) == std::string::npos) {
          page = std::stoi(entry.substr(squeezed.size()));
        }
      }
      QVERIFY2(page >= 4 && page <= int(pages.size()), heading.c_str());
      // Where the heading stands: a line of its own on that page.
      bool found = false;
      for (const std::string& line : pages[std::size_t(page - 1)])
        found |= Squeezed(line) == squeezed;
      QVERIFY2(found, (heading + " not on page " + std::to_string(page)).c_str());
    }
    // Page by page, the body's last line is no heading.
    std::vector<std::vector<std::string>> bodies(1);
    {
      std::string line;
      for (char c : BodyText(path, "-layout")) {
        if (c == '\f' || c == '\n') {
          if (!Squeezed(line).empty()) bodies.back().push_back(Squeezed(line));
          line.clear();
          if (c == '\f') bodies.emplace_back();
        } else {
          line += c;
        }
      }
    }
    for (std::size_t p = 3; p < pages.size() && p < bodies.size(); ++p) {
      const std::vector<std::string>& body = bodies[p];
      QVERIFY(!body.empty());
      for (const std::string& heading : headings) {
        QVERIFY2(body.back() != Squeezed(heading), (heading + " at a page's foot").c_str());
      }
    }
    // Each caption on the page of its chart's title.
    for (const ReportBlock& block : document.blocks) {
      if (block.kind != ReportBlockKind::Chart) continue;
      const std::string caption = Squeezed(block.text).substr(0, 30);
      const std::string title = Squeezed(block.chart.title).substr(0, 12);
      int pageOfCaption = 0;
      for (std::size_t p = 3; p < pages.size() && !pageOfCaption; ++p) {
        if (PageText(pages[p]).find(caption) != std::string::npos) pageOfCaption = int(p);
      }
      QVERIFY2(pageOfCaption > 0, block.text.c_str());
      QVERIFY2(PageText(pages[std::size_t(pageOfCaption)]).find(title) != std::string::npos,
               block.text.c_str());
    }
  }

  // The editable copy: LibreOffice turns it into a PDF holding the same
  // headings and the 控制工况 table.
  void editableCopyConvertsWithItsTables() {
    if (!std::filesystem::exists(Tool("soffice"))) {
      QSKIP("LibreOffice (soffice) is not installed: tools/install-deps.sh installs it");
    }
    QTemporaryDir folder;
    const std::string odt = folder.filePath(QStringLiteral("book.odt")).toStdString();
    const ReportDocument& document = bookDocument_;
    WriteReportDocument(document, odt);
    const std::string profile =
        "-env:UserInstallation=file://" + folder.filePath(QStringLiteral("profile")).toStdString();
    const test::ProcessResult convert =
        test::RunProcess({Tool("soffice"), profile, "--headless", "--convert-to", "pdf", "--outdir",
                          folder.path().toStdString(), odt});
    QCOMPARE(convert.status, 0);
    const test::ProcessResult text =
        test::PdfText(folder.filePath(QStringLiteral("book.pdf")).toStdString());
    QCOMPARE(text.status, 0);
    const std::string pdf = Squeezed(text.out);
    EditableCopyAtItsSizes(folder.filePath(QStringLiteral("book.pdf")).toStdString(), document);
    // Each signer's date lines on one line.
    std::size_t dates = 0;
    for (std::size_t at = 0; (at = text.out.find("______年____月____日", at)) != std::string::npos;
         ++at)
      ++dates;
    QCOMPARE(dates, document.cover->signers.size());
    // Every table's columns in points, none in the shares word processors
    // read as they please.
    if (std::filesystem::exists(Tool("unzip"))) {
      const test::ProcessResult content =
          test::RunProcess({Tool("unzip"), "-p", odt, "content.xml"});
      QCOMPARE(content.status, 0);
      QVERIFY2(content.out.find("column-width=\"") != std::string::npos, "no column widths");
      const std::size_t percent = content.out.find("%\"/>");
      if (percent != std::string::npos)
        QFAIL(content.out.substr(percent < 80 ? 0 : percent - 80, 90).c_str());
    }
    for (const std::string& heading : HeadingTexts(document)) {
      QVERIFY2(pdf.find(Squeezed(heading)) != std::string::npos, heading.c_str());
    }
    for (const ReportBlock& block : document.blocks) {
      if (block.kind != ReportBlockKind::Table || block.table.head.empty() ||
          block.table.head[0] != "校核项目")
        continue;
      for (const std::vector<std::string>& row : block.table.rows) {
        for (const std::string& cell : row) {
          QVERIFY2(pdf.find(Squeezed(cell)) != std::string::npos, cell.c_str());
          // on one line: the table as wide as the page, not its cells
          // broken after a character or two
          QVERIFY2(text.out.find(cell) != std::string::npos, cell.c_str());
        }
      }
    }
  }

  // A heading keeps its lead paragraph and its table's head and first two
  // rows on its page, with or without the paragraph, wherever the text
  // before leaves it on the page.
  void headingKeepsItsTableOnItsPage() {
    QTemporaryDir folder;
    const std::string file = folder.filePath(QStringLiteral("rule.pdf")).toStdString();
    for (const bool lead : {true, false}) {
      for (int filler = 28; filler <= 52; ++filler) {
        std::string html = "<html><body><p>封面</p>";
        html += "<p style=\"page-break-before: always;\">正文 0</p>";
        for (int line = 1; line < filler; ++line)
          html += "<p>正文 " + std::to_string(line) + "</p>";
        html += "<h2>7.2 控制工况</h2>";
        if (lead) html += "<p>每项校核取最不利的工况为控制工况。</p>";
        HtmlTable table;
        table.Head("表题", 3, {"校核项目", "控制工况", "结论"}, {});
        for (const char* row : {"甲", "乙", "丙", "丁", "戊"})
          table.Row({std::string("项") + row, std::string("工况") + row, "满足"});
        html += table.End() + "<p>后文</p></body></html>";
        HtmlPages pages;
        pages.title = "某泵站";
        pages.header = "计算书";
        pages.date = "2026-01-31";
        pages.book = true;
        pages.html = html;
        WritePdfFile(HtmlPagesPdf(pages), file);
        // The first page whose body holds each piece.
        std::vector<std::string> bodies(1);
        for (const char c : BodyText(file)) {
          if (c == '\f') {
            bodies.emplace_back();
          } else {
            bodies.back() += c;
          }
        }
        const auto pageOf = [&](const char* piece) {
          for (std::size_t p = 0; p < bodies.size(); ++p)
            if (Squeezed(bodies[p]).find(piece) != std::string::npos) return int(p);
          return -1;
        };
        const int heading = pageOf("7.2控制工况");
        const std::string where = std::to_string(filler) + (lead ? " lines, lead" : " lines");
        QVERIFY2(heading > 0, where.c_str());
        for (const char* piece : {"每项校核", "校核项目", "项甲", "项乙"}) {
          if (!lead && piece == std::string("每项校核")) continue;
          QVERIFY2(pageOf(piece) == heading, (where + ": " + piece).c_str());
        }
      }
    }
  }

  // A title longer than the header's line stops short of the date, with an
  // ellipsis; a short one is drawn whole.
  void longTitleLeavesTheDateClear() {
    std::string longTitle = "某泵站";
    for (int i = 0; i < 30; ++i) longTitle += "很长的标题";
    longTitle += "结尾";
    struct Row {
      std::string title;
      bool whole;
    };
    const Row rows[] = {{"某泵站进水结尾", true}, {longTitle, false}};
    QTemporaryDir folder;
    for (const Row& row : rows) {
      HtmlPages pages;
      pages.title = row.title;
      pages.header = "计算书";
      pages.date = "2026-01-31";
      pages.html = "<html><body><p>正文</p></body></html>";
      const QString file = folder.filePath(QStringLiteral("header.pdf"));
      WritePdfFile(HtmlPagesPdf(pages), file.toStdString());
      const test::ProcessResult words = test::PdfText(file.toStdString(), "-bbox");
      QCOMPARE(words.status, 0);
      const test::PdfWordBox title = test::FindPdfWordStarting(words.out, "某泵站");
      const test::PdfWordBox date = test::FindPdfWordStarting(words.out, "计算日期");
      QVERIFY(!title.text.empty() && !date.text.empty());
      if (row.whole) {
        QCOMPARE(title.text, row.title);
      } else {
        QVERIFY(title.text.find("结尾") == std::string::npos);
        QVERIFY(title.text.ends_with("…"));
      }
      QVERIFY(title.right < date.left);
    }
  }

  void failedWriteLeavesNothing() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("missing/report.pdf")).toStdString();
    try {
      WriteCalculationReport(plain_->input, path);
      QFAIL("written into a missing folder");
    } catch (const RunError& error) {
      QCOMPARE(error.code(), ErrorCode::PathNotFound);
    }
    QVERIFY(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
  }

 private:
  QTemporaryDir shared_;
  std::unique_ptr<const Report> plain_;
  std::string plainPdf_;
  std::unique_ptr<const test::BookCases> book_;
  ReportDocument bookDocument_;
};

}  // namespace

KELVANE_UI_TEST(calculation_report, CalculationReportTest);
#include "calculation_report_test.moc"
