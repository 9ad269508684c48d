// The user's manual against the program's registries: every option, every
// input box (its row in the manual's table) and the help texts that point to
// the manual. The error numbers: tests/model; the menus: tests/ui.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "options.h"

namespace kelvane {
namespace {

std::string Manual() {
  std::ifstream in(KELVANE_MANUAL, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Manual, NamesEveryOption) {
  const std::string manual = Manual();
  ASSERT_FALSE(manual.empty()) << KELVANE_MANUAL;
  for (const Option& option : Options()) {
    EXPECT_NE(manual.find("--" + option.name), std::string::npos) << option.name;
  }
}

// One row per box, in box order: number, caption, unit, default text, meaning.
TEST(Manual, ListsEveryInputBoxInItsTable) {
  const std::string manual = Manual();
  std::size_t previous = 0;
  int number = 1;
  for (const InputField& field : InputFields()) {
    const std::string row = "| " + std::to_string(number++) + " | " + field.caption + " | " +
                            (*field.unit ? field.unit : "（无量纲）") + " | " + field.defaultText +
                            " | " + field.meaning + " |";
    const std::size_t at = manual.find(row);
    EXPECT_NE(at, std::string::npos) << row;
    if (at == std::string::npos) continue;
    EXPECT_GT(at, previous) << row;
    previous = at;
  }
}

TEST(Manual, HelpTextsPointToIt) {
  for (const std::string& help : {ProgramHelpText(), BatchHelpText()}) {
    EXPECT_NE(help.find("manual.md"), std::string::npos) << help;
    EXPECT_NE(help.find("F1"), std::string::npos) << help;
  }
}

}  // namespace
}  // namespace kelvane
