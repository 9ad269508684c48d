// The calculation book as a document: which case governs each check, the
// 控制工况 table and the measures computed from the governing case, each
// case's extremes in the summary's own digits, and the words engineers use.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "evaluation/governing_case.h"
#include "report/calculation_document.h"
#include "support/book_cases.h"

namespace kelvane {
namespace {

TEST(GoverningCase, WorstVerdictThenLargestShortfallOrLeastMargin) {
  using V = CheckVerdict;
  struct Row {
    const char* what;
    std::vector<CaseCheck> checks;
    std::size_t governing;
  };
  const std::vector<Row> rows = {
      {"all pass: the least margin", {{0, V::Pass, 0.5}, {1, V::Pass, 0.2}, {2, V::Pass, 0.9}}, 1},
      {"a failure beats any pass", {{0, V::Pass, 0.01}, {1, V::Fail, -0.3}, {2, V::Fail, -0.5}}, 2},
      {"invalid beats the largest failure",
       {{0, V::Fail, -1}, {1, V::Invalid, 3}, {2, V::Fail, -2}},
       1},
      {"undetermined between fail and pass", {{0, V::Pass, 0.0}, {1, V::Undetermined, 5}}, 1},
      {"a failure beats undetermined", {{0, V::Undetermined, -9}, {1, V::Fail, -0.01}}, 1},
      {"a tie keeps the first", {{0, V::Fail, -0.2}, {1, V::Fail, -0.2}}, 0},
      {"undetermined: the first, whatever margin",
       {{0, V::Undetermined, 1}, {1, V::Undetermined, -1}},
       0},
      {"one case", {{0, V::Pass, 3}}, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(GoverningCheck(row.checks), row.governing) << row.what;
  }
}

TEST(GoverningCase, MarginCountsTowardTheLimit) {
  struct Row {
    CheckKind kind;
    CheckVerdict verdict;
    float limit, value;
    double margin;
  };
  // The row's own verdict stands, 未定 and 无效 with their margins too.
  const Row rows[] = {
      {CheckKind::ForebayHighest, CheckVerdict::Pass, -2.0f, -2.5f, 0.5},
      {CheckKind::ForebayHighest, CheckVerdict::Fail, -2.9f, -2.5f, -0.4},
      {CheckKind::DesignPressure, CheckVerdict::Invalid, -2.0f, -1.0f, -1.0},
      {CheckKind::ForebayLowest, CheckVerdict::Fail, -5.0f, -5.25f, -0.25},
      {CheckKind::CulvertFull, CheckVerdict::Pass, -4.5f, -4.0f, 0.5},
      {CheckKind::Vacuum, CheckVerdict::Undetermined, -14.5f, -4.5f, 10.0},
  };
  for (const Row& row : rows) {
    CheckRow check;
    check.kind = row.kind;
    check.pass = row.verdict != CheckVerdict::Fail;
    check.verdict = row.verdict;
    check.limit = row.limit;
    check.value = row.value;
    const CaseCheck c = CaseCheckOf(2, check);
    EXPECT_EQ(c.caseIndex, 2u);
    EXPECT_NEAR(c.margin, row.margin, 1e-6) << CheckItemName(row.kind);
    EXPECT_EQ(c.verdict, row.verdict);
  }
}

// The measure's least passing ramp time or forebay area is taken only among
// cases that differ from the governing one in that item alone: a case that
// also changes the reservoir level, the design data or the other item says
// nothing of what the item does.
TEST(GoverningCase, LeastPassingAmongCasesThatDifferInThatItemAlone) {
  using V = CheckVerdict;
  using T = std::vector<ForebayPoint>;
  struct Case {
    float level;
    double ramp, area;
    T table;
    double wallTop;
    V verdict;
  };
  struct Row {
    const char* what;
    std::vector<Case> cases;  // the first governs
    VariedItem item;
    std::optional<std::size_t> least;
  };
  const T table = {{-6, 2500}, {-2, 4000}};
  const std::vector<Row> rows = {
      {"ramp alone: the least that passes",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail},
        {-4.34f, 120, 1287, {}, -2.4, V::Pass},
        {-4.34f, 60, 1287, {}, -2.4, V::Pass},
        {-4.34f, 30, 1287, {}, -2.4, V::Fail}},
       VariedItem::RampTime,
       2},
      {"another reservoir level is no comparison",
       {{-3.5f, 0, 1287, {}, -2.4, V::Fail},
        {-4.34f, 0, 1287, {}, -2.4, V::Pass},
        {-5.0f, 120, 1287, {}, -2.4, V::Pass}},
       VariedItem::RampTime,
       std::nullopt},
      {"ramp and area together: neither alone",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 120, 3000, {}, -2.4, V::Pass}},
       VariedItem::ForebayArea,
       std::nullopt},
      {"ramp and area together: not the ramp either",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 120, 3000, {}, -2.4, V::Pass}},
       VariedItem::RampTime,
       std::nullopt},
      {"an area table is the area varied alone",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 0, 1287, table, -2.4, V::Pass}},
       VariedItem::ForebayArea,
       1},
      {"other design data is no comparison",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 120, 1287, {}, -2.0, V::Pass}},
       VariedItem::RampTime,
       std::nullopt},
      {"the governing case's own ramp is no variation",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 0, 1287, {}, -2.4, V::Pass}},
       VariedItem::RampTime,
       std::nullopt},
      {"only a case that fails varies it",
       {{-4.34f, 0, 1287, {}, -2.4, V::Fail}, {-4.34f, 30, 1287, {}, -2.4, V::Undetermined}},
       VariedItem::RampTime,
       std::nullopt},
  };
  for (const Row& row : rows) {
    std::vector<RunOutcome> outcomes;
    std::vector<DesignData> designs;
    std::vector<CaseCheck> checks;
    for (const Case& c : row.cases) {
      RunOutcome& o = outcomes.emplace_back();
      o.parameters.ReservoirLevel = c.level;
      o.parameters.ForebayArea = c.area;
      o.extras.pump.rampTime = c.ramp;
      o.extras.forebay.areaTable = c.table;
      designs.emplace_back()[DesignId::ForebayWallTop] = c.wallTop;
      checks.push_back({checks.size(), c.verdict, 0});
    }
    std::vector<CaseGiven> given;
    for (std::size_t i = 0; i < outcomes.size(); ++i) given.push_back({&outcomes[i], &designs[i]});
    EXPECT_EQ(LeastPassingAlone(checks, 0, given, row.item), row.least) << row.what;
  }
}

// The texts of a document in reading order, one per block (a table's rows
// as its cells joined by "|").
std::vector<std::string> Texts(const ReportDocument& d, ReportBlockKind kind) {
  std::vector<std::string> out;
  for (const ReportBlock& block : d.blocks) {
    if (block.kind != kind) continue;
    if (kind != ReportBlockKind::Table) {
      out.push_back(block.text);
      continue;
    }
    for (const std::vector<std::string>& row : block.table.rows) {
      std::string line = block.table.title;
      for (const std::string& cell : row) line += "|" + cell;
      out.push_back(line);
    }
  }
  return out;
}

bool AnyHolds(const std::vector<std::string>& texts, const std::string& piece) {
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& t) { return t.find(piece) != std::string::npos; });
}

class CalculationBook : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cases_ = new test::BookCases(test::ThreeBookCases()); }
  static void TearDownTestSuite() { delete cases_; }
  static test::BookCases* cases_;
};
test::BookCases* CalculationBook::cases_ = nullptr;

TEST_F(CalculationBook, SectionsCoverAndSignOffInOrder) {
  const ReportDocument d = kelvane::CalculationBook(cases_->book);
  ASSERT_TRUE(d.cover.has_value());
  EXPECT_EQ(d.title, "某泵站工程");
  const std::vector<std::pair<std::string, std::string>> signers = {
      {"计算", "张三"}, {"校核", "李四"}, {"审核", "王五"}, {"审定", "赵六"}};
  EXPECT_EQ(d.cover->signers, signers);
  const std::vector<std::string> headings = {"1  计算目的", "2  计算依据",  "3  计算工况",
                                             "4  基本资料", "5  计算方法",  "6  计算成果",
                                             "7  校核",     "8  结论与建议"};
  EXPECT_EQ(Texts(d, ReportBlockKind::Heading), headings);
  const std::vector<std::string> subheadings = Texts(d, ReportBlockKind::Subheading);
  for (const BookCase& c : cases_->book.cases) {
    EXPECT_TRUE(AnyHolds(subheadings, "6.")) << c.name;
    EXPECT_EQ(std::count_if(subheadings.begin(), subheadings.end(),
                            [&](const std::string& s) { return s.ends_with(c.name); }),
              2)
        << c.name;  // its results and its checks
  }
  EXPECT_TRUE(AnyHolds(subheadings, "控制工况"));
  EXPECT_TRUE(AnyHolds(subheadings, "各工况比较"));
}

TEST_F(CalculationBook, ExtremesAreTheSummarysAndTheGoverningCaseLeads) {
  const ReportDocument d = kelvane::CalculationBook(cases_->book);
  const std::vector<std::string> rows = Texts(d, ReportBlockKind::Table);
  const std::vector<std::string> paragraphs = Texts(d, ReportBlockKind::Paragraph);
  // Each case's forebay extremes as the summary prints them.
  std::size_t highest = 0;
  for (std::size_t i = 0; i < cases_->book.cases.size(); ++i) {
    const BookCase& c = cases_->book.cases[i];
    const RunSummary& s = c.input.summary;
    EXPECT_TRUE(AnyHolds(
        rows, "极值（" + c.name + "）|最高前池水位|" + FixedText(s.forebayHighest.value, 3) + " m"))
        << c.name;
    EXPECT_TRUE(AnyHolds(
        rows, "极值（" + c.name + "）|最低前池水位|" + FixedText(s.forebayLowest.value, 3) + " m"))
        << c.name;
    if (s.forebayHighest.value > cases_->book.cases[highest].input.summary.forebayHighest.value)
      highest = i;
  }
  // The highest level fails for the sudden stops; the case whose peak is
  // highest governs, and the wall top it needs is its peak plus the
  // freeboard.
  const BookCase& governing = cases_->book.cases[highest];
  const float peak = governing.input.summary.forebayHighest.value;
  EXPECT_TRUE(AnyHolds(rows, "|前池最高水位|" + governing.name + "|" + FixedText(peak, 3) +
                                 "|-2.900|" + FixedText(-2.9 - double(peak), 3) + "|不满足"));
  EXPECT_TRUE(AnyHolds(paragraphs,
                       FixedText(peak, 3) + " + 0.5 = " + FixedText(double(peak) + 0.5, 3) + " m"));
  // The ramped stop into the larger forebay passes, but it differs from the
  // governing case in its reservoir level, its ramp and its area at once:
  // no least ramp time or area follows from it.
  const float ramped = cases_->book.cases[2].input.summary.forebayHighest.value;
  ASSERT_LE(ramped, -2.9f);
  EXPECT_FALSE(AnyHolds(paragraphs, "满足本项的最小"));
}

TEST_F(CalculationBook, EngineersWords) {
  const ReportDocument d = kelvane::CalculationBook(cases_->book);
  const std::vector<std::string> rows = Texts(d, ReportBlockKind::Table);
  const std::vector<std::string> captions = Texts(d, ReportBlockKind::Chart);
  for (const char* event : {"|事故停泵|", "|正常停机|"})
    EXPECT_TRUE(AnyHolds(rows, event)) << event;
  EXPECT_TRUE(AnyHolds(captions, "前池水位过程线"));
  EXPECT_TRUE(AnyHolds(captions, "测压管水头包络线"));
  EXPECT_FALSE(AnyHolds(captions, "水头过程线"));
  for (const ReportBlock& block : d.blocks) {
    if (block.kind != ReportBlockKind::Chart) continue;
    EXPECT_EQ(block.chart.title.find("水头过程线"), std::string::npos) << block.chart.title;
  }
  EXPECT_TRUE(AnyHolds(rows, "|最大倒流流速|"));
  EXPECT_TRUE(AnyHolds(rows, "|最大流速|"));
}

// A reverse velocity is a magnitude, and one that rounds to zero at the
// printed digits is none, in the extremes and in the envelope per node alike.
TEST_F(CalculationBook, ReverseVelocityRoundingToZeroIsNone) {
  BookInput book = cases_->book;
  const float reverse[] = {-0.0004f, -0.0006f};
  for (std::size_t k = 0; k < std::size(reverse); ++k) {
    for (NodeEnvelope& e : book.cases[k].input.summary.envelope)
      e.lowestVelocity.value = reverse[k];
  }
  const std::vector<std::string> rows =
      Texts(kelvane::CalculationBook(book), ReportBlockKind::Table);
  const std::string& none = book.cases[0].name;
  const std::string& some = book.cases[1].name;
  EXPECT_TRUE(AnyHolds(rows, "极值（" + none + "）|最大倒流流速|无|"));
  EXPECT_TRUE(AnyHolds(rows, "极值（" + some + "）|最大倒流流速|0.001 m/s|"));
  for (const std::string& row : rows) {
    if (row.starts_with("沿程包络（" + none)) {
      EXPECT_TRUE(row.ends_with("|无")) << row;
    }
    if (row.starts_with("沿程包络（" + some)) {
      EXPECT_TRUE(row.ends_with("|0.001")) << row;
    }
    // The end's turning velocity is a magnitude too.
    if (row.find("|末端流速反向|") != std::string::npos) {
      EXPECT_EQ(row.find("|-"), std::string::npos) << row;
    }
  }
}

// The vapour limit lies ten metres below the soffit and the culvert's bed
// three: the envelope's axis keeps to the heads and the caption names both;
// the soffit, near the lowest heads, stays drawn.
TEST_F(CalculationBook, FarLimitsLeaveTheChartForTheCaption) {
  const ReportDocument d = kelvane::CalculationBook(cases_->book);
  struct Line {
    const char* name;
    bool drawn;
  };
  const Line lines[] = {{"汽化限值", false}, {"箱涵底板", false}, {"箱涵顶板", true}};
  int envelopes = 0;
  for (const ReportBlock& block : d.blocks) {
    if (block.kind != ReportBlockKind::Chart ||
        block.text.find("沿程测压管水头包络线") == std::string::npos)
      continue;
    ++envelopes;
    for (const Line& want : lines) {
      const bool drawn =
          std::any_of(block.chart.lines.begin(), block.chart.lines.end(),
                      [&](const ChartLine& line) { return line.name.starts_with(want.name); });
      EXPECT_EQ(drawn, want.drawn) << want.name << " " << block.text;
      EXPECT_EQ(block.text.find(want.name) == std::string::npos, want.drawn) << block.text;
    }
  }
  EXPECT_EQ(envelopes, 3);
}

// The cases share the base case's notes: said once, not once per case; each
// event is stated with its forebay, the ramped one as the conclusions word it.
TEST_F(CalculationBook, SharedNotesOnceAndEachEventWithItsForebay) {
  BookInput book = cases_->book;
  std::vector<PreparedCase> noted(cases_->cases.begin(), cases_->cases.end());
  for (std::size_t i = 0; i < noted.size(); ++i) {
    noted[i].typed.notes = "三个工况的说明";
    book.cases[i].input.prepared = &noted[i];
  }
  const ReportDocument d = kelvane::CalculationBook(book);
  const std::vector<std::string> paragraphs = Texts(d, ReportBlockKind::Paragraph);
  EXPECT_EQ(std::count(paragraphs.begin(), paragraphs.end(), "说明：三个工况的说明"), 1);
  EXPECT_FALSE(AnyHolds(paragraphs, "事故停泵说明："));
  EXPECT_TRUE(AnyHolds(
      paragraphs, "设计库水位正常停机：泵流量斜坡：历时 120 s，指数 1；前池水面面积 3000 m²。"));
  EXPECT_TRUE(AnyHolds(paragraphs, "变为 0 m³/s 后，前池水位由初始"));
  noted[1].typed.notes = "另一说明";
  const std::vector<std::string> own =
      Texts(kelvane::CalculationBook(book), ReportBlockKind::Paragraph);
  EXPECT_TRUE(AnyHolds(own, "最高库水位事故停泵说明：另一说明"));
}

// The classic drift's explanation is written once for the cases, each case
// giving its own amount and level; a book of one case keeps the summary's
// note whole.
TEST_F(CalculationBook, DriftExplainedOnceEachCaseItsAmount) {
  struct Row {
    std::size_t cases;
    std::size_t explanations;  // paragraphs holding the explanation
    bool amountsAlone;         // each case's amount in a clause of its own
  };
  const Row rows[] = {{3, 1, true}, {1, 1, false}};
  for (const Row& row : rows) {
    BookInput book = cases_->book;
    book.cases.resize(row.cases);
    const std::vector<std::string> paragraphs =
        Texts(kelvane::CalculationBook(book), ReportBlockKind::Paragraph);
    EXPECT_EQ(std::count_if(paragraphs.begin(), paragraphs.end(),
                            [](const std::string& p) { return p.find(kDriftNoteLead) != p.npos; }),
              row.explanations)
        << row.cases;
    for (const BookCase& c : book.cases) {
      const std::string amount = DriftAmountText(c.input.summary);
      ASSERT_FALSE(amount.empty()) << c.name;
      EXPECT_EQ(AnyHolds(paragraphs, "经典模型前池水位漂移" + amount), row.amountsAlone) << c.name;
      EXPECT_EQ(AnyHolds(paragraphs, DriftNote(c.input.summary)), !row.amountsAlone) << c.name;
    }
  }
}

// The method names the models the cases ran: the classic march's equations
// and drift only where a case ran it.
TEST_F(CalculationBook, MethodNamesTheModelsTheCasesRan) {
  struct Row {
    const char* what;
    std::vector<MarchModel> models;  // of the three cases
    std::vector<std::string> held;
    std::vector<std::string> absent;
  };
  const std::string classicDrift = "（1）非恒定计算只计沿程摩阻";
  const std::vector<Row> rows = {
      {"classic",
       {MarchModel::Classic, MarchModel::Classic, MarchModel::Classic},
       {"本次计算采用经典模型。记 B = a/g", classicDrift, "内部节点（顺、逆特征线相交）"},
       {"平衡模型在上列方程", "平衡模型与混合流模型计入这些损失", "（仅沿程损失）",
        "混合流模型计算明流"}},
      {"balanced",
       {MarchModel::Balanced, MarchModel::Balanced, MarchModel::Balanced},
       {"本次计算采用平衡模型（计入全部恒定流损失）。记 B = a/g", "平衡模型在上列方程中另计",
        "（1）非恒定计算计入初始水面线所含的全部损失", "内部节点（顺、逆特征线相交）"},
       {"本次计算采用经典模型", classicDrift, "该模型不用上列特征线方程"}},
      {"classic beside mixed",
       {MarchModel::Classic, MarchModel::Mixed, MarchModel::Classic},
       {"本次计算采用经典模型（仅沿程损失）、自由水面与混合流模型", "该模型不用上列特征线方程",
        classicDrift, "平衡模型与混合流模型计入这些损失，无此漂移。",
        "（3）经典模型与平衡模型假定箱涵始终满流", "混合流模型计算明流、满流及其间的转换"},
       {"平衡模型在上列方程"}},
      {"mixed",
       {MarchModel::Mixed, MarchModel::Mixed, MarchModel::Mixed},
       {"（3）混合流模型计算明流、满流及其间的转换"},
       {"假定箱涵始终满流"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BookInput book = cases_->book;
    ASSERT_EQ(book.cases.size(), row.models.size());
    for (std::size_t i = 0; i < row.models.size(); ++i)
      book.cases[i].input.outcome.extras.model = row.models[i];
    const std::vector<std::string> paragraphs =
        Texts(kelvane::CalculationBook(book), ReportBlockKind::Paragraph);
    for (const std::string& piece : row.held) EXPECT_TRUE(AnyHolds(paragraphs, piece)) << piece;
    for (const std::string& piece : row.absent) EXPECT_FALSE(AnyHolds(paragraphs, piece)) << piece;
  }
}

}  // namespace
}  // namespace kelvane
