// Evaluation over columns against its definition: each row is what assigning the row's values and
// calling Value on an engine with no recorded failure gives, converted to a number, whatever the
// tier and the thread count; the engine itself is left as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/qvExpression.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// An engine with the same definitions, variables and seed each time it is made.
void Prepare(qvExpression& e) {
  std::u16string f = u"Hyp(A, B) = SQR(A * A + B * B)", g = u"Inv(A) = 1 / A", t = u"T(4)";
  e.UserFunc(f);
  e.UserFunc(g);
  e.DefineArray(t);
  e.ArrayValue(1, Variant(2.5), 3);
  double z = 7, w = 0;
  e.Variable(Variant(u"Z"), z);
  e.Variable(Variant(u"W"), w);
  e.SeedRandom(3);
}

struct Row {
  double value;
  int32_t status;
};

// The definition: the row's values assigned, the failure cleared, Value, the control's conversion.
Row Reference(qvExpression& e, int16_t index, const std::vector<qvColumn>& columns, size_t r) {
  for (const qvColumn& c : columns) {
    double v = c.Values[r];
    e.Variable(Variant(c.Name), v);
  }
  e.ClearError();
  int32_t at = index;
  const Variant result = e.Value(at);
  Row row{kNaN, e.ErrorCode()};
  if (row.status != 0) return row;
  double number = 0;
  if (result.isEmpty()) row.value = 0;
  else if (result.toNumber(number)) row.value = number;
  else row.status = 13;
  return row;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

}  // namespace

TEST(Columns, EveryRowIsWhatValueGivesOnEveryTierAndThreadCount) {
  const std::vector<std::u16string> texts = {
      u"X + Y * Z", u"1 / X + Y", u"LN(X) * Y", u"SQR(X - Y)", u"X ^ Y", u"IIF(X > Y, \"big\", X)",
      u"\"3\" & X", u"X MOD Y", u"Hyp(X, Y) * Z", u"Inv(X) + 1", u"T(X) + Y", u"RND(X) + Y", u"W + X",
      u"FACT(X) / Y", u"MIN(X, Y) - MAX(X, 2)"};
  const size_t rows = 9001;  // enough to be split among threads
  std::mt19937_64 random(5);
  const double special[] = {0.0, -0.0, 1.0, -1.0, 2.0, 3.0, 0.5, 170.0, 1e308, -8.0, kNaN,
                            std::numeric_limits<double>::infinity()};
  std::vector<double> xs(rows), ys(rows);
  for (size_t r = 0; r < rows; ++r) {
    xs[r] = random() % 3 ? std::ldexp(double(random() % 2000) - 1000, -int(random() % 8)) : special[random() % 12];
    ys[r] = random() % 3 ? double(random() % 7) - 2 : special[random() % 12];
  }
  const std::vector<qvColumn> columns = {{u"x", xs.data()}, {u"Y", ys.data()}, {u"Unused", xs.data()}};
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    qvExpression reference;
    Prepare(reference);
    std::u16string compiled = text;
    int16_t index = 0;
    reference.Compile(compiled, index);
    ASSERT_EQ(reference.ErrorCode(), 0);
    std::vector<Row> expected(rows);
    for (bool trap : {true, false}) {
      reference.SetEvaluationTrap(trap);
      reference.SeedRandom(3);
      for (size_t r = 0; r < rows; ++r) expected[r] = Reference(reference, index, {columns[0], columns[1]}, r);
      for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native})
        for (unsigned threads : {1u, 3u}) {
          qvExpression e;
          e.SetNativeAfter(0);
          Prepare(e);
          e.SetEvaluationTrap(trap);
          e.SetHighestTier(tier);
          std::u16string again = text;
          int16_t at = 0;
          e.Compile(again, at);
          const int32_t variables = e.NumVariables();
          std::vector<double> out(rows);
          std::vector<int32_t> status(rows);
          size_t good = e.ValueColumns(at, columns, rows, out.data(), status.data(), threads);
          size_t expectedGood = 0, mismatches = 0;
          for (size_t r = 0; r < rows; ++r) {
            expectedGood += expected[r].status == 0;
            mismatches += !(SameBits(out[r], expected[r].value) && status[r] == expected[r].status);
          }
          EXPECT_EQ(mismatches, 0u) << "trap " << trap << " tier " << int(tier) << " threads " << threads;
          EXPECT_EQ(good, expectedGood);
          EXPECT_EQ(e.ErrorCode(), 0);
          EXPECT_EQ(e.NumVariables(), variables);  // "Unused" was not created
          EXPECT_EQ(e.VariableValue(Variant(u"Z")), 7);
        }
    }
  }
}

TEST(Columns, ARecordedFailureOrAMissingExpressionRefusesEveryRow) {
  qvExpression e;
  std::u16string text = u"X + 1", broken = u"X +";
  int16_t index = 0;
  e.Compile(text, index);
  const double xs[] = {1, 2};
  double out[2];
  int32_t status[2];
  EXPECT_EQ(e.ValueColumns(5, {{u"X", xs}}, 2, out, status), 0u);
  EXPECT_EQ(status[1], 9);
  EXPECT_TRUE(std::isnan(out[0]));
  int16_t next = 0;
  e.Compile(broken, next);
  EXPECT_EQ(e.ValueColumns(1, {{u"X", xs}}, 2, out, status), 0u);
  EXPECT_EQ(status[0], 1);
  EXPECT_EQ(e.ErrorCode(), 1);  // still recorded
  e.ClearError();
  EXPECT_EQ(e.ValueColumns(1, {{u"X", xs}}, 2, out, status), 2u);
  EXPECT_EQ(out[1], 3);
}
