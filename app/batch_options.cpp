#include "batch_options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "cases/case_file.h"
#include "charts/chart_scene.h"
#include "files/file_reader.h"
#include "files/file_writer.h"
#include "format/number_format.h"
#include "format/user_text.h"
#include "model/inputs.h"
#include "run/case_item.h"
#include "run/mixed_case.h"
#include "texts/event_texts.h"
#include "texts/prepared_case.h"
#include "usage_error.h"

namespace kelvane {
namespace {

std::string Quoted(std::string_view text) { return QuotedText(text); }

[[noreturn]] void Bad(const Option& option, const std::string& why) {
  throw UsageError("选项 --" + option.name + " " + why);
}

// The field each output of a single run fills.
constexpr std::pair<OptionId, std::string BatchOptions::*> kOutputFields[] = {
    {OptionId::Output, &BatchOptions::output},
    {OptionId::Table, &BatchOptions::table},
    {OptionId::Plot, &BatchOptions::plot},
    {OptionId::HistoryPlot, &BatchOptions::historyPlot},
    {OptionId::EnvelopePlot, &BatchOptions::envelopePlot},
    {OptionId::DischargePlot, &BatchOptions::dischargePlot},
    {OptionId::Summary, &BatchOptions::summary},
    {OptionId::Csv, &BatchOptions::csv},
    {OptionId::Report, &BatchOptions::report},
    {OptionId::SaveCase, &BatchOptions::saveCase},
};

bool IsRunOutput(const Option& option) {
  return (option.kind == OptionKind::SingleRunOutput || option.kind == OptionKind::ImageOutput) &&
         option.use != OptionUse::Study;
}

std::string& OutputField(BatchOptions& options, const Option& option) {
  for (const auto& [id, field] : kOutputFields) {
    if (id == option.id) return options.*field;
  }
  throw std::logic_error("no field for --" + option.name);
}

const std::string& OutputField(const BatchOptions& options, const Option& option) {
  return OutputField(const_cast<BatchOptions&>(options), option);
}

// The single run's outputs, in the order of the registry.
std::vector<const Option*> RunOutputs() {
  std::vector<const Option*> outputs;
  for (const Option& option : Options()) {
    if (IsRunOutput(option)) outputs.push_back(&option);
  }
  return outputs;
}

// The options met so far.
class Given {
 public:
  // Whether the option was met before.
  bool Mark(const Option& option) { return std::exchange(seen_[Index(option)], 1) != 0; }
  bool Has(const Option& option) const { return seen_[Index(option)] != 0; }
  bool Has(OptionId id) const { return Has(OptionOf(id)); }

 private:
  static std::size_t Index(const Option& option) {
    return static_cast<std::size_t>(&option - Options().data());
  }
  std::vector<char> seen_ = std::vector<char>(Options().size());
};

// "1,6": node numbers from 1, separated by commas.
std::vector<int> ParseNodes(std::string_view value) {
  std::vector<int> nodes;
  std::size_t at = 0;
  while (true) {
    const std::size_t comma = std::min(value.find(',', at), value.size());
    const std::string_view word = value.substr(at, comma - at);
    int node = 0;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), node);
    if (word.empty() || result.ec != std::errc() || result.ptr != word.data() + word.size() ||
        node < 1) {
      throw UsageError("选项 --nodes 的值 " + Quoted(value) + " 不是以逗号分隔的节点号（从 1 起）");
    }
    if (std::find(nodes.begin(), nodes.end(), node) != nodes.end()) {
      throw UsageError("选项 --nodes 的值 " + Quoted(value) + " 中节点 " + std::to_string(node) +
                       " 出现两次");
    }
    nodes.push_back(node);
    if (comma == value.size()) return nodes;
    at = comma + 1;
  }
}

void TakeOutput(const Option& option, const std::string& value, BatchOptions& options) {
  if (value.empty()) Bad(option, "缺少文件名");
  if (value == "-" && !option.toStandardOutput) Bad(option, "不能写到标准输出，需要文件名");
  OutputField(options, option) = value;
}

void TakeSetting(const Option& option, const std::string& value, BatchOptions& options) {
  if (option.id == OptionId::Case) {
    if (value.empty()) Bad(option, "缺少文件名");
    options.caseFile = value;
  } else if (option.id == OptionId::CaseName) {
    if (value.empty()) Bad(option, "缺少工况名");
    options.caseName = value;
  } else if (option.id == OptionId::Nodes) {
    options.nodes = ParseNodes(value);
  } else if (auto quantity = QuantityByOption(value)) {
    options.quantity = *quantity;
  } else {
    Bad(option, "的值 " + Quoted(value) + " 应为 head、velocity 或 discharge");
  }
}

// The options that set one part of the pump event or the forebay: only one
// of them may be given, and one given replaces that part of a case file.
constexpr OptionId kScheduleOptions[] = {OptionId::PumpSchedule, OptionId::PumpScheduleFile,
                                         OptionId::PumpUnits};
constexpr OptionId kAreaTableOptions[] = {OptionId::ForebayAreaTable,
                                          OptionId::ForebayAreaTableFile};

std::span<const OptionId> OptionGroup(OptionId id) {
  using Group = std::span<const OptionId>;
  for (Group group : {Group(kScheduleOptions), Group(kAreaTableOptions)}) {
    if (std::find(group.begin(), group.end(), id) != group.end()) return group;
  }
  return {};
}

bool GroupGiven(OptionId id, const Given& given) {
  const std::span<const OptionId> group = OptionGroup(id);
  return std::any_of(group.begin(), group.end(), [&](OptionId other) { return given.Has(other); });
}

// The bytes of a file an option names, read as --case reads its file; a
// file that cannot be read is a usage error with the catalogue's reason.
std::string ReadOptionFile(const Option& option, const std::string& path) {
  if (path.empty()) Bad(option, "缺少文件名");
  constexpr std::size_t kLargestTable = kLargestInputFile;
  std::string bytes;
  try {
    bytes = ReadInputFile(path, kLargestTable);
  } catch (const FileReadError& error) {
    Bad(option, "的文件 " + QuotedFileName(path) + "：" + error.Reason());
  }
  if (bytes.size() > kLargestTable) {
    Bad(option, "的文件 " + QuotedFileName(path) + " 超过 16 MiB，不是一张泵流量或面积表");
  }
  return bytes;
}

// The rows of a table file an option names; a heading set aside is said
// in a note.
TextTable ReadTableOption(const Option& option, const std::string& path, EventField field,
                          BatchOptions& options) {
  CsvTable table = ReadCsvTable(ReadOptionFile(option, path), field, path);
  if (table.heading) {
    std::string cells;
    for (const std::string& cell : table.heading->cells) cells += (cells.empty() ? "" : ",") + cell;
    options.fileNotes.push_back("--" + option.name + " 的文件 " + QuotedFileName(path) + " 第 " +
                                std::to_string(table.heading->row) + " 行 " + Quoted(cells) +
                                " 是表头，不作数据读入");
  }
  return std::move(table.rows);
}

// A pump event or area table option, read and checked at once: a value that
// cannot be used names the option, and its row and column.
void TakeEvent(const Option& option, const std::string& value, BatchOptions& options,
               const Given& given) {
  EventTexts& events = options.typed.events;
  for (OptionId other : OptionGroup(option.id)) {
    if (other != option.id && given.Has(other)) {
      throw UsageError("--" + OptionOf(other).name + " 与 --" + option.name + " 只能给出一个");
    }
  }
  const bool file =
      option.id == OptionId::PumpScheduleFile || option.id == OptionId::ForebayAreaTableFile;
  const std::string path = file ? value : "";
  if (file) options.eventFiles.emplace_back(option.id, path);
  try {
    switch (option.id) {
      case OptionId::PumpRampTime:
        ReadRampTime(value);
        events.rampTime = value;
        break;
      case OptionId::PumpRampExponent:
        ReadRampExponent(value);
        events.rampExponent = value;
        break;
      case OptionId::Model:
        ReadMarchModel(value);
        events.model = value;
        break;
      case OptionId::Section:
        ReadCulvertSection(value);
        events.section = value;
        break;
      case OptionId::PumpUnits:
        ReadUnitSequence(value);
        SetEventText(events, EventField::PumpUnits, value);
        break;
      case OptionId::PumpSchedule:
      case OptionId::PumpScheduleFile:
        events.schedule = file ? ReadTableOption(option, path, EventField::PumpSchedule, options)
                               : SplitPairsText(value);
        events.units.reset();
        ReadPumpSchedule(*events.schedule, path);
        break;
      default:  // the forebay's level–area table, as text or file
        events.areaTable =
            file ? ReadTableOption(option, path, EventField::ForebayAreaTable, options)
                 : SplitPairsText(value);
        ReadForebayAreaTable(*events.areaTable, path);
        break;
    }
  } catch (const RunError& error) {
    throw UsageError("选项 --" + option.name + "：" + error.where());
  }
}

void TakeWord(const CommandWord& word, BatchOptions& options, Given& given) {
  const Option& option = *word.option;
  if (option.use == OptionUse::Program) throw UsageError("未知选项 " + Quoted(word.text));
  const bool again = given.Mark(option) && !option.repeatable;
  // A study option's value is looked for before it is counted.
  if (again && option.use != OptionUse::Study) Bad(option, "给了两次");
  if (word.missingValue) Bad(option, "缺少值");
  if (again) Bad(option, "给了两次");
  if (option.use == OptionUse::Study) return TakeStudyOption(option, word.value, options.study);
  switch (option.kind) {
    case OptionKind::InputBox:
      options.typed.texts[option.input->id] = word.value;  // the leading-number rule reads it
      break;
    case OptionKind::DesignItem:
      // Read as a box is, when checked; a number beyond every double would
      // read as infinite and pass every check against it.
      if (!std::isfinite(ReadLeadingNumber(word.value))) {
        Bad(option, "的值 " + Quoted(word.value) + " 超出数的范围（绝对值应小于 1.8e308）");
      }
      options.typed.design[option.design->id] = word.value;
      break;
    case OptionKind::SingleRunOutput:
    case OptionKind::ImageOutput:
      TakeOutput(option, word.value, options);
      break;
    case OptionKind::Event:
      TakeEvent(option, word.value, options, given);
      break;
    case OptionKind::Setting:
      TakeSetting(option, word.value, options);
      break;
    case OptionKind::Mode:
      if (option.id == OptionId::Strict) options.strict = true;
      break;
    case OptionKind::Study:
      break;
  }
}

// Whether two output names lead to one place.
bool SamePlace(const std::string& first, const std::string& second) {
  return first == second || SameOutputFile(first, second);
}

// The limit on the cases, and the files a study resumes or joins: each read
// whole before anything is written, so no output may be one of them.
void CheckStudyParts(const BatchOptions& options) {
  const StudyCommand& study = options.study;
  if (study.maxCases > 0 && study.plan.CaseCount() > study.maxCases) {
    throw UsageError("研究有 " + std::to_string(study.plan.CaseCount()) +
                     " 个案例，多于 --max-cases " + std::to_string(study.maxCases) +
                     "（缩小扫描范围，或用 --shard 分片）");
  }
  std::vector<std::pair<std::string, const std::string*>> read;
  if (!study.resume.empty()) {
    if (study.csv.empty() || study.csv == "-") {
      throw UsageError("--resume 须与中断时相同的 --sweep-csv 文件同用");
    }
    if (!study.joinShards.empty()) throw UsageError("--resume 与 --join-shards 不能同用");
    read.emplace_back("resume", &study.resume);
  }
  if (!study.joinShards.empty() && study.settings.shardCount > 1) {
    throw UsageError("--join-shards 合并全部分片，不与 --shard 同用");
  }
  for (const std::string& shard : study.joinShards) read.emplace_back("join-shards", &shard);
  for (const auto& [name, input] : read) {
    for (const std::string* output : {&study.csv, &study.plot, &options.summary}) {
      if (!output->empty() && *output != "-" && SamePlace(*output, *input)) {
        throw UsageError("输出 " + Quoted(*output) + " 会覆盖 --" + name + " 读的文件");
      }
    }
  }
}

// Every value a study gives a part of the pump event or the forebay table,
// checked before any case runs; a schedule and a unit sequence are not both
// swept.
void CheckSweptEvents(const StudyPlan& plan) {
  const std::vector<StudyItem>& columns = plan.Columns();
  const auto swept = [&](EventField field) {
    return std::find(columns.begin(), columns.end(), StudyItem(field)) != columns.end();
  };
  const auto at = [&](EventField field) {
    return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), StudyItem(field)) -
                                    columns.begin());
  };
  // A case file's operating cases give one or the other, case by case.
  if (swept(EventField::PumpSchedule) && swept(EventField::PumpUnits) &&
      !(plan.SameFactor(at(EventField::PumpSchedule), at(EventField::PumpUnits)) &&
        plan.KeepsBase(at(EventField::PumpUnits), 0))) {
    throw UsageError("pump-schedule 与 pump-units 不能同时扫描");
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!columns[c].event) continue;
    for (std::uint32_t v = 0; v < plan.ValueCount(c); ++v) {
      if (plan.KeepsBase(c, v)) continue;
      const std::string& text = plan.ValueText(c, v);
      EventTexts one;
      SetEventText(one, *columns[c].event, text);
      try {
        ReadModelExtras(one);
      } catch (const RunError& error) {
        throw UsageError("设计研究中 " + std::string(columns[c].Option()) + " 的取值 " +
                         Quoted(text) + "：" + error.where());
      }
    }
  }
}

// Options that only make sense in a study, the single run's outputs in a
// study, an input both given and swept, two reports into one place.
void CheckStudyOptions(const BatchOptions& options, const CommandLine& line, const Given& given) {
  const StudyCommand& study = options.study;
  if (!study.Active()) {
    for (const CommandWord& word : line.words) {
      if (word.option->use == OptionUse::Study) {
        Bad(*word.option, "只用于设计研究（--sweep 或 --cases）");
      }
    }
    return;
  }
  for (const Option* output : RunOutputs()) {
    if (output->use == OptionUse::Run && !OutputField(options, *output).empty()) {
      throw UsageError("设计研究不写单次运行的输出 --" + output->name +
                       "（每个案例一行见 --sweep-csv）");
    }
  }
  for (const StudyItem& item : study.plan.Columns()) {
    const Option& swept = *FindOption(item.Option());
    if (given.Has(swept) || GroupGiven(swept.id, given)) {
      throw UsageError("输入选项 --" + std::string(item.Option()) + " 既给出又扫描");
    }
  }
  const StudyLimits& limits = study.settings.limits;
  if (limits.forebayMaxLevel && limits.forebayMinLevel &&
      *limits.forebayMaxLevel < *limits.forebayMinLevel) {
    throw UsageError("--forebay-max-level " + ShortestText(*limits.forebayMaxLevel) +
                     " 低于 --forebay-min-level " + ShortestText(*limits.forebayMinLevel) +
                     "，没有水位能同时满足");
  }
  CheckStudyParts(options);
  CheckSweptEvents(study.plan);
  const std::string& summary = options.summary;
  if (!study.csv.empty() && !summary.empty() &&
      (study.csv == summary ||
       (summary != "-" && study.csv != "-" && SamePlace(study.csv, summary)))) {
    throw UsageError("--sweep-csv 与 --summary 指向同一处 " + QuotedFileName(study.csv));
  }
  if (!study.plot.empty() && !BuildHasGui() && !IsSvgPath(study.plot)) {
    throw UsageError("此版本不含窗口，不能画图（--sweep-plot）");
  }
  for (const std::string* other : {&study.csv, &summary, &options.report}) {
    if (!study.plot.empty() && !other->empty() && *other != "-" && SamePlace(*other, study.plot)) {
      throw UsageError("--sweep-plot 与其他输出指向同一个文件 " + QuotedFileName(study.plot));
    }
  }
  if (!study.csv.empty() && study.csv != "-" && !options.report.empty() &&
      SamePlace(study.csv, options.report)) {
    throw UsageError("--sweep-csv 与 --report 指向同一个文件 " + Quoted(study.csv));
  }
}

// The case file's pump event and area table with the parts the command line
// gives over them, as its boxes are: a ramp's time and exponent each, the
// schedule or unit sequence as one, the area table.
EventTexts WithCaseEvents(const EventTexts& options, const EventTexts& caseFile,
                          const Given& given) {
  EventTexts events = caseFile;
  if (given.Has(OptionId::PumpRampTime)) events.rampTime = options.rampTime;
  if (given.Has(OptionId::PumpRampExponent)) events.rampExponent = options.rampExponent;
  if (GroupGiven(OptionId::PumpSchedule, given)) {
    events.schedule = options.schedule;
    events.units = options.units;
  }
  if (GroupGiven(OptionId::ForebayAreaTable, given)) events.areaTable = options.areaTable;
  if (given.Has(OptionId::Model)) events.model = options.model;
  if (given.Has(OptionId::Section)) events.section = options.section;
  return events;
}

// A case of the case file with the boxes and items named on the command
// line (in `commandLine`) over it.
Case WithCommandLine(const Case& fromFile, const Case& commandLine, const Given& given) {
  Case typed = commandLine;
  for (InputId id : AllInputs()) {
    if (!given.Has(OptionOf(id))) typed.texts[id] = fromFile.texts[id];
  }
  for (const DesignField& field : DesignFields()) {
    if (!given.Has(*FindOption(field.option))) typed.design[field.id] = fromFile.design[field.id];
  }
  typed.title = fromFile.title;
  typed.notes = fromFile.notes;
  ReadModelExtras(fromFile.events);  // a table that cannot be used: nothing runs
  typed.events = WithCaseEvents(commandLine.events, fromFile.events, given);
  return typed;
}

// "“a”、“b”": the names of the case file's operating cases.
std::string CaseNames(const std::vector<OperatingCase>& cases) {
  std::string names;
  for (const OperatingCase& c : cases) names += (names.empty() ? "" : "、") + Quoted(c.name);
  return names;
}

// A study with a case file's operating cases: they are its first factor,
// the base case and each operating case a row named as the book names it,
// what the command line gives left out of them.
void StudyTheOperatingCases(BatchOptions& options, const CaseFile& caseFile, const Given& given) {
  const std::string& title = caseFile.base.title;
  StudyFactor factor = OperatingCasesFactor(
      title.empty() ? "基本工况" : title, caseFile.cases,
      [&](const StudyItem& item) {
        const Option& option = *FindOption(item.Option());
        return !given.Has(option) && !GroupGiven(option.id, given);
      },
      options.caseFile);
  if (factor.items.empty()) return;  // every case is the base case
  StudyPlan plan;
  try {
    plan.Add(std::move(factor));
    for (const StudyFactor& other : options.study.plan.Factors()) plan.Add(other);
  } catch (const StudyInputError& error) {
    throw UsageError(std::string("算例文件的工况与扫描：") + error.what());
  }
  options.study.plan = std::move(plan);
}

// The case's texts and design data, then the boxes and items named on the
// command line over them; with --case-name, those of that operating case.
// With `study` (a study option given) and no --case-name, the operating
// cases are the study's first factor.
void ReadCase(BatchOptions& options, const Given& given, bool study) {
  const std::string file = "算例文件 " + QuotedFileName(options.caseFile);
  std::string where = file;
  try {
    const CaseFile caseFile = ReadCaseFile(options.caseFile);
    options.project = caseFile.project;
    const Case commandLine = options.typed;
    options.typed = WithCommandLine(caseFile.base, commandLine, given);
    if (!options.caseName.empty()) {
      const auto named =
          std::find_if(caseFile.cases.begin(), caseFile.cases.end(),
                       [&](const OperatingCase& c) { return c.name == options.caseName; });
      if (named == caseFile.cases.end()) {
        throw UsageError(file + " 中没有名为 " + Quoted(options.caseName) + " 的工况" +
                         (caseFile.cases.empty() ? "（文件没有 [[cases]]）"
                                                 : "（有 " + CaseNames(caseFile.cases) + "）"));
      }
      where = file + " 的工况 " + Quoted(named->name);
      options.caseDifferences = OperatingCaseDifferences(*named);
      options.typed = WithCommandLine(OperatingCaseOf(caseFile.base, *named), commandLine, given);
      return;
    }
    if (study && !caseFile.cases.empty()) StudyTheOperatingCases(options, caseFile, given);
    options.fileCases = caseFile.cases;
    for (const OperatingCase& operating : caseFile.cases) {
      where = file + " 的工况 " + Quoted(operating.name);
      options.otherCases.push_back(
          {operating.name, OperatingCaseDifferences(operating),
           WithCommandLine(OperatingCaseOf(caseFile.base, operating), commandLine, given)});
    }
  } catch (const CaseFileError& error) {
    throw UsageError(error.what());
  } catch (const RunError& error) {
    throw UsageError(where + "：" + error.where());
  }
}

// The images this build can draw, under names it can draw them as; the
// chart settings only with the chart they set.
void CheckImages(const BatchOptions& options, const Given& given) {
  for (const Option* output : RunOutputs()) {
    const std::string& file = OutputField(options, *output);
    if (!file.empty() && !BuildHasGui() && NeedsGuiProgram(*output, file)) {
      throw UsageError("此版本不含窗口，不能" + std::string(output->pdf ? "写计算书" : "画图") +
                       "（--" + output->name + "）");
    }
  }
  for (const Option* output : RunOutputs()) {
    const std::string& file = OutputField(options, *output);
    if (output->svg && !file.empty() && !IsPngOrSvgName(file)) {
      Bad(*output, "的文件名应以 .png 或 .svg 结尾：" + QuotedFileName(file));
    }
    if (output->pdf && !file.empty() && !IsReportName(file)) {
      Bad(*output, "的文件名应以 .pdf 或 .odt 结尾：" + QuotedFileName(file));
    }
  }
  if ((given.Has(OptionId::Nodes) || given.Has(OptionId::Quantity)) &&
      options.historyPlot.empty()) {
    Bad(OptionOf(given.Has(OptionId::Nodes) ? OptionId::Nodes : OptionId::Quantity),
        "只用于 --history-plot");
  }
}

// Two outputs into one file would leave only the last of them, whatever the
// names ("a.txt" and "./a.txt", a link); an output over a file the command
// reads (the case file, a case table) would lose it. --save-case may rewrite
// the case file it read.
void CheckOutputsApart(const BatchOptions& options, const Given& given) {
  const std::vector<const Option*> outputs = RunOutputs();
  for (std::size_t a = 0; a < outputs.size(); ++a) {
    for (std::size_t b = a + 1; b < outputs.size(); ++b) {
      const std::string& first = OutputField(options, *outputs[a]);
      const std::string& second = OutputField(options, *outputs[b]);
      if (first.empty() || first == "-" || second.empty() || second == "-") continue;
      if (SamePlace(first, second)) {
        throw UsageError("--" + outputs[a]->name + " 与 --" + outputs[b]->name +
                         " 指向同一个文件 " + QuotedFileName(first));
      }
    }
  }
  std::vector<std::pair<OptionId, const std::string*>> read;
  if (given.Has(OptionId::Case)) read.emplace_back(OptionId::Case, &options.caseFile);
  for (const std::string& table : options.study.caseTables)
    read.emplace_back(OptionId::Cases, &table);
  for (const auto& [id, file] : options.eventFiles) read.emplace_back(id, &file);
  std::vector<std::pair<OptionId, const std::string*>> written{
      {OptionId::SweepCsv, &options.study.csv}, {OptionId::SweepPlot, &options.study.plot}};
  for (const Option* output : outputs)
    written.emplace_back(output->id, &OutputField(options, *output));
  for (const auto& [input, file] : read) {
    for (const auto& [id, target] : written) {
      if (target->empty() || *target == "-" ||
          (input == OptionId::Case && id == OptionId::SaveCase))
        continue;
      if (SamePlace(*target, *file)) {
        std::string message = "--" + OptionOf(id).name;
        message.append(" 会覆盖 --").append(OptionOf(input).name).append(" 读入的");
        message
            .append(input == OptionId::Case    ? "算例文件 "
                    : input == OptionId::Cases ? "案例文件 "
                                               : "文件 ")
            .append(QuotedFileName(*file));
        throw UsageError(message);
      }
    }
  }
}

// What the pump event and the area table make of the boxes, once the case
// file is read: a unit sequence must not stop more than the steady
// discharge runs, and 前池水面面积 is not swept while a table stands in its
// place.
void CheckEventAgainstInputs(const BatchOptions& options, const Given& given) {
  const std::vector<StudyItem>& columns = options.study.plan.Columns();
  const auto swept = [&](StudyItem item) {
    return std::find(columns.begin(), columns.end(), item) != columns.end();
  };
  const EventTexts& events = options.typed.events;
  if (events.areaTable && swept(InputId::ForebayArea)) {
    throw UsageError(std::string(options.study.caseTables.empty() ? "扫描" : "案例表给出") +
                     " --forebay-area，而前池水位–面积表（--forebay-area-table）在用：前池水面"
                     "面积不起作用，两者只能用一个");
  }
  if (events.units && !swept(EventField::PumpUnits) && !swept(InputId::SteadyDischarge)) {
    try {
      CheckUnitsAgainstSteady(ReadUnitSequence(*events.units),
                              ReadLeadingNumber(options.typed.texts[InputId::SteadyDischarge]));
    } catch (const RunError& error) {
      throw UsageError((given.Has(OptionId::PumpUnits)
                            ? "选项 --pump-units " + Quoted(*events.units)
                            : "算例文件 " + QuotedFileName(options.caseFile)) +
                       "：" + error.where());
    }
  }
}

// The mixed model of a single run needs its section from the design data.
void CheckMixedGeometry(const BatchOptions& options) {
  if (options.study.Active() || options.typed.events.model != "mixed") return;
  const std::vector<std::string> missing = MixedGeometryMissing(PrepareCase(options.typed));
  if (!missing.empty()) {
    throw UsageError("--model mixed 缺少 " + MixedGeometryMissingText(missing) +
                     "：混合流模型按这些设计资料的断面计算");
  }
}

}  // namespace

BatchOptions ParseBatchOptions(const CommandLine& line) {
  BatchOptions options;
  Given given;
  for (const CommandWord& word : line.words) {
    if (word.option == nullptr) throw UsageError(word.problem);
    if (word.option->id == OptionId::Help) {
      options.help = true;
      return options;
    }
    TakeWord(word, options, given);
  }
  const bool study = std::any_of(line.words.begin(), line.words.end(), [](const CommandWord& word) {
    return word.option->use == OptionUse::Study;
  });
  if (given.Has(OptionId::Case)) ReadCase(options, given, study);
  CheckStudyOptions(options, line, given);
  if (given.Has(OptionId::CaseName) && !given.Has(OptionId::Case))
    throw UsageError("--case-name 须与 --case 同用：工况在算例文件中");
  CheckEventAgainstInputs(options, given);
  CheckMixedGeometry(options);
  CheckImages(options, given);
  CheckOutputsApart(options, given);
  return options;
}

BatchOptions ParseBatchOptions(int argc, char** argv) {
  return ParseBatchOptions(SplitCommandLine(argc, argv));
}

}  // namespace kelvane
