// The input check: which boxes hold a text that is not read as typed, or a
// value no culvert can have. It only tells; the reading rule and Calculate
// read every box exactly as before.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/inputs.h"
#include "model/pump_event.h"
#include "texts/design_data.h"
#include "texts/event_texts.h"

namespace kelvane {

enum class InputFlagReason {
  // How the text was read (at most one of these per box).
  TextNotReadWhole,  // the reading stopped before the end ("41.6m3/s", "1,5")
  NoDigitRead,       // a text that is not empty, with no digit read ("abc", ".")
  NonAsciiNumber,    // not read whole, and holds full-width digits or signs or a
                     // typographic minus ("−4.34", "－４.３４")
  // What the value is.
  NotPositive,                 // <= 0 where the input's row says ImpossibleValues::NotPositive
  Negative,                    // < 0 where the row says ImpossibleValues::Negative
  StepOutsideRun,              // an output step outside 1..StepCount
  StepCountOutOfRange,         // a step count outside 1..32766: no run is sized
  FirstAfterLastOutputStep,    // 初始输出时段 after 终端输出时段: an empty table
  BelowForebayStabilityLimit,  // forebay area below ForebayStabilityLimit
  ReverseFlow,                 // a pump discharge below 0: the pumps run backwards
  InvertsDisagreeWithSlope,    // the inverts' drop differs from slope x length by
                               // more than a tenth of the latter
  CulvertNotFullAtStart,       // a head of step 1 lies below the soffit: the
                               // culvert runs part full from the start
  TemperatureOutsideTable,     // a water temperature outside the saturation
                               // pressures' table: its end value is used
  ElevationOutsideRange,       // a site elevation outside the range the
                               // altitude correction is meant for
};

struct InputFlag {
  InputId input;
  double value = 0;  // what the text reads as (ReadLeadingNumber)
  std::vector<InputFlagReason> reasons;
  std::string unread;  // the text from where the reading stopped, blanks dropped
  // StepOutsideRun: the run's StepCount; FirstAfterLastOutputStep: the last
  // output step; BelowForebayStabilityLimit: the limit in m².
  double bound = 0;

  bool operator==(const InputFlag&) const = default;
};

struct InputCheckOptions {
  // Whether 初始输出时段 and 终端输出时段 are in use: always at the window
  // (the results table), in the batch mode only when a table is written.
  bool outputSteps = true;
  // Whether a forebay level–area table is in force: 前池水面面积 is then not
  // read, and not checked (the table's own check: CheckEventTexts).
  bool forebayTableInForce = false;
  // Whether the mixed model's section is in force: its own wetted area and
  // hydraulic radius replace 箱涵断面面积 and 水力半径, which are then not
  // read, and not checked (the section's own check: the design data).
  bool sectionInForce = false;
  // The forebay stability limit (m²) of the run the texts give, when the
  // caller has run them already (a study's case): the check then needs no
  // steady state of its own.
  std::optional<double> forebayStabilityLimit = std::nullopt;
};

// The options for a case with `extras` in force: a level–area table, the
// mixed model's section.
InputCheckOptions CaseCheckOptions(const ModelExtras& extras, InputCheckOptions options = {});

// Whether the case `options` describe leaves the box of `id` unread: it is
// then greyed in the window and not checked.
bool InputUnread(InputId id, const InputCheckOptions& options);

// The flagged boxes, in box order; none for texts that are all read whole
// and plausible. The forebay stability limit is checked only when the other
// inputs give a run (reading, coefficients, sizing and steady state pass).
std::vector<InputFlag> CheckInputs(const InputTexts& texts, const InputCheckOptions& options = {});

// The input check of many cases that share most of their texts with one
// base (a study's cases): what a box's own text gives is read once for the
// base, and for a case again only where its text is not the base's. Every
// case gets exactly CheckInputs' flags.
class InputCheckBase {
 public:
  explicit InputCheckBase(const InputTexts& base);
  // CheckInputs(texts, options); `numbers`: ReadInputNumbers(texts).
  std::vector<InputFlag> Check(const InputTexts& texts, const InputNumbers& numbers,
                               const InputCheckOptions& options) const;

 private:
  InputTexts texts_;
  // Per box, the reasons its own text gives (CheckInputs gives a box the
  // reasons that read the other boxes after these).
  std::array<InputFlag, kInputCount> own_;
};

// The forebay stability limit (m²) of the run the texts give; none when they
// give no run up to its steady state.
std::optional<double> RunStabilityLimit(const InputTexts& texts);

// What a case's pump event and area table leave doubtful (CheckEventTexts),
// the table against the stability limit of `texts`: the warnings the batch
// mode prints and the window shows alike.
std::vector<EventWarning> CaseEventWarnings(const EventTexts& events, const InputTexts& texts);

// The value a box reads as, in the shortest text that reads back to it
// ("41.6", "0", "-4.34").
std::string InputValueText(double value);

// Why a box is flagged, in the user's words (UTF-8): every reason, joined by
// "；". The one place that words a flag, for the window and the batch mode.
std::string InputFlagText(const InputFlag& flag);

// An item of design data whose text is not read as typed, or whose value no
// structure can have (a clear height not above 0, a negative freeboard or
// design pressure head), or inverts that the culvert's slope contradicts, or
// a soffit above the head the run starts with. Only the reading reasons,
// NotPositive / Negative, InvertsDisagreeWithSlope and CulvertNotFullAtStart
// occur.
struct DesignFlag {
  DesignId item;
  double value = 0;  // what the text reads as
  std::vector<InputFlagReason> reasons;
  std::string unread;  // as InputFlag::unread
  // InvertsDisagreeWithSlope (on the downstream invert): the drop the slope
  // gives over the culvert's length, m. CulvertNotFullAtStart (on the clear
  // height): the soffit at `node`, m.
  double bound = 0;
  // CulvertNotFullAtStart: the first node (1-based) whose head at step 1
  // lies below its soffit, and that head, m.
  int node = 0;
  double head = 0;

  bool operator==(const DesignFlag&) const = default;
};

// The flagged items of design data given, in item order. An item left empty
// (or blank) is not given and never flagged. `inputs` gives the slope and
// length the two inverts are held against, and with `extras` the run whose
// first step (the steady profile the march starts from) is held against the
// soffit when the culvert's inverts and height are given.
std::vector<DesignFlag> CheckDesignTexts(const DesignTexts& texts, const InputTexts& inputs,
                                         const ModelExtras& extras = {});

// Whether CheckDesignTexts of `texts` reads the input boxes (the downstream
// invert or the clear height is given); else its flags are the same for
// every input texts.
bool DesignCheckReadsInputs(const DesignTexts& texts);

// Whether the drop between two inverts (upstream less downstream, m)
// disagrees with the drop |slope| x length (m) by more than a tenth of the
// latter. Signs are not compared: the slope's sign convention belongs to the
// march, the inverts are levels.
bool InvertsDisagree(double drop, double slopeDrop);

// Why an item is flagged, worded as InputFlagText words a box.
std::string DesignFlagText(const DesignFlag& flag);
// The flag on one line, as the batch mode warns of it:
// "--culvert-height 读作 -1：应大于 0".
std::string DesignFlagLine(const DesignFlag& flag);

}  // namespace kelvane
