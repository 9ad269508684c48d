// The batch mode's design study: the run that streams the study's rows and
// prints its closing report.
#pragma once

#include "batch_options.h"
#include "image_outputs.h"
#include "study/study.h"

namespace kelvane {

// Runs the study: the rows to --sweep-csv as they come, in case order, a
// progress line on a terminal, the input warnings of the cases, then the
// closing report to --summary or standard error. 0 when the study ran to its
// end and every output was written (cases that fail are rows, counted in
// the report); 1 when an output could not be written; 2 when --strict finds
// a warning on some case's texts (no case runs).
int RunStudyCommand(const BatchOptions& options, const Images& images);

}  // namespace kelvane
