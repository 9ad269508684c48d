#include "texts/event_texts.h"

#include <algorithm>
#include <cmath>

#include "csv/csv_reader.h"
#include "format/number_format.h"

namespace kelvane {
namespace {

// A number as the user would write it (the shortest text that reads back).
std::string Number(double value) { return ShortestText(value); }

// A cell that is a number as a whole: the reading rule of the boxes (blanks
// dropped anywhere), but nothing may be left unread and the value must be
// finite. `fault` says why a cell is not one: no number (NotANumber), or a
// number beyond every double (OutOfRange: "1e400").
std::optional<double> CellNumber(std::string_view text, EventFault& fault) {
  const LeadingNumberScan scan = ScanLeadingNumber(text);
  fault = EventFault::NotANumber;
  if (!scan.digits || scan.length != scan.clean.size()) return std::nullopt;
  const double value = ReadLeadingNumber(text);
  if (!std::isfinite(value)) {
    fault = EventFault::OutOfRange;
    return std::nullopt;
  }
  fault = EventFault::None;
  return value;
}

ErrorLocation Fault(EventField field, int row, int column, EventFault fault,
                    std::string_view text = {}) {
  ErrorLocation at;
  at.stage = Stage::EventInput;
  at.eventField = field;
  at.row = row;
  at.column = column;
  at.eventFault = fault;
  at.detail = std::string(text);
  return at;
}

[[noreturn]] void Throw(ErrorLocation at) {
  throw RunError(ErrorCode::InvalidInput, std::move(at));
}

// Checks the rows of a two-column table; `order` checks a row's values
// against the previous row's. Faults go to `faults`; with `firstOnly` the
// check stops at the first.
template <class Row, class Make, class Order>
std::vector<Row> CheckRows(EventField field, const TextTable& table, Make make, Order order,
                           std::vector<ErrorLocation>& faults, bool firstOnly) {
  std::vector<Row> rows;
  if (table.empty()) {
    faults.push_back(Fault(field, 0, 0, EventFault::EmptyTable));
    return rows;
  }
  std::optional<Row> previous;
  for (const TextRow& text : table) {
    std::optional<ErrorLocation> fault;
    double values[2] = {0, 0};
    for (int column = 1; column <= 2 && !fault; ++column) {
      if (text.cells.size() < static_cast<std::size_t>(column)) {
        fault = Fault(field, text.row, column, EventFault::MissingCell);
      } else if (EventFault bad{}; const auto value = CellNumber(text.cells[column - 1], bad)) {
        values[column - 1] = *value;
      } else {
        fault = Fault(field, text.row, column, bad, text.cells[column - 1]);
      }
    }
    if (!fault && text.cells.size() > 2)
      fault = Fault(field, text.row, 3, EventFault::ExtraCell, text.cells[2]);
    if (!fault) {
      const Row row = make(values[0], values[1]);
      fault = order(row, previous, text);
      if (!fault) {
        rows.push_back(row);
        previous = row;
      }
    }
    if (fault) {
      faults.push_back(*fault);
      if (firstOnly) break;
    }
  }
  return rows;
}

std::vector<PumpPoint> CheckSchedule(const TextTable& table, std::vector<ErrorLocation>& faults,
                                     bool firstOnly) {
  constexpr EventField kField = EventField::PumpSchedule;
  return CheckRows<PumpPoint>(
      kField, table,
      [](double t, double q) {
        return PumpPoint{t, q};
      },
      [](const PumpPoint& p, const std::optional<PumpPoint>& previous,
         const TextRow& text) -> std::optional<ErrorLocation> {
        if (p.time < 0) return Fault(kField, text.row, 1, EventFault::Negative, text.cells[0]);
        if (previous && p.time < previous->time) {
          ErrorLocation at = Fault(kField, text.row, 1, EventFault::TimeGoesBack, text.cells[0]);
          at.value = previous->time;
          return at;
        }
        return std::nullopt;
      },
      faults, firstOnly);
}

std::vector<ForebayPoint> CheckAreaTable(const TextTable& table, std::vector<ErrorLocation>& faults,
                                         bool firstOnly) {
  constexpr EventField kField = EventField::ForebayAreaTable;
  return CheckRows<ForebayPoint>(
      kField, table,
      [](double level, double area) {
        return ForebayPoint{level, area};
      },
      [](const ForebayPoint& p, const std::optional<ForebayPoint>& previous,
         const TextRow& text) -> std::optional<ErrorLocation> {
        if (previous && !(p.level > previous->level)) {
          ErrorLocation at = Fault(kField, text.row, 1, EventFault::LevelNotRising, text.cells[0]);
          at.value = previous->level;
          return at;
        }
        if (!(p.area > 0))
          return Fault(kField, text.row, 2, EventFault::NotPositive, text.cells[1]);
        return std::nullopt;
      },
      faults, firstOnly);
}

template <class T>
T FirstOrThrow(T value, std::vector<ErrorLocation>& faults, const std::string& file) {
  if (!faults.empty()) {
    faults.front().file = file;
    if (!file.empty()) faults.front().fileAction = FileAction::Read;
    Throw(faults.front());
  }
  return value;
}

// Cells of `text` separated by `separator`, as typed.
std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> cells;
  for (;;) {
    const std::size_t end = text.find(separator);
    cells.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return cells;
    text.remove_prefix(end + 1);
  }
}

bool Blank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Whether a cell holds a digit, ASCII or full-width (U+FF10..U+FF19).
bool HasDigit(std::string_view cell) {
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] >= '0' && cell[i] <= '9') return true;
    if (cell.substr(i, 2) == "\xEF\xBC" && i + 2 < cell.size()) {
      const auto third = static_cast<unsigned char>(cell[i + 2]);
      if (third >= 0x90 && third <= 0x99) return true;
    }
  }
  return false;
}

}  // namespace

TextTable SplitPairsText(std::string_view text) {
  TextTable table;
  int row = 0;
  for (const std::string& item : Split(text, ',')) {
    ++row;
    if (!Blank(item)) table.push_back({row, Split(item, ':')});
  }
  return table;
}

CsvTable ReadCsvTable(std::string_view bytes, EventField field, const std::string& file) {
  std::vector<CsvRow> rows;
  try {
    rows = ReadCsvRows(bytes, CsvSeparator::Detect);
  } catch (const CsvError& error) {
    ErrorLocation at =
        Fault(field, error.line, 0,
              error.fault == CsvFault::OpenQuote ? EventFault::OpenQuote : EventFault::StrayQuote);
    at.file = file;
    Throw(std::move(at));
  }
  CsvTable table;
  for (CsvRow& row : rows) {
    TextRow text{row.line, std::move(row.cells)};
    // A first row without a digit anywhere is a heading ("时间,流量"); one
    // with digits is data, whose cells must be numbers ("0 s" is not).
    if (table.rows.empty() && !table.heading &&
        std::none_of(text.cells.begin(), text.cells.end(), HasDigit)) {
      table.heading = std::move(text);
      continue;
    }
    table.rows.push_back(std::move(text));
  }
  return table;
}

TextTable SplitCsv(std::string_view bytes) { return ReadCsvTable(bytes).rows; }

double ReadRampTime(std::string_view text) {
  EventFault bad{};
  const std::optional<double> value = CellNumber(text, bad);
  if (!value) Throw(Fault(EventField::RampTime, 0, 0, bad, text));
  if (*value < 0) Throw(Fault(EventField::RampTime, 0, 0, EventFault::Negative, text));
  return *value;
}

double ReadRampExponent(std::string_view text) {
  EventFault bad{};
  const std::optional<double> value = CellNumber(text, bad);
  if (!value) Throw(Fault(EventField::RampExponent, 0, 0, bad, text));
  if (!(*value > 0)) Throw(Fault(EventField::RampExponent, 0, 0, EventFault::NotPositive, text));
  return *value;
}

std::vector<PumpPoint> ReadPumpSchedule(const TextTable& table, const std::string& file) {
  std::vector<ErrorLocation> faults;
  return FirstOrThrow(CheckSchedule(table, faults, true), faults, file);
}

std::vector<ForebayPoint> ReadForebayAreaTable(const TextTable& table, const std::string& file) {
  std::vector<ErrorLocation> faults;
  return FirstOrThrow(CheckAreaTable(table, faults, true), faults, file);
}

UnitSequence ReadUnitSequence(std::string_view text) {
  constexpr EventField kField = EventField::PumpUnits;
  const std::vector<std::string> cells = Split(text, ':');
  double values[5] = {};
  for (int column = 1; column <= 5; ++column) {
    if (cells.size() < static_cast<std::size_t>(column) || (cells.size() == 1 && Blank(cells[0])))
      Throw(Fault(kField, 0, column, EventFault::MissingCell));
    const std::string& cell = cells[column - 1];
    EventFault bad{};
    const std::optional<double> value = CellNumber(cell, bad);
    if (!value) Throw(Fault(kField, 0, column, bad, cell));
    if (column == 1 && !(*value >= 1)) Throw(Fault(kField, 0, 1, EventFault::NotPositive, cell));
    if (column == 1 && (*value != std::floor(*value) || *value > 1000))
      Throw(Fault(kField, 0, 1, EventFault::NotWhole, cell));
    if (column >= 3 && *value < 0) Throw(Fault(kField, 0, column, EventFault::Negative, cell));
    values[column - 1] = *value;
  }
  if (cells.size() > 5) Throw(Fault(kField, 0, 6, EventFault::ExtraCell, cells[5]));
  return {static_cast<int>(values[0]), values[1], values[2], values[3], values[4]};
}

MarchModel ReadMarchModel(std::string_view text) {
  for (MarchModel model : {MarchModel::Classic, MarchModel::Balanced, MarchModel::Mixed})
    if (text == MarchModelName(model)) return model;
  Throw(Fault(EventField::Model, 0, 0, EventFault::UnknownModel, text));
}

CulvertSection ReadCulvertSection(std::string_view text) {
  for (CulvertSection section : {CulvertSection::Box, CulvertSection::Channel})
    if (text == CulvertSectionName(section)) return section;
  Throw(Fault(EventField::Section, 0, 0, EventFault::UnknownSection, text));
}

ModelExtras ReadModelExtras(const EventTexts& texts) {
  ModelExtras extras;
  PumpEvent& pump = extras.pump;
  if (texts.rampTime) pump.rampTime = ReadRampTime(*texts.rampTime);
  if (texts.rampExponent) pump.rampExponent = ReadRampExponent(*texts.rampExponent);
  if (texts.schedule && texts.units)
    Throw(Fault(EventField::PumpUnits, 0, 0, EventFault::ScheduleAndUnits));
  if (texts.schedule) pump.schedule = ReadPumpSchedule(*texts.schedule);
  if (texts.units) pump.units = ReadUnitSequence(*texts.units);
  if (texts.areaTable) extras.forebay.areaTable = ReadForebayAreaTable(*texts.areaTable);
  if (texts.model) extras.model = ReadMarchModel(*texts.model);
  if (texts.section) extras.section = ReadCulvertSection(*texts.section);
  return extras;
}

std::vector<EventWarning> CheckEventTexts(const EventTexts& texts,
                                          std::optional<double> stabilityLimit) {
  std::vector<EventWarning> warnings;
  ModelExtras extras;
  try {
    extras = ReadModelExtras(texts);
  } catch (const RunError&) {
    return warnings;
  }
  // The schedule holds one point per row of its table, in the table's order.
  const std::vector<PumpPoint>& schedule = extras.pump.schedule;
  for (std::size_t k = 0; k < schedule.size(); ++k) {
    if (schedule[k].discharge < 0) {
      const int row = k < texts.schedule->size() ? (*texts.schedule)[k].row : int(k + 1);
      warnings.push_back(
          {EventWarningKind::ReverseFlow, EventField::PumpSchedule, row, schedule[k].discharge, 0});
    }
  }
  if (texts.rampExponent && !(extras.pump.rampTime > 0) && !extras.pump.HasSchedule()) {
    warnings.push_back({EventWarningKind::ExponentWithoutRampTime, EventField::RampExponent, 0,
                        extras.pump.rampExponent, 0});
  }
  const std::vector<ForebayPoint>& table = extras.forebay.areaTable;
  if (!table.empty() && stabilityLimit && std::isfinite(*stabilityLimit) &&
      SmallestForebayArea(table) < *stabilityLimit) {
    warnings.push_back({EventWarningKind::AreaBelowStabilityLimit, EventField::ForebayAreaTable, 0,
                        SmallestForebayArea(table), *stabilityLimit});
  }
  return warnings;
}

std::string EventWarningText(const EventWarning& warning) {
  std::string text(EventFieldName(warning.field));
  if (warning.row > 0) text += "第 " + std::to_string(warning.row) + " 行";
  switch (warning.kind) {
    case EventWarningKind::ReverseFlow:
      return text + "：流量 " + Number(warning.value) + " m³/s 为负，即水经水泵倒流";
    case EventWarningKind::ExponentWithoutRampTime:
      return text + " " + Number(warning.value) + " 未给出泵流量变化历时，不起作用（仍为突变）";
    case EventWarningKind::AreaBelowStabilityLimit:
      return text + "：最小面积 " + Number(warning.value) + " m² 低于稳定下限 " +
             SignificantText(warning.bound, 4) + " m²，前池水位计算会发散";
  }
  return text;
}

std::vector<ErrorLocation> CheckEventTable(EventField field, const TextTable& table) {
  std::vector<ErrorLocation> faults;
  if (field == EventField::PumpSchedule) CheckSchedule(table, faults, false);
  if (field == EventField::ForebayAreaTable) CheckAreaTable(table, faults, false);
  return faults;
}

void SetEventText(EventTexts& texts, EventField field, std::string_view text) {
  switch (field) {
    case EventField::RampTime:
      texts.rampTime = std::string(text);
      break;
    case EventField::RampExponent:
      texts.rampExponent = std::string(text);
      break;
    case EventField::PumpSchedule:
      texts.schedule = SplitPairsText(text);
      texts.units.reset();
      break;
    case EventField::PumpUnits:
      texts.units = std::string(text);
      texts.schedule.reset();
      break;
    case EventField::ForebayAreaTable:
      texts.areaTable = SplitPairsText(text);
      break;
    case EventField::Model:
      texts.model = std::string(text);
      break;
    case EventField::Section:
      texts.section = std::string(text);
      break;
    case EventField::None:
      break;
  }
}

std::string PumpEventName(const PumpEvent& pump) {
  if (pump.units) {
    const UnitSequence& u = *pump.units;
    return "机组序列 " + std::to_string(u.units) + " 台 × " + Number(u.discharge) + " m³/s，间隔 " +
           Number(u.interval) + " s，历时 " + Number(u.rampTime) + " s";
  }
  if (!pump.schedule.empty()) {
    return "过程表 " + std::to_string(pump.schedule.size()) + " 点，" +
           Number(pump.schedule.front().time) + " 至 " + Number(pump.schedule.back().time) + " s";
  }
  if (pump.rampTime == 0) return "突变";
  if (pump.rampExponent == 1) return "线性变化 " + Number(pump.rampTime) + " s";
  return "变化 " + Number(pump.rampTime) + " s，指数 " + Number(pump.rampExponent);
}

std::string_view MarchModelName(MarchModel model) {
  switch (model) {
    case MarchModel::Balanced:
      return "balanced";
    case MarchModel::Mixed:
      return "mixed";
    case MarchModel::Classic:
      break;
  }
  return "classic";
}

std::string_view MarchModelCaption(MarchModel model) {
  switch (model) {
    case MarchModel::Balanced:
      return "平衡模型（计入全部恒定流损失）";
    case MarchModel::Mixed:
      return "自由水面与混合流模型（按断面计算明流与满流）";
    case MarchModel::Classic:
      break;
  }
  return "经典模型（仅沿程损失）";
}

std::string_view CulvertSectionName(CulvertSection section) {
  switch (section) {
    case CulvertSection::Box:
      return "box";
    case CulvertSection::Channel:
      return "channel";
    case CulvertSection::None:
      break;
  }
  return "";
}

std::string_view CulvertSectionCaption(CulvertSection section) {
  switch (section) {
    case CulvertSection::Box:
      return "箱涵";
    case CulvertSection::Channel:
      return "明渠（梯形断面）";
    case CulvertSection::None:
      break;
  }
  return "";
}

std::string ForebayShapeName(const ForebayShape& forebay) {
  const std::vector<ForebayPoint>& table = forebay.areaTable;
  if (table.empty()) return "定值面积";
  return "水位–面积表 " + std::to_string(table.size()) + " 点，" + Number(table.front().level) +
         " 至 " + Number(table.back().level) + " m";
}

std::string ModelExtrasTitle(const ModelExtras& extras) {
  std::string title;
  if (extras.pump.Given()) title = "泵流量：" + PumpEventName(extras.pump);
  if (extras.forebay.Given()) {
    title += (title.empty() ? "" : "；") + std::string("前池：") + ForebayShapeName(extras.forebay);
  }
  if (extras.model != MarchModel::Classic) {
    title += (title.empty() ? "" : "；") +
             std::string(extras.model == MarchModel::Mixed ? "模型：混合流" : "模型：平衡");
  }
  return title;
}

std::vector<std::string> ModelExtrasLines(const ModelExtras& extras) {
  std::vector<std::string> lines;
  const PumpEvent& pump = extras.pump;
  if (pump.units) {
    const UnitSequence& u = *pump.units;
    // A unit's change is negative for a stop; the line says so in words.
    lines.push_back("机组启闭序列：" + std::to_string(u.units) + " 台依次" +
                    (u.discharge < 0 ? "停机" : "启动") + "，每台 " +
                    Number(std::fabs(u.discharge)) + " m³/s，首台 " + Number(u.firstTime) +
                    " s，间隔 " + Number(u.interval) + " s，历时 " + Number(u.rampTime) + " s");
  } else if (!pump.schedule.empty()) {
    const auto [low, high] = std::minmax_element(
        pump.schedule.begin(), pump.schedule.end(),
        [](const PumpPoint& a, const PumpPoint& b) { return a.discharge < b.discharge; });
    lines.push_back("泵流量过程：" + std::to_string(pump.schedule.size()) + " 点，" +
                    Number(pump.schedule.front().time) + " 至 " +
                    Number(pump.schedule.back().time) + " s，流量 " + Number(low->discharge) +
                    " 至 " + Number(high->discharge) + " m³/s");
  } else if (pump.rampTime != 0) {
    lines.push_back("泵流量斜坡：历时 " + Number(pump.rampTime) + " s，指数 " +
                    Number(pump.rampExponent));
  }
  if (pump.HasSchedule())
    lines.push_back("（流量过程取代泵突启闭后流量" +
                    std::string(pump.rampTime != 0 ? "与斜坡" : "") + "）");
  const std::vector<ForebayPoint>& table = extras.forebay.areaTable;
  if (!table.empty()) {
    lines.push_back("前池水位–面积表：" + std::to_string(table.size()) + " 点，水位 " +
                    Number(table.front().level) + " 至 " + Number(table.back().level) +
                    " m，最小面积 " + Number(SmallestForebayArea(table)) + " m²");
  }
  if (extras.model != MarchModel::Classic)
    lines.push_back("计算模型：" + std::string(MarchModelCaption(extras.model)));
  if (extras.model == MarchModel::Mixed && extras.section != CulvertSection::None)
    lines.push_back("断面形式：" + std::string(CulvertSectionCaption(extras.section)));
  return lines;
}

}  // namespace kelvane
