// The parts of a study in-process: the plan's fingerprint changes with
// everything that decides the rows and with nothing else, the part line reads
// back, stored rows read back with their cells, and the study's chart keeps
// one curve per value only while the colours last.
#include "study/study_parts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "study/sweep_chart_points.h"

namespace kelvane {
namespace {

StudyPlan PlanOf(std::initializer_list<const char*> sweeps) {
  StudyPlan plan;
  for (const char* sweep : sweeps) plan.Add(ParseSweep(sweep));
  return plan;
}

TEST(StudyFingerprint, ChangesWithWhatDecidesTheRowsOnly) {
  const StudyPlan plan = PlanOf({"forebay-area=600:1000:200", "final-pump-discharge=0,20"});
  const StudySettings settings;
  const std::string base = StudyFingerprint(plan, settings);
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
    EXPECT_EQ(StudyFingerprint(changedPlan, changed) != base, row.differs) << row.change;
  }
  // Once with no limit, once with a limit of 0: the limit's presence counts.
  StudySettings zero = settings;
  zero.limits.forebayMaxLevel = 0.0;
  StudySettings negativeZero = settings;
  negativeZero.limits.forebayMaxLevel = -0.0;
  EXPECT_NE(StudyFingerprint(plan, zero), StudyFingerprint(plan, negativeZero));
}

TEST(StudyPartLine, ReadsBackAndRefusesWhatItNeverWrites) {
  const StudyPart part{"0123456789abcdef", 2, 16, 40, 62};
  const std::string line = StudyPartLine(part);
  EXPECT_EQ(line, "#kelvane-study plan=0123456789abcdef shard=2/16 rows=40/62\n");
  EXPECT_EQ(ParseStudyPartLine(line), part);
  for (const char* bad : {
           "#kelvane-study plan=0123456789abcdef shard=16/16 rows=40/62",  // no such shard
           "#kelvane-study plan=0123456789abcdef shard=2/16 rows=63/62",   // more than all
           "#kelvane-study plan=0123456789ABCDEF shard=2/16 rows=40/62",   // not as written
           "#kelvane-study plan=0123456789abcde shard=2/16 rows=40/62",
           "#kelvane-study plan=0123456789abcdef shard=2/16 rows=40/62 x",
           "1,600,0,0,,-5.247774",
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
  EXPECT_EQ(RunStudy(plan, settings, [&](const CaseResult& r) { numbers.push_back(r.number); }), 5);
  EXPECT_EQ(numbers, (std::vector<std::int64_t>{7, 10, 13}));

  std::atomic<int> stop{0};
  settings = {};
  settings.stop = &stop;
  numbers.clear();
  EXPECT_EQ(RunStudy(plan, settings,
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

TEST(StudyCsvReader, GivesEachRowsBytesAndWhatTheReportReads) {
  const std::string header =
      "case,forebay-area,status,error,forebay_highest_m,forebay_lowest_m,pass_forebay_max_level,"
      "pass_vacuum\n";
  const std::string rows[] = {
      "1,\"1,287.414\",0,,-1.5,-5.25,1,1\n",
      "2,600,0,,-1.25,-5.5,1,0\n",
      "3,\"a\nb\",6,\"运行时错误 '6': 溢出，\"\"x\"\"\",,,,\n",
      "4,700,0,,-2,-6,,\n",
  };
  std::string text = header;
  for (const std::string& row : rows) text += row;
  text += "#kelvane-study plan=0123456789abcdef shard=0/1 rows=4/9\n";
  MemoryFile in(text);
  ASSERT_EQ(ReadStudyPart(in.file), (StudyPart{"0123456789abcdef", 0, 1, 4, 9}));
  StudyCsvReader reader(in.file, header);
  struct Expected {
    int status;
    bool passed;
    std::optional<float> highest;
  };
  const Expected expected[] = {{0, true, -1.5f}, {0, false, -1.25f}, {6, false, {}}, {0, true, -2}};
  StoredRow row;
  for (int k = 0; k < 4; ++k) {
    ASSERT_TRUE(reader.Next(row));
    EXPECT_EQ(row.bytes, rows[k]);
    EXPECT_EQ(row.number, k + 1);
    EXPECT_EQ(row.status, expected[k].status);
    EXPECT_EQ(row.passed, expected[k].passed) << k;
    EXPECT_EQ(row.highest, expected[k].highest);
  }
  EXPECT_FALSE(reader.Next(row));

  MemoryFile other("case,status\n1,0\n");
  EXPECT_THROW(StudyCsvReader(other.file, header), StudyInputError);
  MemoryFile cut(header + "1,600,0,,-1.5,-5.25,1");  // no line end: cut short
  StudyCsvReader cutReader(cut.file, header);
  EXPECT_THROW(cutReader.Next(row), StudyInputError);
}

// Cases of forebay area x and second value s: levels that tell them apart.
CaseResult ChartCase(const StudyPlan& plan, std::int64_t number) {
  CaseResult result;
  result.number = number;
  plan.CaseValues(number, result.values);
  result.extremes.emplace();
  result.extremes->forebayHighest.value = float(result.values[0] + result.values[1]);
  result.extremes->forebayLowest.value = -float(result.values[0] * 100 + result.values[1]);
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

}  // namespace
}  // namespace kelvane
