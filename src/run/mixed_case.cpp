#include "run/mixed_case.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "format/number_format.h"
#include "freesurface/section.h"
#include "model/balanced_march.h"
#include "model/errors.h"
#include "model/run_editor.h"
#include "texts/design_data.h"

namespace kelvane {
namespace {

using freesurface::FrictionLaw;
using freesurface::Section;
using freesurface::SectionKind;
using freesurface::SectionShape;

constexpr double kGravity = 9.8;  // m/s², the march's

// The design item's value, or none.
std::optional<double> Item(const PreparedCase& prepared, DesignId id) {
  return prepared.design[id];
}

SectionShape ShapeOf(const PreparedCase& prepared) {
  SectionShape shape;
  shape.width = Item(prepared, DesignId::CulvertWidth).value_or(0);
  if (prepared.extras.section == CulvertSection::Channel) {
    shape.kind = SectionKind::Channel;
    shape.sideSlope = Item(prepared, DesignId::ChannelSideSlope).value_or(0);
  } else {
    shape.kind = SectionKind::Box;
    shape.height = Item(prepared, DesignId::CulvertHeight).value_or(0);
  }
  return shape;
}

// The wetted section the intake loss and the inputs' area are measured on: a
// box full, a channel at the reservoir level over its upstream invert (none
// when that leaves it dry).
struct ReferenceSection {
  double area = 0;    // m²
  double radius = 0;  // m, hydraulic radius
  double depth = 0;   // m, a channel's
};
std::optional<ReferenceSection> Reference(const PreparedCase& prepared, const Section& section,
                                          double reservoirLevel) {
  ReferenceSection r;
  if (section.Closed()) {
    r.depth = section.Height();
    r.area = section.FullArea();
    r.radius = r.area / section.WettedPerimeter(section.Height(), true);
  } else {
    r.depth = reservoirLevel - Item(prepared, DesignId::CulvertInvertUpstream).value_or(0);
    if (!(r.depth > 0)) return std::nullopt;
    r.area = section.Area(r.depth, false);
    r.radius = r.area / section.WettedPerimeter(r.depth, false);
  }
  if (!(r.area > 0) || !(r.radius > 0)) return std::nullopt;
  return r;
}

// The friction of one velocity head over a metre of the reference section.
double FrictionPerVelocityHead(const freesurface::Friction& friction, double radius) {
  if (friction.law == FrictionLaw::Manning)
    return 2 * kGravity * friction.factor * friction.factor / std::cbrt(std::pow(radius, 4));
  return friction.factor / (4 * radius);
}

std::string FixedDigits(double value, int decimals) {
  return Fixed(value, decimals, NegativeZero::Drop);
}
std::string Percent(double value) { return FixedDigits(value * 100, 1) + " %"; }

}  // namespace

std::vector<std::string> MixedGeometryMissing(const PreparedCase& prepared) {
  std::vector<std::string> missing;
  const CulvertSection section = prepared.extras.section;
  if (section == CulvertSection::None) missing.emplace_back("section");
  const auto need = [&](DesignId id) {
    if (!Item(prepared, id)) missing.emplace_back(Field(id).option);
  };
  need(DesignId::CulvertWidth);
  if (section != CulvertSection::Channel) need(DesignId::CulvertHeight);
  need(DesignId::CulvertInvertUpstream);
  need(DesignId::CulvertInvertDownstream);
  return missing;
}

std::string MixedGeometryMissingText(const std::vector<std::string>& options) {
  std::string text;
  for (const std::string& option : options) {
    std::string caption = "断面形式";
    for (const DesignField& field : DesignFields())
      if (option == field.option) caption = field.caption;
    text += text.empty() ? "--" : "、--";
    text += option;
    text += "（";
    text += caption;
    text += "）";
  }
  return text;
}

std::vector<std::string> MixedSectionWarnings(const PreparedCase& prepared) {
  std::vector<std::string> lines;
  if (!MixedGeometryMissing(prepared).empty()) return lines;
  const InputNumbers& boxes = prepared.numbers;
  const double area = boxes[InputId::CulvertArea];
  const double radius = boxes[InputId::HydraulicRadius];
  const double waveSpeed = boxes[InputId::WaveSpeed];
  const double level = boxes[InputId::ReservoirLevel];
  const Section section(ShapeOf(prepared), waveSpeed > 0 ? waveSpeed : 1000, kGravity);
  const std::optional<ReferenceSection> r = Reference(prepared, section, level);
  if (!r) return lines;
  const std::string where =
      section.Closed() ? std::string("箱涵满流断面")
                       : "进口水深 " + FixedDigits(r->depth, 3) + " m（库水位下）的明渠断面";
  const auto compare = [&](const char* box, double given, double own, const char* unit) {
    if (!(std::fabs(given - own) > 0.01 * own)) return;
    lines.push_back(std::string(box) + " " + ShortestText(given) + " " + unit + " 与" + where +
                    "的 " + FixedDigits(own, 3) + " " + unit + " 相差 " +
                    Percent((given - own) / own) + "；混合流模型按断面计算，不用此值");
  };
  compare("箱涵断面面积", area, r->area, "m²");
  compare("水力半径", radius, r->radius, "m");
  return lines;
}

InputTexts MixedRunTexts(const PreparedCase& prepared) {
  InputTexts texts = prepared.typed.texts;
  const InputNumbers& boxes = prepared.numbers;
  const double waveSpeed = boxes[InputId::WaveSpeed];
  const Section section(ShapeOf(prepared), waveSpeed > 0 ? waveSpeed : 1000, kGravity);
  const std::optional<ReferenceSection> r =
      Reference(prepared, section, boxes[InputId::ReservoirLevel]);
  if (!r) return texts;
  for (const auto& [id, own] :
       {std::pair{InputId::CulvertArea, r->area}, std::pair{InputId::HydraulicRadius, r->radius}}) {
    if (!(boxes[id] > 0)) texts[id] = ShortestText(own);
  }
  return texts;
}

freesurface::MixedCase MixedCaseOf(const PreparedCase& prepared, const RunParameters& p,
                                   const SolverCoefficients& c) {
  freesurface::MixedCase m;
  freesurface::ReachSetup& reach = m.reach;
  reach.section = ShapeOf(prepared);
  reach.length = p.CulvertLength;
  reach.invertUpstream = *Item(prepared, DesignId::CulvertInvertUpstream);
  reach.invertDownstream = *Item(prepared, DesignId::CulvertInvertDownstream);
  if (const std::optional<double> n = Item(prepared, DesignId::ManningN)) {
    reach.friction = {FrictionLaw::Manning, *n};
  } else {
    reach.friction = {FrictionLaw::Darcy, p.FrictionFactor};
  }
  reach.waveSpeed = p.WaveSpeed;
  // The water boils where the design checks' vacuum limit says, so that a
  // cavity opens at the limit the checks and the report name.
  reach.vapourHead = -VacuumLimitOf(prepared.design).Head();
  reach.gravity = kGravity;
  reach.cells = kMixedCells;
  const int reaches = std::max<int>(p.SegmentCount, 1);

  // The losses of the balanced model's steady profile, in velocity heads of
  // the wetted section: the intake loss at the design discharge less the
  // friction of the intake's first 31 m, and half of local loss A, between
  // the reservoir and the first cell; local loss B in the reach that ends
  // at the last node before the forebay; the outlet losses at the forebay.
  const double design =
      IntakeDesignDischarge(prepared.extras.pump, p.SteadyDischarge, p.FinalPumpDischarge);
  const Section section(reach.section, reach.waveSpeed, kGravity);
  double intake = 0;
  if (const std::optional<ReferenceSection> r = Reference(prepared, section, p.ReservoirLevel);
      r && design > 0) {
    const double velocity = design / r->area;
    const double given = 2 * kGravity * p.IntakeHeadLoss / (velocity * velocity);
    const double credit = FrictionPerVelocityHead(reach.friction, r->radius) * kIntakeCreditLength;
    intake = std::max(given - credit, 0.0);
  }
  m.intakeLoss = intake + 0.5 * c.LocalLossCoefficientA;
  m.outletLoss = kOutletLossCoefficient + c.LocalLossCoefficientA;
  const double reachLength = reach.length / reaches;
  const int beforeEnd = std::max(reaches - 2, 0);
  reach.losses.push_back({(beforeEnd + 0.5) * reachLength, c.LocalLossCoefficientB});

  m.reservoirLevel = p.ReservoirLevel;
  m.steadyDischarge = p.SteadyDischarge;
  m.pump = prepared.extras.pump;
  m.finalPumpDischarge = p.FinalPumpDischarge;
  m.forebay = prepared.extras.forebay;
  m.forebayArea = p.ForebayArea;
  m.reaches = reaches;
  m.steps = p.StepCount;
  m.timeStep = c.TimeStep;
  return m;
}

FreeSurfaceRecorder::FreeSurfaceRecorder(const freesurface::MixedCase& mixed,
                                         CulvertSection section)
    : section_(mixed.reach.section, mixed.reach.waveSpeed, mixed.reach.gravity),
      length_(mixed.reach.length),
      dryDepth_(mixed.reach.dryDepth) {
  record_.section = section;
  const int nodes = mixed.reaches + 1;
  areas_.reserve(static_cast<std::size_t>(nodes) *
                 static_cast<std::size_t>(std::max(mixed.steps, 0)));
  for (int k = 0; k < nodes; ++k) {
    const double fraction = double(k) / mixed.reaches;
    record_.invert.push_back(
        static_cast<float>(mixed.reach.invertUpstream +
                           (mixed.reach.invertDownstream - mixed.reach.invertUpstream) * fraction));
  }
  record_.nodes.resize(static_cast<std::size_t>(nodes));
}

void FreeSurfaceRecorder::AddStep(int step, std::span<const freesurface::NodeState> nodes) {
  for (std::size_t k = 0; k < nodes.size() && k < record_.nodes.size(); ++k) {
    NodeRegime& node = record_.nodes[k];
    const auto depth = static_cast<float>(nodes[k].depth);
    const bool full = nodes[k].pressurized;
    if (step == 1) {
      node.initialDepth = node.highestDepth = node.lowestDepth = depth;
      node.highestDepthStep = node.lowestDepthStep = 1;
      node.fullAtStart = full;
    } else {
      if (depth > node.highestDepth) {
        node.highestDepth = depth;
        node.highestDepthStep = step;
      }
      if (depth < node.lowestDepth) {
        node.lowestDepth = depth;
        node.lowestDepthStep = step;
      }
      if (full != node.fullAtStart && record_.firstChangeStep == 0) {
        record_.firstChangeStep = step;
        record_.firstChangeNode = static_cast<int>(k) + 1;
      }
    }
    node.everFull = node.everFull || full;
    node.everFree = node.everFree || !full;
    areas_.push_back(static_cast<float>(nodes[k].area));
  }
  if (step == 1) {
    AddColumn(nodes);
    AddSurgeRoundTrip(nodes);
  }
}

void FreeSurfaceRecorder::AddColumn(std::span<const freesurface::NodeState> nodes) {
  // ∫dx/A by the trapezoidal rule over the nodes, in reaches of one length;
  // a dry node gives the column no area.
  const std::size_t count = nodes.size();
  if (count < 2) return;
  double sum = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double area = nodes[k].area;
    if (!(area > 0)) return;
    sum += (k == 0 || k + 1 == count ? 0.5 : 1.0) / area;
  }
  record_.columnArea = double(count - 1) / sum;
  const freesurface::NodeState& last = nodes[count - 1];
  record_.startDischarge = last.velocity * last.area;
}

void FreeSurfaceRecorder::AddSurgeRoundTrip(std::span<const freesurface::NodeState> nodes) {
  // Each node's slowness up and down the reach, by the trapezoidal rule over
  // reaches of one length.
  const std::size_t count = nodes.size();
  if (count < 2) return;
  double slowness = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const freesurface::NodeState& node = nodes[k];
    const bool dry = !(node.depth > dryDepth_);
    const double celerity = dry ? 0 : section_.Celerity(node.area, node.pressurized);
    const double speed = std::fabs(node.velocity);
    if (!(celerity > 0) || !(speed < celerity)) {
      record_.surgeBlockedNode = static_cast<int>(k) + 1;
      record_.surgeBlockedDry = !(celerity > 0);
      return;
    }
    const double weight = k == 0 || k + 1 == count ? 0.5 : 1.0;
    slowness += weight * (1 / (celerity - speed) + 1 / (celerity + speed));
  }
  record_.surgeRoundTrip = slowness * length_ / double(count - 1);
}

FreeSurfaceRecord FreeSurfaceRecorder::Finish(const freesurface::MixedResult& result) {
  record_.lowestPressureHead = result.lowestPressureHead;
  record_.vapourLimitReached = result.vapourLimitReached;
  record_.steadyConverged = result.steadyConverged;
  record_.wettedArea = std::make_shared<const std::vector<float>>(std::move(areas_));
  return std::move(record_);
}

void StoreMixedStep(SurgeRun& state, int step, float timeStep,
                    std::span<const freesurface::NodeState> nodes) {
  SurgeRunEditor run(state);
  float* heads = run.HeadsAt(step);
  float* velocities = run.VelocitiesAt(step);
  run.StepTimes()[step - 1] = static_cast<float>(static_cast<double>(step - 1) * timeStep);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const float head = static_cast<float>(nodes[i].level);
    const float velocity = static_cast<float>(nodes[i].velocity);
    if (!std::isfinite(head) || !std::isfinite(velocity)) {
      ErrorLocation at;
      at.stage = Stage::March;
      at.quantity = std::isfinite(head) ? Quantity::Velocity : Quantity::Head;
      at.step = step;
      at.node = static_cast<int>(i) + 1;
      at.time = run.StepTimes()[step - 1];
      throw RunError(ErrorCode::Overflow, at);
    }
    heads[i] = head;
    velocities[i] = velocity;
  }
}

}  // namespace kelvane
