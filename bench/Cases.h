// The benchmark's expressions: each in qvCalc's and muparser's syntax, with its hand-written C++
// formula, the variables it reads and what the engine must define first.
#pragma once

#include <array>
#include <cmath>
#include <string_view>

class qvExpression;

// The variables of every expression. Each iteration adds kStep to all of them, so no engine can
// treat a formula as constant.
struct Vars {
  double a, b, c, x, y;
  double& operator[](char name) noexcept;
};
inline constexpr Vars kStart{1.25, 0.75, 2.5, 0.375, 0.625};
inline constexpr double kStep = 1e-9;
inline void Advance(Vars& v) noexcept {
  v.a += kStep;
  v.b += kStep;
  v.c += kStep;
  v.x += kStep;
  v.y += kStep;
}

// qvCalc's pi constant (15 significant digits), which the native formulas use too.
inline constexpr double kQvPi = 3.14159265358979;

// The hand-written formulas. They live in this header so that the benchmark can inline them.
namespace native {
inline double F1(const Vars& v) { return v.a + v.b * v.c; }
inline double F2(const Vars& v) { return (v.a + v.b) * (v.a - v.b) / (v.c + 1); }
inline double F3(const Vars& v) { return v.x * v.x + v.y * v.y; }
inline double F4(const Vars& v) { return std::sin(v.x) * std::cos(v.y) + 1; }
inline double F5(const Vars& v) { return std::sqrt(v.x * v.x + v.y * v.y); }
inline double F6(const Vars& v) { return v.a * v.x * v.x * v.x + v.b * v.x * v.x + v.c * v.x + 1; }
inline double F7(const Vars& v) { return std::exp(-v.x * v.x / 2) / std::sqrt(2 * kQvPi); }
inline double F8(const Vars& v) {
  return (v.a < v.b ? v.a : v.b) + (v.b > v.c ? v.b : v.c);
}
inline double F9(const Vars& v) { return (v.x > 0.5) * v.a + (v.x <= 0.5) * v.b; }
inline double F10(const Vars& v) {
  return ((v.a + v.b) * (v.c - v.x) + (v.y * v.a - v.b) / (v.c + 2)) * ((v.x - v.y) / (v.a + 1) + v.b * v.c);
}
// A user function HYPOT(P, Q) = SQR(P*P + Q*Q), called with x and y.
inline double F11(const Vars& v) { return std::sqrt(v.x * v.x + v.y * v.y) * v.a; }
// Array T(10) with T(i) = i * i / 2, read at x * 10 rounded to the nearest whole number.
inline double TableAt(double i) { return i * i / 2; }
inline double F12(const Vars& v) { return TableAt(std::nearbyint(v.x * 10)) * v.a + v.b; }
// LEN of a six-character text constant.
inline double F13(const Vars& v) { return 6 * v.x + v.y; }
}  // namespace native

enum class Needs { Nothing, UserFunction, Array };

struct Case {
  int number;
  std::u16string_view qv;   // qvCalc's text
  std::string_view mu;      // muparser's text; empty where muparser has no counterpart
  double (*native)(const Vars&);
  std::string_view uses;    // the variables the formula reads
  Needs needs;
};

inline constexpr int kMainCases = 10;  // cases 1 to 10 are the comparison; 11 to 13 are extras

inline constexpr std::array<Case, 13> kCases = {{
    {1, u"a+b*c", "a+b*c", native::F1, "abc", Needs::Nothing},
    {2, u"(a+b)*(a-b)/(c+1)", "(a+b)*(a-b)/(c+1)", native::F2, "abc", Needs::Nothing},
    {3, u"x^2 + y^2", "x^2 + y^2", native::F3, "xy", Needs::Nothing},
    {4, u"SIN(x)*COS(y) + 1", "sin(x)*cos(y) + 1", native::F4, "xy", Needs::Nothing},
    {5, u"SQR(x*x + y*y)", "sqrt(x*x + y*y)", native::F5, "xy", Needs::Nothing},
    {6, u"a*x^3 + b*x^2 + c*x + 1", "a*x^3 + b*x^2 + c*x + 1", native::F6, "abcx", Needs::Nothing},
    {7, u"EXP(-x*x/2) / SQR(2*PI)", "exp(-x*x/2) / sqrt(2*_pi)", native::F7, "x", Needs::Nothing},
    {8, u"MIN(a,b) + MAX(b,c)", "min(a,b) + max(b,c)", native::F8, "abc", Needs::Nothing},
    {9, u"(x > 0.5) * a + (x <= 0.5) * b", "(x > 0.5) * a + (x <= 0.5) * b", native::F9, "abx",
     Needs::Nothing},
    {10, u"((a+b)*(c-x)+(y*a-b)/(c+2))*((x-y)/(a+1)+b*c)",
     "((a+b)*(c-x)+(y*a-b)/(c+2))*((x-y)/(a+1)+b*c)", native::F10, "abcxy", Needs::Nothing},
    {11, u"HYPOT(x, y) * a", "", native::F11, "axy", Needs::UserFunction},
    {12, u"T(x * 10) * a + b", "", native::F12, "abx", Needs::Array},
    {13, u"LEN(\"qvCalc\") * x + y", "", native::F13, "xy", Needs::Nothing},
}};

// Defines what the case's text refers to besides variables (the user function, the array).
void Prepare(qvExpression& engine, const Case& c);
