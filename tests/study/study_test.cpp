// Design studies in-process: the values of a sweep, the case table reader,
// the order and product of cases, failing cases as rows, rows independent of
// the number of threads and of sharding, the limits and the passing values.
#include "study/study.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "format/number_format.h"
#include "support/files.h"
#include "support/study_plans.h"

namespace kelvane {
namespace {

using kelvane::test::Split;

using test::PlanOf;

// The whole CSV the study writes.
std::string StudyCsv(const StudyPlan& plan, const StudySettings& settings) {
  std::string csv = StudyCsvHeader(plan, settings.limits);
  RunStudy(plan, settings, PrepareCase(settings.base),
           [&](const CaseResult& r) { AppendStudyCsvRow(plan, settings.limits, r, csv); });
  return csv;
}

TEST(Sweep, RangesAreExactDecimalsWithTheEndIncludedOnlyWhenMet) {
  struct Row {
    const char* sweepText;
    std::vector<std::string> values;
  };
  const Row rows[] = {
      {"forebay-area=600:2000:700", {"600", "1300", "2000"}},
      // (0.3 - 0) / 0.1 is 2.9999999999999996 in doubles, and 0.1 + 0.2 is
      // 0.30000000000000004: neither decides the end nor the text here.
      {"forebay-area=0:0.3:0.1", {"0", "0.1", "0.2", "0.3"}},
      {"forebay-area=0.1:0.3:0.1", {"0.1", "0.2", "0.3"}},
      {"forebay-area=0:1:0.3", {"0", "0.3", "0.6", "0.9"}},
      {"forebay-area=2000:600:-700", {"2000", "1300", "600"}},
      {"reservoir-level=-1:1:1", {"-1", "0", "1"}},
      {"forebay-area=1e3:2e3:5e2", {"1000", "1500", "2000"}},
      {"forebay-area=0:2e-4:1e-4", {"0", "1e-04", "2e-04"}},
      {"forebay-area=99999:100001:1", {"99999", "1e+05", "100001"}},
      {"forebay-area=5:5:1", {"5"}},
      {"forebay-area=0.004,600:2000:700,x", {"0.004", "600", "1300", "2000", "x"}},
      {"final-pump-discharge=0,20,41.6", {"0", "20", "41.6"}},
      {"step-count= 1 500,15e2,x", {" 1 500", "15e2", "x"}},  // texts kept as typed
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sweepText);
    StudyPlan plan = PlanOf({row.sweepText});
    ASSERT_EQ(plan.CaseCount(), static_cast<std::int64_t>(row.values.size()));
    for (std::size_t k = 0; k < row.values.size(); ++k)
      EXPECT_EQ(plan.ValueText(0, k), row.values[k]);
  }
  for (const char* bad :
       {"forebay-area=1:2", "forebay-area=1:2:0", "forebay-area=2:1:1", "forebay-area=1:2:3:4",
        "forebay-area=a:2:1", "forebay-area=1:2:1e", "forebay-area=0:1:1e-7", "forebay-area=1,,2",
        "frobnicate=1", "forebay-area"}) {
    EXPECT_THROW(ParseSweep(bad), StudyInputError) << bad;
  }
}

TEST(CaseTable, QuotedCellsBlanksAndLineEndsAreKept) {
  const StudyFactor table = ReadCaseTable(
      "\xEF\xBB\xBF"
      "forebay-area, final-pump-discharge\r\n"
      "\" 1,287.414\",0\r\n"
      "\r\n"
      "600,\"4\"\"1\"\r\n"
      "\"6,00\",20");
  ASSERT_EQ(table.items,
            (std::vector<StudyItem>{InputId::ForebayArea, InputId::FinalPumpDischarge}));
  ASSERT_EQ(table.RowCount(), 3u);
  auto cell = [&](std::size_t row, std::size_t column) {
    return table.values[column][table.cells[row * 2 + column]];
  };
  EXPECT_EQ(cell(0, 0), " 1,287.414");
  EXPECT_EQ(cell(1, 1), "4\"1");
  EXPECT_EQ(cell(2, 0), "6,00");
  EXPECT_EQ(cell(2, 1), "20");

  struct Bad {
    std::string csv;
    int line;
    int column = 0;
  };
  const Bad bad[] = {
      {"", 1},
      {"forebay-area\n", 1},
      {"forebay-area,nosuch\n1,2\n", 1},
      {"forebay-area,forebay-area\n1,2\n", 1},
      {"forebay-area,step-count\n1,2\n\n3\n", 4},
      {"forebay-area,step-count\n1,2\n3,4,5\n", 3},
      {"forebay-area,step-count\n1,2\n3,4\"\n", 3},
      {"forebay-area,step-count\n1,2\n\"3\nx,4\n", 3, 3},  // a cell never closed on its line
      {"forebay-area,step-count\n1,2\n\"3", 3, 3},         // nor at the end of the file
      // Control characters and bytes that are not UTF-8, by line and column.
      {"forebay-area\n\"面积\n6\"\n", 2, 4},
      {"forebay-area\n面积\t6\n", 2, 3},
      {"forebay-area\n6\r00\n", 2, 2},
      {std::string("forebay-area\n6\0\n", 16), 2, 2},
      {"forebay-area\n6\xFF\n", 2, 2},
      {"forebay-area\n\xC3\xE6\n", 2},  // GBK: the file, by its line
      {std::string("\xFF\xFE"
                   "f\0",
                   4),
       1},
      {"forebay-area\n" + std::string(kMaxCaseTableLine + 1, '6') + "\n", 2},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.csv.substr(0, 60));
    try {
      ReadCaseTable(b.csv);
      ADD_FAILURE() << "read without a fault";
    } catch (const StudyInputError& error) {
      EXPECT_EQ(error.line(), b.line) << error.what();
      EXPECT_EQ(error.column(), b.column) << error.what();
    }
  }
  // The longest line allowed, with a CR LF end.
  EXPECT_EQ(ReadCaseTable("forebay-area\r\n" + std::string(kMaxCaseTableLine, '6') + "\r\n")
                .values[0][0]
                .size(),
            kMaxCaseTableLine);
}

// A source without end is refused once its first line is too long, having
// been read no further than a few pieces; a table is the same whatever size
// its pieces come in.
TEST(CaseTable, ReadAsAStream) {
  std::size_t given = 0;
  try {
    ReadCaseTable([&given](char* buffer, std::size_t size) {
      std::fill_n(buffer, size, '\0');
      given += size;
      return size;
    });
    ADD_FAILURE() << "an endless line was read";
  } catch (const StudyInputError& error) {
    EXPECT_EQ(error.line(), 1);
  }
  EXPECT_LE(given, 4 * kMaxCaseTableLine);

  const std::string csv = "forebay-area,step-count\r\n\"6,00\",30\n\n700,\"3\"\"0\"\n";
  std::size_t at = 0;
  const StudyFactor byteByByte = ReadCaseTable([&](char* buffer, std::size_t) {
    if (at == csv.size()) return std::size_t{0};
    buffer[0] = csv[at++];
    return std::size_t{1};
  });
  const StudyFactor whole = ReadCaseTable(csv);
  EXPECT_EQ(byteByByte.values, whole.values);
  EXPECT_EQ(byteByByte.cells, whole.cells);
  EXPECT_EQ(whole.values[1][1], "3\"0");
}

// A `name` column names the cases and sets nothing: the table's options are
// the others, each row's name is kept as typed, and a product names each
// case by the tables that name their rows.
TEST(CaseTable, NameColumnNamesEachCaseAndSetsNothing) {
  const StudyFactor table = ReadCaseTable(
      "reservoir-level, name ,pump-ramp-time\n"
      "-3.5,最高库水位事故停泵,0\n"
      "-6,\"最低库水位, 正常停机\",120\n");
  ASSERT_EQ(table.items, (std::vector<StudyItem>{InputId::ReservoirLevel,
                                                 *StudyItemByOption("pump-ramp-time")}));
  EXPECT_EQ(table.names, (std::vector<std::string>{"最高库水位事故停泵", "最低库水位, 正常停机"}));
  EXPECT_EQ(table.values[1], (std::vector<std::string>{"0", "120"}));
  EXPECT_TRUE(ReadCaseTable("forebay-area\n600\n").names.empty());

  StudyPlan plan = PlanOf({"forebay-area=600,900"});
  plan.Add(table);
  plan.Add(ReadCaseTable("name,step-count\n粗,300\n细,1500\n"));
  ASSERT_TRUE(plan.NamesCases());
  ASSERT_EQ(plan.CaseCount(), 8);
  EXPECT_EQ(plan.CaseName(1), "最高库水位事故停泵 / 粗");
  EXPECT_EQ(plan.CaseName(4), "最低库水位, 正常停机 / 细");
  EXPECT_EQ(plan.CaseName(7), "最低库水位, 正常停机 / 粗");
  EXPECT_FALSE(PlanOf({"forebay-area=600,900"}).NamesCases());

  for (const char* bad : {"name,forebay-area,name\nA,600,B\n", "name\nA\n", " name \nA\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ReadCaseTable(bad), StudyInputError);
  }
}

// The study's CSV has the name beside the case number, quoted where it must
// be; a study without names keeps its header as it was.
TEST(CaseTable, StudyCsvNamesEachCase) {
  StudyPlan plan;
  plan.Add(ReadCaseTable("name,forebay-area\n大面积,1800\n\"小面积, 对照\",600\n"));
  StudySettings settings;
  settings.jobs = 1;
  const std::vector<std::string> lines = Split(StudyCsv(plan, settings), '\n');
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with("case,name,forebay-area,status,")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("1,大面积,1800,0,")) << lines[1];
  EXPECT_TRUE(lines[2].starts_with("2,\"小面积, 对照\",600,0,")) << lines[2];
  EXPECT_TRUE(StudyCsvHeader(PlanOf({"forebay-area=600"}), {}).starts_with("case,forebay-area,"));
}

TEST(Study, CasesAreTheProductInOrderTheFirstFactorSlowest) {
  StudyPlan plan = PlanOf({"forebay-area=600:800:100", "final-pump-discharge=0,20"});
  plan.Add(ReadCaseTable("step-count,segment-count\n300,2\n600,4\n"));
  ASSERT_EQ(plan.CaseCount(), 12);
  const InputTexts base = DefaultInputTexts();
  std::int64_t number = 0;
  for (const char* area : {"600", "700", "800"}) {
    for (const char* discharge : {"0", "20"}) {
      for (auto [steps, reaches] : {std::pair{"300", "2"}, {"600", "4"}}) {
        InputTexts expected = base;
        expected[InputId::ForebayArea] = area;
        expected[InputId::FinalPumpDischarge] = discharge;
        expected[InputId::StepCount] = steps;
        expected[InputId::SegmentCount] = reaches;
        EXPECT_EQ(plan.CaseTexts(base, ++number), expected) << "case " << number;
      }
    }
  }
  StudySettings settings;
  settings.jobs = 3;
  std::vector<std::int64_t> order;
  RunStudy(plan, settings, PrepareCase(settings.base),
           [&](const CaseResult& r) { order.push_back(r.number); });
  EXPECT_EQ(order, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_THROW(plan.Add(ParseSweep("step-count=5")), StudyInputError);  // swept twice
}

// A forebay below the update's stability limit overflows; an empty step count
// has no grid. Each is a row with the batch mode's error text, and the study
// goes on.
TEST(Study, AFailingCaseIsARowWithItsErrorAndEmptyValues) {
  const StudyPlan plan = PlanOf({"forebay-area=0.004,1287.414", "step-count=x,1500"});
  StudySettings settings;
  settings.limits.forebayMaxLevel = 0;
  const std::vector<std::string> lines = Split(StudyCsv(plan, settings), '\n');
  ASSERT_EQ(lines.size(), 6u);  // the header, four rows, the final line end
  const std::vector<std::string> names = Split(lines[0], ',');
  const std::size_t columns = names.size();
  for (std::int64_t number = 1; number <= 4; ++number) {
    SCOPED_TRACE(lines[number]);
    InputTexts texts = plan.CaseTexts(settings.base.texts, number);
    SurgeRun run;
    std::string status = "0", error;
    try {
      Calculate(texts, run);
    } catch (const RunError& e) {
      status = std::to_string(e.number());
      error = RunErrorText(e, ErrorTextLayout::CommandLine);
      error.pop_back();
      std::replace(error.begin(), error.end(), '\n', '\x01');
      error.replace(error.find('\x01'), 1, "；");
    }
    const std::vector<std::string> cells = Split(lines[number], ',');
    ASSERT_EQ(cells.size(), columns);
    EXPECT_EQ(cells[3], status);
    EXPECT_EQ(cells[4], error);
    const bool failed = status != "0";
    for (std::size_t c = 5; c < columns; ++c) {
      if (names[c] == "warnings") continue;  // every case has them
      // The reversal time may be empty either way; a complete run's period
      // too, though these inputs give one.
      if (names[c] == "forebay_reversal_time_s") continue;
      EXPECT_EQ(cells[c].empty(), failed) << names[c];
    }
  }
  EXPECT_EQ(Split(lines[1], ',')[3], "9");  // no grid before any step is marched
  EXPECT_EQ(Split(lines[2], ',')[3], "6");  // 0.004 m² overflows
  EXPECT_EQ(Split(lines[3], ',')[3], "9");
  EXPECT_EQ(Split(lines[4], ',')[3], "0");
}

// Cases of very different cost (20 to 6000 steps), so that rows finish out of
// order on several threads.
TEST(Study, TheSameBytesWhateverTheNumberOfThreads) {
  const StudyPlan plan =
      PlanOf({"step-count=6000,20,1500,20,3000", "forebay-area=0.004,300,700,1100,1500"});
  StudySettings settings;
  settings.limits.forebayMaxLevel = -2.5;
  settings.jobs = 1;
  const std::string one = StudyCsv(plan, settings);
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 1 + 25);
  for (int jobs : {2, 3, 8}) {
    settings.jobs = jobs;
    EXPECT_EQ(StudyCsv(plan, settings), one) << jobs << " threads";
  }
}

TEST(Study, ShardsConcatenateToTheWholeStudy) {
  const StudyPlan plan = PlanOf({"forebay-area=0.004,600:2000:350", "final-pump-discharge=0,41.6"});
  StudySettings settings;
  settings.jobs = 2;
  const std::string whole = StudyCsv(plan, settings);
  const std::vector<std::string> wholeLines = Split(whole, '\n');
  for (std::int64_t shards : {1, 2, 3, 5, 13}) {
    std::map<std::int64_t, std::string> rows;
    std::int64_t count = 0;
    for (std::int64_t k = 0; k < shards; ++k) {
      settings.shardIndex = k;
      settings.shardCount = shards;
      const std::vector<std::string> lines = Split(StudyCsv(plan, settings), '\n');
      EXPECT_EQ(lines.front(), wholeLines.front());
      EXPECT_EQ(static_cast<std::int64_t>(lines.size()) - 2,
                ShardCaseCount(plan.CaseCount(), k, shards));
      for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::int64_t number = std::stoll(lines[i]);
        EXPECT_EQ(number % shards, k);
        rows[number] = lines[i];
        ++count;
      }
    }
    EXPECT_EQ(count, plan.CaseCount()) << shards << " shards";  // no case twice
    std::string joined = wholeLines.front() + "\n";
    for (const auto& [number, row] : rows) joined += row + "\n";
    EXPECT_EQ(joined, whole) << shards << " shards";
  }
}

// Near the manual's example: forebay 0.004 m² (below the update's stability
// limit), 600..2000 m² by 350 and 2500 m²; pumps to 0, 20, 41.6 m³/s; crest
// -2.0 m, minimum -6.0 m; 8000 steps, which reach every extreme. The pump
// stop lifts the 600 m² forebay to -1.548 m and the swing back takes it and
// the 950 m² one below -6 m; every other complete case stays within both
// limits.
TEST(Study, LimitColumnsAndTheValuesAtWhichEveryCasePassed) {
  const StudyPlan plan =
      PlanOf({"forebay-area=0.004,600:2000:350,2500", "final-pump-discharge=0,20,41.6"});
  StudySettings settings;
  settings.base.texts[InputId::StepCount] = "8000";
  settings.limits = {-2.0, -6.0};
  StudyTally tally(plan, settings.limits);
  std::vector<CaseResult> results;
  RunStudy(plan, settings, PrepareCase(settings.base), [&](const CaseResult& r) {
    tally.Add(r);
    results.push_back(r);
  });
  ASSERT_EQ(results.size(), 21u);
  for (const CaseResult& r : results) {
    SCOPED_TRACE(r.number);
    if (r.number <= 3) {  // 0.004 m²: no levels, no verdict, not passed
      EXPECT_EQ(r.status, 6);
      EXPECT_FALSE(r.passMax.has_value() || r.passMin.has_value() || r.Passed());
      continue;
    }
    ASSERT_TRUE(r.extremes);
    EXPECT_EQ(r.passMax, r.extremes->forebayHighest.value <= -2.0f);
    EXPECT_EQ(r.passMin, r.extremes->forebayLowest.value >= -6.0f);
    EXPECT_EQ(r.Passed(), r.number != 4 && r.number != 7);
  }
  EXPECT_EQ(results[3].extremes->forebayHighest.value, -1.5481334f);
  EXPECT_EQ(tally.Cases(), 21);
  EXPECT_EQ(tally.Failed(), 3);
  EXPECT_EQ(tally.Passed(), 16);
  EXPECT_EQ(tally.PassingValues(0), (std::vector<std::uint32_t>{3, 4, 5, 6}));
  EXPECT_EQ(tally.PassingValues(1), (std::vector<std::uint32_t>{}));

  const std::string report =
      StudyReportText(plan, settings, tally, StudyChecks(plan, PrepareCase(settings.base)));
  EXPECT_NE(report.find("运行失败              3\n"), std::string::npos) << report;
  EXPECT_NE(report.find("全部限值通过          16\n"), std::string::npos) << report;
  EXPECT_NE(report.find("前池最高水位限值      满足 17，不满足 1，未定 0，无效 0，未判定 3\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("forebay-area          1300 至 2000、2500\n"), std::string::npos) << report;
  EXPECT_NE(report.find("final-pump-discharge  无\n"), std::string::npos) << report;
}

// A study's own forebay limits are judged as the forebay's design checks
// are: a limit broken within the run fails, a kept one is met only when the
// run reaches the predicted extreme plus a tenth of the period (the default
// 1500 steps, 178.9 s, reach the first highest level at 167.4 s but not the
// first lowest at 377.2 s); else it is undetermined, its pass cell empty, and
// the case does not pass.
TEST(Study, ForebayLimitsAreMetOnlyWhenTheRunReachesTheirExtreme) {
  struct Row {
    const char* steps;
    std::optional<double> max, min;
    CheckVerdict verdict;
    const char* cells;  // the pass and verdict cells
  };
  const Row rows[] = {
      {"1500", -2.5, std::nullopt, CheckVerdict::Pass, "1,满足"},
      {"1300", -2.5, std::nullopt, CheckVerdict::Undetermined, ",未定"},
      {"1300", -2.6, std::nullopt, CheckVerdict::Fail, "0,不满足"},
      {"1500", std::nullopt, -5.6, CheckVerdict::Undetermined, ",未定"},
      {"4000", std::nullopt, -5.6, CheckVerdict::Fail, "0,不满足"},
      {"4000", std::nullopt, -5.8, CheckVerdict::Pass, "1,满足"},
  };
  const StudyPlan plan = PlanOf({"reservoir-level=-4.34"});
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.steps) + (row.max ? " max " : " min ") +
                 ShortestText(row.max ? *row.max : *row.min));
    StudySettings settings;
    settings.base.texts[InputId::StepCount] = row.steps;
    settings.limits = {row.max, row.min};
    StudyTally tally(plan, settings.limits);
    const CaseResult r = RunCase(plan, settings, PrepareCase(settings.base), 1);
    tally.Add(r);
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(row.max ? r.verdictMax : r.verdictMin, row.verdict);
    EXPECT_EQ(r.Passed(), row.verdict == CheckVerdict::Pass);
    EXPECT_EQ(tally.Passed(), row.verdict == CheckVerdict::Pass ? 1 : 0);
    const VerdictCount& count = tally.Counts().at(0);
    EXPECT_EQ(count.undetermined, row.verdict == CheckVerdict::Undetermined ? 1 : 0);
    EXPECT_EQ(count.failed, row.verdict == CheckVerdict::Fail ? 1 : 0);
    const std::vector<std::string> columns = StudyCsvColumns(plan, settings.limits);
    const std::vector<std::string> cells = StudyCsvCells(plan, settings.limits, r);
    const std::string key = row.max ? "forebay_max_level" : "forebay_min_level";
    const auto at = [&](const std::string& name) {
      return cells.at(
          std::size_t(std::find(columns.begin(), columns.end(), name) - columns.begin()));
    };
    EXPECT_EQ(at("pass_" + key) + "," + at("verdict_" + key), row.cells);
  }
}

// Each case's rigid-column period and the part of it the run covers, as the
// summary gives them: with a constant forebay area the period goes as the
// square root of the area, and the fraction times the period is the run's
// simulated time. A case that fails has neither.
TEST(Study, PeriodColumnsFollowTheForebayArea) {
  const StudyPlan plan = PlanOf({"forebay-area=600,2400,0.004"});
  const StudySettings settings;
  const std::vector<std::string> columns = StudyCsvColumns(plan, settings.limits);
  ASSERT_EQ(std::vector<std::string>(columns.end() - 3, columns.end()),
            (std::vector<std::string>{"warnings", "period_s", "period_fraction"}));
  std::vector<std::vector<std::string>> cells;
  RunStudy(plan, settings, PrepareCase(settings.base),
           [&](const CaseResult& r) { cells.push_back(StudyCsvCells(plan, settings.limits, r)); });
  ASSERT_EQ(cells.size(), 3u);
  const auto read = [](const std::string& text) { return std::strtod(text.c_str(), nullptr); };
  const double small = read(cells[0].end()[-2]), large = read(cells[1].end()[-2]);
  EXPECT_NEAR(large / small, 2.0, 1e-6);
  EXPECT_NEAR(read(cells[0].end()[-1]) * small, 178.879, 1e-3);
  EXPECT_NEAR(read(cells[1].end()[-1]) * large, 178.879, 1e-3);
  EXPECT_EQ(cells[2].end()[-2], "");  // below the stability limit: failed
  EXPECT_EQ(cells[2].end()[-1], "");
}

}  // namespace
}  // namespace kelvane
