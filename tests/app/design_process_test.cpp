// The design data and the calculation report in the batch mode, as a user
// runs them: the built program as a child process. The summary's 校核 section
// is the one the report library builds for the same run; the case file keeps
// the design data; the report's text holds the summary's numbers and
// verdicts; a report name that is no PDF's is a usage error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "support/run_checks.h"
#include "support/temp_dir.h"
#include "support/texts.h"

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;

using DesignItems = std::vector<std::pair<DesignId, std::string>>;

// The summary the batch mode must write for the default texts and these
// design items: with the 校核 section when any item reads as a value.
std::string ExpectedSummary(const DesignItems& items) {
  DesignTexts texts;
  for (const auto& [id, text] : items) texts[id] = text;
  const CompletedRun c = CalculateRun(DefaultInputTexts());
  const RunSummary summary = SummarizeRun(c.run, c.outcome);
  const DesignData data = ReadDesignData(texts);
  if (!data.Any()) return SummaryText(summary, c.run);
  const DesignCheckReport checks = CheckDesign(data, summary, c.run, c.outcome);
  return SummaryText(summary, c.run, &checks);
}

// "--forebay-wall-top=-1" for each item.
std::vector<std::string> DesignArgs(const DesignItems& items) {
  std::vector<std::string> args;
  for (const auto& [id, text] : items)
    args.push_back("--" + std::string(Field(id).option) + "=" + text);
  return args;
}

int Count(const std::string& text, const std::string& piece) {
  int count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

class DesignProcess : public ::testing::Test {
 protected:
  ProcessResult Kelvane(std::vector<std::string> args) {
    args.insert(args.begin(), {KELVANE_EXE, "--batch"});
    ProcessResult result = RunProcess(args, {.folder = dir_});
    result.err = checks::WithoutInputWarnings(result.err);
    return result;
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  TempDir dir_{"kelvane-design"};
};

// Items that pass on the default pump stop, and items that fail it (the
// culvert drains near the reservoir; no column separation yet).
const DesignItems kPassing = {
    {DesignId::ForebayWallTop, "-1"},
    {DesignId::ForebayFreeboard, "1"},
    {DesignId::PumpMinLevel, "-6"},
    {DesignId::CulvertInvertUpstream, "-12"},
    {DesignId::CulvertInvertDownstream, "-12.5"},
    {DesignId::CulvertHeight, "3"},
    {DesignId::CulvertDesignPressureHead, "20"},
};
const DesignItems kFailing = {
    {DesignId::ForebayWallTop, "-2"},
    {DesignId::ForebayFreeboard, "0.8"},
    {DesignId::PumpMinLevel, "-4"},
    {DesignId::CulvertInvertUpstream, "-7.2"},
    {DesignId::CulvertInvertDownstream, "-8.3"},
    {DesignId::CulvertHeight, "3"},
    {DesignId::CulvertDesignPressureHead, "0.5"},
};

TEST_F(DesignProcess, DesignOptionsReachTheSummaryChecks) {
  struct Row {
    const char* name;
    DesignItems items;
    int passes;  // rows "满足" in the table (the culvert checks count once each)
    int fails;
    int undetermined = 0;  // rows "未定": kept limits the default run ends too early for
    int invalid = 0;       // rows "无效": verdicts resting on steps after the culvert drains
  };
  const Row rows[] = {
      {"passing", kPassing, 2, 0, 3},
      {"failing", kFailing, 0, 2, 0, 3},
      {"vacuum",
       {{DesignId::CulvertInvertUpstream, "4"},
        {DesignId::CulvertInvertDownstream, "3"},
        {DesignId::CulvertHeight, "3"}},
       0,
       2},
      {"forebay only", {{DesignId::ForebayWallTop, "-1"}}, 1, 0},
      {"no data", {}, 0, 0},
      {"blank item", {{DesignId::PumpMinLevel, " "}}, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> args = DesignArgs(row.items);
    args.insert(args.end(), {"--summary", "s.txt"});
    const ProcessResult r = Kelvane(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string summary = ReadFile(dir_ / "s.txt");
    EXPECT_EQ(summary, ExpectedSummary(row.items));
    EXPECT_EQ(summary.find("\n校核\n") != std::string::npos, row.passes + row.fails > 0);
    const int fails = Count(summary, "不满足\n");
    EXPECT_EQ(Count(summary, "满足\n") - fails, row.passes) << summary;
    EXPECT_EQ(fails, row.fails) << summary;
    EXPECT_EQ(Count(summary, "未定\n"), row.undetermined) << summary;
    EXPECT_EQ(Count(summary, "无效（超出模型适用范围）\n"), row.invalid) << summary;
  }
  // No design data: the summary of the run alone.
  EXPECT_EQ(ExpectedSummary({}), [] {
    const CompletedRun c = CalculateRun(DefaultInputTexts());
    return SummaryText(SummarizeRun(c.run, c.outcome), c.run);
  }());
}

// --save-case writes [design] with the items given, --case reads them back
// (an item on the command line over the file's), and a case saved again from
// it has the same bytes.
TEST_F(DesignProcess, CaseFileKeepsTheDesignData) {
  std::vector<std::string> args = DesignArgs(kFailing);
  args.insert(args.end(), {"--save-case", "a.toml", "--summary", "direct.txt"});
  ASSERT_EQ(Kelvane(args).status, 0);
  const std::string saved = ReadFile(dir_ / "a.toml");
  const std::size_t design = saved.find("\n[design]\n");
  ASSERT_NE(design, std::string::npos) << saved;
  for (const auto& [id, text] : kFailing) {
    EXPECT_NE(saved.find(std::string(Field(id).option) + " = \"" + text + "\"", design),
              std::string::npos)
        << Field(id).option;
  }

  ProcessResult r = Kelvane({"--case", "a.toml", "--summary", "read.txt", "--save-case", "b.toml"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "read.txt"), ReadFile(dir_ / "direct.txt"));
  EXPECT_EQ(ReadFile(dir_ / "b.toml"), saved);

  r = Kelvane({"--case", "a.toml", "--forebay-wall-top", "-1", "--forebay-freeboard", "1",
               "--summary", "over.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  DesignItems over = kFailing;
  over[0].second = "-1";
  over[1].second = "1";
  EXPECT_EQ(ReadFile(dir_ / "over.txt"), ExpectedSummary(over));

  // Without design data the case file has no [design] table.
  ASSERT_EQ(Kelvane({"--save-case", "plain.toml"}).status, 0);
  EXPECT_EQ(ReadFile(dir_ / "plain.toml").find("[design]"), std::string::npos);
}

TEST_F(DesignProcess, ReportNameMustBeAPdfAndApartFromTheOtherOutputs) {
  struct Row {
    std::vector<std::string> args;
    std::string message;
  };
  const Row rows[] = {
      {{"--report", "r.txt"}, "选项 --report 的文件名应以 .pdf 或 .odt 结尾：“r.txt”"},
      {{"--report", "r.pdf.png", "--summary", "s.txt"}, "应以 .pdf 或 .odt 结尾"},
      {{"--report="}, "选项 --report 缺少文件名"},
      {{"--report", "-"}, "选项 --report 不能写到标准输出"},
      {{"--report", "r.pdf", "--sweep", "culvert-length=600,700", "--sweep-csv", "./r.pdf"},
       "--sweep-csv 与 --report 指向同一个文件"},
      {{"--culvert-height", "3", "--sweep", "culvert-height=3,4"},
       "输入选项 --culvert-height 既给出又扫描"},
#ifdef KELVANE_TEST_WITH_UI
      {{"--report", "r.pdf", "--summary", "r.pdf"}, "指向同一个文件"},
#else
      {{"--report", "r.pdf"}, "此版本不含窗口，不能写计算书（--report）"},
#endif
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    const ProcessResult r = Kelvane(row.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    EXPECT_TRUE(Files().empty());
  }
}

#ifdef KELVANE_TEST_WITH_UI
// The report's text holds the case's title, the summary's extremes and every
// conclusion of its 校核 section, as the summary words them.
TEST_F(DesignProcess, ReportHoldsTheSummarysExtremesAndVerdicts) {
  const std::string caseText =
      "title = \"某泵站 事故停泵\"\n[inputs]\nforebay-area = \"1287.414\"\n"
      "step-count = \"3200\"\n[design]\n"
      "forebay-wall-top = \"-2\"\nforebay-freeboard = \"0.8\"\npump-min-level = \"-6\"\n";
  std::ofstream(dir_ / "c.toml", std::ios::binary) << caseText;
  const ProcessResult r =
      Kelvane({"--case", "c.toml", "--report", "计算书.pdf", "--summary", "s.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Files(), (std::set<std::string>{"c.toml", "s.txt", "计算书.pdf"}));
  EXPECT_TRUE(ReadFile(dir_ / "计算书.pdf").starts_with("%PDF-"));

  const ProcessResult text =
      RunProcess({"/usr/bin/pdftotext", "-enc", "UTF-8", (dir_ / "计算书.pdf").string(), "-"});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string pdf = Squeezed(text.out);

  InputTexts texts = DefaultInputTexts();
  texts[InputId::StepCount] = "3200";  // past the first low, so the kept limit passes
  const CompletedRun c = CalculateRun(texts);
  const RunSummary summary = SummarizeRun(c.run, c.outcome);
  std::vector<std::string> expected = {"某泵站事故停泵"};
  for (const ExtremeAt& extreme : {summary.forebayHighest, summary.forebayLowest}) {
    expected.push_back(FixedText(extreme.value, 3));
    expected.push_back(StepTimeText(c.run, extreme.step));
  }
  // The summary's conclusions, line by line, one pass and one fail among them.
  const std::string written = ReadFile(dir_ / "s.txt");
  const std::size_t conclusions = written.find("\n结论\n");
  ASSERT_NE(conclusions, std::string::npos) << written;
  std::size_t sentences = 0;
  for (std::size_t at = conclusions + 5; at < written.size(); at = written.find('\n', at) + 1) {
    expected.push_back(written.substr(at, written.find('\n', at) - at));
    ++sentences;
  }
  EXPECT_GE(sentences, 3u);
  EXPECT_GT(Count(written, "满足\n"), Count(written, "不满足\n"));
  EXPECT_GT(Count(written, "不满足\n"), 0);
  for (const std::string& piece : expected) {
    EXPECT_NE(pdf.find(Squeezed(piece)), std::string::npos) << piece;
  }
}

// A case file with operating cases: --case-name runs one of them (the
// summary of its texts); the book covers the base case and every operating
// case, each with its summary's extremes, and its 控制工况 table names the
// case that governs each forebay check; a name the file lacks is a usage
// error.
TEST_F(DesignProcess, BookCoversTheCaseFilesOperatingCases) {
  std::ofstream(dir_ / "c.toml", std::ios::binary)
      << "title = \"设计库水位\"\n[design]\nforebay-wall-top = \"-2.4\"\n"
         "forebay-freeboard = \"0.5\"\npump-min-level = \"-5.3\"\n"
         "[[cases]]\nname = \"最高库水位\"\nreservoir-level = \"-3.5\"\n"
         "[[cases]]\nname = \"最低库水位\"\nreservoir-level = \"-5\"\n";
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string reservoir;
  };
  const Case cases[] = {{"设计库水位", {}, "-4.34"},
                        {"最高库水位", {"--case-name", "最高库水位"}, "-3.5"},
                        {"最低库水位", {"--case-name=最低库水位"}, "-5"}};
  std::vector<std::string> expected = {"控制工况"};
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--case", "c.toml", "--summary", "s.txt"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(Kelvane(args).status, 0) << c.name;
    InputTexts texts = DefaultInputTexts();
    texts[InputId::ReservoirLevel] = c.reservoir;
    const CompletedRun run = CalculateRun(texts);
    const RunSummary summary = SummarizeRun(run.run, run.outcome);
    EXPECT_NE(ReadFile(dir_ / "s.txt").find(FixedText(summary.forebayHighest.value, 3)),
              std::string::npos)
        << c.name;
    expected.push_back(c.name);
    expected.push_back(FixedText(summary.forebayHighest.value, 3));
    expected.push_back(FixedText(summary.forebayLowest.value, 3));
  }
  // The highest level governs the wall top, the lowest the pumps' level.
  expected.push_back("前池最高水位最高库水位");
  expected.push_back("前池最低水位最低库水位");
  const ProcessResult r = Kelvane({"--case", "c.toml", "--report", "r.pdf"});
  ASSERT_EQ(r.status, 0) << r.err;
  const ProcessResult text = PdfText(dir_ / "r.pdf", "-layout");
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string pdf = Squeezed(text.out);
  for (const std::string& piece : expected) EXPECT_NE(pdf.find(piece), std::string::npos) << piece;

  const ProcessResult missing = Kelvane({"--case", "c.toml", "--case-name", "校核水位"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("中没有名为 “校核水位” 的工况（有 “最高库水位”、“最低库水位”）"),
            std::string::npos)
      << missing.err;
  EXPECT_EQ(Kelvane({"--case-name", "最高库水位"}).status, 2);
}

// A study of a case file with operating cases: the base case and each
// operating case a row, named as the book names them, with the cells of
// what each changes (blank: the base case's) and the results of the same
// texts given as a case table.
TEST_F(DesignProcess, StudyRowsAreTheCaseFilesOperatingCases) {
  std::ofstream(dir_ / "c.toml", std::ios::binary)
      << "title = \"设计库水位\"\n[pump]\nramp-time = 30\n"
         "[[cases]]\nname = \"最高库水位\"\nreservoir-level = \"-3.5\"\n"
         "[[cases]]\nname = \"最低库水位快关\"\nreservoir-level = \"-5\"\npump-ramp-time = 0\n";
  std::ofstream(dir_ / "t.csv", std::ios::binary)
      << "reservoir-level,pump-ramp-time\n-4.34,30\n-3.5,30\n-5,0\n";
  ASSERT_EQ(Kelvane({"--case", "c.toml", "--sweep-csv", "cases.csv"}).status, 0);
  ASSERT_EQ(Kelvane({"--cases", "t.csv", "--sweep-csv", "table.csv"}).status, 0);
  const auto rows = [&](const char* file) {
    std::vector<std::vector<std::string>> out;
    std::istringstream in(ReadFile(dir_ / file));
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string>& cells = out.emplace_back();
      std::istringstream split(line);
      for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
    }
    return out;
  };
  const auto cases = rows("cases.csv");
  const auto table = rows("table.csv");
  ASSERT_EQ(cases.size(), 4u);
  ASSERT_EQ(table.size(), 4u);
  const std::vector<std::vector<std::string>> named = {
      {"case", "name", "reservoir-level", "pump-ramp-time"},
      {"1", "设计库水位", "", ""},
      {"2", "最高库水位", "-3.5", ""},
      {"3", "最低库水位快关", "-5", "0"}};
  for (std::size_t r = 0; r < cases.size(); ++r) {
    ASSERT_GT(cases[r].size(), 4u);
    EXPECT_EQ(std::vector<std::string>(cases[r].begin(), cases[r].begin() + 4), named[r]);
    EXPECT_EQ(std::vector<std::string>(cases[r].begin() + 4, cases[r].end()),
              std::vector<std::string>(table[r].begin() + 3, table[r].end()))
        << r;
  }
  // The command line wins over every case: its option is no column.
  ASSERT_EQ(
      Kelvane({"--case", "c.toml", "--reservoir-level", "-4", "--sweep-csv", "cl.csv"}).status, 0);
  EXPECT_EQ(rows("cl.csv")[0][2], "pump-ramp-time");
}

// A case with a pump event: the report states the event the run used, in
// the summary's words, and not the sudden change of the boxes.
TEST_F(DesignProcess, ReportStatesThePumpEventOfTheCase) {
  std::ofstream(dir_ / "ramp.toml", std::ios::binary)
      << "[inputs]\nfinal-pump-discharge = \"0\"\n[pump]\nramp-time = 30\n";
  const ProcessResult r =
      Kelvane({"--case", "ramp.toml", "--report", "r.pdf", "--summary", "s.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string summary = ReadFile(dir_ / "s.txt");
  const std::size_t section = summary.find("\n工况\n");
  ASSERT_NE(section, std::string::npos) << summary;
  const std::size_t first = section + std::string("\n工况\n  ").size();
  const std::string eventLine = summary.substr(first, summary.find('\n', first) - first);
  const ProcessResult text =
      RunProcess({"/usr/bin/pdftotext", "-enc", "UTF-8", (dir_ / "r.pdf").string(), "-"});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string pdf = Squeezed(text.out);
  EXPECT_NE(pdf.find(Squeezed(eventLine)), std::string::npos) << eventLine;
  EXPECT_EQ(pdf.find("突然变为"), std::string::npos);
}

// A report that cannot be written is an output fault like the others:
// numbered, the file named, exit 1, the other outputs written.
TEST_F(DesignProcess, ReportIntoAMissingFolderIsARunError) {
  const ProcessResult r = Kelvane({"--report", "missing/r.pdf", "--summary", "s.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("运行时错误 '76'")) << r.err;
  EXPECT_NE(r.err.find("missing/r.pdf"), std::string::npos) << r.err;
  EXPECT_EQ(Files(), std::set<std::string>{"s.txt"});
}
#else
TEST_F(DesignProcess, ReportNeedsTheWindows) {
  const ProcessResult r = Kelvane({"--report", "r.pdf"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("此版本不含窗口，不能写计算书（--report）"), std::string::npos) << r.err;
}
#endif

}  // namespace
}  // namespace kelvane::test
