// What a batch command asks for, read from its options: the sixteen input
// texts, the design data, the outputs to write and the design study.
#pragma once

#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "model/model.h"
#include "options.h"
#include "report/project_info.h"
#include "study_options.h"
#include "texts/case.h"
#include "usage_error.h"

namespace kelvane {

// An operating case of the calculation book: its name, what sets it apart
// from the base case, and its texts.
struct BookCaseTexts {
  std::string name;
  std::string differences;
  Case typed;
};

struct BatchOptions {
  // The case: the boxes and design items named over the --case file's, boxes
  // named nowhere keeping their default; its title and notes from the case
  // file; the pump event and area table, the options' over the case file's
  // ([pump], [forebay]), each checked as it was read.
  Case typed;
  // Outputs; empty when not asked for, "-" for standard output where allowed.
  std::string output;         // the result file (GBK)
  std::string table;          // the results-table text (UTF-8, CR LF)
  std::string plot;           // the forebay level plot (PNG)
  std::string historyPlot;    // the time-history chart (PNG or SVG)
  std::string envelopePlot;   // the head envelope chart (PNG or SVG)
  std::string dischargePlot;  // the pump and culvert discharges (PNG or SVG)
  std::string summary;        // the run summary (UTF-8)
  std::string csv;            // every computed step (CSV)
  std::string report;         // the calculation report (PDF)
  // The time-history chart's nodes (1-based; empty: the forebay) and
  // quantity.
  std::vector<int> nodes;
  ChartQuantity quantity = ChartQuantity::Head;
  StudyCommand study;  // a design study: --sweep, --cases and their options
  // The case file of the texts and design data used ("-" allowed).
  std::string saveCase;
  // --case: the case file the texts start from; options given on the
  // command line override its texts and design items.
  std::string caseFile;
  ProjectInfo project;  // the case file's [project], for the calculation book
  // --case-name: the case file's operating case that `typed` is; "" for its
  // base case.
  std::string caseName;
  std::string caseDifferences;  // what sets that case apart from the base case
  // The calculation book's cases after `typed`'s own: without --case-name
  // each operating case of the case file, with the command line over it as
  // over the base case; none with it.
  std::vector<BookCaseTexts> otherCases;
  // Those operating cases as the case file has them, for --save-case.
  std::vector<OperatingCase> fileCases;
  // The files the event options read, by option: no output may be one.
  std::vector<std::pair<OptionId, std::string>> eventFiles;
  // What reading the option files set aside, each said in a note before the
  // run ("--pump-schedule-file 的文件“s.csv”第 1 行 ... 是表头，不作数据读入").
  std::vector<std::string> fileNotes;
  bool help = false;
  bool strict = false;  // an input warning is a usage error
};

// The meaning of a batch command's options, in their order: "--batch" may
// stand anywhere and is passed over; "--help" ends the reading at once. The
// files named are read (--case, --cases), and the options are checked
// together. Throws UsageError.
BatchOptions ParseBatchOptions(const CommandLine& line);
BatchOptions ParseBatchOptions(int argc, char** argv);

}  // namespace kelvane
