// The parts of a study in-process: the plan's fingerprint changes with
// everything that decides the rows and with nothing else, the part line reads
// back, stored rows read back with their cells, and the study's chart keeps
// one curve per value only while the colours last.
#include "study/study_parts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "study/sweep_chart_points.h"
#include "support/study_plans.h"

namespace kelvane {
namespace {

using test::PlanOf;

TEST(StudyFingerprint, ChangesWithWhatDecidesTheRowsOnly) {
  const StudyPlan plan = PlanOf({"forebay-area=600:1000:200", "final-pump-discharge=0,20"});
  const StudySettings settings;
  const std::string base = StudyFingerprint(plan, settings, PrepareCase(settings.base));
  struct Row {
    const char* change;
    std::function<void(StudyPlan&, StudySettings&)> apply;
    bool differs;
  };
  const Row rows[] = {
      {"threads", [](StudyPlan&, StudySettings& s) { s.jobs = 7; }, false},
      {"shard", [](StudyPlan&, StudySettings& s) { s.shardIndex = 1, s.shardCount = 3; }, false},
      {"rows skipped", [](StudyPlan&, StudySettings& s) { s.skip = 4; }, false},
      {"a base text",
       [](StudyPlan&, StudySettings& s) { s.base.texts[InputId::ReservoirLevel] += " "; }, true},
      {"a design item",
       [](StudyPlan&, StudySettings& s) { s.base.design[DesignId::CulvertHeight] = "4"; }, true},
      {"a limit", [](StudyPlan&, StudySettings& s) { s.limits.forebayMinLevel = -6; }, true},
      {"the other limit", [](StudyPlan&, StudySettings& s) { s.limits.forebayMaxLevel = 0.0; },
       true},
      {"the pump event", [](StudyPlan&, StudySettings& s) { s.base.events.rampTime = "30"; }, true},
      {"a list for the range",
       [](StudyPlan& p, StudySettings&) {
         p = PlanOf({"forebay-area=600,800,1000", "final-pump-discharge=0,20"});
       },
       true},
      {"the order of the sweeps",
       [](StudyPlan& p, StudySettings&) {
         p = PlanOf({"final-pump-discharge=0,20", "forebay-area=600:1000:200"});
       },
       true},
      {"one more value",
       [](StudyPlan& p, StudySettings&) {
         p = PlanOf({"forebay-area=600:1000:200", "final-pump-discharge=0,20,41.6"});
       },
       true},
  };
  for (const Row& row : rows) {
    StudyPlan changedPlan = plan;
    StudySettings changed = settings;
    row.apply(changedPlan, changed);
    EXPECT_EQ(StudyFingerprint(changedPlan, changed, PrepareCase(changed.base)) != base,
              row.differs)
        << row.change;
  }
  // Once with no limit, once with a limit of 0: the limit's presence counts.
  StudySettings zero = settings;
  zero.limits.forebayMaxLevel = 0.0;
  StudySettings negativeZero = settings;
  negativeZero.limits.forebayMaxLevel = -0.0;
  EXPECT_NE(StudyFingerprint(plan, zero, PrepareCase(zero.base)),
            StudyFingerprint(plan, negativeZero, PrepareCase(negativeZero.base)));
}

TEST(StudyPartLine, ReadsBackAndRefusesWhatItNeverWrites) {
  const StudyPart part{"0123456789abcdef", 2, 16, 40, 62, "fedcba9876543210"};
  const std::string line = StudyPartLine(part);
  EXPECT_EQ(line,
            "#kelvane-study plan=0123456789abcdef shard=2/16 rows=40/62 sum=fedcba9876543210\n");
  EXPECT_EQ(ParseStudyPartLine(line), part);
  EXPECT_EQ(ParseStudyManifest(StudyManifestText(part)), part);
  EXPECT_FALSE(ParseStudyManifest(line));  // each in its own place
  EXPECT_FALSE(ParseStudyPartLine(StudyManifestText(part)));
  const std::string sum = " sum=fedcba9876543210";
  for (const std::string& bad : std::vector<std::string>{
           "#kelvane-study plan=0123456789abcdef shard=16/16 rows=40/62" + sum,  // no such shard
           "#kelvane-study plan=0123456789abcdef shard=2/16 rows=63/62" + sum,   // more than all
           "#kelvane-study plan=0123456789ABCDEF shard=2/16 rows=40/62" + sum,   // not as written
           "#kelvane-study plan=0123456789abcde shard=2/16 rows=40/62" + sum,
           "#kelvane-study plan=0123456789abcdef shard=2/16 rows=40/62" + sum + " x",
           std::string("#kelvane-study plan=0123456789abcdef shard=2/16 rows=40/62"),  // no sum
           std::string("1,600,0,0,,-5.247774"),
       }) {
    EXPECT_FALSE(ParseStudyPartLine(bad)) << bad;
  }
}

// A resumed shard runs its cases after the rows it holds; a stopped study
// hands on no row after the stop.
TEST(RunStudy, SkipsTheRowsHeldAndStopsWhenAsked) {
  const StudyPlan plan = PlanOf({"forebay-area=600:2000:100"});  // 15 cases
  StudySettings settings;
  settings.shardIndex = 1;
  settings.shardCount = 3;
  settings.skip = 2;
  settings.jobs = 2;
  std::vector<std::int64_t> numbers;
  EXPECT_EQ(RunStudy(plan, settings, PrepareCase(settings.base),
                     [&](const CaseResult& r) { numbers.push_back(r.number); }),
            5);
  EXPECT_EQ(numbers, (std::vector<std::int64_t>{7, 10, 13}));

  std::atomic<int> stop{0};
  settings = {};
  settings.stop = &stop;
  numbers.clear();
  EXPECT_EQ(RunStudy(plan, settings, PrepareCase(settings.base),
                     [&](const CaseResult& r) {
                       numbers.push_back(r.number);
                       if (r.number == 4) stop = 15;
                     }),
            4);
  EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 2, 3, 4}));
}

// A file in memory, read as the study reads a part file.
struct MemoryFile {
  explicit MemoryFile(std::string text) : bytes(std::move(text)) {
    file = ::fmemopen(bytes.data(), bytes.size(), "rb");
  }
  ~MemoryFile() { std::fclose(file); }
  std::string bytes;
  std::FILE* file;
};

const std::string kReaderHeader =
    "case,forebay-area,status,error,forebay_highest_m,forebay_lowest_m,pass_forebay_max_level,"
    "verdict_forebay_max_level,pass_vacuum,verdict_vacuum,vacuum_first_failing_node,warnings\n";

TEST(StudyCsvReader, GivesEachRowsBytesAndWhatTheReportReads) {
  const std::string rows[] = {
      "1,\"1,287.414\",0,,-1.5,-5.25,1,满足,1,满足,,0\n",
      "2,600,0,,-1.25,-5.5,1,满足,0,不满足,3,0\n",
      "3,\"a\nb\",6,\"运行时错误 '6': 溢出，\"\"x\"\"\",,,,,,,,1\n",
      "4,700,0,,-2,-6,,,,,,0\n",
      // Undetermined and invalid: an empty pass cell that does not pass.
      "5,700,0,,-2,-6,,未定,,未定,,0\n",
      "6,700,0,,-2,-6,,,,无效,,0\n",
      "7,700,0,,-2,-6,,未定,1,满足,,0\n",
  };
  std::string text = kReaderHeader;
  for (const std::string& row : rows) text += row;
  const StudyPart part{"0123456789abcdef", 0, 1, 7, 9, "fedcba9876543210"};
  text += StudyPartLine(part);
  MemoryFile in(text);
  const std::optional<FoundPart> found = FindLastStudyPart(in.file);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->part, part);
  EXPECT_EQ(found->end, static_cast<std::int64_t>(text.size()));
  // The report's cells of a row: quotes gone, a doubled one kept once.
  EXPECT_EQ(StudyCsvRecordCells(std::string_view(rows[2]).substr(0, rows[2].size() - 1)),
            (std::vector<std::string>{"3", "a\nb", "6", "运行时错误 '6': 溢出，\"x\"", "", "", "",
                                      "", "", "", "", "1"}));
  StudyCsvReader reader(in.file, kReaderHeader);
  struct Expected {
    int status;
    bool passed;
    std::optional<float> highest;
    std::optional<CheckVerdict> limit, vacuum;  // the verdicts read back
  };
  using enum CheckVerdict;
  const Expected expected[] = {{0, true, -1.5f, Pass, Pass},
                               {0, false, -1.25f, Pass, Fail},
                               {6, false, {}, {}, {}},
                               {0, true, -2, {}, {}},
                               {0, false, -2, Undetermined, Undetermined},
                               {0, false, -2, {}, Invalid},
                               {0, false, -2, Undetermined, Pass}};
  StoredRow row;
  for (int k = 0; k < 7; ++k) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(reader.Next(row));
    EXPECT_EQ(row.bytes, rows[k]);
    EXPECT_EQ(row.number, k + 1);
    EXPECT_EQ(row.status, expected[k].status);
    EXPECT_EQ(row.passed, expected[k].passed);
    EXPECT_EQ(row.highest, expected[k].highest);
    EXPECT_EQ(row.verdictMax, expected[k].limit);
    ASSERT_EQ(row.checks.size(), 1u);
    EXPECT_EQ(row.checks[0].verdict, expected[k].vacuum);
    // The tally and the chart read the stored case as the computed one.
    const CaseResult stored = StoredCaseResult(PlanOf({"forebay-area=1,2,3,4,5,6,7"}), row);
    if (expected[k].vacuum) {
      EXPECT_EQ(stored.Passed(), expected[k].passed);
    }
  }
  EXPECT_FALSE(reader.Next(row));
  EXPECT_EQ(reader.Part(), part);
  EXPECT_FALSE(reader.Next(row));
  EXPECT_FALSE(reader.Part());

  MemoryFile other("case,status\n1,0\n");
  EXPECT_THROW(StudyCsvReader(other.file, kReaderHeader), StudyInputError);
}

// A row that contradicts itself, or a file cut short, is refused at its line;
// CR LF line ends read as LF.
TEST(StudyCsvReader, RefusesRowsThatContradictThemselvesAndReadsCrLf) {
  StudyLimits limits;
  limits.forebayMaxLevel = -1.4;
  struct Row {
    std::string row;
    bool refused;
  };
  const Row rows[] = {
      {"1,600,0,,-1.5,-5.25,1,满足,1,满足,,0\n", false},
      {"1,600,0,,-1.5,-5.25,1,满足,1,满足,,0\r\n", false},
      {"1,600,0,,-1.5,-5.25,,未定,1,满足,,0\n", false},       // kept, the run too short
      {"1,600,0,,-1.25,-5.25,,无效,1,满足,,0\n", false},      // after the model's end
      {"1,600,0,,-1.5,-5.25,0,不满足,1,满足,,0\n", true},     // -1.5 <= -1.4 passes
      {"1,600,0,,-1.25,-5.25,1,满足,1,满足,,0\n", true},      // -1.25 > -1.4 does not
      {"1,600,0,,-1.25,-5.25,,未定,1,满足,,0\n", true},       // broken: not undetermined
      {"1,600,0,,-1.5,-5.25,1,未定,1,满足,,0\n", true},       // undetermined has no pass
      {"1,600,0,,-1.5,-5.25,,满足,1,满足,,0\n", true},        // met without its pass
      {"1,600,0,,-1.5,-5.25,1,通过,1,满足,,0\n", true},       // not a verdict
      {"1,600,0,,-1.5,-5.25,1,满足,0,满足,,0\n", true},       // a check's cells disagree
      {"1,600,0,,-1.5,-5.25,1,满足,1,满足,4,0\n", true},      // passes with a failing node
      {"1,600,6,x,-1.5,-5.25,,,,,,0\n", true},                // failed, with values
      {"1,600,6,x,,,,未定,,,,0\n", true},                     // failed, with a verdict
      {"1,600,6,,,,,,,,,0\n", true},                          // failed, without its error
      {"1,600,0,x,-1.5,-5.25,1,满足,1,满足,,0\n", true},      // complete, with an error
      {"1,600,0,,,-5.25,1,满足,1,满足,,0\n", true},           // complete, without its level
      {"1,600,0,,-1.5,-5.25,1,满足,1,满足,,0", true},         // cut short
      {"1,\"600\"0,0,,-1.5,-5.25,1,满足,1,满足,,0\n", true},  // text after a closing quote
  };
  for (const Row& c : rows) {
    SCOPED_TRACE(c.row);
    MemoryFile in(kReaderHeader + c.row);
    StudyCsvReader reader(in.file, kReaderHeader, limits);
    StoredRow row;
    if (c.refused) {
      try {
        reader.Next(row);
        ADD_FAILURE() << "not refused";
      } catch (const StudyInputError& error) {
        EXPECT_EQ(error.line(), 2);
      }
      continue;
    }
    ASSERT_TRUE(reader.Next(row));
    std::string bytes = c.row;
    if (bytes.ends_with("\r\n")) bytes.erase(bytes.size() - 2, 1);
    EXPECT_EQ(row.bytes, bytes);
  }
}

// Cases of forebay area x and second value s (0 in a plan of one factor):
// levels that tell them apart.
CaseResult ChartCase(const StudyPlan& plan, std::int64_t number) {
  CaseResult result;
  result.number = number;
  plan.CaseValues(number, result.values);
  const unsigned second = result.values.size() > 1 ? result.values[1] : 0;
  result.extremes.emplace();
  result.extremes->forebayHighest.value = float(result.values[0] + second);
  result.extremes->forebayLowest.value = -float(result.values[0] * 100 + second);
  return result;
}

TEST(SweepChartPoints, OneCurvePerValueWhileTheColoursLastThenTheEnvelope) {
  for (const char* second : {"final-pump-discharge=0:9:1", "final-pump-discharge=0:10:1"}) {
    const StudyPlan plan = PlanOf({"forebay-area=600:800:100", second});
    SweepChartPoints points(plan);
    for (std::int64_t n = 1; n <= plan.CaseCount(); ++n) points.Add(ChartCase(plan, n));
    const ChartData chart = points.Chart(plan, {});
    SCOPED_TRACE(second);
    const std::size_t values = plan.ValueCount(1);
    if (values <= SweepChartPoints::kMaxCurves) {
      ASSERT_EQ(chart.lines.size(), 2 * values);
      EXPECT_EQ(chart.lines[2].name, "最高，1 m³/s");
      EXPECT_EQ(chart.lines[2].y, (std::vector<double>{1, 2, 3}));
      continue;
    }
    // The highest of the highest and the lowest of the lowest per area.
    ASSERT_EQ(chart.lines.size(), 2u);
    EXPECT_EQ(chart.lines[0].name, "最高，全部 11 个取值");
    EXPECT_EQ(chart.lines[0].x, (std::vector<double>{600, 700, 800}));
    EXPECT_EQ(chart.lines[0].y, (std::vector<double>{10, 11, 12}));
    EXPECT_EQ(chart.lines[1].y, (std::vector<double>{-10, -110, -210}));
    EXPECT_NE(chart.title.find("11 个取值的包络"), std::string::npos) << chart.title;
  }
}

// A case whose verdict on the forebay's levels is undetermined or invalid is
// not drawn as a decided one: a band over its value, halfway to the values
// beside it. A broken limit is decided; a check along the culvert does not
// read the forebay.
TEST(SweepChartPoints, UndecidedCasesAreBanded) {
  const StudyPlan plan = PlanOf({"forebay-area=600:1000:100"});
  SweepChartPoints points(plan);
  for (std::int64_t n = 1; n <= plan.CaseCount(); ++n) {
    CaseResult r = ChartCase(plan, n);
    using enum CheckVerdict;
    if (n == 1) r.verdictMin = Fail;
    if (n == 2) r.checks.push_back({CheckKind::Vacuum, std::nullopt, Invalid, 0});
    if (n == 3) r.verdictMin = Undetermined;
    if (n == 5) r.checks.push_back({CheckKind::ForebayHighest, std::nullopt, Invalid, 0});
    points.Add(r);
  }
  const ChartData chart = points.Chart(plan, {});
  ASSERT_EQ(chart.spans.size(), 2u);
  EXPECT_EQ(chart.spans[0].from, 750);
  EXPECT_EQ(chart.spans[0].to, 850);
  EXPECT_EQ(chart.spans[1].from, 950);
  EXPECT_EQ(chart.spans[1].to, 1050);
  EXPECT_EQ(chart.lines[0].y.size(), 5u);  // every case's levels are still drawn

  const StudyPlan lone = PlanOf({"forebay-area=600"});
  SweepChartPoints one(lone);
  CaseResult r = ChartCase(lone, 1);
  r.verdictMax = CheckVerdict::Undetermined;
  one.Add(r);
  const ChartData alone = one.Chart(lone, {});
  ASSERT_EQ(alone.spans.size(), 1u);
  EXPECT_EQ(alone.spans[0].from, 570);
  EXPECT_EQ(alone.spans[0].to, 630);
}

}  // namespace
}  // namespace kelvane
