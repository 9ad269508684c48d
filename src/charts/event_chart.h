// The curves of the pump event and the forebay table as charts, Qt-free: the
// previews of the window's 工况 dialogs draw them as the run would use them.
#pragma once

#include <optional>
#include <span>

#include "charts/chart_data.h"
#include "model/pump_event.h"

namespace kelvane {

// The pump discharge Q(t) of `event` from time 0 (the first march step) to
// `until` s, or on to the end of the ramp or the last point when later, led
// in by the steady discharge `steady` (Q0) over a twentieth of that before
// time 0: the sudden change as a jump at time 0, a
// ramp at 100 equal intervals, a schedule (or a unit sequence's) as its
// points with the steady discharge before the first (a jump as two points at
// one time) and its last value after the last.
ChartData PumpDischargeChart(const PumpEvent& event, double steady, float final, double until);

// The level–area table as a line through its points (markers), with the
// stability limit of the forebay update as a limit when known; a note when
// the table is empty.
ChartData ForebayAreaChart(std::span<const ForebayPoint> table,
                           std::optional<double> stabilityLimit);

}  // namespace kelvane
