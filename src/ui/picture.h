// The plot picture: a retained drawing on an image, with a user coordinate
// system set by its two corners. Used by the plot window and by SavePlotPng,
// so the window and the PNG are drawn by the same code.
#pragma once

#include <QImage>

#include "model/model.h"
#include "ui/twips.h"

namespace kelvane::ui {

class PlotPicture {
 public:
  static constexpr int kWidth = Px(9675);   // px
  static constexpr int kHeight = Px(4455);  // px

  // A fresh picture: all background, coordinate system = pixels.
  PlotPicture();

  // Sets the user coordinate system by the upper-left and lower-right
  // corners. A zero or non-finite extent throws RunError.
  void Scale(float left, float top, float right, float bottom);
  // A one-pixel line in the foreground colour, both ends included, cut at the
  // picture's edges.
  void Line(float x1, float y1, float x2, float y2);
  // One pixel at a user point; a point outside the picture draws nothing.
  void DrawPoint(float x, float y);
  // Wipes the picture to its background colour (the scale stays).
  void Clear();
  // The picture's outer height in twips (no border).
  int OuterHeightTwips() const { return image_.height() * kTwipsPerPixel; }

  const QImage& Image() const { return image_; }

  static QRgb Background() { return qRgb(255, 255, 255); }
  static QRgb Foreground() { return qRgb(0, 0, 0); }

  // User x, y to continuous pixel coordinates. The pixel whose cell holds a
  // point is (floor(px), floor(py)): left and top edges inclusive, right
  // and bottom exclusive.
  double PixelX(double x) const { return (x - left_) * image_.width() / width_; }
  double PixelY(double y) const { return (y - top_) * image_.height() / height_; }

 private:
  void SetPixel(int px, int py);

  QImage image_;
  float left_ = 0;
  float top_ = 0;
  float width_ = kWidth;
  float height_ = kHeight;
};

// Steps 2 to 5 of the plot command: the coordinate system from the run, the
// reference line at the initial forebay level, the line at time 0, and one dot
// per step for the forebay node. Draws over what the picture holds. Throws
// RunError (a floating-point fault in the coordinate system, a subscript).
void DrawForebayPlot(PlotPicture& picture, const SurgeRun& run);

}  // namespace kelvane::ui
