// Prints what an engine does with a stream of random calls, one line per expression: the rules
// it runs under (strict profile, evaluation trap, the value of X), the compile outcome (code,
// position, description), then for each tier cap the value (kind and exact bits, or the text),
// the recorded failure and its position, what the plain callable gives, and a call over columns
// (each row's bits and status). Now and then the user function G is defined afresh with a random
// body, so definitions, calls of user functions and array elements are part of the sequence.
// Built once against each of two builds of the engine (tools/compare-behaviour.sh), the two
// outputs must be equal line for line: a refactoring changed nothing a caller can see.
//
// Usage: behaviour SEED COUNT
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/qvExpression.h"

namespace {

class Generator {
 public:
  explicit Generator(uint64_t seed) : rng_(seed) {}

  std::string Expression() {
    std::string text = Node(int(Pick(5)));
    if (Pick(12) == 0) Damage(text);  // now and then a text the compiler must refuse
    return text;
  }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  template <size_t N>
  const char* Of(const char* const (&list)[N]) { return list[Pick(N)]; }

  std::string Atom() {
    static const char* const kAtoms[] = {"X", "Y", "Z", "N", "Big", "Tiny", "W", "0", "1", "2", "3",
                                         "0.5", "2.5", "-1", "1E300", "40000", "70000", "0.1", "PI",
                                         "DEG", "\"ab\"", "\"3\"", "T(N)", "T(X)", "T(2)"};
    return Of(kAtoms);
  }

  std::string Node(int depth) {
    if (depth <= 0) return Atom();
    switch (Pick(7)) {
      case 0: return Atom();
      case 1: return "-" + Node(depth - 1);
      case 2: return "(" + Node(depth - 1) + ")";
      case 3: {  // a power, mostly with a small whole exponent
        static const char* const kExponents[] = {"2", "3", "4", "5", "6", "-1", "-2", "-3", "-4", "0",
                                                 "1", "0.5", "2.0", "(1+1)", "N", "7", "-7", "40000"};
        return Node(depth - 1) + " ^ " + Of(kExponents);
      }
      case 4: {
        static const char* const kFunctions[] = {"ABS", "INT", "FIX", "SGN", "SQR", "LOG", "LN", "EXP", "SIN",
                                                 "ASIN", "COS", "ACOS", "TAN", "ATN", "SINH", "COSH", "TANH",
                                                 "ASINH", "ACOSH", "ATANH", "FACT", "LEN"};
        static const char* const kBinary[] = {"MIN", "MAX", "NCR", "NPR", "LEFT"};
        if (Pick(3) == 0) return std::string(Of(kBinary)) + "(" + Node(depth - 1) + ", " + Node(depth - 1) + ")";
        if (Pick(8) == 0)
          return "IIF(" + Node(depth - 1) + ", " + Node(depth - 1) + ", " + Node(depth - 1) + ")";
        if (Pick(8) == 0) return "F(" + Node(depth - 1) + ", " + Node(depth - 1) + ")";
        if (Pick(8) == 0) return "G(" + Node(depth - 1) + ")";
        return std::string(Of(kFunctions)) + "(" + Node(depth - 1) + ")";
      }
      case 5: return "NOT " + Node(depth - 1);
      default: {
        static const char* const kOperators[] = {" ^ ", " * ", " / ", " \\ ", " + ", " - ", " = ", " <> ",
                                                 " <= ", " < ", " >= ", " > ", " MOD ", " AND ", " OR ",
                                                 " XOR ", " & ", " * ", " + ", " - "};
        return Node(depth - 1) + Of(kOperators) + Node(depth - 1);
      }
    }
  }

  void Damage(std::string& text) {
    static const char kJunk[] = "()+*,^\"#x9 ";
    const size_t at = Pick(text.size() + 1);
    if (Pick(2) == 0 && at < text.size()) text.erase(at, 1);
    else text.insert(at, 1, kJunk[Pick(sizeof kJunk - 1)]);
  }

  std::mt19937_64 rng_;

 public:
  size_t Choose(size_t n) { return Pick(n); }
};

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 128 ? char(c) : '?';
  return out;
}

std::string Describe(const Variant& v) {
  char buffer[64];
  switch (v.kind()) {
    case Variant::Kind::Empty: return "empty";
    case Variant::Kind::Text: return "text:" + Narrow(v.asText());
    case Variant::Kind::Double: {
      const double d = v.asDouble();
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      std::snprintf(buffer, sizeof buffer, "double:%016" PRIx64, bits);
      return buffer;
    }
    default:
      std::snprintf(buffer, sizeof buffer, "%s:%d", v.kind() == Variant::Kind::Int16 ? "int16" : "int32", v.asWhole());
      return buffer;
  }
}

std::string Failure(qvExpression& e) {
  return " [" + std::to_string(e.ErrorCode()) + "@" + std::to_string(e.ErrorPos()) + " " +
         Narrow(e.ErrorDescription()) + "]";
}

// The user functions F and G and the array T(4), T(k) = k * 1.5 - 2.
void Define(qvExpression& e, const std::string& body) {
  e.ResetUserFuncs();
  std::u16string f = u"F(P, Q) = P ^ 2 - Q * 3", g(body.begin(), body.end());
  e.UserFunc(f);
  g = u"G(X) = " + g;
  e.UserFunc(g);
}

void Setup(qvExpression& e) {
  e.SetNativeAfter(0);
  std::u16string array = u"T(4)";
  e.DefineArray(array);
  for (int16_t k = 0; k <= 4; ++k) e.ArrayValue(1, Variant(k * 1.5 - 2), k);
  const std::pair<const char16_t*, double> variables[] = {
      {u"X", 2.5}, {u"Y", -0.75}, {u"Z", 0}, {u"N", 3}, {u"Big", 1e300}, {u"Tiny", 1e-300}, {u"W", -1.5e-3}};
  for (auto [name, value] : variables) {
    double v = value;
    e.Variable(Variant(std::u16string(name)), v);
  }
  Define(e, "X * 2");
}

// The expression over a column of X (the other variables keep their values), two threads.
std::string Columns(qvExpression& e, int16_t index) {
  static const double kX[] = {0, 1, -2.5, 3, 1e300, -0.0, 7, 2.5,
                              std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
  constexpr size_t kRows = std::size(kX);
  double out[kRows];
  int32_t status[kRows];
  const size_t good = e.ValueColumns(index, {qvColumn{u"X", kX}}, kRows, out, status, 2);
  std::string text = " | columns " + std::to_string(good);
  for (size_t r = 0; r < kRows; ++r) text += " " + Describe(Variant(out[r])) + "/" + std::to_string(status[r]);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: behaviour SEED COUNT\n");
    return 2;
  }
  Generator generator(std::strtoull(argv[1], nullptr, 10));
  const long count = std::strtol(argv[2], nullptr, 10);
  qvExpression e;
  Setup(e);
  static const double kXs[] = {2.5, -1, 0, std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity()};
  for (long k = 0; k < count; ++k) {
    const std::string text = generator.Expression();
    e.ClearError();
    const bool strict = generator.Choose(2) == 0, trap = generator.Choose(3) != 0;
    e.SetStrict(strict);
    e.SetEvaluationTrap(trap);
    double x = kXs[generator.Choose(std::size(kXs))];
    e.Variable(Variant(std::u16string(u"X")), x);
    std::string line = std::string(strict ? "strict" : "compatible") + (trap ? " trap" : "") + " X=" +
                       Describe(Variant(x)) + " | ";
    if (generator.Choose(40) == 0) {  // G defined afresh: its definition's outcome is part of the line
      Define(e, generator.Expression());
      line += "G" + Failure(e) + " | ";
      e.ClearError();
    }
    const int16_t index = e.Compile(std::string_view(text));
    line += text + " |" + Failure(e);
    if (e.ErrorCode() == 0) {
      for (qvTier tier : {qvTier::General, qvTier::AllDouble, qvTier::Native}) {
        e.SetHighestTier(tier);
        e.ClearError();
        line += " | " + Describe(e.Value(int32_t(index))) + Failure(e);
      }
      const qvFormula formula = e.Formula(index);
      std::vector<double> inputs;
      for (const std::u16string& name : formula.Inputs()) inputs.push_back(e.VariableValue(Variant(name)));
      double out = 0;
      line += formula.Runs() && formula(inputs.data(), out) ? " | formula " + Describe(Variant(out)) : " | formula declines";
      e.ClearError();
      line += Columns(e, index);
    }
    std::puts(line.c_str());
    e.ResetCompiledExpressions();
  }
  return 0;
}
