#include "freesurface/section.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane::freesurface {

namespace {

constexpr double kPi = std::numbers::pi;

// The central angle of a circular segment of depth h in a pipe of diameter d.
double SegmentAngle(double depth, double diameter) {
  const double c = std::clamp(1 - 2 * depth / diameter, -1.0, 1.0);
  return 2 * std::acos(c);
}

// The angle whose segment has the area `area`: θ − sin θ = 8A/d², by Newton
// steps kept inside a shrinking bracket.
double AngleOfArea(double area, double diameter) {
  const double target = 8 * area / (diameter * diameter);
  double lo = 0;
  double hi = 2 * kPi;
  double theta = std::cbrt(6 * target);  // θ − sin θ ≈ θ³/6 for a shallow segment
  if (!(theta < hi)) theta = kPi;
  for (int i = 0; i < 100; ++i) {
    const double f = theta - std::sin(theta) - target;
    if (f > 0) {
      hi = theta;
    } else {
      lo = theta;
    }
    const double slope = 1 - std::cos(theta);
    double next = slope > 0 ? theta - f / slope : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (next == theta) break;
    theta = next;
    if (hi - lo < 1e-15) break;
  }
  return theta;
}

}  // namespace

Section::Section(const SectionShape& shape, double waveSpeed, double gravity)
    : shape_(shape), gravity_(gravity) {
  if (Closed()) {
    fullArea_ = OpenArea(shape_.height);
    fullMoment_ = OpenMoment(shape_.height);
    // Gravity waves in the slot travel at √(g·A_full/T): T gives a.
    slotWidth_ = gravity * fullArea_ / (waveSpeed * waveSpeed);
  }
}

double Section::OpenArea(double h) const {
  const double b = shape_.width;
  switch (shape_.kind) {
    case SectionKind::Box:
      return b * h;
    case SectionKind::Channel:
      return (b + shape_.sideSlope * h) * h;
    case SectionKind::Circle: {
      const double d = shape_.height;
      const double theta = SegmentAngle(h, d);
      return d * d / 8 * (theta - std::sin(theta));
    }
  }
  return 0;
}

double Section::OpenTopWidth(double h) const {
  switch (shape_.kind) {
    case SectionKind::Box:
      return shape_.width;
    case SectionKind::Channel:
      return shape_.width + 2 * shape_.sideSlope * h;
    case SectionKind::Circle:
      // Never narrower than the slot: the width closes to nothing at the
      // crown, where the wave speed would grow without bound.
      return std::max(shape_.height * std::sin(SegmentAngle(h, shape_.height) / 2), slotWidth_);
  }
  return 0;
}

double Section::OpenMoment(double h) const {
  const double b = shape_.width;
  switch (shape_.kind) {
    case SectionKind::Box:
      return b * h * h / 2;
    case SectionKind::Channel:
      return b * h * h / 2 + shape_.sideSlope * h * h * h / 3;
    case SectionKind::Circle: {
      const double d = shape_.height;
      const double half = SegmentAngle(h, d) / 2;
      const double s = std::sin(half);
      return d * d * d / 24 * (3 * s - s * s * s - 3 * half * std::cos(half));
    }
  }
  return 0;
}

double Section::OpenDepth(double area) const {
  const double b = shape_.width;
  switch (shape_.kind) {
    case SectionKind::Box:
      return area / b;
    case SectionKind::Channel: {
      const double m = shape_.sideSlope;
      if (m == 0) return area / b;
      // The root of m·h² + b·h − A = 0, written without cancellation.
      return 2 * area / (b + std::sqrt(b * b + 4 * m * area));
    }
    case SectionKind::Circle: {
      const double d = shape_.height;
      return d / 2 * (1 - std::cos(AngleOfArea(area, d) / 2));
    }
  }
  return 0;
}

double Section::Area(double depth, bool pressurized) const {
  if (InSlot(depth, pressurized)) return fullArea_ + slotWidth_ * (depth - shape_.height);
  return OpenArea(std::max(depth, 0.0));
}

double Section::TopWidth(double depth, bool pressurized) const {
  if (InSlot(depth, pressurized)) return slotWidth_;
  return OpenTopWidth(std::max(depth, 0.0));
}

double Section::PressureMoment(double depth, bool pressurized) const {
  if (InSlot(depth, pressurized)) {
    const double over = depth - shape_.height;
    return fullMoment_ + fullArea_ * over + slotWidth_ * over * over / 2;
  }
  return OpenMoment(std::max(depth, 0.0));
}

double Section::WettedPerimeter(double depth, bool pressurized) const {
  const double b = shape_.width;
  const double h = InSlot(depth, pressurized) ? shape_.height : std::max(depth, 0.0);
  switch (shape_.kind) {
    case SectionKind::Box:
      return InSlot(depth, pressurized) ? 2 * (b + shape_.height) : b + 2 * h;
    case SectionKind::Channel:
      return b + 2 * h * std::sqrt(1 + shape_.sideSlope * shape_.sideSlope);
    case SectionKind::Circle:
      return shape_.height * SegmentAngle(h, shape_.height) / 2;
  }
  return 0;
}

double Section::Depth(double area, bool pressurized) const {
  if (Closed() && (pressurized || area > fullArea_))
    return shape_.height + (area - fullArea_) / slotWidth_;
  return OpenDepth(std::max(area, 0.0));
}

double Section::Celerity(double area, bool pressurized) const {
  if (!(area > 0)) return 0;
  return std::sqrt(gravity_ * area / TopWidth(Depth(area, pressurized), pressurized));
}

}  // namespace kelvane::freesurface
