// A report as plain content, Qt-free: headings, paragraphs, tables and
// charts in reading order, laid out on A4 pages by the windows library's PDF
// writer (ui/report_pdf.h). The study's report and the single run's
// (report/calculation_document.h) are built this way and share the model's
// description below.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charts/chart_data.h"

namespace kelvane {

struct ReportTable {
  // A title over the table, inside it, so that no page ends with the title
  // alone and a table running on to the next page repeats it there.
  std::string title;
  std::vector<std::string> head;  // empty: no heading row
  std::vector<int> widths;        // per cent of the table per column; empty: the layout's choice
  std::vector<bool> numeric;      // per column: aligned right and kept on one line
  std::vector<bool> oneLine;      // per column: kept on one line
  std::vector<std::vector<std::string>> rows;
  bool compact = false;  // smaller type and padding, for a wide table of numbers
};

enum class ReportBlockKind { Heading, Subheading, Paragraph, Table, Chart };

struct ReportBlock {
  ReportBlockKind kind = ReportBlockKind::Paragraph;
  std::string text;  // a heading's or paragraph's text, a chart's caption
  ReportTable table;
  ChartData chart;
};

// A book's first pages: the cover's lines, the sign-off page's duties with
// their names (and a blank line for each date), then a 目录 of the headings
// and subheadings with the page each begins on.
struct ReportCover {
  std::vector<std::pair<std::string, std::string>> lines;    // label, value
  std::vector<std::pair<std::string, std::string>> signers;  // duty, name ("" left blank)
};

struct ReportDocument {
  std::string title;                 // the first line of the first page and the header's left
  std::string subtitle;              // the second line: what kind of report it is
  std::string header;                // after the title in the header: "计算书"
  std::string date;                  // the header's date; "" for today (yyyy-MM-dd)
  std::optional<ReportCover> cover;  // none: the title and subtitle head the first page
  std::vector<ReportBlock> blocks;

  void Heading(std::string text) { Add(ReportBlockKind::Heading, std::move(text)); }
  void Subheading(std::string text) { Add(ReportBlockKind::Subheading, std::move(text)); }
  void Paragraph(std::string text) { Add(ReportBlockKind::Paragraph, std::move(text)); }
  void Table(ReportTable table) { Add(ReportBlockKind::Table, "").table = std::move(table); }
  void Chart(ChartData chart, std::string caption) {
    Add(ReportBlockKind::Chart, std::move(caption)).chart = std::move(chart);
  }

 private:
  ReportBlock& Add(ReportBlockKind kind, std::string text) {
    ReportBlock& block = blocks.emplace_back();
    block.kind = kind;
    block.text = std::move(text);
    return block;
  }
};

// The model in plain words, for a culvert of `reaches` reaches ("10", or
// words for reach counts that differ from case to case).
std::string ModelMethodText(std::string_view reaches);
// The limits of the model that hold for every run: the friction-only march
// and its drift, the forebay update's stability rule (its first words), the
// culvert assumed full.
extern const char* const kModelDriftText;
extern const char* const kForebayStabilityRule;
extern const char* const kCulvertFullText;
// The same limits of the mixed model, a sentence without its number.
extern const char* const kMixedCulvertText;

}  // namespace kelvane
