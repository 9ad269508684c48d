// One reach of culvert or channel between two ends, by a finite-volume
// Godunov-type scheme: cell averages of the wetted area A and the discharge Q,
// HLL fluxes between cells, the bed slope by hydrostatic reconstruction at
// every interface (water at rest stays at rest to the last bit), friction and
// local losses implicit in each cell. A closed section runs full through its
// slot at the given wave speed; within the pressurized part both waves take
// the larger speed (the Rusanov flux), which damps the oscillations behind
// pressurization fronts; at a front the front's own speed bounds the free
// side and the sub-step is kept short enough for the slot's small storage;
// between nearly full cells, while any cell runs full, the momentum flux
// damps differences of discharge at the pressure wave's speed. Air reaches
// a full cell from a free neighbour or an open end at the speed of a cavity
// under the soffit, less the water's velocity against it.
#pragma once

#include <functional>
#include <vector>

#include "freesurface/section.h"
#include "model/pump_event.h"

namespace kelvane::freesurface {

enum class FrictionLaw { Darcy, Manning };

struct Friction {
  FrictionLaw law = FrictionLaw::Darcy;
  double factor = 0;  // λ on the hydraulic diameter 4R, or Manning's n (s/m^(1/3))
};

// A local loss of `coefficient` velocity heads at `position` m from the
// upstream end, taken in the cell that holds it; it reverses with the flow.
struct PointLoss {
  double position = 0;     // m
  double coefficient = 0;  // velocity heads
};

enum class EndKind {
  Level,      // a water level held at `level` (a reservoir)
  Storage,    // a storage of `area` (or `areaTable`) whose level the reach fills or empties
  Discharge,  // a discharge through the end, `discharge`
};

// An end of the reach. Between a Level or Storage end and the first cell the
// head drops by `lossCoefficient`·V|V|/2g in the flow's direction.
struct ReachEnd {
  EndKind kind = EndKind::Level;
  double level = 0;            // m: the held level, or the storage's level at the start
  double lossCoefficient = 0;  // velocity heads
  double area = 0;             // m², a storage without a table
  std::vector<ForebayPoint> areaTable;
  // The discharge across the end's outer side, positive downstream, as the
  // mean over [t0, t1] s: the inflow into an upstream storage, the pumps'
  // draw from a downstream one, the flow through a Discharge end.
  std::function<double(double, double)> discharge;
};

struct ReachSetup {
  SectionShape section;
  double length = 0;            // m
  double invertUpstream = 0;    // m
  double invertDownstream = 0;  // m
  Friction friction;
  std::vector<PointLoss> losses;
  double waveSpeed = 1000;  // m/s, in the pressurized section
  int cells = 100;
  double courant = 0.9;    // of the fastest wave, for each sub-step
  double gravity = 9.8;    // m/s²
  double dryDepth = 1e-6;  // m: a shallower cell holds still water
  // The lowest pressure head below the soffit that the water holds (the
  // vapour limit less the atmosphere), m; a pressurized cell below it opens
  // into a cavity and runs free.
  double vapourHead = -10.0;
  // Whether a full cell may hold a sub-atmospheric head (the slot carried on
  // below the soffit); false: the plain slot, free below the soffit.
  bool subAtmospheric = true;
  // Where a full cell meets a free one, the longest sub-step lets no cell at
  // the front change its head by more than this, m (a free cell that the
  // step would fill past its soffit counts with the slot's width). Without
  // it the slot's tiny storage lets the cells at a front swing between the
  // slot's head and the free surface's from one sub-step to the next.
  double frontHeadStep = 1.0;
  // Limited slopes and Heun's rule where the flow runs free (second order);
  // false: the first-order scheme throughout.
  bool secondOrder = true;
  ReachEnd upstream;
  ReachEnd downstream;
};

// The values at one node of the run's grid.
struct NodeState {
  double level = 0;     // m, the water surface or the piezometric head
  double velocity = 0;  // m/s
  double depth = 0;     // m, the level above the invert
  // m², the wetted area the velocity is carried on: an end node's is its
  // end cell's, an inner node's the mean of the two cells it lies between,
  // so that velocity × area is the discharge the scheme conserves there.
  double area = 0;
  bool pressurized = false;
};

class ReachModel {
 public:
  explicit ReachModel(ReachSetup setup);

  const ReachSetup& Setup() const { return setup_; }
  const Section& CrossSection() const { return section_; }
  int Cells() const { return static_cast<int>(area_.size()); }
  double CellLength() const { return dx_; }  // m
  double Time() const { return time_; }      // s

  // Still water at `level` in every cell and storage (dry where the bed lies
  // above it); the upstream end's held level is left as given.
  void SetAtRest(double level);
  // Any state, cell by cell; the flags follow from the areas.
  void SetState(const std::vector<double>& area, const std::vector<double>& discharge);
  // The steady flow of the scheme itself: the cell states for which every
  // update vanishes, with the upstream level held and, at a downstream
  // storage, its level found so that the reach delivers `discharge` (at a
  // Discharge end the given discharge, at a Level end the one the levels
  // give). Started from the gradually varied flow profile and solved by
  // Newton's method. False when it does not converge.
  bool SetSteadyState(double discharge);

  // One sub-step of `dt` s; gives back the largest Courant number it ran at.
  double Step(double dt);
  // The longest stable sub-step now, s (infinite for still water).
  double StableStep() const;
  // Sub-steps through `duration` s, each at most StableStep(); gives back
  // their number.
  int Advance(double duration);

  double CellArea(int i) const { return area_[i]; }                 // m²
  double CellDischarge(int i) const { return discharge_[i]; }       // m³/s
  double CellDepth(int i) const;                                    // m
  double CellLevel(int i) const { return bed_[i] + CellDepth(i); }  // m
  double CellVelocity(int i) const;                                 // m/s
  double CellBed(int i) const { return bed_[i]; }                   // m
  bool CellPressurized(int i) const { return pressurized_[i] != 0; }
  double UpstreamLevel() const { return endLevel_[0]; }    // m
  double DownstreamLevel() const { return endLevel_[1]; }  // m
  double BedAt(double x) const;                            // m

  // The water in the cells, m³.
  double CulvertVolume() const;
  // The volume that has entered the reach and its storages from outside
  // since the state was set, m³ (through a Level end, a storage's outer side
  // or a Discharge end).
  double ExchangedVolume() const { return exchanged_; }
  // The lowest pressure head against the soffit of any pressurized cell so
  // far (m, 0 without one), and whether a cell reached the vapour limit.
  double LowestPressureHead() const { return lowestPressureHead_; }
  bool VapourLimitReached() const { return vapourReached_; }

  // The run's nodes: `reaches` + 1 nodes at equal spacing (the cells must
  // divide into the reaches). The end nodes take the end levels.
  std::vector<NodeState> Nodes(int reaches) const;

 private:
  // The state on one side of an interface.
  struct Side {
    double z = 0;    // m, the bed
    double eta = 0;  // m, the level
    double h = 0;    // m, the depth (below the bed only in a pressurized cell)
    double u = 0;    // m/s
    double gI = 0;   // m⁴/s², g times the pressure moment at h
    double c = 0;    // m/s, the wave speed of the cell itself
    bool p = false;
    // m, the level its water stands at once air reaches it: the level
    // itself, but for a pressurized cell below its full area, whose level is
    // a sub-atmospheric head, the open section's depth of its area.
    double openEta = 0;
  };
  // The fluxes through one interface: the mass flux, and the momentum flux
  // as the cell on either side sees it (the hydrostatic reconstruction's
  // pressure correction differs between the two).
  struct Face {
    double mass = 0;           // m³/s
    double leftMomentum = 0;   // m⁴/s²
    double rightMomentum = 0;  // m⁴/s²
  };
  Side CellSide(const std::vector<double>& area, const std::vector<double>& discharge,
                const std::vector<unsigned char>& flags, int i) const;
  Side EndSide(int end, const Side& cell, double level) const;
  // `symmetric`: both waves at the larger speed whatever the states;
  // `anyFull`: some cell of the state runs full (the sub-step is then
  // bounded by the pressure wave's Courant number).
  Face Flux(const Side& l, const Side& r, bool symmetric, bool anyFull) const;
  // A side's own g·I at a face whose flux saw it full (`seenFull`) or open.
  double OwnPressure(const Side& s, bool seenFull) const;
  // Interface fluxes of a state (faces[k] between cells k−1 and k) and each
  // cell's bed term (m⁴/s², over the cell).
  void Fluxes(const std::vector<double>& area, const std::vector<double>& discharge,
              const std::vector<unsigned char>& flags, const double levels[2], double externalUp,
              double externalDown, std::vector<Face>& faces, std::vector<double>& source) const;
  struct State {
    std::vector<double> area;
    std::vector<double> discharge;
    double levels[2] = {0, 0};
    double exchanged = 0;
  };
  // One Euler stage of `dt` from `from`.
  void Stage(const State& from, double dt, double externalUp, double externalDown, State& to) const;
  double LossRate(int i, double area, bool pressurized) const;
  double StorageArea(int end, double level) const;
  void UpdateFlags(double dt);
  double CavitySpeed(double gap) const;  // m/s
  // Whether air reaches the reach through an end (its level below the soffit).
  bool EndOpen(int end) const;
  // The longest sub-step that frontHeadStep allows (infinite without a front).
  double FrontStep() const;
  std::vector<double> SteadyResidual(const std::vector<double>& x, double discharge) const;
  std::vector<double> GuessSteady(double discharge) const;

  ReachSetup setup_;
  Section section_;
  double dx_ = 0;
  std::vector<double> bed_;
  std::vector<double> lossCoefficient_;  // velocity heads per cell
  std::vector<double> area_;
  std::vector<double> discharge_;
  std::vector<unsigned char> pressurized_;
  // The share of each full cell below its full area that air has crossed
  // from a free neighbour or an open end (see UpdateFlags).
  std::vector<double> airReach_;
  mutable std::vector<Face> stageFaces_;
  mutable std::vector<double> stageSource_;
  double endLevel_[2] = {0, 0};
  double time_ = 0;
  double exchanged_ = 0;
  double lowestPressureHead_ = 0;
  bool vapourReached_ = false;
};

}  // namespace kelvane::freesurface
