// The study's calculation report (设计研究计算书) as a ReportDocument, Qt-free:
// what was studied and how, the table of its cases, its chart, its checks
// counted over the cases, and the conclusions in the closing report's own
// lines. Every number of a case is the study CSV's text of it; the report
// keeps the first kMaxRows cases of the shard and says how many it leaves out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/chart_data.h"
#include "report/report_document.h"
#include "study/study.h"

namespace kelvane {

// The case file's title and notes and the report's date ("" for today).
struct StudyDocumentCase {
  std::string title, notes, date;
};

class StudyDocument {
 public:
  static constexpr std::size_t kMaxRows = 200;

  // `base`: settings.base prepared once by the caller.
  StudyDocument(const StudyPlan& plan, const StudySettings& settings, const PreparedCase& base);
  // The rows in case order, as the study hands them on: computed, or read
  // back as the CSV's cells (a resumed study's rows, a joined shard's).
  void Add(const CaseResult& result);
  void AddCells(const std::vector<std::string>& cells);
  std::int64_t RowsLeftOut() const { return leftOut_; }

  // The report: `tally` of the same rows, `chart` the study's chart.
  ReportDocument Document(const StudyTally& tally, const ChartData& chart,
                          const StudyDocumentCase& about) const;

 private:
  // The document's sections 4 (the results table) and 5 (the checks).
  void ResultsSection(ReportDocument& d, const ChartData& chart, const std::string& shard) const;
  static void ChecksSection(ReportDocument& d, const StudyTally& tally);

  const StudyPlan& plan_;
  const StudySettings& settings_;
  std::vector<CheckKind> checks_;  // StudyChecks
  // The base case's pump event and area table in the report's lines, or the
  // fault that keeps them from being read.
  std::vector<std::string> eventLines_;
  std::optional<RunError> eventError_;
  std::vector<std::size_t> shown_;  // the CSV's columns the table shows
  std::vector<std::vector<std::string>> rows_;
  std::int64_t leftOut_ = 0;
  // The CSV columns of the status and of each limit's and check's pass and
  // verdict cells.
  std::size_t statusColumn_ = 0;
  std::vector<std::size_t> passColumns_, verdictColumns_;
};

// The sentence a report of one shard states: it counts its own cases only.
// Empty for the whole study.
std::string StudyShardSentence(const StudyPlan& plan, const StudySettings& settings);

}  // namespace kelvane
