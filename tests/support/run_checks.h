// Checks of what a run writes, shared by the fuzz targets and the soak: the
// shape of the result file and of the results-table text, derived from the
// rules (interval rule, line layout) rather than from the writer's code.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::checks {

// Round half to even into -32768..32767; nothing when outside (overflow).
inline std::optional<int> RoundToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double rounded = std::nearbyint(value);  // default rounding: ties to even
  if (rounded < -32768 || rounded > 32767) return std::nullopt;
  return static_cast<int>(rounded);
}

// Data lines of the result file: steps 1, 1+s, 1+2s, ... <= stepCount for a
// positive s (0 counts as 1); for a negative s only step 1, and only when
// stepCount is 1. Nothing when the interval overflows 16 bits (error 6).
inline std::optional<int> ExpectedDataLines(int stepCount, double outputInterval) {
  std::optional<int> s = RoundToInt16(outputInterval);
  if (!s) return std::nullopt;
  int step = *s == 0 ? 1 : *s;
  if (step < 0) return stepCount <= 1 ? 1 : 0;
  return (stepCount - 1) / step + 1;
}

inline std::vector<std::string_view> SplitCrLf(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The GBK title "运算结果为：" of the result file.
inline constexpr std::string_view kResultTitle = "\xD4\xCB\xCB\xE3\xBD\xE1\xB9\xFB\xCE\xAA\xA3\xBA";

// Checks a whole result file: CR LF everywhere, the title, a heading line,
// `dataLines` data lines each ending in a space (a line wrapped by the column
// rule continues on lines that start with spaces). Empty when sound,
// otherwise what is wrong.
inline std::string CheckResultText(std::string_view text, int dataLines) {
  if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return "does not end in CR LF";
  std::vector<std::string_view> lines = SplitCrLf(text);
  for (std::string_view line : lines)
    if (line.find_first_of("\r\n") != std::string_view::npos) return "a bare CR or LF";
  if (lines.size() < 2 || lines[0] != kResultTitle) return "title line wrong";
  if (lines[1].substr(0, 8) != "\xCA\xB1\xBC\xE4(\xC3\xEB)") return "heading line wrong";
  int logical = 0;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    bool continuation = !lines[i].empty() && lines[i][0] == ' ';
    if (continuation && i == 2) return "continuation line before any data line";
    if (!continuation) ++logical;
    bool lastOfLine = i + 1 == lines.size() || (!lines[i + 1].empty() && lines[i + 1][0] != ' ');
    if (lastOfLine && (lines[i].empty() || lines[i].back() != ' '))
      return "data line " + std::to_string(logical) + " does not end in a space";
  }
  if (logical != dataLines)
    return std::to_string(logical) + " data lines, expected " + std::to_string(dataLines);
  return {};
}

// The results table: rows for the counter first, first+d, ... while it has
// not passed `last` (d of 0 counts as 1); a counter other than exactly 1 that
// rounds outside 1..stepCount is a subscript error.
struct TableExpectation {
  enum Kind { Rows, SubscriptError, TooLong } kind = Rows;
  long rows = 0;
};

inline TableExpectation ExpectedTable(int stepCount, int first, int last, double interval,
                                      long rowLimit) {
  if (interval == 0) interval = 1;
  TableExpectation result;
  double counter = first;
  while (interval >= 0 ? counter <= last : counter >= last) {
    if (result.rows >= rowLimit) return {TableExpectation::TooLong, result.rows};
    if (counter != 1) {
      double step = std::nearbyint(counter);
      if (!(step >= 1 && step <= stepCount)) return {TableExpectation::SubscriptError, result.rows};
    }
    ++result.rows;
    double next = counter + interval;
    if (next == counter) return {TableExpectation::TooLong, result.rows};  // never advances
    counter = next;
  }
  return result;
}

// Checks the table text: title, the heading (90 characters for six nodes,
// else one position label "...L" per node), `rows` rows of 4 + 15 * nodes
// characters, CR LF after each.
inline std::string CheckTableText(std::string_view text, long rows, int nodes) {
  if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return "does not end in CR LF";
  std::vector<std::string_view> lines = SplitCrLf(text);
  if (lines.size() < 2 || lines[0] != "计算结果为:") return "title line wrong";
  const std::string_view time = "时间(秒)";
  if (!lines[1].starts_with(time)) return "heading does not start with the time";
  if (nodes == 6 && lines[1].size() != time.size() + 85) return "heading length wrong";
  if (std::count(lines[1].begin(), lines[1].end(), 'L') != nodes) return "heading labels wrong";
  if (static_cast<long>(lines.size()) - 2 != rows)
    return std::to_string(lines.size() - 2) + " rows, expected " + std::to_string(rows);
  for (std::size_t i = 2; i < lines.size(); ++i)
    if (lines[i].size() != static_cast<std::size_t>(4 + 15 * nodes))
      return "row " + std::to_string(i - 1) + " is " + std::to_string(lines[i].size()) +
             " characters long";
  return {};
}

// Standard error of the batch mode without its input warnings ("kelvane:
// 警告: ..." lines, one per flagged option, before the run): what is left is
// the run's own messages.
inline std::string WithoutInputWarnings(const std::string& err) {
  const std::string warning = "kelvane: 警告: ";
  std::string kept;
  for (std::size_t at = 0; at < err.size();) {
    std::size_t end = err.find('\n', at);
    end = end == std::string::npos ? err.size() : end + 1;
    if (err.compare(at, warning.size(), warning) != 0) kept.append(err, at, end - at);
    at = end;
  }
  return kept;
}

}  // namespace kelvane::checks
