#include "ui/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace kelvane::ui {

namespace {

// Cuts the segment (x0,y0)-(x1,y1) to the closed box [0,w] x [0,h]
// (Liang-Barsky). False when nothing of it lies in the box.
bool ClipToBox(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  double t0 = 0;
  double t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0, w - x0, y0, h - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double sx = x0;
  const double sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

[[noreturn]] void ThrowPlotError(ErrorCode code, Term term) {
  ErrorLocation at;
  at.stage = Stage::ForebayLevelLine;
  at.term = term;
  throw RunError(code, at);
}

float CheckedSingle(double value, Term term) {
  const float single = static_cast<float>(value);
  if (!std::isfinite(single)) ThrowPlotError(ErrorCode::Overflow, term);
  return single;
}

}  // namespace

PlotPicture::PlotPicture() : image_(kWidth, kHeight, QImage::Format_RGB32) {
  image_.fill(Background());
}

void PlotPicture::Scale(float left, float top, float right, float bottom) {
  const float width = CheckedSingle(static_cast<double>(right) - left, Term::TimeSpan);
  const float height = CheckedSingle(static_cast<double>(bottom) - top, Term::LevelSpan);
  if (!std::isfinite(left) || !std::isfinite(top))
    ThrowPlotError(ErrorCode::Overflow, Term::SpanOrigin);
  // The mapping divides by the extent: an empty one cannot be drawn in.
  if (width == 0) ThrowPlotError(ErrorCode::DivisionByZero, Term::TimeSpan);
  if (height == 0) ThrowPlotError(ErrorCode::DivisionByZero, Term::LevelSpan);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void PlotPicture::SetPixel(int px, int py) {
  reinterpret_cast<QRgb*>(image_.scanLine(py))[px] = Foreground();
}

void PlotPicture::DrawPoint(float x, float y) {
  const double px = PixelX(x);
  const double py = PixelY(y);
  if (!(px >= 0 && px < image_.width() && py >= 0 && py < image_.height())) return;
  SetPixel(static_cast<int>(px), static_cast<int>(py));
}

void PlotPicture::Line(float x1, float y1, float x2, float y2) {
  const int w = image_.width();
  const int h = image_.height();
  double ax = PixelX(x1), ay = PixelY(y1), bx = PixelX(x2), by = PixelY(y2);
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return;
  if (!ClipToBox(ax, ay, bx, by, w, h)) return;
  // The right and bottom edges belong to no pixel: a segment lying on them
  // draws nothing; an end that reaches them lands in the last column or row.
  if ((ax >= w && bx >= w) || (ay >= h && by >= h)) return;
  int cx = std::min(static_cast<int>(ax), w - 1);
  int cy = std::min(static_cast<int>(ay), h - 1);
  const int ex = std::min(static_cast<int>(bx), w - 1);
  const int ey = std::min(static_cast<int>(by), h - 1);

  // Bresenham from cell to cell, both ends included.
  const int dx = std::abs(ex - cx);
  const int dy = -std::abs(ey - cy);
  const int sx = cx < ex ? 1 : -1;
  const int sy = cy < ey ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    SetPixel(cx, cy);
    if (cx == ex && cy == ey) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      cx += sx;
    }
    if (e2 <= dx) {
      err += dx;
      cy += sy;
    }
  }
}

void PlotPicture::Clear() { image_.fill(Background()); }

void DrawForebayPlot(PlotPicture& picture, const SurgeRun& run) {
  const int forebay = run.SegmentCount() + 1;
  const int steps = run.StepCount();
  const float h0 = run.Head(forebay, 1);
  const float lastTime = run.StepTime(steps);

  // Time from 0 to T + 1 across, level H0 + 3 at the top down to H0 - 3 at
  // the bottom; the three bounds are singles.
  const float top = CheckedSingle(h0 + 3.0f, Term::LevelSpan);
  const float bottom = CheckedSingle(h0 - 3.0f, Term::LevelSpan);
  const float right = CheckedSingle(lastTime + 1.0f, Term::TimeSpan);
  picture.Scale(0.0f, top, right, bottom);

  // Reference line at the initial forebay level; its right end is the step
  // count taken as a time, so it may run past the right edge.
  picture.Line(0.0f, h0, static_cast<float>(steps), h0);

  // The line at time 0 from half the picture's height in twips above zero
  // to half below, read as levels: it spans the picture's whole height.
  const double outer = picture.OuterHeightTwips();
  const float upper = CheckedSingle(0.5 * outer, Term::LevelSpan);
  const float lower = CheckedSingle(-0.5 * outer, Term::LevelSpan);
  picture.Line(0.0f, upper, 0.0f, lower);

  for (int step = 1; step <= steps; ++step)
    picture.DrawPoint(run.StepTime(step), run.Head(forebay, step));
}

}  // namespace kelvane::ui
