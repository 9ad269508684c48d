// Run-time errors: the one numbered catalogue of the program, and the error
// that carries a number and where it happened as data. One function turns an
// error into the user's text, for the message box and the command line alike.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/inputs.h"

namespace kelvane {

enum class ErrorCode : int {
#define KELVANE_ERROR(name, number, description) \
  name = number,  // NOLINT(bugprone-macro-parentheses)
#include "model/errors.def"
};

// Every catalogue error in number order, for code that lists them all.
inline constexpr ErrorCode kAllErrorCodes[] = {
#define KELVANE_ERROR(name, number, description) ErrorCode::name,
#include "model/errors.def"
};

// The description shown to the user, in the interface language (UTF-8).
std::string_view ErrorDescription(ErrorCode code);

// What the program was doing when the fault happened.
enum class Stage {
  Program,           // outside any of the steps below
  Reading,           // reading the text of an input box
  Coefficients,      // forming the solver's coefficients from the inputs
  Grid,              // sizing the head, velocity and time arrays
  SteadyState,       // the initial profile (step 1)
  March,             // the transient, steps 2..StepCount
  ResultFile,        // the result file
  ResultsTable,      // the results table
  ForebayLevelLine,  // the forebay level drawn against time
  Report,            // a batch report: summary, CSV, standard output
  Chart,             // a time-history, envelope or sweep chart and its image
  EventInput,        // reading the pump event and the forebay area table
};

// The coefficient or count being formed (Stage::Coefficients, Stage::Grid).
enum class Term {
  None,
  HydraulicDiameter,     // D = 4R
  SteadyVelocity,        // V0 = Q0 / Ac
  ReachLength,           // dx = L / n
  TimeStep,              // dt = L / (n a)
  WaveCoefficient,       // a / g
  VelocityFrictionTerm,  // f dt / 2D
  HeadFrictionTerm,      // (f dt / 2D)(a / g)
  ReachHeadLoss,         // the steady friction loss of one reach
  NodeCount,             // reaches + 1
  StepCount,             // steps + 1
  Grids,                 // the head and velocity grids
  StepTimes,             // the times of the steps
  TimeSpan,              // the forebay level line's extents: its time span,
  LevelSpan,             // its level span
  SpanOrigin,            // and the time and level they start from
};

// The value of a node (or of a step's time) being computed.
enum class Quantity {
  None,
  Time,
  Head,
  Velocity,
  BackwardCharacteristic,  // the head carried from node 2 to the reservoir end
  ForwardCharacteristic,   // the head carried from node n to the forebay end
};

// The inputs of the pump event and the forebay shape (Stage::EventInput).
enum class EventField {
  None,
  RampTime,          // 泵流量变化历时, s
  RampExponent,      // 变化指数
  PumpSchedule,      // 泵流量过程: time s, discharge m³/s
  PumpUnits,         // 机组启闭序列: K:Q:T0:INTERVAL:RAMP
  ForebayAreaTable,  // 前池水位–面积表: level m, area m²
  Model,             // 计算模型: "classic", "balanced" or "mixed"
  Section,           // 断面形式: "box" or "channel"
};

// What is wrong with one of them; the row and column are in ErrorLocation.
enum class EventFault {
  None,
  NotANumber,         // a cell that is not a number as a whole
  OutOfRange,         // a number beyond every double ("1e400")
  StrayQuote,         // a quotation mark inside an unquoted cell, or text after a closing one
  OpenQuote,          // a quoted cell still open at the end of its line
  MissingCell,        // a row with fewer cells than the table has columns
  ExtraCell,          // a row with more cells
  EmptyTable,         // no row at all
  TimeGoesBack,       // a time before the previous row's (value: that time)
  LevelNotRising,     // a level equal to or below the previous row's (value: that level)
  NotPositive,        // must be > 0: an area, the exponent, the unit count
  Negative,           // must be >= 0: a time, the ramp time, the interval
  NotWhole,           // the unit count is not a whole number
  ScheduleAndUnits,   // a schedule and a unit sequence given together
  StopsMoreThanRuns,  // a unit sequence that stops more discharge than the steady one
                      // (value: the steady discharge; detail: the discharge stopped)
  UnknownModel,       // a model name that is not one of MarchModelNames
  UnknownSection,     // a section name that is not one of CulvertSectionNames
  MissingGeometry,    // the mixed model without the section it needs (detail: the items)
};

// What was being done to a file.
enum class FileAction { None, Open, Create, Read, Write, Close, Replace, IsFolder, NotAFileName };

// Where a fault happened. Every field but the stage is optional; a field
// that does not apply keeps its empty value.
struct ErrorLocation {
  Stage stage = Stage::Program;
  std::optional<InputId> input;  // the input box whose value is concerned
  Term term = Term::None;
  Quantity quantity = Quantity::None;
  int step = 0;                 // 0: no step
  int node = 0;                 // 0: no node
  std::optional<double> time;   // s, of the step
  std::optional<double> value;  // the value concerned (a count; a table's step counter)
  bool zeroDivisor = false;     // the fault is a division by zero-valued input
  std::string file;             // UTF-8 path, for file errors
  std::string output;           // the option of the output being written ("summary"), or empty
  FileAction fileAction = FileAction::None;
  int systemError = 0;  // the errno of a file fault the number does not already say, or 0
  std::string detail;   // an unexpected library error's own message; a table's cell text
  // Stage::EventInput: the input, its row and column (1-based, 0 when none)
  // and what is wrong.
  EventField eventField = EventField::None;
  int row = 0;
  int column = 0;
  EventFault eventFault = EventFault::None;

  bool operator==(const ErrorLocation&) const = default;
};

// The first fault of a command.
class RunError : public std::runtime_error {
 public:
  RunError(ErrorCode code, ErrorLocation location);
  ErrorCode code() const { return code_; }
  int number() const { return static_cast<int>(code_); }
  std::string_view description() const { return ErrorDescription(code_); }
  const ErrorLocation& location() const { return location_; }
  // The location in the user's words (see ErrorLocationText).
  std::string where() const;

 private:
  ErrorCode code_;
  ErrorLocation location_;
};

// Where it happened, as one line in the user's terms: the input box by its
// caption and box name, the coefficient by its engineering name, the step,
// node and time of the march, the file by its name. Empty for no location.
std::string ErrorLocationText(const ErrorLocation& location);

// Names in the user's words: "泵流量过程", and a column's caption with its
// unit, "时间 (s)" (column 1-based).
std::string_view EventFieldName(EventField field);
std::string_view EventColumnName(EventField field, int column);

// The location of a Stage::EventInput error, as ErrorLocationText words it:
// "泵流量过程第 3 行“时间 (s)”列：时间 5 早于上一行的 10".
std::string EventLocationText(const ErrorLocation& location);

enum class ErrorTextLayout {
  // "运行时错误 'N':", a blank line, the description, the location.
  MessageBox,
  // "运行时错误 'N': DESCRIPTION", the location on the next line; LF ends.
  CommandLine,
};
// The whole message the user sees for `error`.
std::string RunErrorText(const RunError& error, ErrorTextLayout layout);

// The catalogue number of a failed file operation's errno: permission
// denied or a read-only file system 70, a missing folder 76, a full disk 61,
// anything else 75.
ErrorCode FileErrorCode(int error);

// A failed file operation as a catalogue error: the number of its errno, the
// file and the action, and the system's reason (SystemErrorText) where the
// number's description does not already say it.
RunError FileError(int error, const std::string& path, FileAction action,
                   Stage stage = Stage::Program);

// The system's reason for a failed call, in the user's words, the one wording
// wherever a file is named: "文件不存在", "是一个文件夹", "符号链接层数过多"; an
// errno without a wording of its own as "系统错误 N".
std::string SystemErrorText(int error);

// Anything a command may throw, as a catalogue error: a RunError as it is
// (given `stage` when it has none of its own), running out of memory (or a length beyond any
// allocation) as 7, a failed system call by its errno, any other exception as 6 at `stage` with its
// message kept. Call only from inside a catch block. `output` names the
// option whose output was being written ("summary": "写 --summary"), where a
// command writes several.
RunError CurrentExceptionAsRunError(Stage stage, std::string_view output = {});
// A RunError placed as above: given `stage` when it has none of its own, and
// `output` when it was at `stage` without one.
RunError PlacedRunError(const RunError& error, Stage stage, std::string_view output = {});

}  // namespace kelvane
