// The command line's options in one registry, and its first reading: the
// words split into options and values, no file read. Everything that lists,
// reads, checks or documents an option (the meaning of the options, the
// study's checks, --help, the hand-over to the GUI program) reads it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "texts/design_data.h"

namespace kelvane {

enum class OptionKind {
  InputBox,         // the text of one input box
  DesignItem,       // the text of one item of the design data
  Event,            // the pump event or the forebay's level–area table
  SingleRunOutput,  // a file a run writes (--summary: a study's report too)
  ImageOutput,      // drawn by the windows library: an image, or the report (PDF)
  Setting,          // where the inputs come from, what a chart shows
  Study,            // a design study's cases, outputs and limits
  Mode,             // a flag without a value
};

// Where an option counts.
enum class OptionUse {
  Run,      // a single run only
  Study,    // a design study only
  Both,     // a single run and a study alike
  Program,  // the program's own flag, not the batch mode's (--version)
};

// The options of options.def by name, for the code that handles each; the
// input boxes' and the design data's options are None (their box or item
// names them).
enum class OptionId : unsigned char {
  None,
#define KELVANE_OPTION(id, ...) id,
#include "options.def"
};

struct Option {
  std::string name;  // without the leading "--": "forebay-area"
  OptionId id = OptionId::None;
  bool takesValue = true;
  OptionKind kind = OptionKind::Setting;
  OptionUse use = OptionUse::Both;
  // The help line: its value ("文件|-"; empty for a flag) and meaning, or
  // for an input box its caption with its unit. An option without meaning
  // is not listed.
  std::string placeholder;
  std::string meaning;
  const InputField* input = nullptr;    // the box of an InputBox option
  const DesignField* design = nullptr;  // the item of a DesignItem option
  bool toStandardOutput = false;        // an output that "-" writes to standard output
  bool repeatable = false;
  bool svg = false;            // an image that is SVG where its name ends in ".svg", else PNG
  bool pdf = false;            // a document whose name must end in ".pdf"
  bool manyValues = false;     // takes the words up to the next option as values
  std::string studyMeaning;    // its meaning in a study, where it differs
  std::string programMeaning;  // its line in `kelvane --help`, if it has one
};

// Every option: the input boxes in box order, the design data's items in
// their order, the pump event and area table, the single run's outputs and
// settings in the order the help lists them, the study's, then the flags.
const std::vector<Option>& Options();
// The option of that name, or null.
const Option* FindOption(std::string_view name);
// The option of an input box.
const Option& OptionOf(InputId input);
// The option of that id (not None).
const Option& OptionOf(OptionId id);

// One option as the command line gives it.
struct CommandWord {
  const Option* option = nullptr;  // null: no option, see `problem`
  std::string text;                // the word as given: "--table=a.txt"
  std::string value;
  bool missingValue = false;  // the command ends where its value should be
  std::string problem;        // why a word is no option, as the user reads it
};

struct CommandLine {
  std::vector<CommandWord> words;
  // Whether that option is among the words.
  bool Has(OptionId id) const;
};

// Reads argv[1..argc-1] into options, opening no file. "--option VALUE" and
// "--option=VALUE" are both accepted; the word after an option that takes a
// value is always its value, even when it begins with "-". "-h" is "--help".
// A word that is no option (an unknown name, a flag given a value, a word
// without "--") is kept with its problem and taken as a flag.
CommandLine SplitCommandLine(int argc, char** argv);

// Whether this option, with this value, is written by the GUI program.
// Every image is, and the report under a name it can be written as (a name
// that is no PDF's is refused by either program): the command-line program
// links no drawing code.
bool NeedsGuiProgram(const Option& option, std::string_view value);
// Whether a batch command needs the GUI program: an option that does
// before the first word that is no option and before "--help", which end
// the batch mode's reading.
bool CommandNeedsGuiProgram(const CommandLine& line);

// Whether a file name ends in ".png" or ".svg", in any case.
bool IsPngOrSvgName(std::string_view file);
// Whether a file name ends in ".pdf" or ".odt" (a report's two forms), in
// any case.
bool IsReportName(std::string_view file);

// Whether this build has the windows library (and so the images).
bool BuildHasGui();

// `kelvane --help`: the program's own usage (UTF-8).
std::string ProgramHelpText();

// `kelvane --batch --help`: every option with its value, meaning, and for an
// input box its caption, unit and default text (UTF-8).
std::string BatchHelpText();

}  // namespace kelvane
