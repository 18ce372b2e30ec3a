// The evaluation trap as a setting: on (as created) a failing sub-step is hidden and evaluation
// goes on; off, the first failure is recorded, naming what failed and why, and the evaluation
// ends with an empty result, on every tier alike.
#include <gtest/gtest.h>

#include <string>

#include "engine/qvExpression.h"

namespace {

struct Case {
  const char16_t* text;
  int32_t code;
  const char16_t* description;
};

}  // namespace

TEST(EvaluationTrap, OffRecordsWhatTheTrapWouldHide) {
  const Case cases[] = {
      {u"SQR(-4)", 5, u"SQR(-4): Invalid procedure call or argument"},
      {u"1.0E308*10", 6, u"(1.E+308) * 10: Overflow"},
      {u"EXP(710)", 6, u"EXP(710): Overflow"},
      {u"5 MOD 0", 11, u"(5) MOD 0: Division by zero"},
      {u"0^-1", 11, u"(0) ^ -1: Division by zero"},
      {u"3.0E9 \\ 2", 6, u"(3.E+9) \\ 2: Overflow"},
      {u"\"abc\" * 2", 13, u"(\"abc\") * 2: Type mismatch"},
      {u"NOT \"abc\"", 13, u"NOT \"abc\": Type mismatch"},
      {u"14 + \"n/a\"", 13, u"(14) + \"n/a\": Type mismatch"},
      {u"\"n/a\" + 1", 13, u"(\"n/a\") + 1: Type mismatch"},
      {u"SPACE(-1)", 5, u"SPACE(-1): Invalid procedure call or argument"},
      {u"LEN(SPACE(2000000))", 7, u"SPACE(2.E+6): Out of memory"},
      {u"ASC(\"\")", 5, u"ASC(\"\"): Invalid procedure call or argument"},
      {u"1 / 0 + 5", 6, u"Div by zero"},  // recorded under the trap too, and now final
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
    for (qvTier tier : {qvTier::General, qvTier::Native}) {
      qvExpression e;
      e.SetNativeAfter(0);
      e.SetHighestTier(tier);
      std::u16string text = c.text;
      int16_t index = 0;
      e.Compile(text, index);
      ASSERT_EQ(e.ErrorCode(), 0);
      int32_t at = index;
      const Variant hidden = e.Value(at);  // the trap on: nothing recorded but the domain texts
      EXPECT_FALSE(hidden.isEmpty());
      e.ClearError();
      e.SetEvaluationTrap(false);
      EXPECT_FALSE(e.EvaluationTrap());
      EXPECT_TRUE(e.Value(at).isEmpty());
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.ErrorDescription(), c.description);
    }
  }
}
