#include "batch_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

#include "cases/case_file.h"
#include "output/output.h"
#include "report/report.h"

namespace kelvane {
namespace {

struct OutputOption {
  const char* name;
  std::string BatchOptions::*target;
  bool toStandardOutput;  // "-" writes to standard output
  const char* placeholder;
  const char* meaning;
};

constexpr std::size_t kOutputCount = 8;

const std::array<OutputOption, kOutputCount>& OutputOptions() {
  static const std::array<OutputOption, kOutputCount> options{{
      {"output", &BatchOptions::output, false, "文件", "结果文件，与窗口保存的相同（GBK，CR LF）"},
      {"table", &BatchOptions::table, true, "文件|-",
       "结果查询表，初始输出时段至终端输出时段（UTF-8，CR LF）"},
      {"plot", &BatchOptions::plot, false, "文件.png", "前池水位变化线（PNG）"},
      {"history-plot", &BatchOptions::historyPlot, false, "文件.png|.svg",
       "过程线：--nodes 各节点的 --quantity 随时间的变化（PNG 或 SVG）"},
      {"envelope-plot", &BatchOptions::envelopePlot, false, "文件.png|.svg",
       "水头包络线：各节点最高、最低与初始水头沿箱涵的分布（PNG 或 SVG）"},
      {"summary", &BatchOptions::summary, true, "文件|-",
       "运行概要：网格、前池水位极值、各节点包络（UTF-8）"},
      {"csv", &BatchOptions::csv, true, "文件|-",
       "每个计算时段各节点的水头与流速（CSV），列为 step,time_s,H1_m,V1_m_per_s,..."},
      {"save-case", &BatchOptions::saveCase, true, "文件|-",
       "算例文件：本次所用的十六个输入文本（TOML），计算之前写出，计算出错也保留"},
  }};
  return options;
}

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (std::size_t k = 0; k < end.size(); ++k) {
    char c = text[text.size() - end.size() + k];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != end[k]) return false;
  }
  return true;
}

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
    nodes.push_back(node);
    if (comma == value.size()) return nodes;
    at = comma + 1;
  }
}

}  // namespace

bool BatchCanPlot() {
#ifdef KELVANE_WITH_UI
  return true;
#else
  return false;
#endif
}

bool CommandDrawsImages(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") return false;  // the reading ends there
    if (word == "--batch" || word == "--strict" || !word.starts_with("--")) continue;
    std::string_view name = word.substr(2);
    const std::size_t equals = name.find('=');
    name = name.substr(0, equals);
    if (name == "plot" || name == "history-plot" || name == "envelope-plot" ||
        name == "sweep-plot") {
      return true;
    }
    if (equals == std::string_view::npos) ++i;  // every other option takes the next word
  }
  return false;
}

BatchOptions ParseBatchOptions(int argc, char** argv) {
  BatchOptions options;
  std::array<bool, kInputCount> inputGiven{};
  std::array<bool, kOutputCount> outputGiven{};
  bool caseGiven = false;
  bool nodesGiven = false, quantityGiven = false;

  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    if (word == "--batch") continue;
    if (word == "--help" || word == "-h") {
      options.help = true;
      return options;
    }
    if (word == "--strict") {
      options.strict = true;
      continue;
    }
    if (!word.starts_with("--") || word.size() == 2) {
      throw UsageError("多余的参数 " + Quoted(word));
    }
    std::string_view name = word.substr(2);
    std::string_view value;
    bool hasValue = false;
    if (auto equals = name.find('='); equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    auto takeValue = [&] {
      if (hasValue) return;
      if (i + 1 >= argc) throw UsageError("选项 --" + std::string(name) + " 缺少值");
      value = argv[++i];
    };

    bool known = false;
    for (const InputField& field : InputFields()) {
      if (known || name != field.option) continue;
      known = true;
      const auto box = static_cast<std::size_t>(field.id);
      if (inputGiven[box]) throw UsageError("选项 --" + std::string(name) + " 给了两次");
      inputGiven[box] = true;
      takeValue();
      options.texts[field.id] = value;  // the box's own text: the leading-number rule reads it
    }
    if (!known && name == "case") {
      known = true;
      if (std::exchange(caseGiven, true)) throw UsageError("选项 --case 给了两次");
      takeValue();
      if (value.empty()) throw UsageError("选项 --case 缺少文件名");
      options.caseFile = value;
    }
    for (std::size_t k = 0; k < OutputOptions().size() && !known; ++k) {
      const OutputOption& option = OutputOptions()[k];
      if (name != option.name) continue;
      known = true;
      if (outputGiven[k]) throw UsageError("选项 --" + std::string(name) + " 给了两次");
      outputGiven[k] = true;
      takeValue();
      if (value.empty()) throw UsageError("选项 --" + std::string(name) + " 缺少文件名");
      if (value == "-" && !option.toStandardOutput) {
        throw UsageError("选项 --" + std::string(name) + " 不能写到标准输出，需要文件名");
      }
      options.*option.target = value;
    }
    if (!known && (name == "nodes" || name == "quantity")) {
      known = true;
      bool& given = name == "nodes" ? nodesGiven : quantityGiven;
      if (given) throw UsageError("选项 --" + std::string(name) + " 给了两次");
      given = true;
      takeValue();
      if (name == "nodes") {
        options.nodes = ParseNodes(value);
      } else if (auto quantity = QuantityByOption(value)) {
        options.quantity = *quantity;
      } else {
        throw UsageError("选项 --quantity 的值 " + Quoted(value) +
                         " 应为 head、velocity 或 discharge");
      }
    }
    if (!known && IsStudyOption(name)) {
      known = true;
      takeValue();
      TakeStudyOption(name, value, options.study);
    }
    if (!known) throw UsageError("未知选项 " + Quoted(word));
  }
  CheckStudyOptions(options, inputGiven);

  if (caseGiven) {
    // The case's texts, then the boxes named on the command line over them.
    try {
      CaseFile caseFile = ReadCaseFile(options.caseFile);
      for (InputId id : AllInputs()) {
        if (!inputGiven[static_cast<std::size_t>(id)]) options.texts[id] = caseFile.texts[id];
      }
      options.caseTitle = caseFile.title;
      options.caseNotes = caseFile.notes;
      options.events = caseFile.events;
      ReadModelExtras(options.events);  // a table that cannot be used: nothing runs
    } catch (const CaseFileError& error) {
      throw UsageError(error.what());
    } catch (const RunError& error) {
      throw UsageError("算例文件 " + Quoted(options.caseFile) + "：" + error.where());
    }
  }
  for (const char* option : {"plot", "history-plot", "envelope-plot"}) {
    const std::string& file = option[0] == 'p'   ? options.plot
                              : option[0] == 'h' ? options.historyPlot
                                                 : options.envelopePlot;
    if (!file.empty() && !BatchCanPlot()) {
      throw UsageError(std::string("此版本不含窗口，不能画图（--") + option + "）");
    }
  }
  for (const std::string* file : {&options.historyPlot, &options.envelopePlot}) {
    if (!file->empty() && !EndsWithNoCase(*file, ".png") && !EndsWithNoCase(*file, ".svg")) {
      throw UsageError(std::string("选项 --") +
                       (file == &options.historyPlot ? "history-plot" : "envelope-plot") +
                       " 的文件名应以 .png 或 .svg 结尾：" + Quoted(*file));
    }
  }
  if ((nodesGiven || quantityGiven) && options.historyPlot.empty()) {
    throw UsageError(std::string("选项 --") + (nodesGiven ? "nodes" : "quantity") +
                     " 只用于 --history-plot");
  }
  // Two outputs into one file would leave only the last of them, whatever
  // the names ("a.txt" and "./a.txt", a link).
  for (std::size_t a = 0; a < OutputOptions().size(); ++a) {
    for (std::size_t b = a + 1; b < OutputOptions().size(); ++b) {
      const std::string& first = options.*OutputOptions()[a].target;
      const std::string& second = options.*OutputOptions()[b].target;
      if (first.empty() || first == "-" || second.empty() || second == "-") continue;
      if (first == second || SameOutputFile(first, second)) {
        throw UsageError(std::string("--") + OutputOptions()[a].name + " 与 --" +
                         OutputOptions()[b].name + " 指向同一个文件 " + Quoted(first));
      }
    }
  }
  // An output over the case file read would lose it; --save-case may
  // rewrite it.
  std::vector<std::pair<std::string, const std::string*>> outputs{
      {"sweep-csv", &options.study.csv}};
  for (const OutputOption& option : OutputOptions()) {
    if (option.target != &BatchOptions::saveCase)
      outputs.emplace_back(option.name, &(options.*option.target));
  }
  for (const auto& [name, target] : outputs) {
    if (!caseGiven || target->empty() || *target == "-") continue;
    if (*target == options.caseFile || SameOutputFile(*target, options.caseFile)) {
      throw UsageError("--" + name + " 会覆盖 --case 的算例文件 " + Quoted(options.caseFile));
    }
  }
  return options;
}

std::string BatchHelpText() {
  std::string text =
      "用法: kelvane --batch [选项]...\n"
      "不开窗口完成一次计算，与主窗口的“计算”相同。\n"
      "选项写作 --选项 值 或 --选项=值；选项后的一个词总是它的值，可以以 “-” 开头。\n"
      "\n"
      "输入框（取值按输入框的读法；未给出的取 --case 算例文件中的文本，再无则取默认文本）:\n";
  for (const InputField& field : InputFields()) {
    std::string caption = field.caption;
    if (*field.unit) caption += std::string(" (") + field.unit + ")";
    text += "  " + PadRight(std::string("--") + field.option + " 值", 28) + PadRight(caption, 30) +
            "默认 " + field.defaultText + "\n";
  }
  text +=
      "\n"
      "输出（依次：算例文件，计算，结果文件，结果查询表，图形，概要，CSV；“-” 为标准输出）:\n";
  for (const OutputOption& option : OutputOptions()) {
    std::string meaning = option.meaning;
    const bool image = option.target == &BatchOptions::plot ||
                       option.target == &BatchOptions::historyPlot ||
                       option.target == &BatchOptions::envelopePlot;
    if (image && !BatchCanPlot()) meaning += "；此版本不含";
    text += "  " + PadRight(std::string("--") + option.name + " " + option.placeholder, 28) +
            meaning + "\n";
  }
  text += "  " + PadRight("--nodes 节点,节点...", 28) +
          "过程线的节点，从水库端的 1 起（默认前池，即最后一个节点）\n";
  text += "  " + PadRight("--quantity 物理量", 28) +
          "过程线的物理量：head 水头 (m)（默认）、velocity 流速 (m/s)、discharge 流量 (m³/s)\n";
  text += "  " + PadRight("--case 文件", 28) +
          "从算例文件（TOML）读入输入文本，命令行给出的输入框优先\n";
  text += "  " + PadRight("--strict", 28) + "输入有警告时不计算，什么也不写，按用法错误退出\n";
  text += "  " + PadRight("--help", 28) + "显示本说明\n" +
          "\n"
          "不给 --output 时不写结果文件（如同在保存对话框中取消）。\n"
          "输入未读完（如 41.6m3/s 读作 41.6）、没有读到数字、数值不可能或低于前池稳定下限时，\n"
          "每个这样的选项在标准错误上打印一行警告，照常计算。\n"
          "成功时什么也不打印；标准错误是终端时显示进度条。\n"
          "退出状态: 0 成功；1 运行时错误（“运行时错误 'N': 说明”及出错位置）；\n"
          "2 用法错误（--strict 下也包括输入警告；算例文件的错误指明文件与行）。\n";
  return text + StudyHelpText();
}

}  // namespace kelvane
