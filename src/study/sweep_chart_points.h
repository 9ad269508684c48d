// The study's chart gathered case by case: for each value of the second
// swept column, the forebay's highest and lowest level against the first
// column's value. Where more columns are swept, the cases that share those
// two values are drawn by their extremes (the highest of the highest, the
// lowest of the lowest). Where the second column has more values than there
// are line colours, its curves are drawn as one envelope: per value of the
// first column the highest and the lowest level of every case. The memory is
// a pair of levels per value of the first column and curve, whatever the
// number of cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "study/study.h"

namespace kelvane {

class SweepChartPoints {
 public:
  explicit SweepChartPoints(const StudyPlan& plan);
  // A case without a complete run adds nothing.
  void Add(const CaseResult& result);
  // The chart of the cases added: one curve per value of the second column
  // (or the envelope), its points by the first column's value as a box reads
  // it, ascending; the limits as horizontal lines; a band over each value of
  // the first column where some case's verdict on the forebay's levels is
  // undetermined or invalid (its levels are not the extremes that decide
  // it). `event`, when not empty,
  // names the pump event and forebay table of every case in the title
  // (ModelExtrasTitle).
  ChartData Chart(const StudyPlan& plan, const StudyLimits& limits,
                  const std::string& event = "") const;

  // The most curves drawn one by one: one colour each, two legend entries.
  static constexpr std::size_t kMaxCurves = 10;
  bool Envelope() const { return envelope_; }

 private:
  struct Extremes {
    float highest, lowest;  // m
    bool seen = false;
    bool undecided = false;  // some case's is not ForebayExtremesPoint::decided
  };
  std::size_t firstValues_;
  bool envelope_;
  // The bands of the values where some case is undecided, onto `chart`;
  // `xs`: each value of the first column as a box reads it.
  void UndecidedSpans(const std::vector<double>& xs, ChartData& chart) const;
  // Per curve (a value of the second column, or the envelope), per value of
  // the first column; a curve's points are allocated when it is first met.
  std::vector<std::vector<Extremes>> curves_;
};

}  // namespace kelvane
