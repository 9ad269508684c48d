// Draws a chart scene (charts/chart_scene.h) on a QPainter: the chart widget
// of the windows, the PNG images and any other paint device, antialiased and
// in the chart's CJK fonts.
#pragma once

#include <QByteArray>
#include <QPainter>
#include <string>

#include "charts/chart_scene.h"

namespace kelvane::ui {

// The scene in the painter's coordinates, from (0, 0) to its width and
// height; the background white.
void PaintChart(QPainter& painter, const ChartScene& scene);

// The scene as PNG bytes of its size. Throws RunError (stage Chart, `path`)
// when the image cannot be made.
QByteArray ChartPng(const ChartScene& scene, const std::string& path);

// `data` drawn into `width` × `height` pixels and saved at `path`: SVG for a
// name ending in ".svg", PNG otherwise, through the write-then-rename.
// Throws RunError.
void SaveChartImage(const ChartData& data, int width, int height, const std::string& path);

}  // namespace kelvane::ui
