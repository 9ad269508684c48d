// The slow models the fuzz targets and the exhaustive check rely on must
// themselves give the documented answers.
#include "support/reference_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(ReferenceModels, HundredthsGivesTheDocumentedTexts) {
  const struct {
    float value;
    const char* text;
  } rows[] = {
      {0.5f, ".5"},        {12.0f, "12."},         {0.0f, "."},         {0.004f, "."},
      {0.006f, ".01"},     {0.1193324f, ".12"},    {10.1f, "10.1"},     {178.402f, "178.4"},
      {-4.0f, "-4."},      {-4.34f, "-4.34"},      {1287.414f, "1287.41"},
      {2.675f, "2.68"},    {0.125f, ".13"},        {-0.004f, "."},      {-0.0f, "."},
      {0.005f, ".01"},     {0.995f, "1."},         {99.995f, "100."},   {1234567.5f, "1234568."},
      {3.4028235e38f, "340282300000000000000000000000000000000."},      {1e-45f, "."},
  };
  for (const auto& row : rows)
    EXPECT_EQ(kelvane::reference::Hundredths(row.value), row.text) << row.value;
}

TEST(ReferenceModels, LeadingNumberReadsTheDocumentedExamples) {
  const struct {
    const char* text;
    double value;
  } rows[] = {
      {"41.6m3/s", 41.6}, {"0.0 1", 0.01}, {"1 500", 1500}, {"1,5", 1},  {".153", 0.153},
      {"abc", 0},         {"", 0},         {".", 0},        {"&H10", 0}, {"-4.34", -4.34},
      {"1e", 1},          {"1e+", 1},      {"2E-3x", 0.002}, {"1.2.3", 1.2}, {"+.5e+1", 5},
      {"\t1\n2 3", 123},  {"1\r2", 1},     {"1e400", INFINITY}, {"-1e400", -INFINITY},
      {"1e-400", 0},
  };
  for (const auto& row : rows)
    EXPECT_EQ(kelvane::reference::LeadingNumber(row.text), row.value) << row.text;
}

}  // namespace
