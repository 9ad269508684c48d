// The sixteen input boxes: their names, captions, units and default texts,
// the rule that reads a box's text as a number, and the values of one run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// The input boxes in the order they are numbered on the main window
// (Text1..Text16); the rows are in model/inputs.def.
enum class InputId {
#define KELVANE_INPUT(id, box, option, caption, unit, defaultText, impossible, precision, meaning) \
  id,
#include "model/inputs.def"
};
constexpr int kInputCount = 0
#define KELVANE_INPUT(id, box, option, caption, unit, defaultText, impossible, precision, meaning) \
  +1  // NOLINT(bugprone-macro-parentheses)
#include "model/inputs.def"
    ;

// Every input, in box order.
constexpr std::array<InputId, kInputCount> AllInputs() {
  std::array<InputId, kInputCount> all{};
  for (int i = 0; i < kInputCount; ++i) all[i] = static_cast<InputId>(i);
  return all;
}
// The number of the box on the main window: 1 for Text1.
constexpr int BoxNumber(InputId id) { return static_cast<int>(id) + 1; }

// The values no culvert can have, which the input check flags.
enum class ImpossibleValues {
  None,
  NotPositive,  // zero and below
  Negative,     // below zero
};

// The number a run reads an input's text into.
enum class InputPrecision {
  Single,  // float
  Double,  // double
  Int16,   // a 16-bit count
};

constexpr InputPrecision PrecisionOf(InputId id) {
  constexpr InputPrecision rows[] = {
#define KELVANE_INPUT(id, box, option, caption, unit, defaultText, impossible, precision, meaning) \
  InputPrecision::precision,
#include "model/inputs.def"
  };
  return rows[static_cast<int>(id)];
}

template <InputPrecision>
struct PrecisionValue;
template <>
struct PrecisionValue<InputPrecision::Single> {
  using type = float;
};
template <>
struct PrecisionValue<InputPrecision::Double> {
  using type = double;
};
template <>
struct PrecisionValue<InputPrecision::Int16> {
  using type = std::int16_t;
};
// The type of an input's value in a run, from its row.
template <InputId id>
using InputValue = typename PrecisionValue<PrecisionOf(id)>::type;

struct InputField {
  InputId id;
  const char* box;      // object name of the box, "Text1"
  const char* option;   // batch option and case-file key, "steady-discharge"
  const char* caption;  // "恒定泵流量"
  const char* unit;     // "m³/s", "" when none
  const char* defaultText;
  ImpossibleValues impossible;
  InputPrecision precision;
  const char* meaning;  // what the box means, one line for the window's help
};
const InputField& Field(InputId id);
// The sixteen fields in box order.
const std::array<InputField, kInputCount>& InputFields();

// The texts of the sixteen boxes, exactly as typed (UTF-8).
class InputTexts {
 public:
  std::string& operator[](InputId id) { return texts_[static_cast<std::size_t>(id)]; }
  const std::string& operator[](InputId id) const { return texts_[static_cast<std::size_t>(id)]; }
  bool operator==(const InputTexts&) const = default;

 private:
  std::array<std::string, kInputCount> texts_;
};
InputTexts DefaultInputTexts();

// The leading-number rule: how the text of an input box becomes a number.
// Blanks (space, tab, line feed) are dropped wherever they stand; then the
// longest prefix of the form [sign] digits [. digits] [e [sign] digits] is
// read, in the C locale; no digit gives 0. Never fails; a number beyond the
// double range reads as +-infinity.
double ReadLeadingNumber(std::string_view text);

// How far that rule reads a text: the text with its blanks dropped, the
// length of the number at its start (0 when no digit was read) and whether
// a digit was read. What the input check shows of a text it did not read.
struct LeadingNumberScan {
  std::string clean;
  std::size_t length = 0;
  bool digits = false;
};
LeadingNumberScan ScanLeadingNumber(std::string_view text);

// Every box's text read by the leading-number rule, in box order.
class InputNumbers {
 public:
  double operator[](InputId id) const { return values_[static_cast<std::size_t>(id)]; }
  double& operator[](InputId id) { return values_[static_cast<std::size_t>(id)]; }

 private:
  std::array<double, kInputCount> values_{};
};
InputNumbers ReadInputNumbers(const InputTexts& texts);
// The same, the boxes whose text is `known`'s taken from `knownNumbers`
// (ReadInputNumbers(known)) instead of read again.
InputNumbers ReadInputNumbers(const InputTexts& texts, const InputTexts& known,
                              const InputNumbers& knownNumbers);

// A number to a 16-bit signed integer, round half to even; false outside
// -32768..32767 or not finite.
bool ToInt16(double value, std::int16_t& result);

// The values of one run, read from the boxes.
struct RunParameters {
  double SteadyDischarge = 0;        // m³/s, before the pump change
  float IntakeHeadLoss = 0;          // m
  float ReservoirLevel = 0;          // m
  std::int16_t SegmentCount = 0;     // reaches of the culvert
  std::int16_t StepCount = 0;        // computed steps, the first the steady state
  float FrictionFactor = 0;          // -, Darcy-Weisbach f
  double CulvertSlope = 0;           // -
  double HydraulicRadius = 0;        // m
  double ForebayArea = 0;            // m²
  double CulvertArea = 0;            // m²
  float WaveSpeed = 0;               // m/s
  float CulvertLength = 0;           // m
  std::int16_t FirstOutputStep = 0;  // step
  std::int16_t LastOutputStep = 0;   // step
  double OutputInterval = 0;         // steps
  float FinalPumpDischarge = 0;      // m³/s, after the pump change
};

// The coefficients formed from the parameters before the steady state.
struct SolverCoefficients {
  float HydraulicDiameter = 0;            // m, 4R
  float SteadyVelocity = 0;               // m/s
  float ReachLength = 0;                  // m
  float TimeStep = 0;                     // s
  float WaveCoefficient = 0;              // s, a/g
  float VelocityFrictionTerm = 0;         // -, f dt / 2D
  float HeadFrictionTerm = 0;             // s, (f dt / 2D)(a/g)
  float ReachHeadLoss = 0;                // m, steady friction loss of one reach
  double LocalLossCoefficientA = 0.1825;  // -, entrance and outlet losses
  double LocalLossCoefficientB = 0.0304;  // -, the loss before the forebay end
};

}  // namespace kelvane
