// The input boxes, the leading-number rule and the 16-bit conversion.
#include "model/inputs.h"

#include <locale.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace kelvane {

const std::array<InputField, kInputCount>& InputFields() {
  static const std::array<InputField, kInputCount> fields = {{
#define KELVANE_INPUT(id, box, option, caption, unit, defaultText, impossible, precision, meaning) \
  {InputId::id,                                                                                    \
   box,                                                                                            \
   option,                                                                                         \
   caption,                                                                                        \
   unit,                                                                                           \
   defaultText,                                                                                    \
   ImpossibleValues::impossible,                                                                   \
   InputPrecision::precision,                                                                      \
   meaning},
#include "model/inputs.def"
  }};
  return fields;
}

const InputField& Field(InputId id) { return InputFields()[static_cast<std::size_t>(id)]; }

InputTexts DefaultInputTexts() {
  InputTexts texts;
  for (const InputField& field : InputFields()) texts[field.id] = field.defaultText;
  return texts;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

#ifndef _WIN32
// The "C" locale, so that the full stop is the decimal point whatever locale
// the windows have set for the process.
locale_t ClassicLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}
#endif

}  // namespace

LeadingNumberScan ScanLeadingNumber(std::string_view text) {
  // Blanks go first, wherever they stand; then the longest prefix of the form
  // [sign] digits [. digits] [e [sign] digits] is taken.
  LeadingNumberScan scan;
  std::string& clean = scan.clean;
  clean.reserve(text.size());
  for (char c : text)
    if (!IsBlank(c)) clean.push_back(c);

  std::size_t pos = 0;
  if (pos < clean.size() && (clean[pos] == '+' || clean[pos] == '-')) ++pos;
  while (pos < clean.size() && IsDigit(clean[pos])) ++pos, scan.digits = true;
  if (pos < clean.size() && clean[pos] == '.') {
    ++pos;
    while (pos < clean.size() && IsDigit(clean[pos])) ++pos, scan.digits = true;
  }
  if (!scan.digits) return scan;
  // An exponent counts only with at least one digit: "1e" and "1e+" read as 1.
  if (pos < clean.size() && (clean[pos] == 'e' || clean[pos] == 'E')) {
    std::size_t exp = pos + 1;
    if (exp < clean.size() && (clean[exp] == '+' || clean[exp] == '-')) ++exp;
    if (exp < clean.size() && IsDigit(clean[exp])) {
      while (exp < clean.size() && IsDigit(clean[exp])) ++exp;
      pos = exp;
    }
  }
  scan.length = pos;
  return scan;
}

double ReadLeadingNumber(std::string_view text) {
  LeadingNumberScan scan = ScanLeadingNumber(text);
  if (!scan.digits) return 0.0;
  scan.clean.resize(scan.length);
  // strtod rounds correctly and gives +-HUGE_VAL (infinity) on overflow.
#ifdef _WIN32
  // MinGW's own strtod (not the system library's), which rounds correctly
  // and reads the full stop whatever the process's locale.
  return std::strtod(scan.clean.c_str(), nullptr);
#else
  return strtod_l(scan.clean.c_str(), nullptr, ClassicLocale());
#endif
}

InputNumbers ReadInputNumbers(const InputTexts& texts) {
  InputNumbers numbers;
  for (InputId id : AllInputs()) numbers[id] = ReadLeadingNumber(texts[id]);
  return numbers;
}

InputNumbers ReadInputNumbers(const InputTexts& texts, const InputTexts& known,
                              const InputNumbers& knownNumbers) {
  InputNumbers numbers = knownNumbers;
  for (InputId id : AllInputs()) {
    if (texts[id] != known[id]) numbers[id] = ReadLeadingNumber(texts[id]);
  }
  return numbers;
}

bool ToInt16(double value, std::int16_t& result) {
  // nearbyint rounds in the current mode, which the program never changes
  // from round-to-nearest-even.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return false;
  result = static_cast<std::int16_t>(rounded);
  return true;
}

}  // namespace kelvane
