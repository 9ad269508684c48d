// The cross-section of a reach: a box culvert, an open trapezoidal channel or
// a circular pipe, with its wetted geometry as a function of the depth. A
// closed section carries on above its soffit as a narrow slot whose width
// makes the gravity wave speed there the pressure wave speed a; a cell that
// stays pressurized while its area falls below the full area continues the
// slot below the soffit, which is a sub-atmospheric head.
#pragma once

namespace kelvane::freesurface {

enum class SectionKind { Box, Channel, Circle };

struct SectionShape {
  SectionKind kind = SectionKind::Box;
  double width = 0;      // m: the box's width, the channel's bottom width
  double height = 0;     // m: the box's height, the circle's diameter
  double sideSlope = 0;  // m horizontal per m vertical, channel only (0: rectangular)
};

class Section {
 public:
  Section(const SectionShape& shape, double waveSpeed, double gravity);

  const SectionShape& Shape() const { return shape_; }
  bool Closed() const { return shape_.kind != SectionKind::Channel; }
  double Height() const { return shape_.height; }  // m, the soffit above the invert
  double FullArea() const { return fullArea_; }    // m², closed sections
  double SlotWidth() const { return slotWidth_; }  // m, closed sections

  // `pressurized` only matters below the soffit of a closed section: there a
  // pressurized cell takes the slot's geometry (a head below the soffit), a
  // free one the open section's. Above the soffit both take the slot's.
  double Area(double depth, bool pressurized) const;             // m²
  double TopWidth(double depth, bool pressurized) const;         // m
  double PressureMoment(double depth, bool pressurized) const;   // m³, ∫(h − y)·b(y)dy
  double WettedPerimeter(double depth, bool pressurized) const;  // m
  double Depth(double area, bool pressurized) const;             // m, Area's inverse
  // The gravity wave speed √(gA/T), m/s; 0 for a dry section.
  double Celerity(double area, bool pressurized) const;

 private:
  bool InSlot(double depth, bool pressurized) const {
    return Closed() && (pressurized || depth > shape_.height);
  }
  double OpenArea(double depth) const;
  double OpenTopWidth(double depth) const;
  double OpenMoment(double depth) const;
  double OpenDepth(double area) const;

  SectionShape shape_;
  double gravity_ = 0;
  double fullArea_ = 0;
  double fullMoment_ = 0;
  double slotWidth_ = 0;
};

}  // namespace kelvane::freesurface
