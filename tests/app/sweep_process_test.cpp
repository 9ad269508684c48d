// Design studies as a user runs them: the built program as a child process.
// A sample of a study's rows is recomputed from single batch runs of the same
// texts; the bytes do not depend on --jobs; shards joined as the manual says
// give the whole file (study_parts_test.cpp); bad case files and option mixes are usage errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using kelvane::test::ProcessResult;
using kelvane::test::ReadFile;

using kelvane::test::Split;

float Number(const std::string& text) {
  float value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
  return value;
}

class SweepProcess : public ::testing::Test {
 protected:
  // `command` run by /bin/sh in the test's folder, with $KELVANE set.
  ProcessResult Shell(const std::string& command) {
    return kelvane::test::RunProcess({"/bin/sh", "-c", command},
                                     {.folder = dir_, .set = {{"KELVANE", KELVANE_EXE}}});
  }

  kelvane::test::TempDir dir_{"kelvane-sweep"};
};

// The study's columns from a single run's step CSV (step,time_s,H1_m,V1,...):
// forebay initial, highest and lowest with their times, reversal time, and
// each grid extreme with its node and time, first reached by step then node.
std::vector<std::string> ExtremesFromSteps(const std::string& stepCsv) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Split(stepCsv, '\n')) {
    if (!line.empty()) rows.push_back(Split(line, ','));
  }
  const std::size_t nodes = (rows[0].size() - 2) / 2;
  auto cell = [&](std::size_t step, std::size_t node, bool velocity) {
    return rows[step][2 + 2 * (node - 1) + velocity];
  };
  struct Best {
    float value;
    std::size_t node, step;
  };
  auto extreme = [&](bool velocity, bool highest, std::size_t firstNode, std::size_t lastNode) {
    Best best{Number(cell(1, firstNode, velocity)), firstNode, 1};
    for (std::size_t step = 1; step < rows.size(); ++step) {
      for (std::size_t node = firstNode; node <= lastNode; ++node) {
        const float v = Number(cell(step, node, velocity));
        if (highest ? v > best.value : v < best.value) best = {v, node, step};
      }
    }
    return best;
  };
  std::vector<std::string> out{cell(1, nodes, false)};
  for (bool highest : {true, false}) {
    Best b = extreme(false, highest, nodes, nodes);
    out.push_back(cell(b.step, nodes, false));
    out.push_back(rows[b.step][1]);
  }
  int direction = 0;
  std::string reversal;
  for (std::size_t step = 1; step < rows.size() && reversal.empty(); ++step) {
    const float v = Number(cell(step, nodes, true));
    const int sign = (v > 0) - (v < 0);
    if (direction == 0) {
      direction = sign;
    } else if (sign == -direction) {
      reversal = rows[step][1];
    }
  }
  out.push_back(reversal);
  for (bool velocity : {false, true}) {
    for (bool highest : {true, false}) {
      Best b = extreme(velocity, highest, 1, nodes);
      out.push_back(cell(b.step, b.node, velocity));
      out.push_back(std::to_string(b.node));
      out.push_back(rows[b.step][1]);
    }
  }
  return out;
}

TEST_F(SweepProcess, SampledRowsEqualSingleBatchRunsOfTheSameTexts) {
  const std::vector<std::string> areas{"0.004", "0.02", "600", "950", "1300", "1650", "2000"};
  const std::vector<std::string> discharges{"0", "20", "41.6"};
  const std::vector<std::string> reaches{"1", "5", "x"};
  ProcessResult study = Shell(
      "$KELVANE --batch --sweep forebay-area=0.004,0.02,600:2000:350 "
      "--sweep final-pump-discharge=0,20,41.6 --sweep segment-count=1,5,x --jobs 2 "
      "--sweep-csv - --summary report.txt");
  ASSERT_EQ(study.status, 0) << study.err;
  for (const std::string& line : Split(study.err, '\n'))
    EXPECT_TRUE(line.empty() || line.starts_with("kelvane: 警告: 案例 ")) << line;
  const std::vector<std::string> lines = Split(study.out, '\n');
  ASSERT_EQ(lines.size(), 1 + 63 + 1u);

  std::mt19937 random(20260213);
  std::set<std::size_t> sample;
  while (sample.size() < 8) sample.insert(1 + random() % 63);
  int failed = 0;
  for (std::size_t number : sample) {
    const std::vector<std::string> row = Split(lines[number], ',');
    SCOPED_TRACE(lines[number]);
    ASSERT_EQ(row[0], std::to_string(number));
    const std::size_t i = number - 1;
    ASSERT_EQ(row[1], areas[i / 9]);
    ASSERT_EQ(row[2], discharges[i / 3 % 3]);
    ASSERT_EQ(row[3], reaches[i % 3]);
    ProcessResult single =
        Shell("$KELVANE --batch --forebay-area " + row[1] + " --final-pump-discharge " + row[2] +
              " --segment-count " + row[3] + " --csv -");
    // The row's warnings: the single run's warning lines, one per option.
    std::size_t warned = 0;
    for (const std::string& line : Split(single.err, '\n'))
      warned += line.starts_with("kelvane: 警告: ");
    EXPECT_EQ(row.end()[-3], std::to_string(warned));  // before the period's two cells
    if (single.status != 0) {
      ++failed;
      ASSERT_EQ(single.status, 1);
      // "运行时错误 'N': DESCRIPTION\nWHERE\n" as one line, and N; the single
      // run's input warnings before it are not part of a study's row.
      std::vector<std::string> message;
      for (const std::string& line : Split(single.err, '\n'))
        if (line.rfind("kelvane: 警告: ", 0) != 0) message.push_back(line);
      EXPECT_EQ(row[5], message[0] + "；" + message[1]);
      EXPECT_EQ(row[4], message[0].substr(message[0].find('\'') + 1,
                                          message[0].rfind('\'') - message[0].find('\'') - 1));
      continue;
    }
    EXPECT_EQ(row[4], "0");
    EXPECT_EQ(row[5], "");
    const std::vector<std::string> expected = ExtremesFromSteps(single.out);
    // The extremes, between the error and the warnings with the period's two cells.
    EXPECT_EQ(std::vector<std::string>(row.begin() + 6, row.end() - 3), expected);
  }
  EXPECT_GT(failed, 0);
  EXPECT_LT(failed, 8);
}

TEST_F(SweepProcess, TheSameBytesForOneAndTwoJobs) {
  const std::string study =
      "$KELVANE --batch --sweep step-count=3000,20,1500 --sweep forebay-area=0.004,600,2000 "
      "--forebay-max-level -2.0 --forebay-min-level -6.0 ";
  ASSERT_EQ(Shell(study + "--jobs 1 --sweep-csv one.csv --summary one.txt").status, 0);
  ProcessResult two = Shell(study + "--jobs 2 --sweep-csv two.csv");
  ASSERT_EQ(two.status, 0);
  EXPECT_EQ(ReadFile(dir_ / "two.csv"), ReadFile(dir_ / "one.csv"));
  // The report goes to standard error, after the cases' input warnings.
  EXPECT_TRUE(two.err.ends_with("）\n" + ReadFile(dir_ / "one.txt"))) << two.err;
  EXPECT_NE(two.err.find("运行失败        3\n"), std::string::npos) << two.err;
}

// A case table's "1,287.414" is read as 1 m² as a box reads it, and said so
// with the case; --strict refuses such a study before any case runs.
TEST_F(SweepProcess, FlaggedCaseTextsAreToldAndStrictRefusesTheStudy) {
  std::ofstream(dir_ / "cases.csv") << "forebay-area\n\"1,287.414\"\n1287.414\n";
  ProcessResult told =
      Shell("$KELVANE --batch --cases cases.csv --sweep-csv s.csv --summary r.txt");
  ASSERT_EQ(told.status, 0) << told.err;
  EXPECT_EQ(told.err,
            "kelvane: 警告: 案例 1 的 --forebay-area “1,287.414” 读作 1：从 “,287.414” 起未读入\n");
  const std::vector<std::string> lines = Split(ReadFile(dir_ / "s.csv"), '\n');
  ASSERT_EQ(lines.size(), 4u);
  // The warnings, before the period's two cells.
  EXPECT_EQ(Split(lines[1], ',').end()[-3], "1") << lines[1];
  EXPECT_EQ(Split(lines[2], ',').end()[-3], "0") << lines[2];

  ProcessResult strict =
      Shell("$KELVANE --batch --strict --cases cases.csv --sweep-csv t.csv --summary u.txt");
  EXPECT_EQ(strict.status, 2);
  EXPECT_EQ(strict.err,
            "kelvane: --strict: 案例 1 的 --forebay-area “1,287.414” 读作 1：从 “,287.414” "
            "起未读入；不运行研究\n");
  EXPECT_FALSE(fs::exists(dir_ / "t.csv"));
  EXPECT_FALSE(fs::exists(dir_ / "u.txt"));
}

// Each case's design data and pump event are checked as a single run checks
// them: the warning names the case, the CSV's `warnings` counts it, --strict
// refuses the study.
TEST_F(SweepProcess, DesignDataAndEventsOfEachCaseAreChecked) {
  struct Row {
    std::string study;
    std::string warning;              // the first warning line, without "kelvane: 警告: "
    std::vector<std::string> counts;  // each case's `warnings` cell
  };
  const Row rows[] = {
      {"--sweep culvert-height=-1,3,3abc --culvert-invert-upstream -8 "
       "--culvert-invert-downstream -12.4",
       "案例 3 的 --culvert-height 读作 3：从 “abc” 起未读入",
       {"1", "0", "1"}},
      {"--sweep culvert-invert-downstream=-8.85,-12.4 --culvert-invert-upstream -8 "
       "--culvert-height 3",
       "案例 1 的 --culvert-invert-downstream 读作 -8.85：两端底高程之差与箱涵坡降不符：坡降乘箱涵"
       "总长为 4.415 m，相差超过其 10%",
       {"1", "0"}},
      {"--sweep final-pump-discharge=0,-5",
       "案例 2 的 --final-pump-discharge “-5” 读作 -5：泵流量为负，即水经水泵倒流",
       {"0", "1"}},
      {"--sweep pump-ramp-time=0,10 --pump-ramp-exponent 2 --culvert-design-pressure-head -1",
       "案例 1 的 --culvert-design-pressure-head 读作 -1：不应为负（此类警告共 2 个案例",
       {"2", "1"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.study);
    const ProcessResult told = Shell("$KELVANE --batch " + row.study + " --sweep-csv s.csv");
    ASSERT_EQ(told.status, 0) << told.err;
    EXPECT_EQ(told.err.find("kelvane: 警告: " + row.warning), 0u) << told.err;
    const std::vector<std::string> lines = Split(ReadFile(dir_ / "s.csv"), '\n');
    ASSERT_EQ(lines.size(), row.counts.size() + 2);
    for (std::size_t k = 0; k < row.counts.size(); ++k) {
      EXPECT_EQ(Split(lines[k + 1], ',').end()[-3], row.counts[k]) << lines[k + 1];
    }
    const ProcessResult strict =
        Shell("$KELVANE --batch --strict " + row.study + " --sweep-csv t.csv");
    EXPECT_EQ(strict.status, 2);
    EXPECT_EQ(strict.err.find("kelvane: --strict: 案例 "), 0u) << strict.err;
    EXPECT_FALSE(fs::exists(dir_ / "t.csv"));
  }
}

#ifdef KELVANE_TEST_WITH_UI
// The study's chart: one line of highest and one of lowest levels per value
// of the second sweep, the limits as lines, drawn without a display.
TEST_F(SweepProcess, SweepPlotDrawsEachCurveAndTheLimits) {
  const ProcessResult study = Shell(
      "env -u DISPLAY -u QT_QPA_PLATFORM $KELVANE --batch --sweep forebay-area=600:1200:200 "
      "--sweep final-pump-discharge=0,20 --forebay-max-level -2 --sweep-plot chart.svg");
  ASSERT_EQ(study.status, 0) << study.err;
  const std::string svg = ReadFile(dir_ / "chart.svg");
  ASSERT_NE(svg.find("<svg"), std::string::npos);
  // The drawn texts, without the markup and the blanks between pieces.
  std::string text;
  bool inTag = false;
  for (char c : svg) {
    if (c == '<' || c == '>')
      inTag = c == '<';
    else if (!inTag && c != ' ' && c != '\n' && c != '\t')
      text += c;
  }
  for (const char* label : {"最高，0m³/s", "最低，0m³/s", "最高，20m³/s", "最低，20m³/s",
                            "前池最高水位限值", "前池水面面积(m²)"}) {
    EXPECT_NE(text.find(label), std::string::npos) << label << " in " << text;
  }
  const ProcessResult wrong =
      Shell("$KELVANE --batch --sweep forebay-area=600,700 --sweep-plot c.jpg");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("--sweep-plot"), std::string::npos) << wrong.err;
}

// The study's calculation report, as a reviewer reads it: each case's row
// holds the study CSV's texts of its values and extremes, side by side on one
// line; the summary's lines word for word; the chart drawn in its frame; the
// same text for one and two jobs; a shard's report says it counts its own
// cases only.
TEST_F(SweepProcess, StudyReportHoldsTheCsvTextsAndDrawsTheChart) {
  const std::string study =
      "env -u DISPLAY $KELVANE --batch --sweep forebay-area=600:1800:600 "
      "--forebay-max-level -2.5 ";
  ASSERT_EQ(Shell(study + "--jobs 2 --sweep-csv s.csv --summary s.txt --report r.pdf").status, 0);
  ASSERT_EQ(Shell(study + "--jobs 1 --report one.pdf").status, 0);
  const ProcessResult layout = kelvane::test::PdfText(dir_ / "r.pdf", "-layout");
  ASSERT_EQ(layout.status, 0) << layout.err;
  EXPECT_EQ(kelvane::test::PdfText(dir_ / "one.pdf", "-layout").out, layout.out);

  // case,forebay-area,status,error,initial,highest,time,lowest,time,reversal,head max,node,
  // time,head min,...
  const std::vector<std::string> lines = Split(layout.out, '\n');
  const std::vector<std::string> csv = Split(ReadFile(dir_ / "s.csv"), '\n');
  ASSERT_EQ(csv.size(), 1 + 3 + 1u);
  const std::vector<std::string> header = Split(csv[0], ',');
  const std::size_t pass = std::size_t(
      std::find(header.begin(), header.end(), "pass_forebay_max_level") - header.begin());
  ASSERT_LT(pass, header.size());
  for (std::size_t i = 1; i <= 3; ++i) {
    const std::vector<std::string> c = Split(csv[i], ',');
    const std::vector<std::string> expected = {
        c[0], c[1], c[5], c[6], c[7], c[8], c[10], c[13], c[pass] == "1" ? "通过" : "不通过"};
    int found = 0;
    for (const std::string& line : lines) {
      std::vector<std::string> words;
      std::istringstream in(line);
      for (std::string word; in >> word;) words.push_back(word);
      found += words == expected;
    }
    EXPECT_EQ(found, 1) << csv[i];
  }
  const std::string text = kelvane::test::Squeezed(layout.out);
  for (const std::string& line : Split(ReadFile(dir_ / "s.txt"), '\n')) {
    EXPECT_NE(text.find(kelvane::test::Squeezed(line)), std::string::npos) << line;
  }

  // Beneath the chart's title, coloured line pixels across most of the frame.
  const ProcessResult bbox = kelvane::test::PdfText(dir_ / "r.pdf", "-bbox");
  const kelvane::test::PdfWordAt title = kelvane::test::FindPdfWord(bbox.out, "前池最高与最低水位");
  ASSERT_GT(title.page, 0);
  const int dpi = 60;
  const kelvane::test::PageImage page =
      kelvane::test::RenderPdfPage(dir_ / "r.pdf", title.page, dpi, dir_);
  ASSERT_GT(page.width, 0);
  int coloured = 0, left = page.width, right = 0;
  for (int y = int(title.top * dpi / 72);
       y < std::min(page.height, int((title.top + 230) * dpi / 72)); ++y) {
    for (int x = 0; x < page.width; ++x) {
      if (!page.Coloured(x, y)) continue;
      ++coloured;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_GT(coloured, 200);
  EXPECT_GT(right - left, 250);  // of a frame about 370 pixels wide

  ASSERT_EQ(Shell(study + "--shard 1/2 --report shard.pdf --summary shard.txt").status, 0);
  const std::string shard =
      kelvane::test::Squeezed(kelvane::test::PdfText(dir_ / "shard.pdf", "-layout").out);
  EXPECT_NE(shard.find("本报告只计分片1/2的2个算例（全部3个中）"), std::string::npos) << shard;
  for (const std::string& line : Split(ReadFile(dir_ / "shard.txt"), '\n')) {
    EXPECT_NE(shard.find(kelvane::test::Squeezed(line)), std::string::npos) << line;
  }
}
#endif

TEST_F(SweepProcess, CaseFileCellsReachTheBoxesAndBadInputIsAUsageError) {
  std::ofstream(dir_ / "cases.csv") << "final-pump-discharge,forebay-area\n"
                                       "0,\"1 287.414\"\n"
                                       "\"41.6\",\"6,00\"\n";
  ProcessResult cases = Shell(
      "$KELVANE --batch --cases cases.csv --sweep step-count=300,1500 "
      "--sweep-csv - --summary /dev/null");
  ASSERT_EQ(cases.status, 0) << cases.err;
  const std::vector<std::string> lines = Split(cases.out, '\n');
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 48), "case,final-pump-discharge,forebay-area,step-coun");
  EXPECT_EQ(lines[2].substr(0, 23), "2,0,1 287.414,1500,0,,-");
  EXPECT_EQ(lines[4].substr(0, 23), "4,41.6,\"6,00\",1500,0,,-");
  // "1 287.414" is the default area, blanks dropped: the values of a study of
  // the defaults alone.
  ProcessResult defaults = Shell("$KELVANE --batch --sweep final-pump-discharge=0 --sweep-csv -");
  auto after = [](const std::string& line, int commas) {
    std::size_t at = 0;
    for (int k = 0; k < commas; ++k) at = line.find(',', at) + 1;
    return line.substr(at);
  };
  EXPECT_EQ(after(lines[2], 4), after(Split(defaults.out, '\n')[1], 2));

  std::ofstream(dir_ / "bad.csv") << "forebay-area,step-count\n600,300\n\n700\n";
  struct Usage {
    std::string options;
    std::string fragment;
  };
  const Usage usages[] = {
      {"--cases bad.csv", "案例文件 “bad.csv” 第 4 行：有 1 个单元格，表头有 2 个"},
      {"--cases nosuch.csv", "案例文件 “nosuch.csv”：文件不存在"},
      {"--sweep forebay-area=1:2:0", "步长为 0"},
      {"--sweep forebay-area=1,2 --forebay-area 3", "--forebay-area 既给出又扫描"},
      {"--sweep forebay-area=1,2 --sweep forebay-area=3", "forebay-area 扫描了两次"},
      {"--sweep forebay-area=1,2 --csv steps.csv", "--csv"},
      {"--jobs 2", "--jobs 只用于设计研究"},
      {"--sweep forebay-area=1,2 --shard 2/2", "--shard"},
      {"--sweep forebay-area=1,2 --forebay-max-level x", "--forebay-max-level"},
      {"--sweep forebay-area=1,2 --sweep-csv - --summary -", "同一处"},
  };
  for (const Usage& u : usages) {
    SCOPED_TRACE(u.options);
    ProcessResult r = Shell("$KELVANE --batch " + u.options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(u.fragment), std::string::npos) << r.err;
  }
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_)) left.insert(entry.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"bad.csv", "cases.csv"}));
}

// The verdict of one check in a single run's 校核 table ("1" 满足, "0"
// 不满足, "" 未定 or 无效) with its word, and, for a failing culvert check, the first
// node its sentence names.
struct SingleRunCheck {
  std::string pass;
  std::string firstFailingNode;
  std::string verdict;
};
SingleRunCheck CheckOf(const std::string& summary, const std::string& item,
                       const std::string& failingSentence) {
  const std::size_t row = summary.find("\n  " + item + " ");
  if (row == std::string::npos) return {};
  const std::string line = summary.substr(row + 1, summary.find('\n', row + 1) - row - 1);
  std::string verdict = "满足";
  for (const char* word : {"不满足", "未定", "无效（超出模型适用范围）"})
    if (line.ends_with(word)) verdict = word;
  verdict = verdict.substr(0, verdict.find("（"));
  SingleRunCheck check{verdict == "满足" ? "1" : verdict == "不满足" ? "0" : "", "", verdict};
  const std::size_t sentence = summary.find(failingSentence);
  if (check.pass == "0" && sentence != std::string::npos) {
    const std::size_t node = summary.rfind("箱涵节点 ", sentence) + std::string("箱涵节点 ").size();
    check.firstFailingNode =
        summary.substr(node, summary.find_first_not_of("0123456789", node) - node);
  }
  return check;
}

// A design item swept like an input: each row's pass columns and first
// failing nodes are the verdicts of a single run's 校核 section with the
// same texts; a case table may name design items in its header.
TEST_F(SweepProcess, DesignItemsAreSweptAndEveryCaseChecked) {
  // 3200 steps reach the first low, so a kept culvert limit is decided.
  const std::string design =
      " --culvert-invert-upstream=-7.2 --culvert-invert-downstream=-8.3 --forebay-freeboard=0.5"
      " --step-count=3200";
  ProcessResult r = Shell("$KELVANE --batch --sweep culvert-height=1,4,16 --forebay-wall-top=-2" +
                          design + " --sweep-csv s.csv --summary r.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Split(ReadFile(dir_ / "s.csv"), '\n');
  ASSERT_EQ(lines.size(), 5u);  // the header, three cases, the end of the last line
  const std::vector<std::string> header = Split(lines[0], ',');
  ASSERT_EQ(header[1], "culvert-height");
  EXPECT_EQ(header.end()[-3], "warnings");
  const std::vector<std::string> checkColumns(header.end() - 11, header.end() - 3);
  EXPECT_EQ(checkColumns,
            (std::vector<std::string>{"pass_forebay_highest", "verdict_forebay_highest",
                                      "pass_culvert_full", "verdict_culvert_full",
                                      "culvert_full_first_failing_node", "pass_vacuum",
                                      "verdict_vacuum", "vacuum_first_failing_node"}));
  std::set<std::string> verdicts;
  for (std::size_t k = 1; k <= 3; ++k) {
    const std::vector<std::string> cells = Split(lines[k], ',');
    SCOPED_TRACE(cells[1]);
    ProcessResult single = Shell("$KELVANE --batch --summary - --forebay-wall-top=-2" + design +
                                 " --culvert-height=" + cells[1]);
    ASSERT_EQ(single.status, 0) << single.err;
    const SingleRunCheck full = CheckOf(single.out, "箱涵满流", "的最低水头低于顶板高程，");
    const SingleRunCheck vacuum = CheckOf(single.out, "水柱分离", "低于顶板高程减真空限值");
    const SingleRunCheck highest = CheckOf(single.out, "前池最高水位", "");
    const std::vector<std::string> expected{highest.pass,   highest.verdict,        full.pass,
                                            full.verdict,   full.firstFailingNode,  vacuum.pass,
                                            vacuum.verdict, vacuum.firstFailingNode};
    EXPECT_EQ(std::vector<std::string>(cells.end() - 11, cells.end() - 3), expected);
    verdicts.insert(full.pass + vacuum.pass);
  }
  // The three heights: full and no separation; drained, the separation check
  // then invalid; drained and separated before it drains.
  EXPECT_EQ(verdicts, (std::set<std::string>{"11", "0", "00"}));
  const std::string report = ReadFile(dir_ / "r.txt");
  EXPECT_NE(report.find("设计校核            前池最高水位、箱涵满流、水柱分离\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("全部限值与校核通过  1\n"), std::string::npos) << report;

  std::ofstream(dir_ / "design.csv") << "culvert-height,forebay-wall-top\n1,-2\n1,-3\n";
  r = Shell("$KELVANE --batch --cases design.csv" + design + " --sweep-csv -");
  ASSERT_EQ(r.status, 0) << r.err;
  lines = Split(r.out, '\n');
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("case,culvert-height,forebay-wall-top,status,")) << lines[0];
  // The inverts' drop of 1.1 m disagrees with the slope's 4.415 m: one
  // warning per case.
  EXPECT_TRUE(lines[1].ends_with(",1,满足,1,满足,,1,满足,,1,414.62347,0.9207012")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(",0,不满足,1,满足,,1,满足,,1,414.62347,0.9207012")) << lines[2];
}

}  // namespace
