// The surge solver: sixteen input texts in, the head and velocity grids of one
// run out. Qt-free; the windows and the batch mode both call Calculate().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// ---------------------------------------------------------------------------
// Run-time errors: the one numbered catalogue of the program.

enum class ErrorCode : int {
  Overflow = 6,  // also an invalid floating-point operation (0/0)
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  BadFileName = 52,
  FileNotFound = 53,
  DiskFull = 61,
  PermissionDenied = 70,
  PathFileAccess = 75,
  PathNotFound = 76,
};

// The description shown to the user, in the interface language (UTF-8).
std::string_view ErrorDescription(ErrorCode code);

// The first fault of a command. `where` says, in the interface language,
// where it happened (box, coefficient, node and step, file name ...).
class RunError : public std::runtime_error {
 public:
  RunError(ErrorCode code, std::string where);
  ErrorCode code() const { return code_; }
  int number() const { return static_cast<int>(code_); }
  std::string_view description() const { return ErrorDescription(code_); }
  const std::string& where() const { return where_; }

 private:
  ErrorCode code_;
  std::string where_;
};

// ---------------------------------------------------------------------------
// Inputs.

constexpr int kInputCount = 16;
// The texts of Text1..Text16, exactly as typed (UTF-8); index 0 is Text1.
using InputTexts = std::array<std::string, kInputCount>;

struct InputField {
  const char* box;      // "Text1"
  const char* field;    // "SteadyDischarge"
  const char* option;   // "steady-discharge" (batch mode)
  const char* caption;  // "恒定泵流量"
  const char* unit;     // "m³/s", "" when none
  const char* defaultText;
};
// The sixteen fields in box order (Text1 first).
const std::array<InputField, kInputCount>& InputFields();
InputTexts DefaultInputTexts();

// The leading-number rule: how the text of an input box becomes a number.
// Never fails; a text whose number overflows a double reads as +-infinity.
double ReadLeadingNumber(std::string_view text);

// A number to a 16-bit signed integer, round half to even; outside
// -32768..32767 (or not finite) it throws RunError Overflow naming `where`.
std::int16_t ToInt16(double value, std::string_view where);

struct RunParameters {
  double SteadyDischarge = 0;        // m³/s   Text1
  float IntakeHeadLoss = 0;          // m      Text2
  float ReservoirLevel = 0;          // m      Text3
  std::int16_t SegmentCount = 0;     // reaches Text4
  std::int16_t StepCount = 0;        // steps  Text5
  float FrictionFactor = 0;          // -      Text6
  double CulvertSlope = 0;           // -      Text7
  double HydraulicRadius = 0;        // m      Text8
  double ForebayArea = 0;            // m²     Text9
  double CulvertArea = 0;            // m²     Text10
  float WaveSpeed = 0;               // m/s    Text11
  float CulvertLength = 0;           // m      Text12
  std::int16_t FirstOutputStep = 0;  // step Text13
  std::int16_t LastOutputStep = 0;   // step Text14
  double OutputInterval = 0;         // steps  Text15
  float FinalPumpDischarge = 0;      // m³/s   Text16
};

struct SolverCoefficients {
  float HydraulicDiameter = 0;     // m
  float SteadyVelocity = 0;        // m/s
  float ReachLength = 0;           // m
  float TimeStep = 0;              // s
  float WaveCoefficient = 0;       // s (a/g)
  float VelocityFrictionTerm = 0;  // -
  float HeadFrictionTerm = 0;      // s
  float ReachHeadLoss = 0;         // m
  double LocalLossCoefficientA = 0.1825;
  double LocalLossCoefficientB = 0.0304;
};

// ---------------------------------------------------------------------------
// The shared run state: owned by the caller, re-created by each Calculate.
// Nodes and steps count from 1. Each step's nodes are stored contiguously.
// Every accessor is bounds-checked against the allocated grids and throws
// RunError SubscriptOutOfRange.

class SurgeRun {
 public:
  std::int16_t SegmentCount = 0;
  std::int16_t StepCount = 0;
  std::int16_t FirstOutputStep = 0;
  std::int16_t LastOutputStep = 0;

  bool HasGrids() const { return grid_nodes_ > 0; }
  int GridNodes() const { return grid_nodes_; }  // allocated nodes, SegmentCount+1
  int GridSteps() const { return grid_steps_; }  // allocated steps, StepCount+1
  int TimeSteps() const { return static_cast<int>(step_times_.size()); }

  float Head(int node, int step) const;
  float Velocity(int node, int step) const;
  float StepTime(int step) const;

  // Nodes 1..GridNodes() of one step (element 0 is node 1).
  std::span<const float> HeadsAt(int step) const;
  std::span<const float> VelocitiesAt(int step) const;
  // Steps 1..TimeSteps() (element 0 is step 1).
  std::span<const float> StepTimes() const { return step_times_; }

  // For the solver: re-create the grids zero-filled (throws OutOfMemory or
  // SubscriptOutOfRange as sizing demands) and write access.
  void RecreateGrids(int nodes, int steps);
  void RecreateStepTimes(int steps);
  float* MutableHeadsAt(int step);
  float* MutableVelocitiesAt(int step);
  float* MutableStepTimes() { return step_times_.data(); }

 private:
  int grid_nodes_ = 0;
  int grid_steps_ = 0;
  std::vector<float> head_;
  std::vector<float> velocity_;
  std::vector<float> step_times_;
};

// What a Calculate leaves besides the run state.
struct RunOutcome {
  RunParameters parameters;
  SolverCoefficients coefficients;
};

// Reads the sixteen texts, forms the coefficients, sizes `run`, computes the
// steady state and marches every step. The first fault throws RunError;
// nothing is rolled back (the run state is then incomplete).
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run);

// Told of each block of finished steps, in ascending order: step 1 once the
// steady state stands, then the march's steps a few dozen at a time, so that
// a caller can read each block while it is still in the caches. A step that
// has been reported is not written again. A run that fails throws after the
// blocks before the fault have been reported.
using StepBlockObserver = std::function<void(int firstStep, int lastStep)>;
RunOutcome Calculate(const InputTexts& texts, SurgeRun& run, const StepBlockObserver& observer);

}  // namespace kelvane
