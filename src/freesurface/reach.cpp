#include "freesurface/reach.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "freesurface/band_solver.h"

namespace kelvane::freesurface {

namespace {

constexpr int kUp = 0;
constexpr int kDown = 1;
// The share of the full area above which a free cell counts as nearly full:
// its filling bounds the sub-step (FrontStep), and between two such cells
// the momentum flux damps at the pressure wave's speed (Flux). Without that
// damping two nearly full cells whose discharges differ close the air
// between them with a water hammer of a·ΔV/2g: at a front smeared over a
// few cells the cell ahead of the front cell fills first, the one left
// behind closes on two full neighbours, and each such closure sent a pulse
// of some 20 m behind the front. Where the damping acts some cell runs
// full, so the sub-step is bounded by a's Courant number (StableStep).
constexpr double kNearlyFull = 0.9;

}  // namespace

ReachModel::ReachModel(ReachSetup setup)
    : setup_(std::move(setup)), section_(setup_.section, setup_.waveSpeed, setup_.gravity) {
  if (setup_.cells < 1 || !(setup_.length > 0))
    throw std::invalid_argument("a reach needs a length and at least one cell");
  const int m = setup_.cells;
  dx_ = setup_.length / m;
  bed_.resize(m);
  lossCoefficient_.assign(m, 0.0);
  for (int i = 0; i < m; ++i) bed_[i] = BedAt((i + 0.5) * dx_);
  for (const PointLoss& loss : setup_.losses) {
    const int i = std::clamp(static_cast<int>(loss.position / dx_), 0, m - 1);
    lossCoefficient_[i] += loss.coefficient;
  }
  area_.assign(m, 0.0);
  discharge_.assign(m, 0.0);
  pressurized_.assign(m, 0);
  airReach_.assign(m, 0.0);
  endLevel_[kUp] = setup_.upstream.level;
  endLevel_[kDown] = setup_.downstream.level;
}

double ReachModel::BedAt(double x) const {
  return setup_.invertUpstream +
         (setup_.invertDownstream - setup_.invertUpstream) * (x / setup_.length);
}

double ReachModel::CellDepth(int i) const { return section_.Depth(area_[i], pressurized_[i] != 0); }

double ReachModel::CellVelocity(int i) const {
  return CellDepth(i) > setup_.dryDepth ? discharge_[i] / area_[i] : 0.0;
}

void ReachModel::SetAtRest(double level) {
  for (int i = 0; i < Cells(); ++i) {
    const double h = level - bed_[i];
    const bool full = section_.Closed() && h >= section_.Height();
    area_[i] = h > 0 ? section_.Area(h, full) : 0.0;
    discharge_[i] = 0;
    pressurized_[i] = full;
  }
  std::fill(airReach_.begin(), airReach_.end(), 0.0);
  for (int end : {kUp, kDown}) {
    const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
    endLevel_[end] = e.kind == EndKind::Storage ? level : e.level;
  }
  time_ = 0;
  exchanged_ = 0;
}

void ReachModel::SetState(const std::vector<double>& area, const std::vector<double>& discharge) {
  area_ = area;
  discharge_ = discharge;
  for (int i = 0; i < Cells(); ++i)
    pressurized_[i] = section_.Closed() && area_[i] >= section_.FullArea();
  std::fill(airReach_.begin(), airReach_.end(), 0.0);
  time_ = 0;
  exchanged_ = 0;
}

double ReachModel::CulvertVolume() const {
  double volume = 0;
  for (double a : area_) volume += a * dx_;
  return volume;
}

double ReachModel::StorageArea(int end, double level) const {
  const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
  return e.areaTable.empty() ? e.area : ForebayAreaAt(e.areaTable, level);
}

ReachModel::Side ReachModel::CellSide(const std::vector<double>& area,
                                      const std::vector<double>& discharge,
                                      const std::vector<unsigned char>& flags, int i) const {
  Side s;
  s.p = flags[i] != 0;
  s.z = bed_[i];
  s.h = section_.Depth(area[i], s.p);
  s.eta = s.z + s.h;
  s.openEta = s.p && area[i] < section_.FullArea() ? s.z + section_.Depth(area[i], false) : s.eta;
  s.u = (s.p || s.h > setup_.dryDepth) && area[i] > 0 ? discharge[i] / area[i] : 0.0;
  s.gI = setup_.gravity * section_.PressureMoment(s.h, s.p);
  s.c = section_.Celerity(area[i], s.p);
  return s;
}

// The state just outside a Level or Storage end: the level at the opening
// (the end's level less the loss in the flow's direction) reflected through
// the opening from the cell inside, so that the interface between the two
// stands at that level rather than half a cell away; the cell's velocity.
ReachModel::Side ReachModel::EndSide(int end, const Side& cell, double level) const {
  const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
  const double loss = e.lossCoefficient * cell.u * std::fabs(cell.u) / (2 * setup_.gravity);
  const double opening = end == kUp ? level - loss : level + loss;
  Side s;
  s.z = end == kUp ? setup_.invertUpstream : setup_.invertDownstream;
  // Reflected, unless the reflection falls below the opening's invert while
  // the end's own level stands above it (a cell far above the reservoir):
  // then the end's level itself, so that the reach still empties into it.
  const double reflected = 2 * opening - cell.eta;
  s.eta = reflected >= s.z ? reflected : std::max(opening, s.z);
  s.h = s.eta - s.z;
  // Outside a full cell the reflection stays in the slot, below the soffit
  // too: the interface then stands at the opening's level as a head. (Taken
  // as free water a hair below the soffit, it faced the full cell across
  // the jump to the open section's area, and the flux's term for that jump,
  // at the pressure wave's speed, drained the slot's small storage: the cell
  // fell metres below its soffit within two sub-steps and let air in.)
  s.p = section_.Closed() && (cell.p || s.h >= section_.Height());
  s.openEta = s.eta;
  s.u = cell.u;
  s.c = section_.Celerity(section_.Area(s.h, s.p), s.p);
  return s;
}

// A cell's own pressure at a face, g times its pressure moment: a full side
// seen there as open water (below its soffit, against a free side) takes it
// as open water too. With its slot's, a sub-atmospheric head, the cell would
// push against this face the less the more water it lost through it, and a
// full cell beside air that the air has not yet reached would drain itself
// to the vapour limit.
double ReachModel::OwnPressure(const Side& s, bool seenFull) const {
  if (!s.p || seenFull) return s.gI;
  return setup_.gravity * section_.PressureMoment(s.openEta - s.z, false);
}

ReachModel::Face ReachModel::Flux(const Side& l, const Side& r, bool symmetric,
                                  bool anyFull) const {
  const double g = setup_.gravity;
  // Hydrostatic reconstruction: both sides' levels over the higher bed. A
  // pressurized side keeps its piezometric head even below that bed.
  // Below the soffit a pressurized side stays so only against another
  // pressurized side: facing a free one, the interface is open to the air,
  // and the side's water stands at the open section's depth of its area.
  // (Its sub-atmospheric head instead, a metre for every slot width of
  // area it lacks, would show a cell a hair below full as one far below its
  // soffit, which the free side would fill with a swing of many metres.)
  const double zs = std::max(l.z, r.z);
  const double d = section_.Height();
  const bool pl = l.p && (r.p || l.eta - zs >= d);
  const bool pr = r.p && (l.p || r.eta - zs >= d);
  const double hl = pl ? l.eta - zs : std::max(0.0, (l.p ? l.openEta : l.eta) - zs);
  const double hr = pr ? r.eta - zs : std::max(0.0, (r.p ? r.openEta : r.eta) - zs);
  const double al = pl || hl > setup_.dryDepth ? section_.Area(hl, pl) : 0.0;
  const double ar = pr || hr > setup_.dryDepth ? section_.Area(hr, pr) : 0.0;
  const double ul = al > 0 ? l.u : 0.0;
  const double ur = ar > 0 ? r.u : 0.0;
  const double gIl = al > 0 ? g * section_.PressureMoment(hl, pl) : 0.0;
  const double gIr = ar > 0 ? g * section_.PressureMoment(hr, pr) : 0.0;
  const double ql = al * ul;
  const double qr = ar * ur;
  const double fl = ql * ul + gIl;
  const double fr = qr * ur + gIr;

  double mass = 0;
  double momentum = 0;
  const bool slotL = section_.Closed() && (pl || hl > d);
  const bool slotR = section_.Closed() && (pr || hr > d);
  if (al > 0 || ar > 0) {
    const double cl = section_.Celerity(al, pl);
    const double cr = section_.Celerity(ar, pr);
    double sl;
    double sr;
    if (symmetric || (slotL && slotR)) {
      // Rusanov within the pressurized part: the larger speed both ways.
      const double s = std::max(std::fabs(ul) + cl, std::fabs(ur) + cr);
      sl = -s;
      sr = s;
    } else if (slotL != slotR && al > 0 && ar > 0) {
      // A pressurization front: the pressure wave runs into the full side;
      // towards the free side the front's own speed, the one that its mass
      // balance gives, (Q_l − Q_r)/(A_l − A_r), or the free side's wave if
      // faster. No speed here depends on the full side's head: one that did
      // (the bore's speed from the momentum jump) would let the slot's
      // storage, T·Δx, swing the cell's head within a sub-step. Between two
      // nearly equal areas that speed is bounded by the pressure wave's.
      const double fastest = std::max(std::fabs(ul) + cl, std::fabs(ur) + cr);
      const double jump = al - ar;
      const double front = jump != 0 ? std::clamp((ql - qr) / jump, -fastest, fastest) : 0.0;
      if (slotL) {
        sl = std::min(ul - cl, ur - cr);
        sr = std::max({ur + cr, ul, front});
      } else {
        sl = std::min({ul - cl, ur, front});
        sr = std::max(ul + cl, ur + cr);
      }
    } else if (!(ar > 0)) {
      sl = ul - cl;
      sr = ul + 2 * cl;
    } else if (!(al > 0)) {
      sl = ur - 2 * cr;
      sr = ur + cr;
    } else {
      sl = std::min(ul - cl, ur - cr);
      sr = std::max(ul + cl, ur + cr);
    }
    if (sl >= 0) {
      mass = ql;
      momentum = fl;
    } else if (sr <= 0) {
      mass = qr;
      momentum = fr;
    } else {
      // HLL written as a correction of the left flux, so that two equal
      // states give that flux exactly (still water keeps every bit).
      const double span = sr - sl;
      mass = ql + sl * (sr * (ar - al) - (qr - ql)) / span;
      momentum = fl + sl * (sr * (qr - ql) - (fr - fl)) / span;
    }
  }
  // Two nearly full sides, not both in the slot, while the reach runs full
  // somewhere: the momentum flux at the pressure wave's speed both ways
  // (Rusanov's), the mass flux as above (see kNearlyFull).
  const double nearlyFull = kNearlyFull * section_.FullArea();
  if (anyFull && section_.Closed() && !(slotL && slotR) && al >= nearlyFull && ar >= nearlyFull) {
    momentum = 0.5 * (fl + fr) - 0.5 * setup_.waveSpeed * (qr - ql);
  }
  // The reconstruction's pressure correction on each side: the flux's own
  // pressure term first taken off (exactly, for still water), then the
  // cell's added.
  Face f;
  f.mass = mass;
  f.leftMomentum = (momentum - gIl) + OwnPressure(l, pl);
  f.rightMomentum = (momentum - gIr) + OwnPressure(r, pr);
  return f;
}

namespace {

// Van Albada's limited slope from the two one-sided differences: smooth
// wherever they agree in sign, so that the steady state is one smooth
// solution of the scheme (minmod's corners leave neighbouring ones).
double LimitedSlope(double a, double b) {
  const double product = a * b;
  if (!(product > 0)) return 0;
  return product * (a + b) / (a * a + b * b);
}

}  // namespace

void ReachModel::Fluxes(const std::vector<double>& area, const std::vector<double>& discharge,
                        const std::vector<unsigned char>& flags, const double levels[2],
                        double externalUp, double externalDown, std::vector<Face>& faces,
                        std::vector<double>& source) const {
  const int m = Cells();
  faces.resize(m + 1);
  source.assign(m, 0.0);
  std::vector<Side> centre(m);
  for (int i = 0; i < m; ++i) centre[i] = CellSide(area, discharge, flags, i);
  const bool anyFull =
      std::any_of(flags.begin(), flags.end(), [](unsigned char f) { return f != 0; });

  // Each cell's states at its two faces: the level, depth and velocity
  // reconstructed with limited slopes where the cell and both neighbours run
  // free (first order at the ends and wherever the slot is near), the bed
  // following from level less depth.
  std::vector<Side> west(centre);
  std::vector<Side> east(centre);
  if (setup_.secondOrder) {
    const double g = setup_.gravity;
    for (int i = 1; i + 1 < m; ++i) {
      const Side& a = centre[i - 1];
      const Side& b = centre[i];
      const Side& c = centre[i + 1];
      if (a.p || b.p || c.p) continue;
      if (section_.Closed() && std::max({a.h, b.h, c.h}) >= section_.Height()) continue;
      const double deta = 0.5 * LimitedSlope(b.eta - a.eta, c.eta - b.eta);
      const double dh = 0.5 * LimitedSlope(b.h - a.h, c.h - b.h);
      const double du = 0.5 * LimitedSlope(b.u - a.u, c.u - b.u);
      if (deta == 0 && dh == 0 && du == 0) continue;
      Side& w = west[i];
      Side& e = east[i];
      w.eta = b.eta - deta;
      e.eta = b.eta + deta;
      w.h = b.h - dh;
      e.h = b.h + dh;
      w.z = w.eta - w.h;
      e.z = e.eta - e.h;
      w.u = w.h > setup_.dryDepth ? b.u - du : 0.0;
      e.u = e.h > setup_.dryDepth ? b.u + du : 0.0;
      w.gI = g * section_.PressureMoment(w.h, false);
      e.gI = g * section_.PressureMoment(e.h, false);
      // The bed's pull over the cell with the mean area between the face
      // depths that makes still water exact: g·ΔI/Δh·(z_w − z_e).
      const double rise = e.h - w.h;
      const double mean = rise != 0 ? (e.gI - w.gI) / rise : g * section_.Area(b.h, false);
      source[i] = mean * (w.z - e.z);
    }
  }
  for (int k = 1; k < m; ++k) faces[k] = Flux(east[k - 1], west[k], false, anyFull);
  const Side& first = centre[0];
  const Side& left = centre[m - 1];
  const Side& last = left;
  // A Discharge end is a wall that lets `q` through: outside it the cell's
  // mirror image with the velocity that makes the mean discharge q, and the
  // symmetric (Rusanov) flux, whose mass flux is then q itself.
  auto mirror = [&](const Side& cell, double cellArea, double q) {
    Side s = cell;
    s.u = cellArea > 0 ? (2 * q - cell.u * cellArea) / cellArea : 0.0;
    return s;
  };
  faces[0] = setup_.upstream.kind == EndKind::Discharge
                 ? Flux(mirror(first, area[0], externalUp), first, true, anyFull)
                 : Flux(EndSide(kUp, first, levels[kUp]), first, false, anyFull);
  faces[m] = setup_.downstream.kind == EndKind::Discharge
                 ? Flux(last, mirror(last, area[m - 1], externalDown), true, anyFull)
                 : Flux(last, EndSide(kDown, last, levels[kDown]), false, anyFull);
}

// β of dQ/dt = −β·Q|Q| (1/m³): friction on the wetted hydraulic radius and
// the cell's local losses.
double ReachModel::LossRate(int i, double area, bool pressurized) const {
  if (!(area > 0)) return 0;
  const double depth = section_.Depth(area, pressurized);
  const double radius = area / section_.WettedPerimeter(depth, pressurized);
  const double f = setup_.friction.factor;
  const double friction = setup_.friction.law == FrictionLaw::Darcy
                              ? f / (8 * radius)
                              : setup_.gravity * f * f / std::pow(radius, 4.0 / 3.0);
  return (friction + lossCoefficient_[i] / (2 * dx_)) / area;
}

double ReachModel::StableStep() const {
  double fastest = 0;
  for (int i = 0; i < Cells(); ++i) {
    const bool p = pressurized_[i] != 0;
    fastest = std::max(fastest, std::fabs(CellVelocity(i)) + section_.Celerity(area_[i], p));
    // A full cell below its full area is slower than a, but the damping
    // between nearly full cells runs at a.
    if (p) fastest = std::max(fastest, setup_.waveSpeed);
  }
  // The states just outside the ends (a reservoir above the soffit of a
  // culvert that runs free inside sends its pressure wave in).
  const double levels[2] = {endLevel_[kUp], endLevel_[kDown]};
  for (int end : {kUp, kDown}) {
    const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
    if (e.kind == EndKind::Discharge) continue;
    const int cell = end == kUp ? 0 : Cells() - 1;
    const Side outside = EndSide(end, CellSide(area_, discharge_, pressurized_, cell), levels[end]);
    fastest = std::max(fastest, std::fabs(outside.u) + outside.c);
  }
  double step =
      fastest > 0 ? setup_.courant * dx_ / fastest : std::numeric_limits<double>::infinity();
  if (!section_.Closed()) return step;
  // Where a pressurized cell meets a free one over a higher bed, the
  // interface sees its water below the soffit: a level change of the cell
  // there moves water over the free width B, which the cell stores in the
  // slot's width T. The step then keeps the cell's level change below the
  // level difference that drives it.
  for (int k = 1; k < Cells(); ++k) {
    const int a = k - 1;
    if (pressurized_[a] == pressurized_[k]) continue;
    const int full = pressurized_[a] ? a : k;
    const int open = full == a ? k : a;
    // A full cell below its full area faces the free one with the open
    // section's depth of its area (see Flux): no slot at that interface.
    if (area_[full] < section_.FullArea()) continue;
    const double depth = CellLevel(full) - std::max(bed_[a], bed_[k]);
    if (!(depth < section_.Height())) continue;
    const double width = section_.TopWidth(depth, false);
    const double speed = std::fabs(CellVelocity(open)) + section_.Celerity(area_[open], false) +
                         std::fabs(CellVelocity(full)) +
                         section_.Celerity(section_.Area(std::max(depth, 0.0), false), false);
    if (speed > 0)
      step = std::min(step, setup_.courant * section_.SlotWidth() * dx_ / (width * speed));
  }
  return std::min(step, FrontStep());
}

double ReachModel::FrontStep() const {
  const int m = Cells();
  // The cells at a front, and any nearly full free cell: one that fills past
  // its soffit within a sub-step, away from a front, would put the whole
  // excess into the slot (a head of tens of metres from a few litres).
  auto front = [&](int i) {
    return (i > 0 && pressurized_[i - 1] != pressurized_[i]) ||
           (i + 1 < m && pressurized_[i + 1] != pressurized_[i]) ||
           (!pressurized_[i] && area_[i] >= kNearlyFull * section_.FullArea());
  };
  bool any = false;
  for (int i = 0; i < m && !any; ++i) any = front(i);
  if (!any) return std::numeric_limits<double>::infinity();
  // The fluxes of the present state (a Discharge end's flow taken as nil:
  // the rate only sizes the step).
  const double levels[2] = {endLevel_[kUp], endLevel_[kDown]};
  Fluxes(area_, discharge_, pressurized_, levels, 0.0, 0.0, stageFaces_, stageSource_);
  double step = std::numeric_limits<double>::infinity();
  for (int i = 0; i < m; ++i) {
    if (!front(i)) continue;
    const double inflow = stageFaces_[i].mass - stageFaces_[i + 1].mass;  // m³/s
    if (inflow == 0) continue;
    // A free cell fills its open section first and only what the step
    // brings beyond its soffit goes into the slot; one that empties is no
    // concern here.
    double room = 0;  // m³
    if (!CellPressurized(i)) {
      if (inflow < 0) continue;
      room = (section_.FullArea() - area_[i]) * dx_;
    }
    const double head = setup_.frontHeadStep * section_.SlotWidth() * dx_;
    step = std::min(step, (std::max(room, 0.0) + head) / std::fabs(inflow));
  }
  return step;
}

void ReachModel::Stage(const State& from, double dt, double externalUp, double externalDown,
                       State& to) const {
  const int m = Cells();
  std::vector<Face>& faces = stageFaces_;
  Fluxes(from.area, from.discharge, pressurized_, from.levels, externalUp, externalDown, faces,
         stageSource_);
  const double r = dt / dx_;
  to.area.resize(m);
  to.discharge.resize(m);
  for (int i = 0; i < m; ++i) {
    const double oldDischarge = from.discharge[i];
    double a = from.area[i] - r * (faces[i + 1].mass - faces[i].mass);
    const double q =
        oldDischarge - r * (faces[i + 1].leftMomentum - faces[i].rightMomentum - stageSource_[i]);
    if (a < 0) a = 0;  // rounding at a drying front only
    const bool p = pressurized_[i] != 0;
    to.area[i] = a;
    if (!p && section_.Depth(a, false) <= setup_.dryDepth) {
      to.discharge[i] = 0;
    } else {
      // Losses implicit in Q|Q| (with the old |Q|): a steady state of the
      // explicit terms is one of this update too, whatever the step.
      to.discharge[i] = q / (1 + dt * LossRate(i, a, p) * std::fabs(oldDischarge));
    }
  }
  // The storages' balances with the fluxes through their openings.
  to.levels[kUp] = from.levels[kUp];
  to.levels[kDown] = from.levels[kDown];
  if (setup_.upstream.kind == EndKind::Storage)
    to.levels[kUp] += dt * (externalUp - faces[0].mass) / StorageArea(kUp, from.levels[kUp]);
  if (setup_.downstream.kind == EndKind::Storage)
    to.levels[kDown] +=
        dt * (faces[m].mass - externalDown) / StorageArea(kDown, from.levels[kDown]);
  to.exchanged = dt * (setup_.upstream.kind == EndKind::Storage ? externalUp : faces[0].mass) -
                 dt * (setup_.downstream.kind == EndKind::Storage ? externalDown : faces[m].mass);
}

double ReachModel::Step(double dt) {
  const double t0 = time_;
  auto outer = [&](const ReachEnd& e) {
    return e.kind != EndKind::Level && e.discharge ? e.discharge(t0, t0 + dt) : 0.0;
  };
  const double externalUp = outer(setup_.upstream);
  const double externalDown = outer(setup_.downstream);

  State now;
  now.area = area_;
  now.discharge = discharge_;
  now.levels[kUp] = endLevel_[kUp];
  now.levels[kDown] = endLevel_[kDown];
  State first;
  Stage(now, dt, externalUp, externalDown, first);
  if (setup_.secondOrder) {
    // Heun's rule: a second Euler stage from the first, then the mean.
    State second;
    Stage(first, dt, externalUp, externalDown, second);
    for (int i = 0; i < Cells(); ++i) {
      first.area[i] = 0.5 * (now.area[i] + second.area[i]);
      first.discharge[i] = 0.5 * (now.discharge[i] + second.discharge[i]);
    }
    for (int end : {kUp, kDown}) first.levels[end] = 0.5 * (now.levels[end] + second.levels[end]);
    first.exchanged = 0.5 * (first.exchanged + second.exchanged);
  }
  area_ = std::move(first.area);
  discharge_ = std::move(first.discharge);
  endLevel_[kUp] = first.levels[kUp];
  endLevel_[kDown] = first.levels[kDown];
  exchanged_ += first.exchanged;
  time_ += dt;
  UpdateFlags(dt);

  double fastest = 0;
  for (int i = 0; i < Cells(); ++i)
    fastest = std::max(
        fastest, std::fabs(CellVelocity(i)) + section_.Celerity(area_[i], pressurized_[i] != 0));
  return fastest * dt / dx_;
}

// A cell turns pressurized once it holds the full area; it stays so below it
// (a sub-atmospheric head) until air reaches it from a free neighbour or an
// open end, or until its head falls to the vapour limit and a cavity opens.
// Air against the water runs in along the soffit as a cavity at its own
// speed: a cell below its full area beside such air opens only once the
// cavity has had the time to cross it, and only while it stays below full
// all that time.
void ReachModel::UpdateFlags(double dt) {
  if (!section_.Closed()) return;
  const int m = Cells();
  const std::vector<unsigned char> old = pressurized_;
  auto endFull = [&](int end) { return !EndOpen(end); };
  // The gap between the soffit and the water on the air's side of a cell.
  auto gap = [&](int j, int end) {
    if (j < 0 || j >= m) {
      const double invert = end == kUp ? setup_.invertUpstream : setup_.invertDownstream;
      return invert + section_.Height() - endLevel_[end];
    }
    return section_.Height() - section_.Depth(area_[j], false);
  };
  for (int i = 0; i < m; ++i) {
    bool p = area_[i] >= section_.FullArea();
    double reach = 0;
    if (!p && old[i] && setup_.subAtmospheric) {
      const bool leftFull = i == 0 ? endFull(kUp) : old[i - 1] != 0;
      const bool rightFull = i == m - 1 ? endFull(kDown) : old[i + 1] != 0;
      if (!(leftFull && rightFull)) {
        // Air that the water carries towards the cell reaches it at once.
        // Against the water it runs in as a cavity, slower by the water's
        // velocity, and not at all against an outflow faster than that.
        const double u = discharge_[i] / area_[i];
        if ((!leftFull && u > 0) || (!rightFull && u < 0)) {
          reach = 1;
        } else {
          double speed = 0;
          if (!leftFull) speed = std::max(speed, CavitySpeed(gap(i - 1, kUp)) + u);
          if (!rightFull) speed = std::max(speed, CavitySpeed(gap(i + 1, kDown)) - u);
          reach = airReach_[i] + dt * speed / dx_;
        }
      }
      p = reach < 1;
    }
    if (p) {
      // A head below the vapour limit within a sub-step is the cavity that
      // opens at that limit: the water's pressure goes no lower than it.
      const double head = section_.Depth(area_[i], true) - section_.Height();
      lowestPressureHead_ = std::min(lowestPressureHead_, std::max(head, setup_.vapourHead));
      if (head < setup_.vapourHead) {
        vapourReached_ = true;
        p = false;
      }
    }
    pressurized_[i] = p;
    airReach_[i] = p ? reach : 0.0;
  }
}

bool ReachModel::EndOpen(int end) const {
  const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
  if (e.kind == EndKind::Discharge) return false;  // a closed end lets no air in
  const double invert = end == kUp ? setup_.invertUpstream : setup_.invertDownstream;
  return endLevel_[end] - invert < section_.Height();
}

// The speed of an air cavity `gap` m deep that runs in under the soffit of a
// full conduit against still water (Benjamin's gravity current with its
// loss at the front): √(gD·h(2−h)(1−h)/(1+h)), h = gap/D, at most the
// loss-free cavity's ½√(gD) at h = ½. A thin layer of air is slow, √(2g·gap).
double ReachModel::CavitySpeed(double gap) const {
  const double d = section_.Height();
  const double h = std::clamp(gap / d, 0.0, 0.5);
  return std::sqrt(setup_.gravity * d * h * (2 - h) * (1 - h) / (1 + h));
}

int ReachModel::Advance(double duration) {
  int steps = 0;
  double left = duration;
  while (left > 0) {
    const double stable = StableStep();
    const double parts = std::isfinite(stable) ? std::ceil(left / stable) : 1.0;
    const double dt = parts > 1 ? left / parts : left;
    Step(dt);
    ++steps;
    if (parts <= 1) break;
    left -= dt;
  }
  return steps;
}

std::vector<NodeState> ReachModel::Nodes(int reaches) const {
  const int m = Cells();
  if (reaches < 1 || m % reaches != 0)
    throw std::invalid_argument("the cells do not divide into the reaches");
  const int per = m / reaches;
  std::vector<NodeState> nodes(reaches + 1);
  auto endNode = [&](int end, int cell) {
    const ReachEnd& e = end == kUp ? setup_.upstream : setup_.downstream;
    NodeState n;
    n.level = e.kind == EndKind::Discharge ? CellLevel(cell) : endLevel_[end];
    n.velocity = CellVelocity(cell);
    n.depth = n.level - (end == kUp ? setup_.invertUpstream : setup_.invertDownstream);
    n.area = area_[cell];
    n.pressurized = CellPressurized(cell);
    return n;
  };
  nodes.front() = endNode(kUp, 0);
  nodes.back() = endNode(kDown, m - 1);
  for (int k = 1; k < reaches; ++k) {
    const int a = k * per - 1;
    const int b = a + 1;
    NodeState& n = nodes[k];
    n.level = 0.5 * (CellLevel(a) + CellLevel(b));
    const double wet = area_[a] + area_[b];
    n.velocity = wet > 0 ? (discharge_[a] + discharge_[b]) / wet : 0.0;
    n.area = 0.5 * wet;
    n.depth = n.level - BedAt(k * per * dx_);
    n.pressurized = CellPressurized(a) && CellPressurized(b);
  }
  return nodes;
}

// The steady state's unknowns: A and Q of every cell, then the level of a
// downstream storage. Its equations: every cell's update, then the
// storage's inflow equal to the steady discharge.
std::vector<double> ReachModel::SteadyResidual(const std::vector<double>& x,
                                               double discharge) const {
  const int m = Cells();
  std::vector<double> area(m);
  std::vector<double> flow(m);
  std::vector<unsigned char> flags(m);
  for (int i = 0; i < m; ++i) {
    area[i] = x[2 * i];
    flow[i] = x[2 * i + 1];
    flags[i] = section_.Closed() && area[i] >= section_.FullArea();
  }
  const bool storage = setup_.downstream.kind == EndKind::Storage;
  const double levels[2] = {setup_.upstream.level, storage ? x[2 * m] : setup_.downstream.level};
  std::vector<Face> faces;
  std::vector<double> source;
  Fluxes(area, flow, flags, levels, discharge, discharge, faces, source);
  std::vector<double> r(x.size());
  for (int i = 0; i < m; ++i) {
    r[2 * i] = -(faces[i + 1].mass - faces[i].mass) / dx_;
    r[2 * i + 1] = -(faces[i + 1].leftMomentum - faces[i].rightMomentum - source[i]) / dx_ -
                   LossRate(i, area[i], flags[i] != 0) * flow[i] * std::fabs(flow[i]);
  }
  if (storage) r[2 * m] = faces[m].mass - discharge;
  return r;
}

// The gradually varied flow profile from the upstream end: the entrance depth
// from the held level less the entrance loss, then dh/dx = (S0 − Sf)/(1 − F²)
// from cell to cell (Heun's rule), each local loss taken where it stands.
std::vector<double> ReachModel::GuessSteady(double q) const {
  const int m = Cells();
  const double g = setup_.gravity;
  const bool storage = setup_.downstream.kind == EndKind::Storage;
  std::vector<double> x(2 * m + (storage ? 1 : 0));
  auto areaOf = [&](double h) {
    return section_.Area(std::max(h, setup_.dryDepth), section_.Closed() && h >= section_.Height());
  };
  auto slope = [&](double h) {
    const bool p = section_.Closed() && h >= section_.Height();
    const double a = areaOf(h);
    const double bed = -(setup_.invertDownstream - setup_.invertUpstream) / setup_.length;
    const double radius = a / section_.WettedPerimeter(h, p);
    const double f = setup_.friction.factor;
    const double perQ2 = setup_.friction.law == FrictionLaw::Darcy
                             ? f / (8 * g * radius * a * a)
                             : f * f / (std::pow(radius, 4.0 / 3.0) * a * a);
    const double froude2 = q * q * section_.TopWidth(h, p) / (g * a * a * a);
    return (bed - perQ2 * q * std::fabs(q)) / std::max(1 - froude2, 0.1);
  };
  const double head = setup_.upstream.level - setup_.invertUpstream;
  double h = head;
  for (int i = 0; i < 60 && h > 0; ++i) {
    const double a = areaOf(h);
    h = head - setup_.upstream.lossCoefficient * q * std::fabs(q) / (2 * g * a * a);
  }
  double xpos = 0;
  auto advance = [&](double to) {
    const double step = to - xpos;
    const double k1 = slope(h);
    const double k2 = slope(h + step * k1);
    h += 0.5 * step * (k1 + k2);
    xpos = to;
  };
  for (int i = 0; i < m; ++i) {
    advance((i + 0.5) * dx_);
    const double a = areaOf(h);
    x[2 * i] = a;
    x[2 * i + 1] = q;
    h -= lossCoefficient_[i] * q * std::fabs(q) / (2 * g * a * a);
  }
  if (storage) {
    advance(setup_.length);
    const double a = areaOf(h);
    x[2 * m] = setup_.invertDownstream + h -
               setup_.downstream.lossCoefficient * q * std::fabs(q) / (2 * g * a * a);
  }
  return x;
}

bool ReachModel::SetSteadyState(double discharge) {
  const int m = Cells();
  std::vector<double> x = GuessSteady(discharge);
  const int n = static_cast<int>(x.size());
  const double areaScale = std::max(x[0], 1e-3);
  const double flowScale = std::max(std::fabs(discharge), 1e-3 * areaScale);
  auto scale = [&](int j) {
    if (j == 2 * m) return 1.0;
    return j % 2 == 0 ? areaScale : flowScale;
  };
  auto norm = [](const std::vector<double>& r) {
    double s = 0;
    for (double v : r) s += v * v;
    return s;
  };

  // Each equation involves the unknowns of its own cell and two neighbours
  // on either side (the slopes), at most five places away: eleven groups of
  // columns whose differences do not overlap give the whole Jacobian.
  constexpr int kBand = 5;
  constexpr int kGroups = 2 * kBand + 1;
  std::vector<double> r = SteadyResidual(x, discharge);
  bool converged = false;
  for (int iteration = 0; iteration < 60 && !converged; ++iteration) {
    BandMatrix jacobian(n, kBand, kBand);
    for (int group = 0; group < kGroups; ++group) {
      std::vector<double> shifted = x;
      for (int j = group; j < n; j += kGroups)
        shifted[j] += 1e-7 * std::max(std::fabs(x[j]), scale(j));
      const std::vector<double> rs = SteadyResidual(shifted, discharge);
      for (int row = 0; row < n; ++row) {
        for (int j = std::max(0, row - kBand); j <= std::min(n - 1, row + kBand); ++j) {
          if (j % kGroups != group) continue;
          jacobian.At(row, j) = (rs[row] - r[row]) / (shifted[j] - x[j]);
        }
      }
    }
    std::vector<double> delta(n);
    for (int j = 0; j < n; ++j) delta[j] = -r[j];
    if (!jacobian.Solve(delta)) return false;

    // Halve the step until the residual falls (the first steps from a poor
    // guess), then take the full steps of the converging iteration.
    const double before = norm(r);
    double fraction = 1;
    std::vector<double> trial(n);
    std::vector<double> rt;
    for (int k = 0; k < 30; ++k) {
      for (int j = 0; j < n; ++j) trial[j] = x[j] + fraction * delta[j];
      rt = SteadyResidual(trial, discharge);
      if (norm(rt) <= before) break;
      fraction *= 0.5;
    }
    double largest = 0;
    for (int j = 0; j < n; ++j) largest = std::max(largest, std::fabs(trial[j] - x[j]) / scale(j));
    x = trial;
    r = rt;
    converged = largest < 1e-13;
  }

  for (int i = 0; i < m; ++i) {
    area_[i] = x[2 * i];
    discharge_[i] = x[2 * i + 1];
    pressurized_[i] = section_.Closed() && area_[i] >= section_.FullArea();
  }
  std::fill(airReach_.begin(), airReach_.end(), 0.0);
  endLevel_[kUp] = setup_.upstream.level;
  endLevel_[kDown] =
      setup_.downstream.kind == EndKind::Storage ? x[2 * m] : setup_.downstream.level;
  time_ = 0;
  exchanged_ = 0;
  return converged;
}

}  // namespace kelvane::freesurface
