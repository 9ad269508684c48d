// The study's calculation report as content: each case's row holds the study
// CSV's own cells, the checks are counted over the cases, a large study keeps
// its first rows and says how many it leaves out, a shard says it counts its
// own cases only.
#include "study/study_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {
namespace {

// The first block of `kind` after the heading `heading`, or the table of
// that title.
const ReportBlock* BlockAfter(const ReportDocument& d, const std::string& heading,
                              ReportBlockKind kind) {
  bool seen = false;
  for (const ReportBlock& block : d.blocks) {
    if (block.text == heading) seen = true;
    if ((seen && block.kind == kind) ||
        (!block.table.title.empty() && block.table.title == heading))
      return &block;
  }
  return nullptr;
}

std::string AllText(const ReportDocument& d) {
  std::string text;
  for (const ReportBlock& block : d.blocks) text += block.text + "\n";
  return text;
}

// A study's report gathered as the batch mode gathers it: the plan and
// settings complete before the first row.
struct Study {
  StudyPlan plan;
  StudySettings settings;
  std::optional<StudyDocument> document;
  std::optional<StudyTally> tally;
  std::vector<CaseResult> results;

  void Add(const CaseResult& result) {
    if (!document) {
      const PreparedCase base = PrepareCase(settings.base);
      document.emplace(plan, settings, base);
      tally.emplace(plan, settings.limits, StudyChecks(plan, base));
    }
    document->Add(result);
    tally->Add(result);
    results.push_back(result);
  }
  ReportDocument Document() const { return document->Document(*tally, ChartData{}, {}); }
};

// Case `n` complete, its forebay's highest level n/8 m.
CaseResult Complete(const StudyPlan& plan, std::int64_t n) {
  CaseResult r;
  r.number = n;
  plan.CaseValues(n, r.values);
  r.extremes = CaseExtremes{};
  r.extremes->forebayHighest.value = float(n) / 8;
  return r;
}

TEST(StudyDocument, RowsHoldTheCsvCellsAndChecksAreCounted) {
  Study s;
  // A case that fails to run (no reach), cases above and below the limit,
  // and a culvert check that the forebay areas pass or fail.
  s.plan.Add(ParseSweep("segment-count=0,5"));
  s.plan.Add(ParseSweep("forebay-area=600,1800"));
  s.settings.limits.forebayMaxLevel = -2.5;
  s.settings.base.design[DesignId::CulvertInvertUpstream] = "-7.2";
  s.settings.base.design[DesignId::CulvertInvertDownstream] = "-8.3";
  s.settings.base.design[DesignId::CulvertHeight] = "3";
  s.settings.jobs = 2;
  RunStudy(s.plan, s.settings, PrepareCase(s.settings.base),
           [&](const CaseResult& r) { s.Add(r); });
  ASSERT_EQ(s.results.size(), 4u);
  const ReportDocument d = s.Document();

  const ReportBlock* table =
      BlockAfter(d, "各算例的结果（水位、水头 m，时刻 s）", ReportBlockKind::Table);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->table.rows.size(), 4u);
  const std::vector<CheckKind> checks = StudyChecks(s.plan, PrepareCase(s.settings.base));
  const std::vector<std::string> columns = StudyCsvColumns(s.plan, s.settings.limits, checks);
  const char* shown[] = {"case",
                         "segment-count",
                         "forebay-area",
                         "forebay_highest_m",
                         "forebay_highest_time_s",
                         "forebay_lowest_m",
                         "forebay_lowest_time_s",
                         "head_max_m",
                         "head_min_m"};
  int failed = 0, invalid = 0;
  for (std::size_t i = 0; i < s.results.size(); ++i) {
    const CaseResult& r = s.results[i];
    const std::vector<std::string> cells = StudyCsvCells(s.plan, s.settings.limits, r);
    ASSERT_EQ(cells.size(), columns.size());
    const std::vector<std::string>& row = table->table.rows[i];
    ASSERT_EQ(row.size(), std::size(shown) + 1);
    for (std::size_t c = 0; c < std::size(shown); ++c) {
      const std::size_t at =
          std::size_t(std::find(columns.begin(), columns.end(), shown[c]) - columns.begin());
      ASSERT_LT(at, columns.size()) << shown[c];
      EXPECT_EQ(row[c], cells[at]) << "case " << r.number << " " << shown[c];
    }
    const std::string verdict = r.status != 0 ? "失败（错误 " + std::to_string(r.status) + "）"
                                              : (r.Passed() ? "通过" : "不通过");
    EXPECT_EQ(row.back(), verdict);
    failed += r.status != 0;
    invalid += r.verdictMax == CheckVerdict::Invalid;
  }
  EXPECT_EQ(failed, 2);  // both cases of no reach
  // The culvert's soffit lies above the initial head at node 1: the model
  // ends at step 1, and the limit's verdicts of both complete cases are
  // invalid, as the forebay's own check would give them.
  EXPECT_EQ(invalid, 2);

  // The limit's row: passed, failed, undetermined, invalid, not judged (the
  // runs that failed).
  const ReportBlock* counts = BlockAfter(d, "5  校核", ReportBlockKind::Table);
  ASSERT_NE(counts, nullptr);
  ASSERT_EQ(counts->table.rows.size(), 1 + checks.size());
  EXPECT_EQ(counts->table.rows[0],
            (std::vector<std::string>{"前池最高水位限值", "0", "0", "0", "2", "2"}));
  // The closing report's lines, word for word.
  const std::string text = StudyReportText(s.plan, s.settings, *s.tally,
                                           StudyChecks(s.plan, PrepareCase(s.settings.base)));
  const ReportBlock* summary = BlockAfter(d, "设计研究概要", ReportBlockKind::Table);
  ASSERT_NE(summary, nullptr);
  for (const std::vector<std::string>& line : summary->table.rows) {
    EXPECT_NE(text.find(line[0]), std::string::npos) << line[0];
    EXPECT_NE(text.find(line[1] + "\n"), std::string::npos) << line[1];
  }
}

TEST(StudyDocument, ALargeStudyListsItsFirstRowsAndSaysHowManyAreLeftOut) {
  struct Row {
    std::int64_t cases;
    std::size_t listed;
    std::string leftOut;  // "" when every case is listed
  };
  const Row rows[] = {
      {StudyDocument::kMaxRows, StudyDocument::kMaxRows, ""},
      {StudyDocument::kMaxRows + 57, StudyDocument::kMaxRows, "其余 57 个算例未列出"},
  };
  for (const Row& row : rows) {
    Study s;
    s.plan.Add(ParseSweep("forebay-area=1:" + std::to_string(row.cases) + ":1"));
    for (std::int64_t n = 1; n <= row.cases; ++n) s.Add(Complete(s.plan, n));
    const ReportDocument d = s.Document();
    const ReportBlock* table =
        BlockAfter(d, "各算例的结果（水位、水头 m，时刻 s）", ReportBlockKind::Table);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->table.rows.size(), row.listed);
    EXPECT_EQ(table->table.rows.back()[0], std::to_string(row.listed));
    EXPECT_EQ(table->table.rows.back()[2], ShortestText(float(row.listed) / 8));
    const std::string text = AllText(d);
    if (row.leftOut.empty()) {
      EXPECT_EQ(text.find("未列出"), std::string::npos);
    } else {
      EXPECT_NE(text.find(row.leftOut), std::string::npos);
      EXPECT_NE(text.find("--sweep-csv"), std::string::npos);
    }
  }
}

TEST(StudyDocument, AShardSaysItCountsItsOwnCasesOnly) {
  Study s;
  s.plan.Add(ParseSweep("forebay-area=600:1200:100"));
  EXPECT_EQ(StudyShardSentence(s.plan, s.settings), "");
  s.settings.shardIndex = 1;
  s.settings.shardCount = 3;
  const std::string sentence = StudyShardSentence(s.plan, s.settings);
  for (std::int64_t n : {1, 4, 7}) s.Add(Complete(s.plan, n));
  EXPECT_EQ(sentence, "本报告只计分片 1/3 的 3 个算例（全部 7 个中），其余分片的算例不在其中。");
  const std::string text = AllText(s.Document());
  EXPECT_NE(text.find(sentence), std::string::npos);
  EXPECT_NE(text.find("共 7 个算例"), std::string::npos);
}

// A study of named cases shows each case's name beside its number, under 工况.
TEST(StudyDocument, NamedCasesAreShownByName) {
  Study s;
  s.plan.Add(ReadCaseTable("forebay-area,name\n600,小前池\n1800,大前池\n"));
  for (std::int64_t n = 1; n <= 2; ++n) s.Add(Complete(s.plan, n));
  const ReportDocument d = s.Document();
  const ReportBlock* table =
      BlockAfter(d, "各算例的结果（水位、水头 m，时刻 s）", ReportBlockKind::Table);
  ASSERT_NE(table, nullptr);
  ASSERT_GE(table->table.head.size(), 3u);
  EXPECT_EQ(table->table.head[1], "工况");
  EXPECT_EQ(table->table.head.size(), table->table.rows[0].size());
  EXPECT_EQ(table->table.rows[0][1], "小前池");
  EXPECT_EQ(table->table.rows[1][1], "大前池");
  EXPECT_EQ(table->table.rows[1][2], "1800");
}

}  // namespace
}  // namespace kelvane
