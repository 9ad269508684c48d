#include "options.h"

#include <algorithm>
#include <utility>

#include "report/chart_scene.h"
#include "report/report.h"
#include "solver/user_text.h"

namespace kelvane {
namespace {

constexpr auto kRun = OptionUse::Run;
constexpr auto kStudy = OptionUse::Study;
constexpr auto kBoth = OptionUse::Both;

constexpr unsigned kToStandardOutput = 1, kRepeatable = 2, kSvg = 4, kPdf = 8, kManyValues = 16;

// Every option but the input boxes, in the order the help lists them.
struct OptionRow {
  const char* name;
  OptionKind kind;
  OptionUse use;
  const char* placeholder;
  const char* meaning;
  unsigned flags = 0;  // kToStandardOutput, kRepeatable, kSvg, kPdf, kManyValues
  const char* studyMeaning = "";
  const char* programMeaning = "";
};

const OptionRow kOptionRows[] = {
    {"pump-ramp-time", OptionKind::Event, kBoth, "秒",
     "泵流量变化历时 (s)：由稳定流量按斜坡变到泵突启闭后流量（默认 0，即突变）"},
    {"pump-ramp-exponent", OptionKind::Event, kBoth, "m",
     "泵流量变化指数（默认 1，线性）：Q = Q1 + (Q0 − Q1)(1 − t/历时)^m"},
    {"pump-schedule", OptionKind::Event, kBoth, "时间:流量,...",
     "泵流量过程：各点时间 (s) 与流量 (m³/s)，时间不减，点间线性；取代斜坡与泵突启闭后流量"},
    {"pump-schedule-file", OptionKind::Event, kBoth, "文件.csv",
     "泵流量过程的 CSV 文件：每行 时间,流量（可有表头；逗号、分号或制表符分隔）"},
    {"pump-units", OptionKind::Event, kBoth, "K:Q:T0:间隔:历时",
     "机组启闭序列：K 台各 Q m³/s（正为启动，负为停机），首台 T0 s，逐台相隔，各历时 s"},
    {"forebay-area-table", OptionKind::Event, kBoth, "水位:面积,...",
     "前池水位–面积表：水位 (m) 逐点升高，面积 (m²) 大于 0，点间线性，两端以外取端点面积"},
    {"forebay-area-table-file", OptionKind::Event, kBoth, "文件.csv",
     "前池水位–面积表的 CSV 文件：每行 水位,面积（可有表头）"},
    {"model", OptionKind::Event, kBoth, "classic|balanced|mixed",
     "计算模型：classic（默认，瞬变计算只计沿程损失）、balanced（计入取水头部、局部与出口损失，"
     "初始恒定流在瞬变计算中保持不变）或 mixed（自由水面与混合流模型，按 --section "
     "的断面计算明流、满流与其间的过渡）"},
    {"section", OptionKind::Event, kBoth, "box|channel",
     "混合流模型的断面：box 箱涵（--culvert-width 宽、--culvert-height 高）或 channel "
     "明渠（--culvert-width 渠底宽、--channel-side-slope 边坡系数）"},
    {"output", OptionKind::SingleRunOutput, kRun, "文件",
     "结果文件，与窗口保存的相同（GBK，CR LF）"},
    {"table", OptionKind::SingleRunOutput, kRun, "文件|-",
     "结果查询表，初始输出时段至终端输出时段（UTF-8，CR LF）", kToStandardOutput},
    {"plot", OptionKind::ImageOutput, kRun, "文件.png", "前池水位变化线（PNG）"},
    {"history-plot", OptionKind::ImageOutput, kRun, "文件.png|.svg",
     "过程线：--nodes 各节点的 --quantity 随时间的变化（PNG 或 SVG）", kSvg},
    {"envelope-plot", OptionKind::ImageOutput, kRun, "文件.png|.svg",
     "水头包络线：各节点最高、最低与初始水头沿箱涵的分布（PNG 或 SVG）", kSvg},
    {"discharge-plot", OptionKind::ImageOutput, kRun, "文件.png|.svg",
     "流量过程线：泵流量（各时段平均）与箱涵入前池流量随时间的变化（PNG 或 SVG）", kSvg},
    {"summary", OptionKind::SingleRunOutput, kBoth, "文件|-",
     "运行概要：网格、前池水位极值、各节点包络（UTF-8）", kToStandardOutput,
     "研究概要：案例数、失败数、全部限值通过数、各扫描选项全部通过的取值（默认写到标准错误）"},
    {"csv", OptionKind::SingleRunOutput, kRun, "文件|-",
     "每个计算时段各节点的水头与流速（CSV），列为 step,time_s,H1_m,V1_m_per_s,...",
     kToStandardOutput},
    {"report", OptionKind::ImageOutput, kBoth, "文件.pdf|.odt",
     "计算书（PDF，A4；以 .odt 结尾时为可编辑的 OpenDocument 文本）：封面、签署页、目录、计算目的、"
     "依据、工况、基本资料、方法、成果与图、校核与控制工况、结论与建议",
     kPdf,
     "研究计算书（PDF，A4）：输入与算例、研究图、各算例结果表（算例多时只列前若干个）、校核计数、结"
     "论"},
    {"save-case", OptionKind::SingleRunOutput, kRun, "文件|-",
     "算例文件：本次所用的十六个输入文本与设计资料（TOML），计算之前写出，计算出错也保留",
     kToStandardOutput},
    {"nodes", OptionKind::Setting, kRun, "节点,节点...",
     "过程线的节点，从水库端的 1 起（默认前池，即最后一个节点）"},
    {"quantity", OptionKind::Setting, kRun, "物理量",
     "过程线的物理量：head 水头 (m)（默认）、velocity 流速 (m/s)、discharge 流量 (m³/s)"},
    {"case", OptionKind::Setting, kBoth, "文件",
     "从算例文件（TOML）读入输入文本与设计资料，命令行给出的选项优先"},
    {"case-name", OptionKind::Setting, kBoth, "工况名",
     "计算算例文件中这个名称的工况（[[cases]]"
     "）而不是基本工况；不给出时计算书包括基本工况和全部工况"},
    {"batch", OptionKind::Mode, kBoth, "...", "", kRepeatable, "",
     "不开窗口完成一次计算（kelvane --batch --help 列出全部选项）"},
    {"strict", OptionKind::Mode, kBoth, "", "输入有警告时不计算，什么也不写，按用法错误退出",
     kRepeatable},
    {"help", OptionKind::Mode, kBoth, "", "显示本说明", kRepeatable, "", "显示本说明"},
    {"sweep", OptionKind::Study, kStudy, "选项=值,起:止:步",
     "扫描一个输入或设计资料（含终点，十进制精确计算）；可重复，案例为各扫描的乘积，先给的变化最慢",
     kRepeatable},
    {"cases", OptionKind::Study, kStudy, "文件.csv",
     "案例表：表头为输入或设计资料的选项名，每行一个案例，单元格为其文本", kRepeatable},
    {"sweep-csv", OptionKind::Study, kStudy, "文件|-",
     "每个案例一行（CSV），按案例号顺序；中断时已写的行存为 文件.partial", kToStandardOutput},
    {"sweep-plot", OptionKind::ImageOutput, kStudy, "文件.png|.svg",
     "前池最高、最低水位对第一个扫描选项的图，第二个扫描选项每个值一条线（多于 10 "
     "个值时画其包络），"
     "限值为水平线",
     kSvg},
    {"forebay-max-level", OptionKind::Study, kStudy, "X", "限值：前池最高水位 ≤ X (m) 为通过"},
    {"forebay-min-level", OptionKind::Study, kStudy, "Y", "限值：前池最低水位 ≥ Y (m) 为通过"},
    {"jobs", OptionKind::Study, kStudy, "N",
     "同时计算的线程数（默认每个处理器核一个）；输出与 N 无关"},
    {"shard", OptionKind::Study, kStudy, "K/N",
     "只算案例号除以 N 余 K 的案例（0 ≤ K < N），供作业阵列分片"},
    {"max-cases", OptionKind::Study, kStudy, "N",
     "案例多于 N 个时不运行，按用法错误退出（多于一百万个时先在标准错误上估计用时）"},
    {"resume", OptionKind::Study, kStudy, "文件.partial",
     "从中断（SIGINT、SIGTERM）留下的部分文件继续，命令须与中断的相同；写出完整的 --sweep-csv"},
    {"join-shards", OptionKind::Study, kStudy, "分片.csv...",
     "合并 --shard 写出的全部分片为全研究的 --sweep-csv 与概要，命令为各分片的研究选项（不给 "
     "--shard）",
     kRepeatable | kManyValues},
    {"version", OptionKind::Mode, OptionUse::Program, "", "", 0, "", "显示版本"},
};

std::vector<Option> MakeOptions() {
  std::vector<Option> options;
  for (const InputField& field : InputFields()) {
    Option& option = options.emplace_back();
    option.name = field.option;
    option.kind = OptionKind::InputBox;
    option.placeholder = "值";
    option.meaning = field.caption;
    if (*field.unit) option.meaning += std::string(" (") + field.unit + ")";
    option.input = &field;
  }
  for (const DesignField& field : DesignFields()) {
    Option& option = options.emplace_back();
    option.name = field.option;
    option.kind = OptionKind::DesignItem;
    option.placeholder = "值";
    option.meaning = std::string(field.caption) + " (" + field.unit + ")";
    option.design = &field;
  }
  for (const OptionRow& row : kOptionRows) {
    options.push_back({.name = row.name,
                       .takesValue = row.kind != OptionKind::Mode,
                       .kind = row.kind,
                       .use = row.use,
                       .placeholder = row.placeholder,
                       .meaning = row.meaning,
                       .toStandardOutput = (row.flags & kToStandardOutput) != 0,
                       .repeatable = (row.flags & kRepeatable) != 0,
                       .svg = (row.flags & kSvg) != 0,
                       .pdf = (row.flags & kPdf) != 0,
                       .manyValues = (row.flags & kManyValues) != 0,
                       .studyMeaning = row.studyMeaning,
                       .programMeaning = row.programMeaning});
  }
  return options;
}

std::string Quoted(std::string_view text) { return QuotedText(text); }

bool Listed(const Option& option) { return !option.meaning.empty(); }

// "--table 文件|-", as the help's first column shows an option.
std::string Label(const Option& option) {
  std::string label = "--" + option.name;
  if (!option.placeholder.empty()) label += " " + option.placeholder;
  return label;
}

// The help's columns, each as wide as its widest entry and two blanks.
struct HelpColumns {
  int label = 0;
  int caption = 0;  // an input box's caption and unit
};

HelpColumns Columns() {
  HelpColumns columns;
  for (const Option& option : Options()) {
    if (!Listed(option)) continue;
    columns.label = std::max(columns.label, DisplayWidth(Label(option)) + 2);
    if (option.kind == OptionKind::InputBox) {
      columns.caption = std::max(columns.caption, DisplayWidth(option.meaning) + 2);
    }
  }
  return columns;
}

std::string HelpLine(const HelpColumns& columns, const Option& option, const std::string& meaning) {
  return "  " + PadRight(Label(option), columns.label) + meaning + "\n";
}

std::string InputsHelp(const HelpColumns& columns) {
  std::string text =
      "输入框（取值按输入框的读法；未给出的取 --case 算例文件中的文本，再无则取默认文本）:\n";
  for (const Option& option : Options()) {
    if (option.kind != OptionKind::InputBox) continue;
    text +=
        HelpLine(columns, option,
                 PadRight(option.meaning, columns.caption) + "默认 " + option.input->defaultText);
  }
  return text;
}

std::string DesignHelp(const HelpColumns& columns) {
  std::string text =
      "设计资料（可选，读法同输入框；未给出的取 --case 算例文件 [design] 中的文本，再无则不校核；\n"
      "给出时概要与计算书加“校核”一节）:\n";
  for (const Option& option : Options()) {
    if (option.kind == OptionKind::DesignItem) text += HelpLine(columns, option, option.meaning);
  }
  return text;
}

std::string EventHelp(const HelpColumns& columns) {
  std::string text =
      "泵流量过程与前池（可选；未给出的取 --case 算例文件 [pump]、[forebay] 中的，再无则为\n"
      "泵流量突变与定值前池面积；给出流量过程时它取代斜坡与泵突启闭后流量，并在标准错误上说明）:\n";
  for (const Option& option : Options()) {
    if (option.kind == OptionKind::Event) text += HelpLine(columns, option, option.meaning);
  }
  return text;
}

std::string RunOptionsHelp(const HelpColumns& columns) {
  std::string text =
      "输出（依次：算例文件，计算，结果文件，结果查询表，图形，概要，CSV，计算书；“-” "
      "为标准输出）:\n";
  for (const Option& option : Options()) {
    if (!Listed(option) || option.kind == OptionKind::InputBox ||
        option.kind == OptionKind::DesignItem || option.kind == OptionKind::Event ||
        option.use == kStudy) {
      continue;
    }
    std::string meaning = option.meaning;
    if (option.kind == OptionKind::ImageOutput && !BuildHasGui()) {
      meaning += option.svg ? "；此版本只写 SVG" : "；此版本不含";
    }
    text += HelpLine(columns, option, meaning);
  }
  return text;
}

std::string StudyHelp(const HelpColumns& columns) {
  std::string text =
      "设计研究（给出 --sweep 或 --cases 时；每个案例是一次完整的计算，与单独运行相同）:\n";
  for (const Option& option : Options()) {
    if (option.use == kStudy) text += HelpLine(columns, option, option.meaning);
  }
  for (const Option& option : Options()) {
    if (!option.studyMeaning.empty()) text += HelpLine(columns, option, option.studyMeaning);
  }
  return text + "出错的案例也是一行（status 为错误号，error 为错误说明），研究照常进行。\n";
}

}  // namespace

const std::vector<Option>& Options() {
  static const std::vector<Option> options = MakeOptions();
  return options;
}

const Option* FindOption(std::string_view name) {
  for (const Option& option : Options()) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

const Option& OptionOf(InputId input) {
  return *std::find_if(Options().begin(), Options().end(),
                       [&](const Option& option) { return option.input == &Field(input); });
}

bool CommandLine::Has(std::string_view name) const {
  return std::any_of(words.begin(), words.end(), [&](const CommandWord& word) {
    return word.option != nullptr && word.option->name == name;
  });
}

CommandLine SplitCommandLine(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    CommandWord& word = line.words.emplace_back();
    word.text = argv[i];
    const std::string_view text = word.text == "-h" ? "--help" : std::string_view(word.text);
    if (!text.starts_with("--") || text.size() == 2) {
      word.problem = "多余的参数 " + Quoted(word.text);
      continue;
    }
    const std::string_view name = text.substr(2);
    const std::size_t equals = name.find('=');
    const Option* option = FindOption(name.substr(0, equals));
    if (option == nullptr || (equals != std::string_view::npos && !option->takesValue)) {
      word.problem = "未知选项 " + Quoted(word.text);
      continue;
    }
    word.option = option;
    if (equals != std::string_view::npos) {
      word.value = name.substr(equals + 1);
    } else if (option->takesValue && i + 1 < argc) {
      word.value = argv[++i];
    } else {
      word.missingValue = option->takesValue;
    }
    // The words up to the next option are more values of it.
    while (option->manyValues && equals == std::string_view::npos && i + 1 < argc &&
           !std::string_view(argv[i + 1]).starts_with("--") &&
           std::string_view(argv[i + 1]) != "-h") {
      CommandWord more = line.words.back();
      more.text = more.value = argv[++i];
      line.words.push_back(std::move(more));
    }
  }
  return line;
}

bool NeedsGuiProgram(const Option& option, std::string_view value) {
  // The charts as SVG are written without the windows; the PNG images, the
  // plot and the report (under a PDF's or ODF text's name: any other is refused) need them.
  if (option.kind != OptionKind::ImageOutput) return false;
  if (option.pdf) return IsReportName(value);
  return !(option.svg && IsSvgPath(value));
}

bool CommandNeedsGuiProgram(const CommandLine& line) {
  for (const CommandWord& word : line.words) {
    if (word.option == nullptr || word.option->name == "help") return false;
    if (!word.missingValue && NeedsGuiProgram(*word.option, word.value)) return true;
  }
  return false;
}

namespace {

// Whether `file` ends in `end` (lower case), in any case.
bool EndsWithAnyCase(std::string_view file, std::string_view end) {
  if (file.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    const char c = file[file.size() - end.size() + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != end[i]) return false;
  }
  return true;
}

}  // namespace

bool IsPngOrSvgName(std::string_view file) {
  return EndsWithAnyCase(file, ".png") || EndsWithAnyCase(file, ".svg");
}

bool IsReportName(std::string_view file) {
  return EndsWithAnyCase(file, ".pdf") || EndsWithAnyCase(file, ".odt");
}

bool BuildHasGui() {
#ifdef KELVANE_WITH_UI
  return true;
#else
  return false;
#endif
}

// Where the whole of the program is told, at the end of both usages.
constexpr const char* kManualLine =
    "使用说明：主窗口中按 F1（帮助 → 使用说明），或读随程序安装的 manual.md"
    "（share/doc/kelvane/ 中；Windows 版在程序旁）。\n";

std::string ProgramHelpText() {
  std::vector<std::pair<std::string, std::string>> lines{{"kelvane", "打开主窗口"}};
  for (const Option& option : Options()) {
    if (!option.programMeaning.empty()) {
      lines.emplace_back("kelvane " + Label(option), option.programMeaning);
    }
  }
  int width = 0;
  for (const auto& [label, meaning] : lines) width = std::max(width, DisplayWidth(label) + 1);
  std::string text;
  for (const auto& [label, meaning] : lines) {
    text += (text.empty() ? "用法: " : "      ") + PadRight(label, width) + meaning + "\n";
  }
  return text + kManualLine;
}

std::string BatchHelpText() {
  const HelpColumns columns = Columns();
  return "用法: kelvane --batch [选项]...\n"
         "不开窗口完成一次计算，与主窗口的“计算”相同。\n"
         "选项写作 --选项 值 或 --选项=值；选项后的一个词总是它的值，可以以 “-” 开头。\n"
         "\n" +
         InputsHelp(columns) + "\n" + DesignHelp(columns) + "\n" + EventHelp(columns) + "\n" +
         RunOptionsHelp(columns) +
         "\n"
         "不给 --output 时不写结果文件（如同在保存对话框中取消）。\n"
         "输入未读完（如 41.6m3/s 读作 41.6）、没有读到数字、数值不可能或低于前池稳定下限时，\n"
         "每个这样的选项在标准错误上打印一行警告，照常计算。\n"
         "成功时什么也不打印；标准错误是终端时显示进度条。\n"
         "退出状态: 0 成功；1 运行时错误（“运行时错误 'N': 说明”及出错位置）；\n"
         "2 用法错误（--strict 下也包括输入警告；算例文件的错误指明文件与行）。\n"
         "\n" +
         StudyHelp(columns) + "\n" + kManualLine;
}

}  // namespace kelvane
