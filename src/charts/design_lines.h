// The design data drawn on the charts: along the culvert its invert, soffit
// and limits with the spans where the head envelope breaks them, against
// time the forebay's limits. Qt-free.
#pragma once

#include <vector>

#include "charts/chart_data.h"
#include "evaluation/design_checks.h"

namespace kelvane {

// The design data drawn with the charts. Along the culvert (x the distance
// from the reservoir, m; one point per node of `reaches`): the invert and the
// soffit, the vapour limit and, when given, the design pressure limit, each
// a line of its own (limits dashed). Empty without the culvert's invert and
// height.
std::vector<ChartLine> CulvertDesignLines(const DesignData& data, int reaches,
                                          const RunGeometry& geometry);
// Where along the culvert the head envelope breaks a limit: for each check
// along the culvert whose data is given, the spans of its failing nodes
// (CheckRow::failingNodes), each reaching to where the envelope, linear
// between the nodes, crosses the limit (to the culvert's end at an end
// node). Named "不满足：箱涵满流" and so on.
std::vector<ChartSpan> FailingSpans(const DesignData& data, const RunSummary& summary,
                                    const RunGeometry& geometry);
// The head envelope chart (EnvelopeChart) with the design data drawn on it:
// CulvertDesignLines and FailingSpans. Nothing is added without the
// culvert's invert and height.
void AddCulvertDesign(ChartData& chart, const DesignData& data, const RunSummary& summary,
                      const RunGeometry& geometry);
// Against time: the forebay's highest allowed and lowest level as limits.
std::vector<ChartLimit> ForebayDesignLimits(const DesignData& data);

}  // namespace kelvane
