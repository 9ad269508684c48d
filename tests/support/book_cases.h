// Three operating cases of the default station for the calculation book's
// tests: the design reservoir level and a sudden stop (the base case), the
// highest level and a sudden stop, the design level and a 120 s ramped stop
// into a forebay of 3000 m², with design data
// whose highest-level check fails for the sudden stops; each run reaches its
// first extremes, so that every verdict is determinate.
#pragma once

#include <deque>
#include <string>

#include "report/calculation_document.h"

namespace kelvane::test {

struct BookCases {
  // Each case and its run, where its ReportInput points.
  std::deque<PreparedCase> cases;
  std::deque<SurgeRun> runs;
  BookInput book;
};

inline DesignTexts BookDesign() {
  DesignTexts design;
  design[DesignId::ForebayWallTop] = "-2.4";
  design[DesignId::ForebayFreeboard] = "0.5";
  design[DesignId::PumpMinLevel] = "-5.5";
  // The soffit below every head of the three runs: the culvert stays full.
  design[DesignId::CulvertInvertUpstream] = "-8.2";
  design[DesignId::CulvertInvertDownstream] = "-9.3";
  design[DesignId::CulvertHeight] = "3";
  return design;
}

inline BookCases ThreeBookCases() {
  struct Case {
    const char* name;
    const char* differences;
    const char* reservoirLevel;
    const char* forebayArea;
    double rampTime;  // s
  };
  const Case cases[] = {
      {"设计库水位事故停泵", "", "-4.34", "1287.414", 0},
      {"最高库水位事故停泵", "库水位 -3.5 m", "-3.5", "1287.414", 0},
      {"设计库水位正常停机", "停机历时 120 s，前池面积 3000 m²", "-4.34", "3000", 120}};
  BookCases out;
  out.book.project.name = "某泵站工程";
  out.book.project.stage = "初步设计";
  out.book.project.number = "JS-2026-017";
  out.book.project.calculatedBy = "张三";
  out.book.project.checkedBy = "李四";
  out.book.project.reviewedBy = "王五";
  out.book.project.approvedBy = "赵六";
  out.book.date = "2026-01-31";
  for (const Case& c : cases) {
    BookCase& bookCase = out.book.cases.emplace_back();
    bookCase.name = c.name;
    bookCase.differences = c.differences;
    ReportInput& input = bookCase.input;
    kelvane::Case typed;
    typed.texts[InputId::ReservoirLevel] = c.reservoirLevel;
    typed.texts[InputId::ForebayArea] = c.forebayArea;
    // Long enough to reach the first highest and lowest levels of each case.
    typed.texts[InputId::StepCount] = "6000";
    typed.design = BookDesign();
    input.prepared = &out.cases.emplace_back(PrepareCase(typed));
    CalculateOptions options;
    options.extras.pump.rampTime = c.rampTime;
    SurgeRun& run = out.runs.emplace_back();
    input.outcome = Calculate(typed.texts, run, options);
    input.run = &run;
    input.summary = SummarizeRun(run, input.outcome);
  }
  return out;
}

}  // namespace kelvane::test
