// Reading of the parameter file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "model.hpp"
#include "support.hpp"

namespace {

using model::Parameters;

struct ReadResult {
  bool ok;
  Parameters P;
  std::string error;
};

ReadResult Read(const std::string& text) {
  ReadResult result{false, {}, ""};
  std::FILE* inp = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (text.empty()) inp = std::fopen("/dev/null", "r");
  testing::internal::CaptureStderr();
  result.ok = model::ReadParametersFrom(inp, "input.txt", result.P);
  result.error = testing::internal::GetCapturedStderr();
  std::fclose(inp);
  return result;
}

void ExpectExample(const Parameters& P) {
  const auto expected = support::ExampleValues();
  for (int i = 0; i < model::kParameterCount; ++i)
    EXPECT_EQ(model::ParameterAt(P, i), expected[i]) << "position " << i;
}

TEST(ReadParameters, LayoutsOfTheSameValuesReadAlike) {
  const std::string layouts[] = {
      "46\n3\n0\n14\n30\n0\n21\n6\n0\n1\n0.1\n0\n1\n0.1\n0\n100\n10\n2014\n1\n",
      "46 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1",
      "46\t3\t0\t14\t30\t0\t21\t6\t0\t1\t0.1\t0\t1\t0.1\t0\t100\t10\t2014\t1\n",
      "46\r\n3\r\n0\r\n14\r\n30\r\n0\r\n21\r\n6\r\n0\r\n1\r\n0.1\r\n0\r\n1\r\n0."
      "1\r\n0\r\n1e2\r\n10\r\n2014\r\n1\r\n",
      "  46   3 0\n\n14 30 0  21 6\t\t0 1 1e-1 0 1 0.1 0 1E+2 10 2.014e3 1 notes: site A\n",
      "46 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1 99 a twentieth number",
      "46 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1abc",
  };
  for (const auto& text : layouts) {
    SCOPED_TRACE(text);
    const ReadResult result = Read(text);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.error, "");
    ExpectExample(result.P);
  }
}

TEST(ReadParameters, NamesTheFirstPositionThatHoldsNoNumber) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "quorvane: input.txt: position 0 (lat_deg): no number (end of file)\n"},
      {"46 3 0 14 30 0 21\n", "quorvane: input.txt: position 7 (month): no number (end of file)\n"},
      {"46.5abc 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1",
       "quorvane: input.txt: position 1 (lat_min): no number (found \"abc\")\n"},
      {"46,5 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1",
       "quorvane: input.txt: position 1 (lat_min): no number (found \",5\")\n"},
      {"46 3 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 cuboidal",
       "quorvane: input.txt: position 18 (shape): no number (found \"cuboidal\")\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ReadResult result = Read(c.text);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.message);
  }
}

TEST(ReadParameters, PositionNamesFollowTheFileOrder) {
  const char* names[] = {"lat_deg",   "lat_min", "lat_sec", "lon_deg",  "lon_min",
                         "lon_sec",   "day",     "month",   "beta_min", "beta_max",
                         "beta_step", "N_min",   "N_max",   "N_step",   "SD_min",
                         "SD_max",    "SD_step", "year",    "shape"};
  Parameters P{};
  P.lat_deg = 1, P.month = 2, P.beta_step = 3, P.SD_max = 4, P.shape = 5;
  for (int i = 0; i < model::kParameterCount; ++i) EXPECT_STREQ(model::ParameterName(i), names[i]);
  EXPECT_EQ(model::ParameterAt(P, 0), 1);
  EXPECT_EQ(model::ParameterAt(P, 7), 2);
  EXPECT_EQ(model::ParameterAt(P, 10), 3);
  EXPECT_EQ(model::ParameterAt(P, 15), 4);
  EXPECT_EQ(model::ParameterAt(P, 18), 5);
}

}  // namespace
