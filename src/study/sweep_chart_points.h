// The study's chart gathered case by case: for each value of the second
// swept column, the forebay's highest and lowest level against the first
// column's value. Where more columns are swept, the cases that share those
// two values are drawn by their extremes (the highest of the highest, the
// lowest of the lowest).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "report/chart_data.h"
#include "study/study.h"

namespace kelvane {

class SweepChartPoints {
 public:
  // A case without a complete run adds nothing.
  void Add(const CaseResult& result);
  // The chart of the cases added: one curve per value of the second column,
  // its points by the first column's value as a box reads it, ascending;
  // the limits as horizontal lines. `event`, when not empty, names the pump
  // event and forebay table of every case in the title (ModelExtrasTitle).
  ChartData Chart(const StudyPlan& plan, const StudyLimits& limits,
                  const std::string& event = "") const;

 private:
  struct Extremes {
    float highest, lowest;  // m
  };
  std::map<std::pair<std::uint32_t, std::uint32_t>, Extremes> points_;  // (second, first)
};

}  // namespace kelvane
