#include "study/study_document.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "texts/event_texts.h"

namespace kelvane {
namespace {

ReportTable Table(std::vector<std::string> head, std::vector<int> widths,
                  std::vector<bool> numeric = {}) {
  ReportTable table;
  table.head = std::move(head);
  table.widths = std::move(widths);
  table.numeric = std::move(numeric);
  return table;
}

// "前池面积 (m²)": a swept item as a heading names it.
std::string Named(const StudyItem& item) {
  std::string name = item.Caption();
  if (*item.Unit()) name += std::string(" (") + item.Unit() + ")";
  return name;
}

bool Swept(const StudyPlan& plan, const StudyItem& item) {
  return std::find(plan.Columns().begin(), plan.Columns().end(), item) != plan.Columns().end();
}

// "600 至 1800" for every value of a column; a long list keeps its first
// and last values.
std::string AllValues(const StudyPlan& plan, std::size_t column) {
  constexpr std::size_t kMaxListed = 24;
  std::vector<std::uint32_t> values(plan.ValueCount(column));
  for (std::size_t v = 0; v < values.size(); ++v) values[v] = std::uint32_t(v);
  std::string text = StudyValuesText(plan, column, values);
  std::vector<std::size_t> cuts;
  for (std::size_t at = text.find("、"); at != std::string::npos; at = text.find("、", at + 1)) {
    cuts.push_back(at);
  }
  if (cuts.size() < kMaxListed) return text;
  return text.substr(0, cuts[kMaxListed / 2 - 1]) + "、…、" +
         text.substr(cuts.back() + std::string_view("、").size());
}

// The closing report's lines ("  label  value" under a heading line) as
// tables, one per heading: the summary's own words in the report.
void SummaryTables(const std::string& summary, ReportDocument& document) {
  ReportTable table;
  auto flush = [&](std::string_view title) {
    if (!table.rows.empty()) document.Table(std::move(table));
    table = Table({}, {30, 70});
    table.title = title;
  };
  for (std::size_t at = 0; at < summary.size();) {
    std::size_t end = summary.find('\n', at);
    if (end == std::string::npos) end = summary.size();
    const std::string_view line(summary.data() + at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    if (!line.starts_with("  ")) {
      flush(line);
      continue;
    }
    const std::string_view rest = line.substr(2);
    const std::size_t gap = rest.find("  ");
    if (gap == std::string_view::npos) {
      table.rows.push_back({std::string(rest), ""});
    } else {
      const std::size_t value = rest.find_first_not_of(' ', gap);
      table.rows.push_back({std::string(rest.substr(0, gap)),
                            std::string(rest.substr(std::min(value, rest.size())))});
    }
  }
  flush("");
}

// 1 工程概况: the case, the inputs every case shares, the event, the design
// data.
void OverviewSection(ReportDocument& d, const std::string& notes, const StudyPlan& plan,
                     const StudySettings& settings, const std::vector<std::string>& events,
                     const std::string& shard) {
  d.Heading("1  工程概况");
  d.Paragraph("算例：" + d.title);
  if (!notes.empty()) d.Paragraph("说明：" + notes);
  d.Paragraph("本计算书汇总一项设计研究：共 " + std::to_string(plan.CaseCount()) +
              " 个算例，每个算例以下表的输入和第 3 节所列的取值完整计算一次，与单独运行相同。" +
              shard);
  ReportTable inputs = Table({"序号", "名称", "单位", "输入文字"}, {8, 42, 14, 36}, {true});
  inputs.title = "基本资料（各算例相同）";
  for (const InputField& field : InputFields()) {
    inputs.rows.push_back(
        {std::to_string(BoxNumber(field.id)), field.caption, field.unit,
         Swept(plan, field.id) ? "扫描，见第 3 节" : "“" + settings.base.texts[field.id] + "”"});
  }
  d.Table(std::move(inputs));
  if (!events.empty()) {
    d.Subheading("泵流量过程与前池面积");
    for (const std::string& line : events) d.Paragraph(line);
  }
  d.Subheading("设计资料");
  ReportTable design = Table({"名称", "单位", "输入文字"}, {50, 14, 36});
  for (const DesignField& field : DesignFields()) {
    if (Swept(plan, field.id)) {
      design.rows.push_back({field.caption, field.unit, "扫描，见第 3 节"});
    } else if (settings.base.design[field.id]) {
      design.rows.push_back(
          {field.caption, field.unit, "“" + *settings.base.design[field.id] + "”"});
    }
  }
  if (design.rows.empty()) {
    d.Paragraph("未给出设计资料。");
  } else {
    d.Table(std::move(design));
  }
}

// 3 算例: the swept options and their values, the case tables.
void PlanSection(ReportDocument& d, const StudyPlan& plan) {
  d.Heading("3  算例");
  d.Paragraph("共 " + std::to_string(plan.CaseCount()) +
              " 个算例，为下列各项取值的全部组合，先列的变化最慢，算例号按此顺序从 1 起。");
  ReportTable factors =
      Table({"选项", "名称", "取值个数", "取值"}, {22, 22, 10, 46}, {false, false, true});
  std::size_t column = 0;
  for (const StudyFactor& factor : plan.Factors()) {
    const std::string from = factor.asBase ? "算例文件 “" + factor.source + "” 的工况"
                                           : "案例表 “" + factor.source + "”";
    for (std::size_t c = 0; c < factor.items.size(); ++c, ++column) {
      factors.rows.push_back({"--" + std::string(factor.items[c].Option()), Named(factor.items[c]),
                              std::to_string(plan.ValueCount(column)),
                              factor.source.empty() ? AllValues(plan, column) : from + "的一列"});
    }
    if (!factor.source.empty()) {
      d.Paragraph(from + "：" + std::to_string(factor.RowCount()) + " 个案例。");
    }
  }
  d.Table(std::move(factors));
}

}  // namespace

std::string StudyShardSentence(const StudyPlan& plan, const StudySettings& settings) {
  if (settings.shardCount <= 1) return "";
  return "本报告只计分片 " + std::to_string(settings.shardIndex) + "/" +
         std::to_string(settings.shardCount) + " 的 " +
         std::to_string(
             ShardCaseCount(plan.CaseCount(), settings.shardIndex, settings.shardCount)) +
         " 个算例（全部 " + std::to_string(plan.CaseCount()) + " 个中），其余分片的算例不在其中。";
}

StudyDocument::StudyDocument(const StudyPlan& plan, const StudySettings& settings,
                             const PreparedCase& base)
    : plan_(plan),
      settings_(settings),
      checks_(StudyChecks(plan, base)),
      eventLines_(ModelExtrasLines(base.extras)),
      eventError_(base.eventError) {
  const std::vector<std::string> columns =
      StudyCsvColumns(plan, settings.limits, checks_, StudyNamesEvent(plan, settings));
  auto column = [&](std::string_view name) {
    return std::size_t(std::find(columns.begin(), columns.end(), name) - columns.begin());
  };
  shown_.push_back(column("case"));
  if (plan.NamesCases()) shown_.push_back(column("name"));
  for (const StudyItem& item : plan.Columns()) shown_.push_back(column(item.Option()));
  for (const char* name : {"forebay_highest_m", "forebay_highest_time_s", "forebay_lowest_m",
                           "forebay_lowest_time_s", "head_max_m", "head_min_m"}) {
    shown_.push_back(column(name));
  }
  statusColumn_ = column("status");
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].starts_with("pass_")) passColumns_.push_back(c);
    if (columns[c].starts_with("verdict_")) verdictColumns_.push_back(c);
  }
}

void StudyDocument::Add(const CaseResult& result) {
  // One path for computed and stored rows: a row is its CSV cells.
  AddCells(StudyCsvCells(plan_, settings_.limits, result));
}

void StudyDocument::AddCells(const std::vector<std::string>& cells) {
  // A limit or check passes only as 满足 (not 未定 or 无效, whose pass cell
  // is empty).
  bool passed = cells[statusColumn_] == "0";
  for (std::size_t c : passColumns_) passed = passed && cells[c] != "0";
  for (std::size_t c : verdictColumns_) passed = passed && (cells[c].empty() || cells[c] == "满足");
  if (rows_.size() >= kMaxRows) {
    ++leftOut_;
    return;
  }
  std::vector<std::string>& row = rows_.emplace_back();
  for (std::size_t c : shown_) row.push_back(cells[c]);
  if (cells[statusColumn_] != "0") {
    row.push_back("失败（错误 " + cells[statusColumn_] + "）");
  } else {
    row.push_back(passed ? "通过" : "不通过");
  }
}

void StudyDocument::ResultsSection(ReportDocument& d, const ChartData& chart,
                                   const std::string& shard) const {
  d.Heading("4  计算结果");
  d.Chart(chart,
          "图 1  " + (chart.title.empty() ? std::string("前池最高与最低水位") : chart.title));
  if (!shard.empty()) d.Paragraph(shard);
  ReportTable table;
  table.title = "各算例的结果（水位、水头 m，时刻 s）";
  table.head = {"算例"};
  if (plan_.NamesCases()) table.head.emplace_back("工况");
  for (const StudyItem& item : plan_.Columns()) table.head.push_back(Named(item));
  for (const char* name :
       {"前池最高", "时刻", "前池最低", "时刻", "最高水头", "最低水头", "结论"}) {
    table.head.emplace_back(name);
  }
  table.numeric.assign(table.head.size(), true);
  table.numeric.back() = false;
  const std::size_t texts = plan_.Columns().size() + (plan_.NamesCases() ? 1 : 0);
  for (std::size_t c = 1; c <= texts; ++c) table.numeric[c] = false;
  table.rows = rows_;
  table.compact = true;
  d.Table(std::move(table));
  if (leftOut_ > 0) {
    d.Paragraph("表中只列出前 " + std::to_string(rows_.size()) + " 个算例，其余 " +
                std::to_string(leftOut_) +
                " 个算例未列出；每个算例一行的全部结果见 --sweep-csv 的输出。");
  }
}

void StudyDocument::ChecksSection(ReportDocument& d, const StudyTally& tally) {
  d.Heading("5  校核");
  if (tally.Counts().empty()) {
    d.Paragraph("未给出限值与设计资料，未作校核；运行完成的算例即计为通过。");
  } else {
    ReportTable checks = Table({"项目", "通过", "不通过", "未定", "无效", "未判定"},
                               {30, 14, 14, 14, 14, 14}, {false, true, true, true, true, true});
    for (const VerdictCount& count : tally.Counts()) {
      checks.rows.push_back({count.item, std::to_string(count.passed), std::to_string(count.failed),
                             std::to_string(count.undetermined), std::to_string(count.invalid),
                             std::to_string(count.unjudged)});
    }
    d.Table(std::move(checks));
    d.Paragraph(
        "未定：计算时长未达预计的水位极值，应增加计算时段数；无效：极值出现在箱涵脱空或汽化之后；"
        "未判定：算例未能完成计算，或其设计资料不足以作此项校核。");
  }
}

ReportDocument StudyDocument::Document(const StudyTally& tally, const ChartData& chart,
                                       const StudyDocumentCase& about) const {
  ReportDocument d;
  d.title = about.title.empty() ? "未命名算例" : about.title;
  d.subtitle = "箱涵水力过渡过程设计研究计算书";
  d.header = "设计研究计算书";
  d.date = about.date;
  const std::string shard = StudyShardSentence(plan_, settings_);

  // A base event that cannot be read has been refused before the study ran.
  if (eventError_) throw *eventError_;
  OverviewSection(d, about.notes, plan_, settings_, eventLines_, shard);

  d.Heading("2  计算依据与方法");
  d.Paragraph(ModelMethodText("n（管段数，见基本资料）"));
  d.Subheading("模型的适用范围");
  d.Paragraph(kModelDriftText);
  d.Paragraph(std::string(kForebayStabilityRule) +
              "；低于稳定限的算例计算发散，结果不可用；稳定限以上计算有界，但前池面积越小，"
              "虚假振荡越大。各算例的稳定限见其单次运行的计算书。");
  d.Paragraph(kCulvertFullText);

  PlanSection(d, plan_);

  ResultsSection(d, chart, shard);
  ChecksSection(d, tally);

  d.Heading("6  结论");
  const std::int64_t notPassed = tally.Cases() - tally.Passed();
  if (notPassed == 0) {
    d.Paragraph("全部 " + std::to_string(tally.Cases()) + " 个算例满足要求。" + shard);
  } else {
    d.Paragraph("有 " + std::to_string(notPassed) + " 个算例未能完成计算或不满足要求（共 " +
                std::to_string(tally.Cases()) +
                " 个），见第 4 节表中的结论列和 --sweep-csv 的输出。" + shard);
  }
  SummaryTables(StudyReportText(plan_, settings_, tally, checks_), d);
  return d;
}

}  // namespace kelvane
