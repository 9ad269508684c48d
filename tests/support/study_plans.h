// Study plans written as a user writes --sweep, for the in-process tests.
#pragma once

#include <initializer_list>

#include "study/study_plan.h"

namespace kelvane::test {

inline StudyPlan PlanOf(std::initializer_list<const char*> sweeps) {
  StudyPlan plan;
  for (const char* sweep : sweeps) plan.Add(ParseSweep(sweep));
  return plan;
}

}  // namespace kelvane::test
