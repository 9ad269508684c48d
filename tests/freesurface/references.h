// What the free-surface model is held against: reaches built for the
// validation cases, exact solutions (Stoker's dam break, the bore's momentum
// jump, the simple wave), the gradually varied flow equation integrated on
// its own, and the rigid column. Plain and slow where that is clearer.
#pragma once

#include <cmath>
#include <functional>
#include <vector>

#include "freesurface/reach.h"

namespace kelvane::freesurface::testing {

constexpr double kG = 9.8;

// A rectangular open channel (side slope m) or a box culvert, horizontal
// unless inverts are given, frictionless unless a law is set.
inline ReachSetup Channel(double width, double length, int cells, double sideSlope = 0) {
  ReachSetup s;
  s.section = {SectionKind::Channel, width, 0, sideSlope};
  s.length = length;
  s.cells = cells;
  s.gravity = kG;
  return s;
}

inline ReachSetup Box(double width, double height, double length, int cells, double waveSpeed) {
  ReachSetup s;
  s.section = {SectionKind::Box, width, height, 0};
  s.length = length;
  s.cells = cells;
  s.waveSpeed = waveSpeed;
  s.gravity = kG;
  return s;
}

inline ReachEnd LevelEnd(double level, double loss = 0) {
  ReachEnd e;
  e.kind = EndKind::Level;
  e.level = level;
  e.lossCoefficient = loss;
  return e;
}

inline ReachEnd StorageEnd(double area, std::function<double(double)> discharge = {},
                           double loss = 0) {
  ReachEnd e;
  e.kind = EndKind::Storage;
  e.area = area;
  e.lossCoefficient = loss;
  if (discharge)
    e.discharge = [discharge](double t0, double t1) { return discharge(0.5 * (t0 + t1)); };
  return e;
}

// A discharge that is `before` until time 0 and `after` from then on.
inline ReachEnd SuddenDischargeEnd(double before, double after) {
  ReachEnd e;
  e.kind = EndKind::Discharge;
  e.discharge = [before, after](double t0, double) { return t0 < 0 ? before : after; };
  return e;
}

// The root of f on [lo, hi] (f changes sign there) by bisection.
inline double Bisect(const std::function<double(double)>& f, double lo, double hi) {
  double flo = f(lo);
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    const double fm = f(mid);
    if ((fm < 0) == (flo < 0)) {
      lo = mid;
      flo = fm;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

// Stoker's dam break on a wet bed (depths hl > hr, still water, flat and
// frictionless, rectangular): depth and velocity at x from the dam at t > 0.
struct Stoker {
  double hl, hr, hm, um, shock;
  Stoker(double left, double right) : hl(left), hr(right) {
    const double cl = std::sqrt(kG * hl);
    hm = Bisect(
        [&](double h) {
          const double rarefaction = 2 * (cl - std::sqrt(kG * h));
          const double jump = (h - hr) * std::sqrt(kG * (h + hr) / (2 * h * hr));
          return rarefaction - jump;
        },
        hr, hl);
    um = 2 * (cl - std::sqrt(kG * hm));
    shock = hm * um / (hm - hr);
  }
  void At(double x, double t, double& h, double& u) const {
    const double s = x / t;
    const double cl = std::sqrt(kG * hl);
    const double cm = std::sqrt(kG * hm);
    if (s < -cl) {
      h = hl;
      u = 0;
    } else if (s < um - cm) {
      h = (2 * cl - s) * (2 * cl - s) / (9 * kG);
      u = 2 * (cl + s) / 3;
    } else if (s < shock) {
      h = hm;
      u = um;
    } else {
      h = hr;
      u = 0;
    }
  }
};

// A bore moving upstream into depth h1 and velocity u1 (rectangular, per
// unit width) that leaves velocity u2 behind it: its depth and speed (< 0)
// from mass and momentum across the jump.
inline void BoreJump(double h1, double u1, double u2, double& h2, double& speed) {
  auto w = [&](double h) { return (u1 * h1 - u2 * h) / (h1 - h); };
  h2 = Bisect(
      [&](double h) {
        const double s = w(h);
        return h1 * (u1 - s) * (u1 - s) + kG * h1 * h1 / 2 - h * (u2 - s) * (u2 - s) -
               kG * h * h / 2;
      },
      h1 * (1 + 1e-9), 10 * h1);
  speed = w(h2);
}

// The gradually varied flow equation dh/dx = (S0 − Sf)/(1 − F²) for a
// trapezoid with Manning's n, integrated by the fourth-order Runge–Kutta
// rule in `substeps` pieces from (x0, h0) to x1 (either way).
inline double BackwaterDepth(double width, double sideSlope, double manning, double bedSlope,
                             double q, double x0, double h0, double x1, int substeps) {
  auto slope = [&](double h) {
    const double a = (width + sideSlope * h) * h;
    const double p = width + 2 * h * std::sqrt(1 + sideSlope * sideSlope);
    const double t = width + 2 * sideSlope * h;
    const double r = a / p;
    const double sf = manning * manning * q * q / (a * a * std::pow(r, 4.0 / 3.0));
    return (bedSlope - sf) / (1 - q * q * t / (kG * a * a * a));
  };
  const double dx = (x1 - x0) / substeps;
  double h = h0;
  for (int i = 0; i < substeps; ++i) {
    const double k1 = slope(h);
    const double k2 = slope(h + 0.5 * dx * k1);
    const double k3 = slope(h + 0.5 * dx * k2);
    const double k4 = slope(h + dx * k3);
    h += dx * (k1 + 2 * k2 + 2 * k3 + k4) / 6;
  }
  return h;
}

// The rigid column between a reservoir at z and a forebay of area af fed by
// a conduit of length l and area ac, total loss k·V|V|/2g, pumps q(t):
// (l/g)·dV/dt = z − zf − k·V|V|/2g, af·dzf/dt = ac·V − q(t). Integrated by
// the fourth-order Runge–Kutta rule; gives the forebay's first highest or
// lowest level after the change at t = 0.
inline double RigidColumnExtreme(double z, double zf0, double v0, double l, double ac, double af,
                                 double k, const std::function<double(double)>& q, bool highest) {
  auto dv = [&](double v, double zf) {
    return kG / l * (z - zf - k * v * std::fabs(v) / (2 * kG));
  };
  auto dz = [&](double t, double v) { return (ac * v - q(t)) / af; };
  double v = v0;
  double zf = zf0;
  double extreme = zf;
  const double dt = 0.005;
  for (double t = 0; t < 3000; t += dt) {
    const double k1v = dv(v, zf), k1z = dz(t, v);
    const double k2v = dv(v + 0.5 * dt * k1v, zf + 0.5 * dt * k1z),
                 k2z = dz(t + 0.5 * dt, v + 0.5 * dt * k1v);
    const double k3v = dv(v + 0.5 * dt * k2v, zf + 0.5 * dt * k2z),
                 k3z = dz(t + 0.5 * dt, v + 0.5 * dt * k2v);
    const double k4v = dv(v + dt * k3v, zf + dt * k3z), k4z = dz(t + dt, v + dt * k3v);
    v += dt * (k1v + 2 * k2v + 2 * k3v + k4v) / 6;
    zf += dt * (k1z + 2 * k2z + 2 * k3z + k4z) / 6;
    if (highest ? zf > extreme : zf < extreme) {
      extreme = zf;
    } else if (t > 1) {
      break;
    }
  }
  return extreme;
}

// Where the depth first crosses `level` searching from the downstream end
// upstream (m from the upstream end), by linear interpolation between cells.
inline double FrontPosition(const ReachModel& reach, double level) {
  for (int i = reach.Cells() - 1; i > 0; --i) {
    const double a = reach.CellDepth(i - 1) - level;
    const double b = reach.CellDepth(i) - level;
    if ((a < 0) != (b < 0)) return (i - 0.5 + a / (a - b)) * reach.CellLength();
  }
  return 0;
}

}  // namespace kelvane::freesurface::testing
