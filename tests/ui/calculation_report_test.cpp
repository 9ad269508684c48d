// The calculation report as a reader gets it: the text poppler extracts holds
// every input, the summary's extremes and the design checks' sentences word
// for word; its fonts are embedded; its pages render with ink; a report that
// cannot be written leaves nothing behind.
#include "ui/calculation_report.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "report/design_checks.h"
#include "solver/event_texts.h"
#include "support/child_process.h"
#include "support/pdf_pages.h"
#include "ui/report_pdf.h"

using namespace kelvane;

namespace {

using test::Squeezed;

struct Report {
  SurgeRun run;
  ReportInput input;
  explicit Report(const DesignTexts& design, const EventTexts& events = {},
                  const InputTexts& texts = DefaultInputTexts()) {
    input.title = "某泵站 全部停泵";
    input.notes = "第一行\n第二行";
    input.design = design;
    input.texts = texts;
    CalculateOptions options;
    options.extras = ReadModelExtras(events);
    input.outcome = Calculate(input.texts, run, options);
    input.run = &run;
    input.summary = SummarizeRun(run, input.outcome);
    input.date = "2026-01-31";
  }
  DesignCheckReport Checks() const {
    return CheckDesign(ReadDesignData(input.design), input.summary, run, input.outcome);
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

}  // namespace

class CalculationReportTest : public QObject {
  Q_OBJECT

 private slots:
  void textHoldsInputsExtremesAndVerdicts() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("计算书.pdf")).toStdString();
    const Report report(MixedDesign());
    WriteCalculationReport(report.input, path);

    const test::ProcessResult text =
        test::RunProcess({Tool("pdftotext"), "-enc", "UTF-8", path, "-"});
    QCOMPARE(text.status, 0);
    const std::string pdf = Squeezed(text.out);
    std::vector<std::string> expected = {"某泵站全部停泵", "第一行", "第二行", "2026-01-31",
                                         "“.153”",         "0.153",  "第1页共"};
    for (const InputField& field : InputFields()) {
      expected.push_back(field.caption);
      expected.push_back("“" + std::string(field.defaultText) + "”");
    }
    for (const DesignField& field : DesignFields()) expected.push_back(field.caption);
    // The summary's own texts of the extremes.
    const RunSummary& s = report.input.summary;
    for (const ExtremeAt& extreme : {s.forebayHighest, s.forebayLowest}) {
      expected.push_back(FixedText(extreme.value, 3) + "m");
      expected.push_back(StepTimeText(report.run, extreme.step));
    }
    for (const NodeEnvelope& node : s.envelope) {
      expected.push_back(FixedText(node.highestHead.value, 3));
      expected.push_back(FixedText(node.lowestVelocity.value, 3));
    }
    // Every check's row and verdict, and every conclusion, word for word.
    const DesignCheckReport checks = report.Checks();
    QCOMPARE(checks.rows.size(), std::size_t(5));
    for (const CheckRow& row : checks.rows) {
      expected.push_back(row.item);
      expected.push_back(row.limitText);
      expected.push_back(row.whereText);
    }
    for (const std::string& sentence : checks.conclusions) expected.push_back(sentence);
    for (const std::string& piece : expected) {
      QVERIFY2(pdf.find(Squeezed(piece)) != std::string::npos, piece.c_str());
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
    const std::string path = folder.filePath(QStringLiteral("report.pdf")).toStdString();
    const Report report{DesignTexts{}};
    WriteCalculationReport(report.input, path);

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
    const std::string path = folder.filePath(QStringLiteral("charts.pdf")).toStdString();
    const Report report{DesignTexts{}};
    WriteCalculationReport(report.input, path);
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
    const Report report{DesignTexts{}};
    try {
      WriteCalculationReport(report.input, path);
      QFAIL("written into a missing folder");
    } catch (const RunError& error) {
      QCOMPARE(error.code(), ErrorCode::PathNotFound);
    }
    QVERIFY(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
  }
};

QTEST_MAIN(CalculationReportTest)
#include "calculation_report_test.moc"
