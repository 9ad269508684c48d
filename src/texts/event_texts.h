// The pump event and the forebay area table as the user types them: option
// texts ("0:41.6,10:20.8", "K:Q:T0:INTERVAL:RAMP", "LEVEL:AREA,..."), CSV
// files and the rows of a case file, and the readers that turn them into a
// ModelExtras. A text that cannot be used is a RunError (InvalidInput,
// Stage::EventInput) naming the input, its row and column and what is wrong;
// nothing is read past it. Qt-free: the batch mode, the case files and the
// window dialogs share these readers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/errors.h"
#include "model/pump_event.h"

namespace kelvane {

// One row of a table as typed. `row` is its number in the user's terms: the
// item of an option text, the line of a file, the element of a case file's
// array (1-based).
struct TextRow {
  int row = 0;
  std::vector<std::string> cells;
  bool operator==(const TextRow&) const = default;
};
using TextTable = std::vector<TextRow>;

// The texts of the extras; each left out (nullopt) when not given.
struct EventTexts {
  std::optional<std::string> rampTime;      // s, "30"
  std::optional<std::string> rampExponent;  // "1"
  std::optional<TextTable> schedule;        // time s, discharge m³/s
  std::optional<std::string> units;         // "K:Q:T0:INTERVAL:RAMP"
  std::optional<TextTable> areaTable;       // level m, area m²
  std::optional<std::string> model;         // "classic", "balanced", "mixed"
  std::optional<std::string> section;       // "box", "channel"

  bool Given() const {
    return rampTime || rampExponent || schedule || units || areaTable || model || section;
  }
  bool operator==(const EventTexts&) const = default;
};

// "0:41.6,10:20.8": rows separated by commas, cells by colons. An item that
// is blank is passed over; rows keep the number of their item.
TextTable SplitPairsText(std::string_view text);

// A CSV file's bytes (UTF-8), read by the CSV reader's rules (csv/csv_reader.h:
// quotes, CR LF, a byte-order mark), each line's cells separated by tabs when
// it holds one outside quotes (a spreadsheet's copy), else by semicolons when
// it holds one, else by commas. Blank lines are passed over. A first row with
// no digit at all (ASCII or full-width) is a heading, set apart; any other
// first row is data. Rows keep their line numbers.
struct CsvTable {
  std::optional<TextRow> heading;
  TextTable rows;
};
// A line whose quotes do not pair is a RunError (InvalidInput,
// Stage::EventInput) naming `field`, the line and `file`.
CsvTable ReadCsvTable(std::string_view bytes, EventField field = EventField::None,
                      const std::string& file = "");
// The rows alone.
TextTable SplitCsv(std::string_view bytes);

// The readers. Each throws the first fault as a RunError; `file`, when not
// empty, is named in it.
double ReadRampTime(std::string_view text);      // a number >= 0
double ReadRampExponent(std::string_view text);  // a number > 0
std::vector<PumpPoint> ReadPumpSchedule(const TextTable& table, const std::string& file = "");
UnitSequence ReadUnitSequence(std::string_view text);
MarchModel ReadMarchModel(std::string_view text);          // a name of MarchModelName
CulvertSection ReadCulvertSection(std::string_view text);  // a name of CulvertSectionName
std::vector<ForebayPoint> ReadForebayAreaTable(const TextTable& table,
                                               const std::string& file = "");
// All of them; a schedule and a unit sequence together are a fault.
ModelExtras ReadModelExtras(const EventTexts& texts);

// What a pump event or area table given in full still leaves doubtful: a
// schedule point whose discharge is below 0 (the pumps run backwards), a
// ramp exponent without a ramp time above 0 (it changes nothing), a table whose
// smallest area lies below the forebay stability limit. The run goes on as
// given.
enum class EventWarningKind { ReverseFlow, ExponentWithoutRampTime, AreaBelowStabilityLimit };
struct EventWarning {
  EventWarningKind kind = EventWarningKind::ReverseFlow;
  EventField field = EventField::None;
  int row = 0;       // the schedule's row (its number in the user's terms), 0 when none
  double value = 0;  // the discharge (m³/s), the exponent or the smallest area (m²)
  double bound = 0;  // AreaBelowStabilityLimit: the limit, m²
  bool operator==(const EventWarning&) const = default;
};
// The warnings of `texts`, schedule rows first; none for texts that
// ReadModelExtras refuses (their fault is reported instead).
// `stabilityLimit`: the forebay stability limit of the run (m²), when known.
std::vector<EventWarning> CheckEventTexts(const EventTexts& texts,
                                          std::optional<double> stabilityLimit = std::nullopt);
// "泵流量过程第 3 行：流量 -5 m³/s 为负，即水经水泵倒流".
std::string EventWarningText(const EventWarning& warning);

// Every row of `table` that cannot be used, one fault per row (its first),
// for a dialog that marks each row as it is typed; an empty table is one
// fault with no row. `field` is PumpSchedule or ForebayAreaTable.
std::vector<ErrorLocation> CheckEventTable(EventField field, const TextTable& table);

// Sets the part of `texts` that `field` names from the text a study's
// column gives it: a ramp's number, a unit sequence, or a table written as
// an option's "0:41.6,10:20.8". A schedule or a unit sequence replaces the
// other.
void SetEventText(EventTexts& texts, EventField field, std::string_view text);

// Short names for a chart's title and a study's CSV: the pump event
// ("线性变化 30 s", "变化 30 s，指数 2", "过程表 5 点，0 至 60 s",
// "机组序列 4 台 × -10.4 m³/s，间隔 30 s，历时 10 s", "突变") and the forebay
// ("水位–面积表 5 点，-10 至 0 m", "定值面积").
std::string PumpEventName(const PumpEvent& pump);
// "classic", "balanced", "mixed": the names a case file, an option and a study take.
std::string_view MarchModelName(MarchModel model);
// "经典模型（仅沿程损失）", "平衡模型（计入全部恒定流损失）": the model in the user's words.
std::string_view MarchModelCaption(MarchModel model);
// "box", "channel" (none: ""); "箱涵", "明渠（梯形断面）".
std::string_view CulvertSectionName(CulvertSection section);
std::string_view CulvertSectionCaption(CulvertSection section);
std::string ForebayShapeName(const ForebayShape& forebay);
// "泵流量：线性变化 30 s；前池：水位–面积表 5 点，-10 至 0 m；模型：平衡",
// the parts given (the model when it is not classic); "" for none.
std::string ModelExtrasTitle(const ModelExtras& extras);

// A short description of the extras in force, one line each, for reports:
// "斜坡：历时 30 s，指数 1", "前池水位–面积表：5 点，...". None when not given.
std::vector<std::string> ModelExtrasLines(const ModelExtras& extras);

}  // namespace kelvane
