// The surge solver, Qt-free: the input boxes and their reading rule
// (inputs.h), the error catalogue (errors.h), the run state (run_state.h)
// and Calculate (calculate.h).
#pragma once

#include "model/calculate.h"
#include "model/errors.h"
#include "model/inputs.h"
#include "model/run_state.h"
