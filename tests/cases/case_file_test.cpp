// Case files: texts come back exactly, numbers become the texts promised,
// and every bad file is reported with its kind and line.
#include "cases/case_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run/case_item.h"
#include "solver/event_texts.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

using TempFolder = test::TempDir;

// Texts a user can type that TOML must quote or escape, one per box.
CaseFile OddCase() {
  const std::vector<std::string> odd = {"41.6m3/s",
                                        "",
                                        "－４",
                                        " 1 500 ",
                                        "say \"hi\"",
                                        "back\\slash\\",
                                        "two\u2028lines",
                                        "tab\\t cr\\r",
                                        "\u00ad\u200b",
                                        "\u0085\u00a0",
                                        "中文 # not a comment",
                                        "'''",
                                        "\"\"\"",
                                        "\ufeff1e3",
                                        "\\u0041 \\n",
                                        "[inputs] forebay-area = 1"};
  CaseFile caseFile;
  caseFile.base.title = "泵站 \"A\" \\ 1";
  // Only the notes may hold control characters: a box holds none.
  caseFile.base.notes = "first line\nsecond line\r\n\tthird\x01\x1f\x7f";
  for (InputId id : AllInputs()) caseFile.base.texts[id] = odd[static_cast<std::size_t>(id)];
  return caseFile;
}

TEST(CaseFile, OddTextsComeBackExactly) {
  const CaseFile odd = OddCase();
  EXPECT_EQ(ParseCaseFile(CaseFileBytes(odd), "odd.toml"), odd);

  // Through the file system too, and with nothing but defaults.
  TempFolder folder;
  const std::string path = (folder.path() / "odd.toml").string();
  WriteCaseFile(path, odd);
  EXPECT_EQ(ReadCaseFile(path), odd);
  WriteCaseFile(path, CaseFile{});
  EXPECT_EQ(ReadCaseFile(path), CaseFile{});
}

TEST(CaseFile, MissingKeysTakeTheDefaultTexts) {
  CaseFile expected;
  expected.base.texts[InputId::StepCount] = "200";
  EXPECT_EQ(ParseCaseFile("[inputs]\nstep-count = \"200\"\n", "a.toml"), expected);
  EXPECT_EQ(ParseCaseFile("", "empty.toml"), CaseFile{});
  // A dotted key is the same key as in an [inputs] table.
  EXPECT_EQ(ParseCaseFile("inputs.step-count = \"200\"", "a.toml"), expected);
  // Chinese punctuation after a line-ending backslash (toml++ 3.3 mistook
  // such characters in its blank test).
  EXPECT_EQ(ParseCaseFile("notes = \"\"\"a\\\n  。、é\"\"\"", "a.toml").base.notes, "a。、é");
}

TEST(CaseFile, NumbersStandForTheirShortestText) {
  struct Row {
    const char* toml;
    const char* text;
    double value;  // what the text reads as: the number the file holds
  };
  const Row rows[] = {
      {"1287.414", "1287.414", 1287.414},
      {"1500", "1500", 1500},
      {"-5", "-5", -5},
      {"+0.153", "0.153", 0.153},
      {"1.0", "1", 1},
      {"0.00001", "1e-05", 0.00001},
      {"1e300", "1e+300", 1e300},
      {"-0.0", "-0", -0.0},
      {"0.1", "0.1", 0.1},
      {"1_000.5", "1000.5", 1000.5},
      {"0x10", "16", 16},
      {"-0.0074", "-0.0074", -0.0074},
      {"5e-324", "5e-324", 5e-324},
      {"0.30000000000000004", "0.30000000000000004", 0.1 + 0.2},
      {"9007199254740993", "9007199254740993", 9007199254740992.0},
  };
  for (const Row& row : rows) {
    const std::string source = std::string("[inputs]\nforebay-area = ") + row.toml;
    const std::string text = ParseCaseFile(source, "n.toml").base.texts[InputId::ForebayArea];
    EXPECT_EQ(text, row.text) << row.toml;
    EXPECT_EQ(ReadLeadingNumber(text), row.value) << row.toml;
  }
}

// [design]: only the items given are written, after [inputs]; texts and
// numbers read as [inputs] reads them; the bytes survive a round trip.
TEST(CaseFile, DesignDataComesBackExactly) {
  CaseFile caseFile;
  EXPECT_EQ(CaseFileBytes(caseFile).find("[design]"), std::string::npos);

  caseFile.base.design[DesignId::ForebayWallTop] = "-1.5";
  caseFile.base.design[DesignId::CulvertHeight] = "3.2m";
  caseFile.base.design[DesignId::PumpMinLevel] = "";
  const std::string bytes = CaseFileBytes(caseFile);
  EXPECT_TRUE(
      bytes.ends_with("\n[design]\n"
                      "culvert-height = \"3.2m\"  # 箱涵净高 (m)\n"
                      "forebay-wall-top = \"-1.5\"  # 前池墙顶高程 (m)\n"
                      "pump-min-level = \"\"  # 水泵最低运行水位 (m)\n"))
      << bytes;
  const CaseFile read = ParseCaseFile(bytes, "d.toml");
  EXPECT_EQ(read, caseFile);
  EXPECT_EQ(CaseFileBytes(read), bytes);

  struct Row {
    const char* toml;
    DesignId id;
    const char* text;
  };
  const Row rows[] = {
      {"[design]\nforebay-freeboard = 0.5", DesignId::ForebayFreeboard, "0.5"},
      {"[design]\nculvert-invert-upstream = -9", DesignId::CulvertInvertUpstream, "-9"},
      {"design.culvert-design-pressure-head = 1e1", DesignId::CulvertDesignPressureHead, "10"},
      {"[design]\nculvert-invert-downstream = \" -9.5 \"", DesignId::CulvertInvertDownstream,
       " -9.5 "},
  };
  for (const Row& row : rows) {
    const CaseFile parsed = ParseCaseFile(row.toml, "d.toml");
    EXPECT_EQ(parsed.base.design[row.id], std::optional<std::string>(row.text)) << row.toml;
    EXPECT_EQ(parsed.base.texts, DefaultInputTexts());
  }
}

TEST(CaseFile, BadFilesNameTheProblemAndTheLine) {
  struct Row {
    std::string bytes;
    CaseProblem problem;
    int line;
    std::string key;
  };
  const std::vector<Row> rows = {
      {"format-version = 1\n[inputs]\nforebay-area = \"1\"\nwave-speed = 1000 m/s\n",
       CaseProblem::NotToml, 4, ""},
      {"[inputs]\nforebay-area = \"1\"\nforebay-area = \"2\"\n", CaseProblem::NotToml, 3, ""},
      {"[inputs]\nforebay-area = \"\xff\"\n", CaseProblem::NotUtf8, 2, ""},
      {"title = \"\xb0\xb8\"\n", CaseProblem::NotUtf8, 0, ""},  // GBK: the file as a whole
      {"[inputs]\nforebay-area = \"6\\n00\"\n", CaseProblem::ControlChar, 2, "inputs.forebay-area"},
      {"[pump]\nschedule = [[\"0\", \"4\\t\"]]\n", CaseProblem::ControlChar, 2, "pump.schedule"},
      {"[design]\nculvert-height = \"\\u001b\"\n", CaseProblem::ControlChar, 2,
       "design.culvert-height"},
      {"\n\nfromat-version = 1\n", CaseProblem::UnknownKey, 3, "fromat-version"},
      {"[inputs]\nforebay-area = \"1\"\n\nforbay-area = \"2\"\n", CaseProblem::UnknownKey, 4,
       "inputs.forbay-area"},
      {"[inputs]\n[inputs.more]\nx = 1\n", CaseProblem::UnknownKey, 2, "inputs.more"},
      {"[inputs]\nstep-count = true\n", CaseProblem::WrongType, 2, "inputs.step-count"},
      {"[inputs]\nstep-count = [\"1\", \"2\"]\n", CaseProblem::WrongType, 2, "inputs.step-count"},
      {"[inputs]\nstep-count = 2024-05-01\n", CaseProblem::WrongType, 2, "inputs.step-count"},
      {"title = 3\n", CaseProblem::WrongType, 1, "title"},
      {"[inputs]\nstep-count = { a = 1 }\n", CaseProblem::WrongType, 2, "inputs.step-count"},
      {"inputs = \"all\"\n", CaseProblem::WrongType, 1, "inputs"},
      {"format-version = \"1\"\n", CaseProblem::WrongType, 1, "format-version"},
      {"[inputs]\nwave-speed = nan\n", CaseProblem::NotFinite, 2, "inputs.wave-speed"},
      {"[inputs]\nwave-speed = -inf\n", CaseProblem::NotFinite, 2, "inputs.wave-speed"},
      // A newer file is reported as newer even when it has keys unknown here.
      {"pump-curve = 3\n\nformat-version = 2\n", CaseProblem::NewerVersion, 3, "format-version"},
      {"format-version = 0\n", CaseProblem::BadVersion, 1, "format-version"},
      {"[design]\nforebay-wall = \"1\"\n", CaseProblem::UnknownKey, 2, "design.forebay-wall"},
      {"[design]\nculvert-height = true\n", CaseProblem::WrongType, 2, "design.culvert-height"},
      {"[design]\npump-min-level = nan\n", CaseProblem::NotFinite, 2, "design.pump-min-level"},
      {"design = 1\n", CaseProblem::WrongType, 1, "design"},
      {"title = \"a\"\n[inputs]\nforebay-area = 12。\n", CaseProblem::NotToml, 3, ""},
      {"\xef\xbb\xb7[inputs]\n", CaseProblem::NotToml, 1, ""},
      {std::string(kMaxCaseFileBytes + 1, '#'), CaseProblem::TooLarge, 0, ""},
      {"[pump]\nramp = 3\n", CaseProblem::UnknownKey, 2, "pump.ramp"},
      {"[forebay]\narea-table = \"-5:1000\"\n", CaseProblem::WrongType, 2, "forebay.area-table"},
      {"[pump]\nschedule = [1, 2]\n", CaseProblem::WrongType, 2, "pump.schedule"},
      {"[pump]\nschedule = [\n  [0, 41.6],\n  [1, true],\n]\n", CaseProblem::WrongType, 2,
       "pump.schedule"},
      {"[pump]\nschedule = [[0, nan]]\n", CaseProblem::NotFinite, 2, "pump.schedule"},
      {"pump = 3\n", CaseProblem::WrongType, 1, "pump"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes.substr(0, 80));
    try {
      ParseCaseFile(row.bytes, "dir/a.toml");
      ADD_FAILURE() << "read without error";
    } catch (const CaseFileError& error) {
      EXPECT_EQ(error.problem().problem, row.problem);
      EXPECT_EQ(error.problem().line, row.line);
      EXPECT_EQ(error.problem().key, row.key);
      EXPECT_EQ(error.problem().file, "dir/a.toml");
    }
  }
  // The wording names the file and the line.
  try {
    ParseCaseFile("format-version = 7", "dir/a.toml");
  } catch (const CaseFileError& error) {
    EXPECT_EQ(std::string(error.what()),
              "算例文件 “dir/a.toml” 第 1 行：格式版本 7 比本程序能读的 1 新，请用新版程序打开");
  }
}

// [project]: the book's names and basis come back exactly; a key or type
// it does not hold is named.
TEST(CaseFile, ProjectComesBackExactly) {
  CaseFile caseFile;
  EXPECT_EQ(CaseFileBytes(caseFile).find("[project]"), std::string::npos);
  caseFile.project.name = "某泵站 \"一期\"";
  caseFile.project.stage = "初步设计";
  caseFile.project.number = "JS-017";
  caseFile.project.calculatedBy = "张三";
  caseFile.project.approvedBy = "赵六";
  caseFile.project.basis = {"《泵站设计标准》GB 50265-2022", "地勘报告 # 2"};
  caseFile.project.waveSpeedBasis = "按箱涵壁厚计算";
  const std::string bytes = CaseFileBytes(caseFile);
  const CaseFile read = ParseCaseFile(bytes, "p.toml");
  EXPECT_EQ(read.project, caseFile.project);
  EXPECT_EQ(CaseFileBytes(read), bytes);

  struct Row {
    const char* toml;
    CaseProblem problem;
    const char* key;
  };
  const Row rows[] = {
      {"[project]\nauthor = \"a\"\n", CaseProblem::UnknownKey, "project.author"},
      {"[project]\nname = 3\n", CaseProblem::WrongType, "project.name"},
      {"[project]\nbasis = \"GB 50265\"\n", CaseProblem::WrongType, "project.basis"},
      {"[project]\nbasis = [\"a\", 2]\n", CaseProblem::WrongType, "project.basis"},
      {"[project]\nchecked_by = \"a\\nb\"\n", CaseProblem::ControlChar, "project.checked_by"},
      {"project = \"x\"\n", CaseProblem::WrongType, "project"},
  };
  for (const Row& row : rows) {
    try {
      ParseCaseFile(row.toml, "p.toml");
      ADD_FAILURE() << row.toml << " read without error";
    } catch (const CaseFileError& error) {
      EXPECT_EQ(error.problem().problem, row.problem) << row.toml;
      EXPECT_EQ(error.problem().key, row.key) << row.toml;
    }
  }
}

// [pump] and [forebay]: texts and numbers as for [inputs], rows numbered
// from 1; saved and read again, the same bytes.
// The operating cases: each name and change comes back (a table given as
// rows as its option's text); a case is read as the base with its changes,
// a schedule replacing the base's unit sequence; faulty cases name the
// problem and the key.
TEST(CaseFile, OperatingCasesComeBackAndApply) {
  const CaseFile read = ParseCaseFile(
      "[inputs]\nreservoir-level = \"-4.34\"\n[pump]\nunits = \"2:-10:0:30:10\"\n"
      "[[cases]]\nname = \"最高库水位\"\nreservoir-level = -3.5\nforebay-wall-top = \"-2\"\n"
      "[[cases]]\nname = \"过程\"\npump-schedule = [[0, 41.6], [\"10\", \"0\"]]\n",
      "c.toml");
  ASSERT_EQ(read.cases.size(), 2u);
  using Changes = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(read.cases[0].name, "最高库水位");
  EXPECT_EQ(read.cases[0].changes,
            (Changes{{"forebay-wall-top", "-2"}, {"reservoir-level", "-3.5"}}));
  EXPECT_EQ(read.cases[1].changes, (Changes{{"pump-schedule", "0:41.6,10:0"}}));
  const std::string bytes = CaseFileBytes(read);
  EXPECT_EQ(ParseCaseFile(bytes, "c.toml"), read);
  EXPECT_EQ(CaseFileBytes(ParseCaseFile(bytes, "c.toml")), bytes);

  const Case high = OperatingCaseOf(read.base, read.cases[0]);
  EXPECT_EQ(high.title, "最高库水位");
  EXPECT_EQ(high.texts[InputId::ReservoirLevel], "-3.5");
  EXPECT_EQ(high.design[DesignId::ForebayWallTop], std::optional<std::string>("-2"));
  EXPECT_EQ(high.events, read.base.events);
  const Case schedule = OperatingCaseOf(read.base, read.cases[1]);
  EXPECT_FALSE(schedule.events.units.has_value());
  EXPECT_EQ(schedule.events.schedule, SplitPairsText("0:41.6,10:0"));
  EXPECT_EQ(schedule.texts, read.base.texts);
  EXPECT_EQ(OperatingCaseDifferences(read.cases[0]), "前池墙顶高程 -2 m；库水位 -3.5 m");
  // A number prints as the value read, as the book's tables print it; a
  // text the number does not take whole, as typed.
  const std::pair<Changes, const char*> differences[] = {
      {{{"reservoir-level", "-5.0"}}, "库水位 -5 m"},
      {{{"reservoir-level", "-5.0abc"}}, "库水位 -5.0abc m"},
      {{{"segment-count", "5.0"}, {"culvert-height", "3.00"}}, "划分管段数 5；箱涵净高 3 m"},
      {{{"pump-ramp-time", "120.0"}}, "泵流量变化历时 120 s"},
  };
  for (const auto& [changes, text] : differences) {
    OperatingCase operating;
    operating.changes = changes;
    EXPECT_EQ(OperatingCaseDifferences(operating), text);
  }

  struct Row {
    const char* toml;
    CaseProblem problem;
    const char* key;
  };
  const Row rows[] = {
      {"[[cases]]\nname = \"a\"\nreservoir-levl = \"1\"\n", CaseProblem::UnknownKey,
       "cases.reservoir-levl"},
      {"[[cases]]\nreservoir-level = \"1\"\n", CaseProblem::NoCaseName, "cases.name"},
      {"[[cases]]\nname = \"\"\n", CaseProblem::NoCaseName, "cases.name"},
      {"[[cases]]\nname = \"a\"\n[[cases]]\nname = \"a\"\n", CaseProblem::SameCaseName,
       "cases.name"},
      {"[[cases]]\nname = 1\n", CaseProblem::WrongType, "cases.name"},
      {"cases = \"a\"\n", CaseProblem::WrongType, "cases"},
      {"[[cases]]\nname = \"a\"\nreservoir-level = [1]\n", CaseProblem::WrongType,
       "cases.reservoir-level"},
      {"[[cases]]\nname = \"a\"\nforebay-area = \"1\\t\"\n", CaseProblem::ControlChar,
       "cases.forebay-area"},
  };
  for (const Row& row : rows) {
    try {
      ParseCaseFile(row.toml, "c.toml");
      ADD_FAILURE() << row.toml << " read without error";
    } catch (const CaseFileError& error) {
      EXPECT_EQ(error.problem().problem, row.problem) << row.toml;
      EXPECT_EQ(error.problem().key, row.key) << row.toml;
      EXPECT_GT(error.problem().line, 0) << row.toml;
    }
  }
}

TEST(CaseFile, PumpEventAndAreaTableComeBackExactly) {
  const std::string bytes =
      "[pump]\nramp-time = 30\nramp-exponent = \"1.5\"\n"
      "schedule = [[0, 41.6], [\"10\", 2e1], [10, \"0 \"]]\n"
      "[forebay]\narea-table = [[-10, 450], [0.5, 2700]]\n[model]\nkind = \"balanced\"\n"
      "section = \"channel\"\n";
  const CaseFile read = ParseCaseFile(bytes, "a.toml");
  EventTexts expected;
  expected.rampTime = "30";
  expected.rampExponent = "1.5";
  expected.schedule = TextTable{{1, {"0", "41.6"}}, {2, {"10", "20"}}, {3, {"10", "0 "}}};
  expected.areaTable = TextTable{{1, {"-10", "450"}}, {2, {"0.5", "2700"}}};
  expected.model = "balanced";
  expected.section = "channel";
  EXPECT_EQ(read.base.events, expected);
  EXPECT_EQ(read.base.texts, DefaultInputTexts());

  CaseFile units;
  units.base.events.units = "4:-10.4:0:30:10";
  units.base.events.areaTable = TextTable{};
  // The mixed model with its section and the design items that shape it.
  CaseFile mixed;
  mixed.base.events.model = "mixed";
  mixed.base.events.section = "box";
  mixed.base.design[DesignId::CulvertWidth] = "10.5";
  mixed.base.design[DesignId::ChannelSideSlope] = "1.5";
  mixed.base.design[DesignId::ManningN] = "0.014";
  mixed.base.design[DesignId::ChannelFreeboard] = "0.5 m";
  for (const CaseFile& caseFile : {read, units, mixed, OddCase()}) {
    const std::string saved = CaseFileBytes(caseFile);
    const CaseFile again = ParseCaseFile(saved, "a.toml");
    EXPECT_EQ(again, caseFile);
    EXPECT_EQ(CaseFileBytes(again), saved);
  }
  // Without either section the file has neither.
  EXPECT_EQ(CaseFileBytes(OddCase()).find("[pump]"), std::string::npos);
  EXPECT_EQ(CaseFileBytes(OddCase()).find("[model]"), std::string::npos);
  EXPECT_NE(CaseFileBytes(units).find("\n[pump]\nunits = \"4:-10.4:0:30:10\""), std::string::npos);
}

// The parser's words for the faults a hand-edited file commonly has, in
// Chinese; the line and column stay.
TEST(CaseFile, TomlFaultsInTheUsersWords) {
  const std::pair<std::string, std::string> rows[] = {
      {"[inputs]\nwave-speed = 1000 m/s\n",
       "第 2 行：不是有效的 TOML 文件（第 19 列）：键值对：值之后只能是注释或空白，却是 'm'"},
      {"[inputs]\nforebay-area = \"1\n",
       "第 2 行：不是有效的 TOML 文件（第 18 列）：字符串：含控制字符"},
      {"[inputs]\na = 1\na = 2\n",
       "第 3 行：不是有效的 TOML 文件（第 5 列）：键值对：重复定义 'a'"},
      {"[inputs\n", "表头：缺少 ']'，却是 '\\n'"},
      {"[inputs]\nforebay area = 1\n", "键值对：缺少 '='，却是 'a'（键名含空格时请加引号）"},
  };
  for (const auto& [bytes, fragment] : rows) {
    try {
      ParseCaseFile(bytes, "a.toml");
      ADD_FAILURE() << bytes;
    } catch (const CaseFileError& error) {
      EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
    }
  }
}

TEST(CaseFile, UnreadableFilesSayWhy) {
  TempFolder folder;
  struct Row {
    fs::path path;
    int systemError;
  };
  for (const Row& row : {Row{folder.path() / "missing.toml", ENOENT}, Row{folder.path(), EISDIR}}) {
    try {
      ReadCaseFile(row.path.string());
      ADD_FAILURE() << row.path;
    } catch (const CaseFileError& error) {
      EXPECT_EQ(error.problem().problem, CaseProblem::CannotRead);
      EXPECT_EQ(error.problem().systemError, row.systemError);
      EXPECT_EQ(error.problem().file, row.path.string());
    }
  }
}

TEST(CaseFile, TextThatIsNotUtf8IsRefusedAndNoFileWritten) {
  TempFolder folder;
  const std::string path = (folder.path() / "bad.toml").string();
  for (std::string text : {"\xff", "1\xe4\xb8", "\xed\xa0\x80" /* a surrogate */, "\xc0\xb1"}) {
    CaseFile caseFile;
    caseFile.base.texts[InputId::WaveSpeed] = text;
    try {
      WriteCaseFile(path, caseFile);
      ADD_FAILURE() << "written";
    } catch (const CaseFileError& error) {
      EXPECT_EQ(error.problem().problem, CaseProblem::TextNotUtf8);
      EXPECT_EQ(error.problem().key, "inputs.wave-speed");
    }
    EXPECT_FALSE(fs::exists(path));
  }
}

}  // namespace
}  // namespace kelvane
