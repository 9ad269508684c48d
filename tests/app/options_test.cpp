// The command line's first reading and its registry: how words become
// options and values, which commands go to the GUI program, and a help
// whose columns never run together.
#include "options.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kelvane {
namespace {

CommandLine Split(std::vector<std::string> args) {
  args.insert(args.begin(), "kelvane");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return SplitCommandLine(static_cast<int>(argv.size()), argv.data());
}

// "name=value", "name" for a flag, "name!" for a missing value, "?problem".
std::vector<std::string> Shown(const CommandLine& line) {
  std::vector<std::string> shown;
  for (const CommandWord& word : line.words) {
    if (word.option == nullptr) {
      shown.push_back("?" + word.problem);
    } else if (word.missingValue) {
      shown.push_back(word.option->name + "!");
    } else {
      shown.push_back(word.option->name + (word.option->takesValue ? "=" + word.value : ""));
    }
  }
  return shown;
}

TEST(CommandLine, SplitsWordsIntoOptionsAndValues) {
  struct Row {
    std::vector<std::string> args;
    std::vector<std::string> words;
  };
  const Row rows[] = {
      {{"--forebay-area", "5", "--wave-speed=900"}, {"forebay-area=5", "wave-speed=900"}},
      {{"--forebay-area="}, {"forebay-area="}},
      {{"--output", "--batch"}, {"output=--batch"}},  // the next word is always the value
      {{"--table", "-"}, {"table=-"}},
      {{"--sweep", "a=1,2", "--sweep=b=3"}, {"sweep=a=1,2", "sweep=b=3"}},
      {{"--strict", "--batch", "-h"}, {"strict", "batch", "help"}},
      {{"--summary"}, {"summary!"}},
      {{"--strict=1"}, {"?未知选项 “--strict=1”"}},
      {{"--foo", "--help"}, {"?未知选项 “--foo”", "help"}},
      {{"x", "--", "-x"}, {"?多余的参数 “x”", "?多余的参数 “--”", "?多余的参数 “-x”"}},
      // The words up to the next option are values of --join-shards.
      {{"--join-shards", "a.csv", "-b.csv", "c.csv", "--sweep-csv", "x"},
       {"join-shards=a.csv", "join-shards=-b.csv", "join-shards=c.csv", "sweep-csv=x"}},
      {{"--join-shards=a.csv", "b.csv"}, {"join-shards=a.csv", "?多余的参数 “b.csv”"}},
      {{"--join-shards", "a.csv", "-h"}, {"join-shards=a.csv", "help"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Shown(Split(row.args)), row.words) << row.args[0];
}

TEST(CommandLine, HandsOverOnlyCommandsThatDrawImages) {
  struct Row {
    std::vector<std::string> args;
    bool handedOver;
  };
  const Row rows[] = {
      {{"--batch", "--plot", "p.png"}, true},
      {{"--batch", "--sweep-plot=s.png"}, true},
      {{"--envelope-plot", "e.PNG", "--batch"}, true},
      {{"--batch", "--sweep-plot=s.svg"}, false},  // SVG is written without the windows
      {{"--batch", "--history-plot", "h.SVG", "--envelope-plot", "e.svg"}, false},
      {{"--batch", "--summary", "--plot", "--output", "r.txt"}, false},  // a value
      {{"--batch", "--help", "--plot", "p.png"}, false},  // the reading ends at --help
      {{"--batch", "--foo", "--plot", "p.png"}, false},   // fails before it draws
      {{"--batch", "--history-plot"}, false},
      {{"--batch", "--output", "r.txt", "--csv", "-"}, false},
      {{"--batch", "--report", "计算书.pdf"}, true},
      {{"--batch", "--report=R.PDF", "--summary", "-"}, true},
      {{"--batch", "--report", "r.txt"}, false},  // refused before anything is drawn
      {{"--batch", "--report", "r.txt", "--plot", "p.png"}, true},
      {{"--batch", "--culvert-height", "3", "--summary", "-"}, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CommandNeedsGuiProgram(Split(row.args)), row.handedOver) << row.args[1];
  }
}

TEST(CommandLine, EveryOptionHasOneNameAndEveryBoxAnOption) {
  std::set<std::string> names;
  std::set<OptionId> ids;
  for (const Option& option : Options()) {
    EXPECT_TRUE(names.insert(option.name).second) << option.name;
    EXPECT_EQ(FindOption(option.name), &option);
    // A box or an item is named by its field; every other option by its id alone.
    const bool field = option.input != nullptr || option.design != nullptr;
    EXPECT_EQ(option.id == OptionId::None, field) << option.name;
    if (!field) {
      EXPECT_TRUE(ids.insert(option.id).second) << option.name;
      EXPECT_EQ(&OptionOf(option.id), &option);
    }
  }
  for (InputId input : AllInputs()) {
    EXPECT_EQ(OptionOf(input).name, Field(input).option);
    EXPECT_EQ(OptionOf(input).kind, OptionKind::InputBox);
  }
  for (const DesignField& field : DesignFields()) {
    const Option* option = FindOption(field.option);
    ASSERT_NE(option, nullptr) << field.option;
    EXPECT_EQ(option->kind, OptionKind::DesignItem);
    EXPECT_EQ(option->design, &field);
  }
}

// Each listed option's line: its name and value, then blanks before the
// text, however long the value.
TEST(CommandLine, HelpKeepsEveryValueApartFromItsText) {
  const std::string help = BatchHelpText();
  for (const Option& option : Options()) {
    if (option.meaning.empty()) continue;
    std::string label = "\n  --" + option.name;
    if (!option.placeholder.empty()) label += " " + option.placeholder;
    const std::size_t at = help.find(label + "  ");
    ASSERT_NE(at, std::string::npos) << option.name;
    EXPECT_NE(help.find(option.meaning, at), std::string::npos) << option.name;
  }
}

// The design items in a group of their own, between the boxes and the
// outputs, each with its caption and unit.
TEST(CommandLine, HelpListsTheDesignItemsInTheirOwnGroup) {
  const std::string help = BatchHelpText();
  const std::size_t group = help.find("\n设计资料");
  const std::size_t outputs = help.find("\n输出");
  ASSERT_NE(group, std::string::npos);
  ASSERT_NE(outputs, std::string::npos);
  EXPECT_LT(help.find("--final-pump-discharge "), group);
  for (const DesignField& field : DesignFields()) {
    const std::size_t at = help.find(std::string("\n  --") + field.option + " ");
    EXPECT_GT(at, group) << field.option;
    EXPECT_LT(at, outputs) << field.option;
    const std::string line = help.substr(at + 1, help.find('\n', at + 1) - at - 1);
    EXPECT_TRUE(line.ends_with(std::string(field.caption) + " (" + field.unit + ")")) << line;
  }
}

}  // namespace
}  // namespace kelvane
