// The surge solver, Qt-free: the input boxes and their reading rule
// (inputs.h), the error catalogue (errors.h), the run state (run_state.h)
// and Calculate (calculate.h).
#pragma once

#include "solver/calculate.h"
#include "solver/errors.h"
#include "solver/inputs.h"
#include "solver/run_state.h"
