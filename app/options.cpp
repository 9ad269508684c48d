#include "options.h"

#include <algorithm>
#include <utility>

#include "charts/chart_scene.h"
#include "evaluation/report.h"
#include "format/user_text.h"

namespace kelvane {
namespace {

constexpr unsigned kToStandardOutput = 1, kRepeatable = 2, kSvg = 4, kPdf = 8, kManyValues = 16;

// Every option but the input boxes and design items, in the order the help
// lists them.
struct OptionRow {
  OptionId id;
  const char* name;
  OptionKind kind;
  OptionUse use;
  unsigned flags;  // kToStandardOutput, kRepeatable, kSvg, kPdf, kManyValues
  const char* placeholder;
  const char* meaning;
  const char* studyMeaning;
  const char* programMeaning;
};

const OptionRow kOptionRows[] = {
#define KELVANE_OPTION(id, name, kind, use, flags, placeholder, meaning, studyMeaning, \
                       programMeaning)                                                 \
  {OptionId::id, name,    OptionKind::kind, OptionUse::use, flags,                     \
   placeholder,  meaning, studyMeaning,     programMeaning},
#include "options.def"
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
                       .id = row.id,
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
        option.use == OptionUse::Study) {
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
    if (option.use == OptionUse::Study) text += HelpLine(columns, option, option.meaning);
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

const Option& OptionOf(OptionId id) {
  return *std::find_if(Options().begin(), Options().end(),
                       [&](const Option& option) { return option.id == id; });
}

bool CommandLine::Has(OptionId id) const {
  return std::any_of(words.begin(), words.end(), [&](const CommandWord& word) {
    return word.option != nullptr && word.option->id == id;
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
    if (word.option == nullptr || word.option->id == OptionId::Help) return false;
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
