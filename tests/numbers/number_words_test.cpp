#include "numbers/number_words.h"

#include <gtest/gtest.h>

namespace lamina::numbers {
namespace {

TEST(GroupToWords, JoinsHundredsTensAndUnits) {
  const std::pair<const char*, const char*> cases[] = {{"000", ""},
                                                       {"005", "cinco"},
                                                       {"015", "quinze"},
                                                       {"020", "vinte"},
                                                       {"021", "vinte e um"},
                                                       {"100", "cem"},
                                                       {"101", "cento e um"},
                                                       {"110", "cento e dez"},
                                                       {"120", "cento e vinte"},
                                                       {"200", "duzentos"},
                                                       {"999", "novecentos e noventa e nove"}};
  for (const auto& [group, words] : cases) EXPECT_EQ(groupToWords(group), words) << group;
  bool joined = true;
  EXPECT_EQ(groupToWords("200", joined), "duzentos");
  EXPECT_FALSE(joined);
  EXPECT_EQ(groupToWords("250", joined), "duzentos e cinquenta");
  EXPECT_TRUE(joined);
  EXPECT_EQ(groupToWords("1a3"), "") << "not three digits";
  EXPECT_EQ(groupToWords("12"), "");
}

TEST(GroupWithScale, TakesTheSingularOnlyForOne) {
  EXPECT_EQ(groupWithScale("000000000001000", 3), "um mil ");
  EXPECT_EQ(groupWithScale("000000000002000", 3), "dois mil ");
  EXPECT_EQ(groupWithScale("000000001000000", 2), "um milh\xE3o ");
  EXPECT_EQ(groupWithScale("000000200000000", 2),
            "duzentos milh\xF5"
            "es ");
  EXPECT_EQ(groupWithScale("000000000000042", 4), "quarenta e dois");
  EXPECT_EQ(groupWithScale("000000000000042", 5), "");
  EXPECT_EQ(groupWithScale("42", 4), "");
}

TEST(NumberToWords, BrazilianJoinersAndTheThousandRule) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "zero"},
      {1, "um"},
      {100, "cem"},
      {1000, "mil "},
      {1005, "mil e cinco"},
      {1200, "mil e duzentos"},
      {1250, "mil duzentos e cinquenta"},
      {2000, "dois mil "},
      {21000, "vinte e um mil "},
      {100000, "cem mil "},
      {1000000, "um milh\xE3o "},
      {1001000, "um milh\xE3o e um mil "},
      {1200000, "um milh\xE3o e duzentos mil "},
      {1250000, "um milh\xE3o duzentos e cinquenta mil "},
      {2000500,
       "dois milh\xF5"
       "es e quinhentos"},
      {2147483600,
       "dois bilh\xF5"
       "es cento e quarenta e sete milh\xF5"
       "es quatrocentos e "
       "oitenta e tres mil e seiscentos"},
      {2147483647,
       "dois bilh\xF5"
       "es cento e quarenta e sete milh\xF5"
       "es quatrocentos e "
       "oitenta e tres mil seiscentos e quarenta e sete"},
  };
  for (const auto& [value, words] : cases) EXPECT_EQ(numberToWords(value), words) << value;
  EXPECT_EQ(numberToWords(-5), "");
}

}  // namespace
}  // namespace lamina::numbers
