// The command line of the batch mode: one option per input box, the outputs
// to write, and the help text.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "report/chart_data.h"
#include "solver/event_texts.h"
#include "solver/solver.h"
#include "study_command.h"

namespace kelvane {

struct BatchOptions {
  InputTexts texts = DefaultInputTexts();  // boxes not named keep their default
  // Outputs; empty when not asked for, "-" for standard output where allowed.
  std::string output;        // the result file (GBK)
  std::string table;         // the results-table text (UTF-8, CR LF)
  std::string plot;          // the forebay level plot (PNG)
  std::string historyPlot;   // the time-history chart (PNG or SVG)
  std::string envelopePlot;  // the head envelope chart (PNG or SVG)
  std::string summary;       // the run summary (UTF-8)
  std::string csv;           // every computed step (CSV)
  // The time-history chart's nodes (1-based; empty: the forebay) and
  // quantity.
  std::vector<int> nodes;
  ChartQuantity quantity = ChartQuantity::Head;
  StudyCommand study;  // a design study: --sweep, --cases and their options
  // The case file of the texts used ("-" allowed).
  std::string saveCase;
  // --case: the case file the texts start from; options given on the
  // command line override its texts. Its title and notes go into --save-case.
  std::string caseFile;
  std::string caseTitle, caseNotes;
  // The case file's pump event and area table, checked as they were read.
  EventTexts events;
  bool help = false;
  bool strict = false;  // an input warning is a usage error
};

// An unknown option, a missing or empty value, a repeated option, an output
// this build cannot make, a case file that cannot be read (with its file and
// line). The message is short, UTF-8, without the program name.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads argv[1..argc-1]; "--batch" may stand anywhere and is passed over.
// "--option VALUE" and "--option=VALUE" are both accepted; the word after an
// option is always its value, even when it begins with "-". "--help" ends the
// reading at once; "--strict" takes no value. Throws UsageError.
BatchOptions ParseBatchOptions(int argc, char** argv);

// Whether the command line asks for an image (--plot, --history-plot,
// --envelope-plot, --sweep-plot), its words taken as ParseBatchOptions takes
// them; nothing is read, so it may be asked before the command is handed on.
bool CommandDrawsImages(int argc, char** argv);

// Every option with its Chinese caption, unit and default text (UTF-8).
std::string BatchHelpText();

// Whether this build can draw the plot (it has the windows library).
bool BatchCanPlot();

}  // namespace kelvane
